// Shared by the mail library tests: the library loaded the way the program loads it, Maildir
// trees written to temporary folders, and helpers to read rows and properties.
#pragma once

#include "vntmapi/MapiLoader.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <utime.h>
#include <vector>

namespace mapitest {

inline vntmapi::MapiLibrary& library()
{
    static vntmapi::MapiLibrary lib;
    // Summary indexes go to a folder of the test run, never into the user's cache.
    static QTemporaryDir cache;
    if (!lib.isLoaded()) {
        if (qEnvironmentVariableIsEmpty("VANTREL_MAPI_CACHE")) {
            qputenv("VANTREL_MAPI_CACHE", QFile::encodeName(cache.path()));
        }
        lib.load(VNTMAPI_LIBRARY_PATH);
    }
    return lib;
}

inline const vntmapi::EntryPoints& api()
{
    return library().api();
}

// Owns a row set and frees it as the program does: row by row, then the set.
class RowSet
{
public:
    RowSet() = default;
    RowSet(const RowSet&) = delete;
    RowSet& operator=(const RowSet&) = delete;
    ~RowSet() { reset(); }
    void reset()
    {
        if (m_rows) {
            for (ULONG i = 0; i < m_rows->cRows; ++i) {
                api().MAPIFreeBuffer(m_rows->aRow[i].lpProps);
            }
            api().MAPIFreeBuffer(m_rows);
            m_rows = nullptr;
        }
    }
    LPSRowSet* put()
    {
        reset();
        return &m_rows;
    }
    ULONG count() const { return m_rows ? m_rows->cRows : 0; }
    const SRow& row(ULONG i) const { return m_rows->aRow[i]; }

private:
    LPSRowSet m_rows = nullptr;
};

// A MAPI buffer released with MAPIFreeBuffer.
template<typename T>
class Buffer
{
public:
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { api().MAPIFreeBuffer(m_p); }
    T** put()
    {
        api().MAPIFreeBuffer(m_p);
        m_p = nullptr;
        return &m_p;
    }
    T* get() const { return m_p; }

private:
    T* m_p = nullptr;
};

inline const SPropValue* findValue(const SPropValue* values, ULONG count, ULONG tag)
{
    for (ULONG i = 0; i < count; ++i) {
        if (PROP_ID(values[i].ulPropTag) == PROP_ID(tag)) {
            return &values[i];
        }
    }
    return nullptr;
}

inline const SPropValue* findValue(const SRow& row, ULONG tag)
{
    return findValue(row.lpProps, row.cValues, tag);
}

inline bool isError(const SPropValue* v)
{
    return !v || PROP_TYPE(v->ulPropTag) == PT_ERROR;
}

inline QString text(const SPropValue* v)
{
    return isError(v) ? QString() : QString::fromUtf8(v->Value.lpszA);
}

inline QByteArray binary(const SPropValue* v)
{
    if (isError(v)) {
        return {};
    }
    return {reinterpret_cast<const char*>(v->Value.bin.lpb), static_cast<int>(v->Value.bin.cb)};
}

inline std::uint64_t fileTime(const SPropValue* v)
{
    return (std::uint64_t{v->Value.ft.dwHighDateTime} << 32) | v->Value.ft.dwLowDateTime;
}

inline std::uint64_t fileTimeOf(const QDateTime& t)
{
    return static_cast<std::uint64_t>(t.toSecsSinceEpoch()) * 10000000ULL + 116444736000000000ULL;
}

// A tag array of any size, laid out as SPropTagArray.
class TagArray
{
public:
    TagArray(std::initializer_list<ULONG> tags)
        : m_data(1 + tags.size())
    {
        m_data[0] = static_cast<ULONG>(tags.size());
        std::copy(tags.begin(), tags.end(), m_data.begin() + 1);
    }
    LPSPropTagArray get() { return reinterpret_cast<LPSPropTagArray>(m_data.data()); }

private:
    std::vector<ULONG> m_data;
};

// Sets columns and reads every row, as the program's "query all rows" does.
inline HRESULT queryAll(IMAPITable* table, std::initializer_list<ULONG> columns, RowSet* rows)
{
    TagArray tags(columns);
    HRESULT hr = table->SetColumns(tags.get(), 0);
    if (FAILED(hr)) {
        return hr;
    }
    hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    return table->QueryRows(0x0FFFFFFF, TBL_NOADVANCE, rows->put());
}

inline LPENTRYID entryPtr(QByteArray& id)
{
    return reinterpret_cast<LPENTRYID>(id.data());
}

// 1 when the session takes ids `a` and `b` for the same object, 0 when not, -1 when it fails.
inline int sameEntry(IMAPISession* session, QByteArray a, QByteArray b)
{
    ULONG same = 0;
    return session->CompareEntryIDs(static_cast<ULONG>(a.size()), entryPtr(a),
                                    static_cast<ULONG>(b.size()), entryPtr(b), 0, &same) == S_OK
               ? int(same != 0)
               : -1;
}

// A new extended session on `profile`.
inline HRESULT newSession(const char* profile, MapiPtr<IMAPISession>* session)
{
    return api().MAPILogonEx(0, profile, nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION, session->put());
}

// Properties read with GetProps, freed with this object; p[i] is the i-th value asked for.
class Props
{
public:
    Props(IMAPIProp* object, std::initializer_list<ULONG> tags)
    {
        TagArray array(tags);
        hr = object->GetProps(array.get(), 0, &count, m_values.put());
    }
    const SPropValue* operator[](ULONG i) const { return &m_values.get()[i]; }
    const SPropValue* values() const { return m_values.get(); }

    HRESULT hr = E_FAIL;
    ULONG count = 0;

private:
    Buffer<SPropValue> m_values;
};

// The object `id` opened from `from` (session, store or folder); null when it cannot be.
template<typename T = IMAPIProp, typename From>
MapiPtr<T> openEntry(From* from, QByteArray id, ULONG flags = MAPI_BEST_ACCESS,
                     ULONG* type = nullptr, HRESULT* result = nullptr)
{
    MapiPtr<T> object;
    ULONG ignored = 0;
    const HRESULT hr =
        from->OpenEntry(static_cast<ULONG>(id.size()), id.isEmpty() ? nullptr : entryPtr(id),
                        nullptr, flags, type ? type : &ignored, object.putUnknown());
    if (result) {
        *result = hr;
    }
    return object;
}

// Every row of a folder's contents table, in the given columns.
inline HRESULT contents(IMAPIFolder* folder, std::initializer_list<ULONG> columns, RowSet* rows)
{
    MapiPtr<IMAPITable> table;
    const HRESULT hr = folder->GetContentsTable(0, table.put());
    return FAILED(hr) ? hr : queryAll(table.get(), columns, rows);
}

// The text of column `tag` in every row.
inline QStringList texts(const RowSet& rows, ULONG tag = PR_SUBJECT)
{
    QStringList all;
    for (ULONG i = 0; i < rows.count(); ++i) {
        all << text(findValue(rows.row(i), tag));
    }
    return all;
}

// Column `want` of the first row whose `match` column reads `value`; empty when none does.
inline QByteArray bytesWhere(const RowSet& rows, ULONG match, const QString& value,
                             ULONG want = PR_ENTRYID)
{
    for (ULONG i = 0; i < rows.count(); ++i) {
        if (text(findValue(rows.row(i), match)) == value) {
            return binary(findValue(rows.row(i), want));
        }
    }
    return {};
}

// A stream read to its end in reads of `chunk` bytes.
inline QByteArray readAll(IStream* stream, ULONG chunk = 4096)
{
    QByteArray all;
    QByteArray buffer(static_cast<int>(chunk), '\0');
    for (;;) {
        ULONG got = 0;
        if (stream->Read(buffer.data(), chunk, &got) != S_OK || got > chunk) {
            return "<read failed>";
        }
        if (got == 0) {
            return all;
        }
        all += buffer.left(static_cast<int>(got));
    }
}

inline QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The store in row `index` of the session's stores table, opened for writing; null when
// there is no such row or it cannot be opened.
inline MapiPtr<IMsgStore> openStore(IMAPISession* session, ULONG index = 0)
{
    MapiPtr<IMAPITable> stores;
    RowSet rows;
    MapiPtr<IMsgStore> store;
    if (session->GetMsgStoresTable(0, stores.put()) != S_OK ||
        queryAll(stores.get(), {PR_ENTRYID}, &rows) != S_OK || rows.count() <= index) {
        return store;
    }
    QByteArray id = binary(findValue(rows.row(index), PR_ENTRYID));
    session->OpenMsgStore(0, static_cast<ULONG>(id.size()), entryPtr(id), nullptr, MDB_WRITE,
                          store.put());
    return store;
}

// The entry id of the store's Inbox.
inline QByteArray inboxId(IMsgStore* store)
{
    ULONG size = 0;
    Buffer<ENTRYID> id;
    store->GetReceiveFolder("IPM.Note", 0, &size, id.put(), nullptr);
    return {reinterpret_cast<const char*>(id.get()), static_cast<int>(size)};
}

// The store's Inbox (its receive folder), opened for changes; null when it cannot be.
inline MapiPtr<IMAPIFolder> openInbox(IMsgStore* store)
{
    const QByteArray id = inboxId(store);
    return id.isEmpty() ? MapiPtr<IMAPIFolder>() : openEntry<IMAPIFolder>(store, id, MAPI_MODIFY);
}

// Writes Maildir++ folders and message files.
class MaildirBuilder
{
public:
    explicit MaildirBuilder(const QString& root)
        : m_root(root)
    {
        addFolder(QString());
    }

    QString folderPath(const QString& folder) const
    {
        return folder.isEmpty() ? m_root : m_root + QLatin1Char('/') + folder;
    }

    void addFolder(const QString& folder)
    {
        for (const char* sub : {"cur", "new", "tmp"}) {
            QDir().mkpath(folderPath(folder) + QLatin1Char('/') + QLatin1String(sub));
        }
    }

    // `fileName` as it goes on disk, info included; returns its full path.
    QString addMessage(const QString& folder, const QString& sub, const QString& fileName,
                       const QByteArray& content, const QDateTime& delivered)
    {
        const QString path =
            folderPath(folder) + QLatin1Char('/') + sub + QLatin1Char('/') + fileName;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(content);
        }
        file.close();
        const utimbuf times{delivered.toSecsSinceEpoch(), delivered.toSecsSinceEpoch()};
        utime(QFile::encodeName(path).constData(), &times);
        return path;
    }

private:
    QString m_root;
};

inline QByteArray email(const QByteArray& headers, const QByteArray& body = "Hello.\r\n")
{
    return headers + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + body;
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Writes the profile file `ini`, with "@ROOT@" standing for `root`, into `root` and
// points the library at it.
inline bool installProfiles(const QString& root, QByteArray ini)
{
    ini.replace("@ROOT@", QFile::encodeName(root));
    const QString path = root + QStringLiteral("/profiles.ini");
    if (!writeFile(path, ini))
        return false;
    qputenv("VANTREL_MAPI_PROFILES", QFile::encodeName(path));
    return true;
}

// The library loaded and initialised, with the profile file `ini` written into `dir`.
inline bool startLibrary(const QTemporaryDir& dir, const QByteArray& ini)
{
    return library().isLoaded() && api().MAPIInitialize(nullptr) == S_OK && dir.isValid() &&
           installProfiles(dir.path(), ini);
}

// Releases what a test opened, then logs its session off.
template<typename... Objects>
void endSession(MapiPtr<IMAPISession>* session, Objects*... objects)
{
    (objects->reset(), ...);
    if (*session) {
        (*session)->Logoff(0, 0, 0);
    }
    session->reset();
}

} // namespace mapitest
