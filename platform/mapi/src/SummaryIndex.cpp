#include "SummaryIndex.h"

#include <cstdlib>
#include <glib.h>
#include <glib/gstdio.h>
#include <sqlite3.h>

namespace vntmapi {

namespace {

// Raised whenever the table layout or the meaning of a column changes; an index file of
// another version is emptied and filled again.
constexpr int kSchemaVersion = 6;
// Two tables opening one folder (in this process or another) wait for each other this long.
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kColumns =
    "name, inode, subject, from_name, from_address, sender_name, sender_address, display_to, "
    "display_cc, submit_time, delivery_time, size, importance, has_attachments, message_class, "
    "sensitivity, read_receipt, reply_to_names, modified, changed, received_name, "
    "received_address";

const char* const kCreateSql = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;
CREATE TABLE summary(
    name TEXT PRIMARY KEY, inode INTEGER NOT NULL, subject TEXT, from_name TEXT,
    from_address TEXT, sender_name TEXT, sender_address TEXT, display_to TEXT, display_cc TEXT,
    submit_time INTEGER, delivery_time INTEGER, size INTEGER, importance INTEGER,
    has_attachments INTEGER, message_class TEXT, sensitivity INTEGER, read_receipt INTEGER,
    reply_to_names TEXT, modified INTEGER, changed INTEGER, received_name TEXT,
    received_address TEXT) WITHOUT ROWID;
)";

std::string cacheRoot()
{
    if (const char* own = std::getenv("VANTREL_MAPI_CACHE"); own && *own) {
        return own;
    }
    return std::string(g_get_user_cache_dir()) + "/Korvane/vntmapi";
}

std::string hexOf(const unsigned char* data, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 15];
    }
    return hex;
}

std::string columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string();
}

void readText(sqlite3_stmt* stmt, int column, std::string* out)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    out->assign(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

void bindText(sqlite3_stmt* stmt, int column, const std::string& text)
{
    sqlite3_bind_text(stmt, column, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void removeFiles(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        g_unlink((path + suffix).c_str());
    }
}

} // namespace

void SummaryIndex::DbCloser::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

void SummaryIndex::StmtFinalizer::operator()(sqlite3_stmt* stmt) const
{
    sqlite3_finalize(stmt);
}

std::string SummaryIndex::filePath(const StoreKey& store, const std::string& folderDir)
{
    gchar* folderHash = g_compute_checksum_for_string(G_CHECKSUM_SHA1, folderDir.c_str(),
                                                      static_cast<gssize>(folderDir.size()));
    std::string path =
        cacheRoot() + "/" + hexOf(store.data(), store.size()) + "/" + folderHash + ".db";
    g_free(folderHash);
    return path;
}

std::unique_ptr<SummaryIndex> SummaryIndex::open(const StoreKey& store,
                                                 const std::string& folderDir)
{
    std::unique_ptr<SummaryIndex> index(new SummaryIndex(filePath(store, folderDir), folderDir));
    gchar* dir = g_path_get_dirname(index->m_path.c_str());
    const bool made = g_mkdir_with_parents(dir, 0700) == 0;
    g_free(dir);
    if (!made) {
        return nullptr;
    }
    if ((index->openFile() && index->prepareSchema()) || index->rebuild()) {
        return index;
    }
    return nullptr;
}

SummaryIndex::SummaryIndex(std::string path, std::string folderDir)
    : m_path(std::move(path))
    , m_folderDir(std::move(folderDir))
{}

SummaryIndex::~SummaryIndex()
{
    if (m_inTransaction) {
        exec("ROLLBACK");
    }
}

bool SummaryIndex::openFile()
{
    m_put.reset();
    m_remove.reset();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(m_path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK) {
        m_db.reset();
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return true;
}

bool SummaryIndex::rebuild()
{
    m_inTransaction = false;
    m_put.reset();
    m_remove.reset();
    m_db.reset();
    removeFiles(m_path);
    return openFile() && prepareSchema();
}

bool SummaryIndex::exec(const char* sql)
{
    return sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SummaryIndex::Statement SummaryIndex::prepare(const char* sql)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return Statement(stmt);
}

// WAL lets a table read the index while another one writes to it; the index is a cache, so
// losing the last transaction on power loss (synchronous=NORMAL) only means parsing again.
bool SummaryIndex::prepareSchema()
{
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL")) {
        return false; // not a database at all, typically
    }
    return isCurrent() || createSchema();
}

// This version's layout, made for this folder (not a copy of another folder's file).
bool SummaryIndex::isCurrent()
{
    Statement version = prepare("PRAGMA user_version");
    if (!version || sqlite3_step(version.get()) != SQLITE_ROW ||
        sqlite3_column_int(version.get(), 0) != kSchemaVersion) {
        return false;
    }
    Statement folder = prepare("SELECT value FROM meta WHERE key = 'folder'");
    return folder && sqlite3_step(folder.get()) == SQLITE_ROW &&
           columnText(folder.get(), 0) == m_folderDir;
}

bool SummaryIndex::createSchema()
{
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    if (isCurrent()) {
        return exec("COMMIT"); // another opener made it while this one waited for the lock
    }
    Statement meta;
    bool ok = exec("DROP TABLE IF EXISTS summary; DROP TABLE IF EXISTS meta") && exec(kCreateSql) &&
              (meta = prepare("INSERT INTO meta(key, value) VALUES('folder', ?)")) != nullptr;
    if (ok) {
        bindText(meta.get(), 1, m_folderDir);
        ok = sqlite3_step(meta.get()) == SQLITE_DONE;
        meta.reset();
    }
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    ok = ok && exec(setVersion.c_str()) && exec("COMMIT");
    if (!ok) {
        exec("ROLLBACK");
    }
    return ok;
}

void SummaryIndex::readRow(sqlite3_stmt* stmt, int first, MessageSummary* s)
{
    readText(stmt, first, &s->subject);
    readText(stmt, first + 1, &s->fromName);
    readText(stmt, first + 2, &s->fromAddress);
    readText(stmt, first + 3, &s->senderName);
    readText(stmt, first + 4, &s->senderAddress);
    readText(stmt, first + 5, &s->displayTo);
    readText(stmt, first + 6, &s->displayCc);
    s->submitTime = static_cast<std::uint64_t>(sqlite3_column_int64(stmt, first + 7));
    s->deliveryTime = static_cast<std::uint64_t>(sqlite3_column_int64(stmt, first + 8));
    s->size = sqlite3_column_int64(stmt, first + 9);
    s->importance = sqlite3_column_int(stmt, first + 10);
    s->hasAttachments = sqlite3_column_int(stmt, first + 11) != 0;
    readText(stmt, first + 12, &s->messageClass);
    s->sensitivity = sqlite3_column_int(stmt, first + 13);
    s->readReceipt = sqlite3_column_int(stmt, first + 14) != 0;
    readText(stmt, first + 15, &s->replyToNames);
    s->modified = sqlite3_column_int64(stmt, first + 16);
    s->changed = sqlite3_column_int64(stmt, first + 17);
    readText(stmt, first + 18, &s->receivedByName);
    readText(stmt, first + 19, &s->receivedByAddress);
}

bool SummaryIndex::forEach(const Visitor& visit)
{
    Statement stmt = prepare((std::string("SELECT ") + kColumns + " FROM summary").c_str());
    if (!stmt) {
        return false;
    }
    int rc = SQLITE_ROW;
    MessageSummary summary;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 0));
        readRow(stmt.get(), 2, &summary);
        summary.flags = 0; // not kept: it comes from the file's name
        visit(std::string_view(name ? name : "", size),
              static_cast<std::uint64_t>(sqlite3_column_int64(stmt.get(), 1)), summary);
    }
    return rc == SQLITE_DONE;
}

bool SummaryIndex::find(const std::string& name, std::uint64_t* inode, MessageSummary* summary)
{
    Statement stmt =
        prepare((std::string("SELECT ") + kColumns + " FROM summary WHERE name = ?").c_str());
    if (!stmt) {
        return false;
    }
    bindText(stmt.get(), 1, name);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return false;
    }
    *inode = static_cast<std::uint64_t>(sqlite3_column_int64(stmt.get(), 1));
    readRow(stmt.get(), 2, summary);
    return true;
}

void SummaryIndex::begin()
{
    m_inTransaction = exec("BEGIN IMMEDIATE");
}

void SummaryIndex::put(const std::string& name, std::uint64_t inode, const MessageSummary& s)
{
    if (!m_inTransaction) {
        return; // another writer held the lock too long: this open does without
    }
    if (!m_put) {
        m_put = prepare("INSERT OR REPLACE INTO summary VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        if (!m_put) {
            return;
        }
    }
    sqlite3_stmt* stmt = m_put.get();
    bindText(stmt, 1, name);
    sqlite3_bind_int64(stmt, 2, static_cast<sqlite3_int64>(inode));
    bindText(stmt, 3, s.subject);
    bindText(stmt, 4, s.fromName);
    bindText(stmt, 5, s.fromAddress);
    bindText(stmt, 6, s.senderName);
    bindText(stmt, 7, s.senderAddress);
    bindText(stmt, 8, s.displayTo);
    bindText(stmt, 9, s.displayCc);
    sqlite3_bind_int64(stmt, 10, static_cast<sqlite3_int64>(s.submitTime));
    sqlite3_bind_int64(stmt, 11, static_cast<sqlite3_int64>(s.deliveryTime));
    sqlite3_bind_int64(stmt, 12, s.size);
    sqlite3_bind_int(stmt, 13, s.importance);
    sqlite3_bind_int(stmt, 14, s.hasAttachments ? 1 : 0);
    bindText(stmt, 15, s.messageClass);
    sqlite3_bind_int(stmt, 16, s.sensitivity);
    sqlite3_bind_int(stmt, 17, s.readReceipt ? 1 : 0);
    bindText(stmt, 18, s.replyToNames);
    sqlite3_bind_int64(stmt, 19, s.modified);
    sqlite3_bind_int64(stmt, 20, s.changed);
    bindText(stmt, 21, s.receivedByName);
    bindText(stmt, 22, s.receivedByAddress);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
}

void SummaryIndex::remove(const std::string& name)
{
    if (!m_inTransaction) {
        return;
    }
    if (!m_remove) {
        m_remove = prepare("DELETE FROM summary WHERE name = ?");
        if (!m_remove) {
            return;
        }
    }
    bindText(m_remove.get(), 1, name);
    sqlite3_step(m_remove.get());
    sqlite3_reset(m_remove.get());
}

void SummaryIndex::commit()
{
    if (m_inTransaction && !exec("COMMIT")) {
        exec("ROLLBACK");
    }
    m_inTransaction = false;
}

} // namespace vntmapi
