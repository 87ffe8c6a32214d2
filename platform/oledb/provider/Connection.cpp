#include "oledb/provider/Connection.h"

#include "oledb/provider/Sqlite.h"

#include <sqlite3.h>

namespace vnt::oledb {

Connection::Connection(sqlite3* db)
    : m_db(db)
{}

Connection::~Connection()
{
    if (m_explicitTransaction)
        rollback();
    sqlite3_close_v2(m_db);
}

HRESULT Connection::runChange(const QString& table, const std::function<HRESULT()>& change,
                              ErrorRecords* errors)
{
    if (m_explicitTransaction) {
        const HRESULT hr = change();
        if (succeeded(hr))
            noteChanged(table);
        return hr;
    }
    HRESULT hr = begin(errors);
    if (failed(hr))
        return hr;
    hr = change();
    if (failed(hr)) {
        rollback();
        return hr;
    }
    noteChanged(table);
    return finish(errors);
}

HRESULT Connection::startTransaction(ErrorRecords* errors)
{
    if (m_explicitTransaction) {
        errors->add(E_UNEXPECTED, QStringLiteral("A transaction is already open."));
        return E_UNEXPECTED;
    }
    const HRESULT hr = begin(errors);
    m_explicitTransaction = succeeded(hr);
    return hr;
}

HRESULT Connection::commitTransaction(ErrorRecords* errors)
{
    if (!m_explicitTransaction) {
        errors->add(E_UNEXPECTED, QStringLiteral("No transaction is open."));
        return E_UNEXPECTED;
    }
    m_explicitTransaction = false;
    return finish(errors);
}

HRESULT Connection::abortTransaction(ErrorRecords* errors)
{
    if (!m_explicitTransaction) {
        errors->add(E_UNEXPECTED, QStringLiteral("No transaction is open."));
        return E_UNEXPECTED;
    }
    m_explicitTransaction = false;
    rollback();
    return S_OK;
}

QString Connection::readOnlyReason(const QString&) const
{
    return {};
}

bool Connection::isDateColumn(const QString&, const QString&) const
{
    return false;
}

void Connection::noteDateColumn(const QString&, const QString&)
{}

HRESULT Connection::persist(ErrorRecords*)
{
    return S_OK;
}

void Connection::noteChanged(const QString&)
{}

HRESULT Connection::begin(ErrorRecords* errors)
{
    // IMMEDIATE takes the write lock at once, so a busy file fails here and not half way.
    const int rc = execSql(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return sqliteFailure(m_db, rc, QStringLiteral("The change cannot start"), errors);
    return S_OK;
}

HRESULT Connection::finish(ErrorRecords* errors)
{
    HRESULT hr = persist(errors);
    if (failed(hr)) {
        rollback();
        return hr;
    }
    const int rc = execSql(m_db, "COMMIT");
    if (rc != SQLITE_OK) {
        hr = sqliteFailure(m_db, rc, QStringLiteral("The change could not be saved"), errors);
        rollback();
    }
    return hr;
}

void Connection::rollback()
{
    if (!sqlite3_get_autocommit(m_db))
        execSql(m_db, "ROLLBACK");
}

} // namespace vnt::oledb
