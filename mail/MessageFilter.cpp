#include "mail/MessageFilter.h"

#include "mail/ListImages.h"

#include <limits>
#include <optional>

namespace vantrel::mail {

namespace {

// One unit of the upper half of a file time is 2^32 steps of 100 ns (about 7 min 9.5 s); a
// date filter keeps three of them on either side of the message read last.
constexpr std::uint64_t kDateWindow = std::uint64_t{3} << 32;

bool isNameColumn(const ColumnVariant& column)
{
    return column.tag == PR_DISPLAY_NAME || column.tag == PR_GIVEN_NAME ||
           column.tag == PR_SURNAME || column.namedId != 0;
}

// Where the character after the first `count` characters (whole code points) of `text` starts.
qsizetype leadingEnd(const QString& text, int count)
{
    qsizetype at = 0;
    for (int i = 0; i < count && at < text.size(); ++i) {
        const bool pair =
            text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
        at += pair ? 2 : 1;
    }
    return at;
}

std::optional<LONG> integerValue(const FilterCell& cell)
{
    const ColumnVariant& column = cell.column;
    if (column.icon && column.tag == PR_IMPORTANCE) {
        if (cell.image == column.baseImage)
            return IMPORTANCE_HIGH;
        return cell.image == column.baseImage + 1 ? IMPORTANCE_LOW : IMPORTANCE_NORMAL;
    }
    if (column.icon && column.tag == PR_MESSAGE_FLAGS) {
        if (cell.image == column.baseImage)
            return 0; // unread
        if (cell.image == column.baseImage + 1)
            return static_cast<LONG>(MSGFLAG_READ);
        return std::nullopt;
    }
    if (column.icon)
        return 0;
    if (!cell.contacts && column.tag == PR_SENSITIVITY) {
        const QString& text = cell.text;
        if (text == QLatin1String("Personal"))
            return SENSITIVITY_PERSONAL;
        if (text == QLatin1String("Private"))
            return SENSITIVITY_PRIVATE;
        return text == QLatin1String("Confidential") ? SENSITIVITY_COMPANY_CONFIDENTIAL
                                                     : SENSITIVITY_NONE;
    }
    // A number column shows the number in decimal: filter on the number shown.
    bool ok = false;
    const uint number = cell.text.trimmed().toUInt(&ok);
    return ok ? static_cast<LONG>(number) : 0;
}

std::optional<bool> booleanValue(const FilterCell& cell)
{
    if (cell.column.icon)
        return cell.image == cell.column.baseImage;
    if (cell.column.tag != PR_READ_RECEIPT_REQUESTED)
        return std::nullopt;
    if (cell.text.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
        return true;
    if (cell.text.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::optional<std::uint64_t> timeOf(ULONG tag, const ReadState& read)
{
    switch (tag) {
    case PR_CLIENT_SUBMIT_TIME:
        return read.submitTime;
    case PR_MESSAGE_DELIVERY_TIME:
        return read.deliveryTime;
    case PR_CREATION_TIME:
        return read.creationTime;
    default:
        return std::nullopt;
    }
}

FILETIME fileTime(std::uint64_t value)
{
    return {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
}

} // namespace

// Fills a FilterRestriction; its members are reached only from here.
class FilterBuilder
{
public:
    explicit FilterBuilder(FilterRestriction* out)
        : m_out(out)
    {
        *out->get() = SRestriction{};
    }

    void equality(ULONG tag, SPropValue value)
    {
        m_out->m_values[0] = value;
        property(&m_out->m_root, RELOP_EQ, tag, &m_out->m_values[0]);
    }

    void content(ULONG tag, const QString& text, ULONG fuzzyLevel)
    {
        m_out->m_text = text.toUtf8();
        m_out->m_values[0] = SPropValue{};
        m_out->m_values[0].ulPropTag = tag;
        m_out->m_values[0].Value.lpszA = m_out->m_text.data();
        SRestriction& root = m_out->m_root;
        root.rt = RES_CONTENT;
        root.res.resContent.ulFuzzyLevel = fuzzyLevel;
        root.res.resContent.ulPropTag = tag;
        root.res.resContent.lpProp = &m_out->m_values[0];
    }

    void window(ULONG tag, std::uint64_t from, std::uint64_t to)
    {
        for (int i = 0; i < 2; ++i) {
            m_out->m_values[i] = SPropValue{};
            m_out->m_values[i].ulPropTag = tag;
            m_out->m_values[i].Value.ft = fileTime(i == 0 ? from : to);
        }
        property(&m_out->m_parts[0], RELOP_GE, tag, &m_out->m_values[0]);
        property(&m_out->m_parts[1], RELOP_LE, tag, &m_out->m_values[1]);
        SRestriction& root = m_out->m_root;
        root.rt = RES_AND;
        root.res.resAnd.cRes = 2;
        root.res.resAnd.lpRes = m_out->m_parts.data();
    }

private:
    static void property(SRestriction* r, ULONG relop, ULONG tag, SPropValue* value)
    {
        r->rt = RES_PROPERTY;
        r->res.resProperty.relop = relop;
        r->res.resProperty.ulPropTag = tag;
        r->res.resProperty.lpProp = value;
    }

    FilterRestriction* m_out;
};

bool BuildFilterRestriction(const FilterCell& cell, const ReadState& read, FilterRestriction* out)
{
    FilterBuilder build(out);
    const ULONG tag = cell.column.tag;
    SPropValue value{};
    value.ulPropTag = tag;
    switch (PROP_TYPE(tag)) {
    case PT_LONG: {
        const std::optional<LONG> number = integerValue(cell);
        if (!number)
            return false;
        value.Value.l = *number;
        build.equality(tag, value);
        return true;
    }
    case PT_BOOLEAN: {
        const std::optional<bool> flag = booleanValue(cell);
        if (!flag)
            return false;
        value.Value.b = *flag ? 1 : 0;
        build.equality(tag, value);
        return true;
    }
    case PT_STRING8:
    case PT_UNICODE:
    case PT_ERROR: {
        if (cell.contacts && cell.column.icon && tag == PR_MESSAGE_CLASS) {
            const bool contact = cell.image == kListImageContact;
            build.content(tag,
                          contact ? QStringLiteral("IPM.Contact") : QStringLiteral("IPM.DistList"),
                          FL_SUBSTRING | FL_IGNORECASE);
            return true;
        }
        if (cell.contacts && isNameColumn(cell.column)) {
            // Longer than one character: only its first (or first two) must match.
            const bool longer = leadingEnd(cell.text, 1) < cell.text.size();
            const QString text =
                longer ? cell.text.left(leadingEnd(cell.text, cell.shift ? 2 : 1)) : cell.text;
            build.content(tag, text, FL_PREFIX | FL_IGNORECASE);
            return true;
        }
        build.content(tag, cell.text, FL_SUBSTRING | FL_IGNORECASE);
        return true;
    }
    case PT_SYSTIME: {
        const std::optional<std::uint64_t> time = timeOf(tag, read);
        if (!time)
            return false;
        // A time within three units of either end keeps to the ends instead of wrapping.
        const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
        const std::uint64_t from = *time >= kDateWindow ? *time - kDateWindow : 0;
        const std::uint64_t to = *time <= max - kDateWindow ? *time + kDateWindow : max;
        build.window(tag, from, to);
        return true;
    }
    default:
        return false;
    }
}

} // namespace vantrel::mail
