#include "oledb/provider/KeysetSource.h"

#include "oledb/provider/Connection.h"

#include <QStringList>
#include <sqlite3.h>

namespace vnt::oledb {

namespace {

QString columnList(const QList<SourceColumn>& columns)
{
    QStringList names;
    for (const SourceColumn& column : columns)
        names.append(quoteIdentifier(column.origin));
    return names.join(QLatin1String(", "));
}

HRESULT readRows(Statement& statement, int keyColumn, std::vector<qint64>* keys, sqlite3* db,
                 ErrorRecords* errors)
{
    int rc = SQLITE_ROW;
    while ((rc = statement.step()) == SQLITE_ROW)
        keys->push_back(statement.int64Value(keyColumn));
    statement.reset();
    if (rc != SQLITE_DONE)
        return sqliteFailure(db, rc, QStringLiteral("The statement failed"), errors);
    return S_OK;
}

} // namespace

KeysetSource::KeysetSource(Connection& connection, QString table, QList<SourceColumn> columns,
                           int keyColumn)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_keyColumn(keyColumn)
{
    m_columns = std::move(columns);
}

HRESULT KeysetSource::open(Connection& connection, Statement& keyStatement, int keyColumnInResult,
                           const QString& table, QList<SourceColumn> columns, int keyColumn,
                           std::unique_ptr<RowSource>* source, ErrorRecords* errors)
{
    std::unique_ptr<KeysetSource> keyset(
        new KeysetSource(connection, table, std::move(columns), keyColumn));
    const QString fetchSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                 .arg(columnList(keyset->m_columns), quoteIdentifier(table),
                                      quoteIdentifier(keyset->keyName()));
    const int rc = keyset->m_fetch.prepare(connection.db(), fetchSql);
    if (rc != SQLITE_OK)
        return sqliteFailure(connection.db(), rc, QStringLiteral("The rows cannot be read"),
                             errors);
    const HRESULT hr =
        readRows(keyStatement, keyColumnInResult, &keyset->m_keys, connection.db(), errors);
    if (failed(hr))
        return hr;
    *source = std::move(keyset);
    return S_OK;
}

HRESULT KeysetSource::fetch(qsizetype index, QList<QVariant>* values, ErrorRecords* errors)
{
    m_fetch.bindInt64(1, m_keys[size_t(index)]);
    const int rc = m_fetch.step();
    if (rc == SQLITE_ROW) {
        values->clear();
        for (int column = 0; column < m_fetch.columnCount(); ++column)
            values->append(m_fetch.value(column));
    }
    m_fetch.reset();
    if (rc == SQLITE_ROW)
        return S_OK;
    if (rc == SQLITE_DONE)
        return S_FALSE;
    return sqliteFailure(m_connection.db(), rc, QStringLiteral("The row cannot be read"), errors);
}

void KeysetSource::drop(qsizetype index)
{
    m_keys.erase(m_keys.begin() + index);
}

QString KeysetSource::readOnlyReason() const
{
    return m_connection.readOnlyReason(m_table);
}

HRESULT KeysetSource::runWrite(const QString& sql, const QList<QVariant>& values,
                               const QString& what, ErrorRecords* errors)
{
    sqlite3* db = m_connection.db();
    // A rowset writes through the same accessor again and again: keep its statements.
    Statement& statement = m_writes[sql];
    int rc = statement.isValid() ? SQLITE_OK : statement.prepare(db, sql);
    for (int i = 0; rc == SQLITE_OK && i < values.size(); ++i)
        rc = statement.bind(i + 1, values[i]);
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (statement.isValid())
        statement.reset();
    if (rc != SQLITE_DONE) {
        const HRESULT hr = sqliteFailure(db, rc, what, errors);
        m_writes.erase(sql);
        return hr;
    }
    if (sqlite3_changes(db) == 0) {
        errors->add(DB_E_DELETEDROW, QStringLiteral("The row has been deleted."));
        return DB_E_DELETEDROW;
    }
    return S_OK;
}

HRESULT KeysetSource::update(qsizetype index, const ColumnValues& values, ErrorRecords* errors)
{
    if (values.isEmpty())
        return S_OK;
    QStringList assignments;
    QList<QVariant> arguments;
    for (const auto& [column, value] : values) {
        assignments.append(quoteIdentifier(m_columns[column].origin) + QLatin1String(" = ?"));
        arguments.append(value);
    }
    arguments.append(m_keys[size_t(index)]);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                            .arg(quoteIdentifier(m_table), assignments.join(QLatin1String(", ")),
                                 quoteIdentifier(keyName()));
    return runWrite(sql, arguments, QStringLiteral("The row could not be updated"), errors);
}

HRESULT KeysetSource::insert(const ColumnValues& values, qint64* key, ErrorRecords* errors)
{
    QStringList names;
    QStringList places;
    QList<QVariant> arguments;
    for (const auto& [column, value] : values) {
        names.append(quoteIdentifier(m_columns[column].origin));
        places.append(QStringLiteral("?"));
        arguments.append(value);
    }
    const QString sql =
        names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(m_table))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoteIdentifier(m_table), names.join(QLatin1String(", ")),
                       places.join(QLatin1String(", ")));
    const HRESULT hr =
        runWrite(sql, arguments, QStringLiteral("The row could not be added"), errors);
    if (succeeded(hr))
        *key = sqlite3_last_insert_rowid(m_connection.db());
    return hr;
}

HRESULT KeysetSource::remove(qsizetype index, ErrorRecords* errors)
{
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                            .arg(quoteIdentifier(m_table), quoteIdentifier(keyName()));
    return runWrite(sql, {m_keys[size_t(index)]}, QStringLiteral("The row could not be deleted"),
                    errors);
}

HRESULT SnapshotSource::open(Statement& statement, QList<SourceColumn> columns, QString reason,
                             std::unique_ptr<RowSource>* source, ErrorRecords* errors)
{
    auto snapshot = std::make_unique<SnapshotSource>();
    snapshot->m_columns = std::move(columns);
    snapshot->m_reason = std::move(reason);
    int rc = SQLITE_ROW;
    while ((rc = statement.step()) == SQLITE_ROW) {
        QList<QVariant> row;
        for (int column = 0; column < statement.columnCount(); ++column)
            row.append(statement.value(column));
        snapshot->m_rows.push_back(std::move(row));
    }
    statement.reset();
    if (rc != SQLITE_DONE)
        return sqliteFailure(sqlite3_db_handle(statement.handle()), rc,
                             QStringLiteral("The statement failed"), errors);
    *source = std::move(snapshot);
    return S_OK;
}

HRESULT SnapshotSource::fetch(qsizetype index, QList<QVariant>* values, ErrorRecords*)
{
    *values = m_rows[size_t(index)];
    return S_OK;
}

void SnapshotSource::drop(qsizetype index)
{
    m_rows.erase(m_rows.begin() + index);
}

HRESULT SnapshotSource::readOnly(ErrorRecords* errors) const
{
    errors->add(DB_E_NOTSUPPORTED, m_reason);
    return DB_E_NOTSUPPORTED;
}

HRESULT SnapshotSource::update(qsizetype, const ColumnValues&, ErrorRecords* errors)
{
    return readOnly(errors);
}

HRESULT SnapshotSource::insert(const ColumnValues&, qint64*, ErrorRecords* errors)
{
    return readOnly(errors);
}

HRESULT SnapshotSource::remove(qsizetype, ErrorRecords* errors)
{
    return readOnly(errors);
}

} // namespace vnt::oledb
