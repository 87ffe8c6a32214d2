#include "mail/MessageListModel.h"

#include "mail/ListImages.h"

#include <QDateTime>
#include <QGuiApplication>
#include <cstring>
#include <string_view>

namespace vantrel::mail {

namespace {

enum class CellKind : std::uint8_t { Empty, Image, Text, Number, Time };

constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL; // 100 ns steps, 1601 to 1970
constexpr std::int64_t kFileTimePerMs = 10000;

// Writes a row's block: plain bytes, read back with memcpy.
class Writer
{
public:
    explicit Writer(std::vector<std::byte>* out)
        : m_out(out)
    {
        m_out->clear();
    }
    template<typename T>
    void put(T value)
    {
        const auto* bytes = reinterpret_cast<const std::byte*>(&value);
        m_out->insert(m_out->end(), bytes, bytes + sizeof(T));
    }
    void bytes(const void* data, std::size_t size)
    {
        const auto* begin = static_cast<const std::byte*>(data);
        m_out->insert(m_out->end(), begin, begin + size);
    }
    void empty() { put(CellKind::Empty); }
    void image(int image)
    {
        put(CellKind::Image);
        put(static_cast<std::uint8_t>(image));
    }
    void number(ULONG value)
    {
        put(CellKind::Number);
        put(static_cast<std::uint32_t>(value));
    }
    void time(const FILETIME& value)
    {
        put(CellKind::Time);
        put((std::uint64_t{value.dwHighDateTime} << 32) | value.dwLowDateTime);
    }
    void text(std::string_view text)
    {
        if (text.size() > kMaxCellBytes) {
            std::size_t cut = kMaxCellBytes;
            // Never end inside a UTF-8 sequence.
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            text = text.substr(0, cut);
        }
        put(CellKind::Text);
        put(static_cast<std::uint16_t>(text.size()));
        bytes(text.data(), text.size());
    }

private:
    std::vector<std::byte>* m_out;
};

std::string_view textOf(const SPropValue& value)
{
    return value.Value.lpszA ? std::string_view(value.Value.lpszA) : std::string_view();
}

const char* sensitivityText(ULONG value)
{
    switch (value) {
    case SENSITIVITY_NONE:
        return " ";
    case SENSITIVITY_PERSONAL:
        return "Personal";
    case SENSITIVITY_PRIVATE:
        return "Private";
    case SENSITIVITY_COMPANY_CONFIDENTIAL:
        return "Confidential";
    default:
        return "Unknown";
    }
}

void numberCell(const SPropValue& value, const ColumnVariant& column, bool contacts, Writer& w)
{
    const auto number = static_cast<ULONG>(value.Value.l);
    if (column.icon && contacts)
        return w.image(kListImageNone);
    if (column.icon && column.tag == PR_MESSAGE_FLAGS)
        return w.image(column.baseImage + ((number & MSGFLAG_READ) ? 1 : 0));
    if (column.icon && column.tag == PR_IMPORTANCE) {
        if (number == IMPORTANCE_HIGH)
            return w.image(column.baseImage);
        return w.image(number == IMPORTANCE_LOW ? column.baseImage + 1 : kListImageNone);
    }
    if (column.icon)
        return w.image(kListImageNone);
    if (!contacts && column.tag == PR_SENSITIVITY)
        return w.text(sensitivityText(number));
    w.number(number);
}

void booleanCell(const SPropValue& value, const ColumnVariant& column, bool contacts, Writer& w)
{
    const bool set = value.Value.b != 0;
    if (contacts)
        return w.text(set ? "T" : "F");
    if (column.icon)
        return set && column.tag == PR_HASATTACH ? w.image(column.baseImage) : w.empty();
    if (column.tag == PR_READ_RECEIPT_REQUESTED)
        return w.text(set ? "Yes" : "No");
    w.text(set ? "T" : "F");
}

void stringCell(const SPropValue& value, const ColumnVariant& column, bool contacts, Writer& w)
{
    const std::string_view text = textOf(value);
    if (contacts && column.icon && column.tag == PR_MESSAGE_CLASS) {
        if (text == "IPM.Contact")
            return w.image(column.baseImage);
        return w.image(text == "IPM.DistList" ? column.baseImage + 1 : kListImageNone);
    }
    if (text.empty())
        return w.text(" ");
    if (!contacts || text.find_first_of("\r\n") == std::string_view::npos)
        return w.text(text);
    // A contact's address or notes span lines; a cell shows one.
    std::string flat(text);
    for (char& c : flat) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    w.text(flat);
}

void encodeCell(const SPropValue* value, const ColumnVariant& column, bool contacts, Writer& w)
{
    switch (value ? PROP_TYPE(value->ulPropTag) : PT_ERROR) {
    case PT_LONG:
        return numberCell(*value, column, contacts, w);
    case PT_BOOLEAN:
        return booleanCell(*value, column, contacts, w);
    case PT_STRING8:
    case PT_UNICODE:
        return stringCell(*value, column, contacts, w);
    case PT_SYSTIME:
        return w.time(value->Value.ft);
    case PT_ERROR:
        return w.text(" ");
    default:
        return w.text("?");
    }
}

template<typename T>
T readAt(const std::byte* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

QByteArray binaryValue(const SPropValue& value)
{
    if (PROP_TYPE(value.ulPropTag) != PT_BINARY || !value.Value.bin.lpb)
        return {};
    return QByteArray(reinterpret_cast<const char*>(value.Value.bin.lpb),
                      static_cast<qsizetype>(value.Value.bin.cb));
}

constexpr std::size_t kRowHeader = 2 * sizeof(std::uint32_t);

} // namespace

struct MessageListModel::Cell
{
    CellKind kind = CellKind::Empty;
    int image = 0;
    std::string_view text;
    std::uint64_t value = 0;
};

QString FormatListTime(std::uint64_t fileTime)
{
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    const std::int64_t since = static_cast<std::int64_t>(fileTime) - kFileTimeUnixEpoch;
    // Round towards the past, also before 1970.
    const std::int64_t ms =
        since >= 0 ? since / kFileTimePerMs : -((-since + kFileTimePerMs - 1) / kFileTimePerMs);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    const QDate date = local.date();
    const QTime time = local.time();
    const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QString::asprintf("%s %02d/%02d/%04d %02d:%02d %s", kDays[date.dayOfWeek() - 1],
                             date.month(), date.day(), date.year(), hour, time.minute(),
                             time.hour() < 12 ? "AM" : "PM");
}

MessageListModel::MessageListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_palette(QGuiApplication::palette())
{}

MessageListModel::~MessageListModel() = default;

void MessageListModel::setColumns(const ColumnSet& set)
{
    beginResetModel();
    m_rows.clear();
    m_set = set;
    m_hasColumns = true;
    endResetModel();
}

void MessageListModel::clearColumns()
{
    beginResetModel();
    m_rows.clear();
    m_set.clear();
    m_hasColumns = false;
    endResetModel();
}

const ColumnSetEntry* MessageListModel::shownColumn(int column) const
{
    if (!m_hasColumns || column < 0 || column >= m_set.shownCount())
        return nullptr;
    return &m_set.shown(column);
}

void MessageListModel::setShownWidth(int column, int width)
{
    if (shownColumn(column))
        m_set.shown(column).variant.width = width;
}

void MessageListModel::setPalette(const QPalette& palette)
{
    m_palette = palette;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                           {Qt::DecorationRole});
}

int MessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_hasColumns)
        return 0;
    return std::max(m_set.shownCount(), 1); // "No columns" stands alone
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return {};
    const ColumnSetEntry* column = shownColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return column && !column->variant.icon ? cellText(index.row(), index.column()) : QVariant();
    case Qt::DecorationRole: {
        const int image = cellImage(index.row(), index.column());
        return image ? QVariant(ListImagePixmap(image, m_palette, qApp->devicePixelRatio()))
                     : QVariant();
    }
    case ImageRole:
        return cellImage(index.row(), index.column());
    case IconColumnRole:
        return column && column->variant.icon;
    case Qt::TextAlignmentRole:
        return column && column->variant.icon ? QVariant(Qt::AlignCenter) : QVariant();
    default:
        return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const ColumnSetEntry* column = shownColumn(section);
    switch (role) {
    case Qt::DisplayRole:
        if (!column)
            return QStringLiteral("No columns");
        return column->variant.icon ? QString() : column->variant.name;
    case ImageRole:
        return column && column->variant.icon ? column->variant.baseImage : 0;
    case IconColumnRole:
        return column && column->variant.icon;
    default:
        return {};
    }
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

MessageListModel::Row MessageListModel::encode(const SRow& row)
{
    Writer w(&m_scratch);
    const auto valueAt = [&row](int i) -> const SPropValue* {
        return row.lpProps && i < static_cast<int>(row.cValues) ? &row.lpProps[i] : nullptr;
    };
    const QByteArray key = valueAt(0) ? binaryValue(*valueAt(0)) : QByteArray();
    const QByteArray id = valueAt(1) ? binaryValue(*valueAt(1)) : QByteArray();
    w.put(static_cast<std::uint32_t>(key.size()));
    w.put(static_cast<std::uint32_t>(id.size()));
    w.bytes(key.constData(), static_cast<std::size_t>(key.size()));
    w.bytes(id.constData(), static_cast<std::size_t>(id.size()));
    for (int i = 0; i < m_set.shownCount(); ++i)
        encodeCell(valueAt(i + 2), m_set.shown(i).variant, m_set.contacts(), w);
    Row block(new std::byte[m_scratch.size()]);
    std::memcpy(block.get(), m_scratch.data(), m_scratch.size());
    return block;
}

bool MessageListModel::insertRowAt(int position, const SRow& row)
{
    if (!m_hasColumns || !row.lpProps || position < 0 || position > rowCount())
        return false;
    Row block = encode(row);
    if (!m_refilling)
        beginInsertRows(QModelIndex(), position, position);
    m_rows.insert(m_rows.begin() + position, std::move(block));
    if (!m_refilling)
        endInsertRows();
    return true;
}

bool MessageListModel::removeRowAt(int position)
{
    if (!validRow(position))
        return false;
    beginRemoveRows(QModelIndex(), position, position);
    m_rows.erase(m_rows.begin() + position);
    endRemoveRows();
    return true;
}

bool MessageListModel::replaceRowAt(int position, const SRow& row)
{
    if (!validRow(position) || !row.lpProps)
        return false;
    m_rows[static_cast<std::size_t>(position)] = encode(row);
    Q_EMIT dataChanged(index(position, 0), index(position, columnCount() - 1));
    return true;
}

void MessageListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void MessageListModel::beginRefill()
{
    beginResetModel();
    m_rows.clear();
    m_refilling = true;
}

bool MessageListModel::appendRow(const SRow& row)
{
    return insertRowAt(rowCount(), row);
}

void MessageListModel::endRefill()
{
    m_refilling = false;
    m_rows.shrink_to_fit();
    endResetModel();
}

int MessageListModel::findInstanceKey(const QByteArray& key) const
{
    const auto size = static_cast<std::uint32_t>(key.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const std::byte* block = m_rows[i].get();
        if (readAt<std::uint32_t>(block) == size &&
            std::memcmp(block + kRowHeader, key.constData(), size) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QByteArray MessageListModel::instanceKey(int row) const
{
    if (!validRow(row))
        return {};
    const std::byte* block = m_rows[static_cast<std::size_t>(row)].get();
    return QByteArray(reinterpret_cast<const char*>(block + kRowHeader),
                      static_cast<qsizetype>(readAt<std::uint32_t>(block)));
}

QByteArray MessageListModel::entryId(int row) const
{
    if (!validRow(row))
        return {};
    const std::byte* block = m_rows[static_cast<std::size_t>(row)].get();
    const auto keySize = readAt<std::uint32_t>(block);
    const auto idSize = readAt<std::uint32_t>(block + sizeof(std::uint32_t));
    return QByteArray(reinterpret_cast<const char*>(block + kRowHeader + keySize),
                      static_cast<qsizetype>(idSize));
}

MessageListModel::Cell MessageListModel::cellAt(int row, int column) const
{
    Cell cell;
    if (!validRow(row) || !shownColumn(column))
        return cell;
    const std::byte* block = m_rows[static_cast<std::size_t>(row)].get();
    const std::byte* at = block + kRowHeader + readAt<std::uint32_t>(block) +
                          readAt<std::uint32_t>(block + sizeof(std::uint32_t));
    for (int i = 0;; ++i) {
        cell.kind = readAt<CellKind>(at);
        at += sizeof(CellKind);
        std::size_t size = 0;
        switch (cell.kind) {
        case CellKind::Empty:
            break;
        case CellKind::Image:
            cell.image = readAt<std::uint8_t>(at);
            size = sizeof(std::uint8_t);
            break;
        case CellKind::Text: {
            const auto length = readAt<std::uint16_t>(at);
            cell.text =
                std::string_view(reinterpret_cast<const char*>(at + sizeof(length)), length);
            size = sizeof(length) + length;
            break;
        }
        case CellKind::Number:
            cell.value = readAt<std::uint32_t>(at);
            size = sizeof(std::uint32_t);
            break;
        case CellKind::Time:
            cell.value = readAt<std::uint64_t>(at);
            size = sizeof(std::uint64_t);
            break;
        }
        if (i == column)
            return cell;
        at += size;
    }
}

QString MessageListModel::cellText(int row, int column) const
{
    const Cell cell = cellAt(row, column);
    switch (cell.kind) {
    case CellKind::Text:
        return QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size()));
    case CellKind::Number:
        return QString::number(cell.value);
    case CellKind::Time:
        return FormatListTime(cell.value);
    default:
        return QString();
    }
}

int MessageListModel::cellImage(int row, int column) const
{
    const Cell cell = cellAt(row, column);
    return cell.kind == CellKind::Image ? cell.image : kListImageNone;
}

} // namespace vantrel::mail
