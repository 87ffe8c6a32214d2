#include "oledb/provider/SqliteProvider.h"

#include "oledb/provider/Connection.h"
#include "oledb/provider/Sqlite.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace vnt::oledb {

namespace {

// How long a change waits for another program that is writing the same file.
constexpr int kBusyTimeoutMs = 3000;

class SqliteConnection : public Connection
{
public:
    SqliteConnection(sqlite3* db, QString path, bool readOnlyAsked)
        : Connection(db)
        , m_path(std::move(path))
        , m_readOnlyAsked(readOnlyAsked)
    {}

    QString readOnlyReason(const QString&) const override
    {
        if (sqlite3_db_readonly(db(), "main") != 1)
            return {};
        // A file opened for writing that came up read-only says why.
        const QString why = m_readOnlyAsked ? QString() : readOnlyProblem(m_path, true);
        if (why.isEmpty())
            return QStringLiteral("The database '%1' is open read-only.").arg(m_path);
        return QStringLiteral("The database '%1' cannot be changed: %2.").arg(m_path, why);
    }

private:
    QString m_path;
    bool m_readOnlyAsked = false;
};

} // namespace

HRESULT openSqliteFile(const QString& path, bool readOnly, std::shared_ptr<Connection>* connection,
                       ErrorRecords* errors)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        errors->add(STG_E_FILENOTFOUND, QStringLiteral("Could not find file '%1'.").arg(path));
        return STG_E_FILENOTFOUND;
    }
    sqlite3* db = nullptr;
    // A connection is used by one thread at a time: no locking on every call.
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    auto opened = std::make_shared<SqliteConnection>(db, path, readOnly);
    // Before the first statement: another program's write in progress is waited for,
    // not reported as a failure to open.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (rc == SQLITE_OK)
        rc = execSql(db, "SELECT count(*) FROM sqlite_schema");
    if (rc != SQLITE_OK)
        return sqliteFailure(db, rc, QStringLiteral("The database '%1' cannot be opened").arg(path),
                             errors);
    rc = registerLike(db);
    if (rc != SQLITE_OK)
        return sqliteFailure(db, rc, QString(), errors);
    *connection = std::move(opened);
    return S_OK;
}

} // namespace vnt::oledb
