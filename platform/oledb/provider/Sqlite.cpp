#include "oledb/provider/Sqlite.h"

#include "fileio/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

namespace vnt::oledb {

Statement::Statement(Statement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr))
{}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

int Statement::prepare(sqlite3* db, const QString& sql, QByteArray* tail)
{
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const char* rest = nullptr;
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, &rest);
    if (tail)
        *tail = rest ? QByteArray(rest, utf8.constData() + utf8.size() - rest) : QByteArray();
    return rc;
}

int Statement::bind(int index, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(m_stmt, index);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return sqlite3_bind_int64(m_stmt, index, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(m_stmt, index, value.toDouble());
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()),
                                 SQLITE_TRANSIENT);
    }
    }
}

int Statement::bindInt64(int index, qint64 value)
{
    return sqlite3_bind_int64(m_stmt, index, value);
}

int Statement::step()
{
    return sqlite3_step(m_stmt);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
    }
    }
}

qint64 Statement::int64Value(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

int execSql(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

HRESULT resultForSqlite(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
        return DB_E_INTEGRITYVIOLATION;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return DB_SEC_E_PERMISSIONDENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DB_E_RESOURCELOCKED;
    case SQLITE_MISMATCH:
        return DB_E_CANTCONVERTVALUE;
    case SQLITE_TOOBIG:
        return DB_E_DATAOVERFLOW;
    case SQLITE_NOMEM:
        return E_OUTOFMEMORY;
    case SQLITE_CANTOPEN:
        return STG_E_ACCESSDENIED;
    default:
        return E_FAIL;
    }
}

QString fileProblem(sqlite3* db, int rc, bool named)
{
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!file || !*file)
        return {};
    const QString path = QString::fromUtf8(file);
    const QString it = named ? QStringLiteral("it") : QStringLiteral("the database '%1'").arg(path);
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("%1 is in use by another program; try again when it has finished")
            .arg(it);
    case SQLITE_FULL:
        return QStringLiteral("the disk holding %1 is full")
            .arg(named ? QStringLiteral("it") : QStringLiteral("'%1'").arg(path));
    case SQLITE_READONLY:
        return readOnlyProblem(path, named);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN: {
        const int error = sqlite3_system_errno(db);
        if (error == 0)
            return {};
        return QStringLiteral("%1 cannot be written: %2")
            .arg(it, fileio::failureFor(error, path).reason);
    }
    default:
        return {};
    }
}

QString readOnlyProblem(const QString& path, bool named)
{
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    if (::access(folder.constData(), W_OK) != 0) {
        const QString why = errno == EROFS ? QStringLiteral("is on a read-only disk")
                                           : QStringLiteral("may not be written");
        return QStringLiteral("the folder '%1' that holds %2 %3")
            .arg(info.absolutePath(),
                 named ? QStringLiteral("it") : QStringLiteral("the database '%1'").arg(path), why);
    }
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return named ? QStringLiteral("the file is read-only")
                     : QStringLiteral("the database '%1' is read-only").arg(path);
    return {};
}

HRESULT sqliteFailure(sqlite3* db, int rc, const QString& context, ErrorRecords* errors)
{
    const HRESULT hr = resultForSqlite(rc);
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    const bool named = file && *file && context.contains(QString::fromUtf8(file));
    QString message = fileProblem(db, rc, named);
    if (message.isEmpty())
        message =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (context.isEmpty() && !message.isEmpty())
        message[0] = message[0].toUpper();
    errors->add(hr, context.isEmpty() ? message + QLatin1Char('.')
                                      : context + QLatin1String(": ") + message + QLatin1Char('.'));
    return hr;
}

} // namespace vnt::oledb
