#pragma once

#include "oledb/ErrorRecords.h"

#include <QString>
#include <functional>

struct sqlite3;

namespace vnt::oledb {

// The open database behind a data source, shared by its sessions, commands and rowsets
// so that none of them outlives it. Subclasses say where the data lives and how a change
// is made durable.
class Connection
{
public:
    explicit Connection(sqlite3* db);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual ~Connection();

    sqlite3* db() const { return m_db; }

    // The last failure of any object of the data source.
    const ErrorRecords& lastFailure() const { return m_lastFailure; }
    void setLastFailure(const ErrorRecords& records) { m_lastFailure = records; }

    // Runs `change` on `table` as one transaction and makes it durable before returning;
    // inside a session transaction it only runs it. On failure nothing of it remains.
    HRESULT runChange(const QString& table, const std::function<HRESULT()>& change,
                      ErrorRecords* errors);

    HRESULT startTransaction(ErrorRecords* errors);
    HRESULT commitTransaction(ErrorRecords* errors);
    HRESULT abortTransaction(ErrorRecords* errors);
    bool inTransaction() const { return m_explicitTransaction; }

    // Why the rows of `table` cannot be changed; empty when they can.
    virtual QString readOnlyReason(const QString& table) const;
    // Whether `column` of `table` holds dates, for a store that keeps dates apart from
    // numbers; a date written through a date binding makes it one.
    virtual bool isDateColumn(const QString& table, const QString& column) const;
    virtual void noteDateColumn(const QString& table, const QString& column);

protected:
    // Makes the changes of the open transaction durable before it commits.
    virtual HRESULT persist(ErrorRecords* errors);
    virtual void noteChanged(const QString& table);

private:
    HRESULT begin(ErrorRecords* errors);
    HRESULT finish(ErrorRecords* errors);
    void rollback();

    sqlite3* m_db = nullptr;
    ErrorRecords m_lastFailure;
    bool m_explicitTransaction = false;
};

// Registers the LIKE operator of the statements: '%' and '_' wildcards, case-insensitive
// over all of Unicode (SQLite's own ignores case only for ASCII letters).
int registerLike(sqlite3* db);

} // namespace vnt::oledb
