#pragma once

#include "oledb/ErrorRecords.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace vnt::oledb {

// A prepared statement that finalizes itself. Values cross as QVariant: null, qint64,
// double or QString (text is UTF-8 inside the database).
class Statement
{
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    ~Statement();

    // Prepares the first statement of `sql`; `tail` receives what follows it.
    int prepare(sqlite3* db, const QString& sql, QByteArray* tail = nullptr);
    bool isValid() const { return m_stmt != nullptr; }
    sqlite3_stmt* handle() const { return m_stmt; }

    int bind(int index, const QVariant& value);
    int bindInt64(int index, qint64 value);
    int step();
    void reset();

    int columnCount() const;
    QVariant value(int column) const;
    qint64 int64Value(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Runs SQL that returns no rows.
int execSql(sqlite3* db, const char* sql);

// "name" with inner quotes doubled, for building statements from names.
QString quoteIdentifier(const QString& name);

// The result code for an SQLite failure and one error record describing it, the database's
// own message after `context`.
HRESULT sqliteFailure(sqlite3* db, int rc, const QString& context, ErrorRecords* errors);
HRESULT resultForSqlite(int rc);

// What a user can act on when a failure comes from the database file: in use by another
// program, a full disk, a read-only folder or file, a failing disk. Empty for other
// failures and for in-memory databases. With `named`, the text says "it" for the file.
QString fileProblem(sqlite3* db, int rc, bool named);
// Why the database file at `path` cannot be written; empty when it can.
QString readOnlyProblem(const QString& path, bool named);

} // namespace vnt::oledb
