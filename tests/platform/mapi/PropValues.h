// Shared by the mail library's writing tests: property values and address lists built for
// SetProps and ModifyRecipients, and small readers of what was written.
#pragma once

#include "MapiFixture.h"

#include <QStringList>

namespace mapitest {

// Values set with SetProps; strings kept alive here for the SPropValues pointing into them.
class Values
{
public:
    Values& text(ULONG tag, const QString& value)
    {
        m_strings.push_back(value.toUtf8());
        SPropValue v{};
        v.ulPropTag = tag;
        m_props.push_back(v);
        m_stringAt.push_back({m_props.size() - 1, m_strings.size() - 1});
        return *this;
    }
    Values& number(ULONG tag, LONG value)
    {
        SPropValue v{};
        v.ulPropTag = tag;
        if (PROP_TYPE(tag) == PT_BOOLEAN) {
            v.Value.b = value ? 1 : 0;
        } else {
            v.Value.l = value;
        }
        m_props.push_back(v);
        return *this;
    }
    Values& time(ULONG tag, const QDateTime& value)
    {
        SPropValue v{};
        v.ulPropTag = tag;
        const std::uint64_t ft = fileTimeOf(value);
        v.Value.ft = {static_cast<std::uint32_t>(ft), static_cast<std::uint32_t>(ft >> 32)};
        m_props.push_back(v);
        return *this;
    }
    Values& bytes(ULONG tag, const QByteArray& value)
    {
        m_strings.push_back(value);
        SPropValue v{};
        v.ulPropTag = tag;
        m_props.push_back(v);
        m_stringAt.push_back({m_props.size() - 1, m_strings.size() - 1});
        return *this;
    }
    HRESULT applyTo(IMAPIProp* object)
    {
        const ADRENTRY all = entry();
        return object->SetProps(all.cValues, all.rgPropVals, nullptr);
    }
    // The values as one address list entry, valid while this object lives.
    ADRENTRY entry()
    {
        for (auto [prop, string] : m_stringAt) {
            QByteArray& data = m_strings[string];
            if (PROP_TYPE(m_props[prop].ulPropTag) == PT_BINARY) {
                m_props[prop].Value.bin = {static_cast<ULONG>(data.size()),
                                           reinterpret_cast<LPBYTE>(data.data())};
            } else {
                m_props[prop].Value.lpszA = data.data();
            }
        }
        return {0, static_cast<ULONG>(m_props.size()), m_props.data()};
    }

private:
    std::vector<SPropValue> m_props;
    std::vector<QByteArray> m_strings;
    std::vector<std::pair<std::size_t, std::size_t>> m_stringAt;
};

inline QByteArray propBytes(IMAPIProp* object, ULONG tag)
{
    return binary(Props(object, {tag})[0]);
}

// The folder whose entry id the store gives under `idTag` (PR_IPM_OUTBOX_ENTRYID...), opened
// for changes; null when there is none.
inline MapiPtr<IMAPIFolder> openFolder(IMsgStore* store, ULONG idTag)
{
    return openEntry<IMAPIFolder>(store, propBytes(store, idTag), MAPI_MODIFY);
}

// The message `id` of `store`, opened afresh; null when it cannot be.
inline MapiPtr<IMessage> reopen(IMsgStore* store, QByteArray id)
{
    return openEntry<IMessage>(store, id);
}

inline QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// An address list built from "rowid|type|name|address" lines (rowid -1: none given).
class Recipients
{
public:
    explicit Recipients(const QStringList& lines)
        : m_values(static_cast<std::size_t>(lines.size()))
    {
        const auto n = static_cast<ULONG>(lines.size());
        api().MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(n < 1 ? 1 : n)),
                                 reinterpret_cast<void**>(&m_list));
        m_list->cEntries = n;
        for (ULONG i = 0; i < n; ++i) {
            const QStringList f = lines[int(i)].split(QLatin1Char('|'));
            Values& v = m_values[i];
            v.number(PR_RECIPIENT_TYPE, f[1].toInt())
                .text(PR_DISPLAY_NAME, f[2])
                .text(PR_EMAIL_ADDRESS, f[3]);
            if (f[0].toInt() >= 0) {
                v.number(PR_ROWID, f[0].toInt());
            }
            m_list->aEntries[i] = v.entry();
        }
    }
    Recipients(const Recipients&) = delete;
    Recipients& operator=(const Recipients&) = delete;
    ~Recipients() { api().MAPIFreeBuffer(m_list); }
    LPADRLIST get() const { return m_list; }

private:
    std::vector<Values> m_values;
    LPADRLIST m_list = nullptr;
};

inline QStringList recipientLines(IMessage* message)
{
    MapiPtr<IMAPITable> table;
    RowSet rows;
    if (message->GetRecipientTable(0, table.put()) != S_OK ||
        queryAll(table.get(), {PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE},
                 &rows) != S_OK) {
        return {QStringLiteral("no table")};
    }
    QStringList lines;
    for (ULONG i = 0; i < rows.count(); ++i) {
        const SRow& row = rows.row(i);
        lines << QString::number(row.lpProps[0].Value.l) + QLatin1Char('|') +
                     text(&row.lpProps[1]) + QLatin1Char('|') + text(&row.lpProps[2]) +
                     QLatin1Char('|') + text(&row.lpProps[3]);
    }
    return lines;
}

} // namespace mapitest
