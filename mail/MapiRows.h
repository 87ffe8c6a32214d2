// Row sets, buffers and property look-ups of the mail library, shared by the session, the
// folder list, the message list and the reader.
#pragma once

#include "vntmapi/MapiLoader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <initializer_list>
#include <utility>

namespace vantrel::mail {

// A row set of the platform, freed row by row and then as a whole.
class Rows
{
public:
    explicit Rows(const vntmapi::EntryPoints& api)
        : m_api(api)
    {}
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;
    ~Rows() { reset(); }

    void reset();
    LPSRowSet* put()
    {
        reset();
        return &m_rows;
    }
    LPSRowSet get() const { return m_rows; }
    ULONG count() const { return m_rows ? m_rows->cRows : 0; }
    const SRow& operator[](ULONG i) const { return m_rows->aRow[i]; }

private:
    const vntmapi::EntryPoints& m_api;
    LPSRowSet m_rows = nullptr;
};

// One block of platform memory, freed with MAPIFreeBuffer.
template<typename T>
class MapiBuffer
{
public:
    explicit MapiBuffer(const vntmapi::EntryPoints& api)
        : m_api(api)
    {}
    MapiBuffer(const MapiBuffer&) = delete;
    MapiBuffer& operator=(const MapiBuffer&) = delete;
    ~MapiBuffer() { reset(); }

    void reset()
    {
        if (m_p)
            m_api.MAPIFreeBuffer(std::exchange(m_p, nullptr));
    }
    T** put()
    {
        reset();
        return &m_p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    const vntmapi::EntryPoints& m_api;
    T* m_p = nullptr;
};

// 0 asks for every row.
constexpr LONG kAllRows = 0x0FFFFFFF;

// Applies, each only when given, the columns, the restriction and the sort order, then reads
// `limit` rows (0: all) without moving the cursor, waiting while the table is busy.
HRESULT QueryAllRows(IMAPITable* table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG limit, Rows* rows);
HRESULT QueryAllRows(IMAPITable* table, std::initializer_list<ULONG> columns, Rows* rows);

// A column set built from property tags, in the platform's counted layout.
class TagArray
{
public:
    TagArray(std::initializer_list<ULONG> tags);
    explicit TagArray(const QList<ULONG>& tags);
    LPSPropTagArray get() { return reinterpret_cast<LPSPropTagArray>(m_words.data()); }
    ULONG count() const { return m_words.front(); }

private:
    std::vector<ULONG> m_words;
};

const SPropValue* FindValue(const SRow& row, ULONG tag);
const SPropValue* FindValue(const SPropValue* values, ULONG count, ULONG tag);
// The string value of `tag`, false when the row lacks it (or it is an error value).
bool TextOf(const SRow& row, ULONG tag, QString* text);
bool FlagOf(const SRow& row, ULONG tag);
ULONG NumberOf(const SRow& row, ULONG tag);
// A binary value (entry identifier, instance key) as an owned copy; empty when missing.
QByteArray BinaryOf(const SPropValue* value);
QByteArray BinaryOf(const SRow& row, ULONG tag);
// An owned entry identifier handed to the platform: byte count plus pointer.
inline ULONG EntryIdSize(const QByteArray& id)
{
    return static_cast<ULONG>(id.size());
}
inline LPENTRYID EntryIdData(const QByteArray& id)
{
    return reinterpret_cast<LPENTRYID>(const_cast<char*>(id.constData()));
}

// A platform time (100-ns steps since 1601, UTC) and back.
QDateTime DateTimeOfFileTime(const FILETIME& time);
FILETIME FileTimeOf(const QDateTime& time);

// The folder `entryId` of `store` (null when either is missing, the entry cannot be opened or
// is no folder), opened with `flags` (MAPI_BEST_ACCESS, MAPI_MODIFY).
MapiPtr<IMAPIFolder> OpenFolder(IMsgStore* store, const QByteArray& entryId,
                                ULONG flags = MAPI_BEST_ACCESS);

// Properties of `object`; a partial answer (some values errors) counts as read.
class PropsRead
{
public:
    PropsRead(const vntmapi::EntryPoints& api, IMAPIProp* object,
              std::initializer_list<ULONG> tags);
    bool ok() const { return m_ok; }
    // The value under `tag`, nullptr when missing or an error value.
    const SPropValue* value(ULONG tag) const;
    // The identifier under `tag`, empty when missing.
    QByteArray id(ULONG tag) const { return BinaryOf(value(tag)); }
    ULONG number(ULONG tag) const
    {
        const SPropValue* found = value(tag);
        return found ? found->Value.l : 0;
    }
    // The string under `tag`, empty when missing.
    QString text(ULONG tag) const;

private:
    MapiBuffer<SPropValue> m_values;
    ULONG m_count = 0;
    bool m_ok = false;
};

} // namespace vantrel::mail
