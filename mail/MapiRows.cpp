#include "mail/MapiRows.h"

#include <QList>

namespace vantrel::mail {

namespace {

constexpr ULONG kBusyWaitMs = 1000;

} // namespace

void Rows::reset()
{
    if (!m_rows)
        return;
    for (ULONG i = 0; i < m_rows->cRows; ++i)
        m_api.MAPIFreeBuffer(m_rows->aRow[i].lpProps);
    m_api.MAPIFreeBuffer(m_rows);
    m_rows = nullptr;
}

HRESULT QueryAllRows(IMAPITable* table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG limit, Rows* rows)
{
    HRESULT hr = S_OK;
    if (columns && FAILED(hr = table->SetColumns(columns, 0)))
        return hr;
    if (restriction && FAILED(hr = table->Restrict(restriction, 0)))
        return hr;
    if (sortOrder && FAILED(hr = table->SortTable(sortOrder, 0)))
        return hr;
    for (;;) {
        hr = table->QueryRows(limit ? limit : kAllRows, TBL_NOADVANCE, rows->put());
        if (hr != MAPI_E_BUSY)
            return hr;
        ULONG status = 0;
        const HRESULT waited = table->WaitForCompletion(0, kBusyWaitMs, &status);
        if (waited == MAPI_E_NO_SUPPORT)
            return waited;
    }
}

HRESULT QueryAllRows(IMAPITable* table, std::initializer_list<ULONG> columns, Rows* rows)
{
    TagArray tags(columns);
    return QueryAllRows(table, tags.get(), nullptr, nullptr, 0, rows);
}

TagArray::TagArray(std::initializer_list<ULONG> tags)
    : m_words{static_cast<ULONG>(tags.size())}
{
    m_words.insert(m_words.end(), tags.begin(), tags.end());
}

TagArray::TagArray(const QList<ULONG>& tags)
    : m_words{static_cast<ULONG>(tags.size())}
{
    m_words.insert(m_words.end(), tags.begin(), tags.end());
}

const SPropValue* FindValue(const SPropValue* values, ULONG count, ULONG tag)
{
    for (ULONG i = 0; values && i < count; ++i) {
        if (values[i].ulPropTag == tag)
            return &values[i];
    }
    return nullptr;
}

const SPropValue* FindValue(const SRow& row, ULONG tag)
{
    return FindValue(row.lpProps, row.cValues, tag);
}

bool TextOf(const SRow& row, ULONG tag, QString* text)
{
    const SPropValue* value = FindValue(row, tag);
    if (!value || !value->Value.lpszA)
        return false;
    *text = QString::fromUtf8(value->Value.lpszA);
    return true;
}

bool FlagOf(const SRow& row, ULONG tag)
{
    const SPropValue* value = FindValue(row, tag);
    return value && value->Value.b;
}

ULONG NumberOf(const SRow& row, ULONG tag)
{
    const SPropValue* value = FindValue(row, tag);
    return value ? value->Value.l : 0;
}

QByteArray BinaryOf(const SPropValue* value)
{
    if (!value || PROP_TYPE(value->ulPropTag) != PT_BINARY || !value->Value.bin.lpb)
        return {};
    return QByteArray(reinterpret_cast<const char*>(value->Value.bin.lpb),
                      static_cast<qsizetype>(value->Value.bin.cb));
}

QByteArray BinaryOf(const SRow& row, ULONG tag)
{
    return BinaryOf(FindValue(row, tag));
}

namespace {
constexpr qint64 kFileTimeUnixEpoch = 116444736000000000LL; // 100 ns steps, 1601 to 1970
constexpr qint64 kFileTimePerMs = 10000;
} // namespace

QDateTime DateTimeOfFileTime(const FILETIME& time)
{
    const auto ticks =
        static_cast<qint64>((quint64{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    return QDateTime::fromMSecsSinceEpoch((ticks - kFileTimeUnixEpoch) / kFileTimePerMs, Qt::UTC);
}

FILETIME FileTimeOf(const QDateTime& time)
{
    const auto ticks =
        static_cast<quint64>(time.toMSecsSinceEpoch() * kFileTimePerMs + kFileTimeUnixEpoch);
    return FILETIME{static_cast<std::uint32_t>(ticks & 0xFFFFFFFF),
                    static_cast<std::uint32_t>(ticks >> 32)};
}

MapiPtr<IMAPIFolder> OpenFolder(IMsgStore* store, const QByteArray& entryId, ULONG flags)
{
    ULONG type = 0;
    MapiPtr<IMAPIFolder> folder;
    if (!store || entryId.isEmpty() ||
        FAILED(store->OpenEntry(EntryIdSize(entryId), EntryIdData(entryId), nullptr, flags, &type,
                                folder.putUnknown())) ||
        !folder || type != MAPI_FOLDER)
        return {};
    return folder;
}

PropsRead::PropsRead(const vntmapi::EntryPoints& api, IMAPIProp* object,
                     std::initializer_list<ULONG> tags)
    : m_values(api)
{
    TagArray array(tags);
    const HRESULT hr = object->GetProps(array.get(), 0, &m_count, m_values.put());
    m_ok = (hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) && m_values;
}

const SPropValue* PropsRead::value(ULONG tag) const
{
    return m_ok ? FindValue(m_values.get(), m_count, tag) : nullptr;
}

QString PropsRead::text(ULONG tag) const
{
    const SPropValue* found = value(tag);
    return found && found->Value.lpszA ? QString::fromUtf8(found->Value.lpszA) : QString();
}

} // namespace vantrel::mail
