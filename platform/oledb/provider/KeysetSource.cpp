#include "oledb/provider/KeysetSource.h"

#include "oledb/provider/Connection.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <bit>
#include <numeric>
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

// What a write statement does and to which columns: "U2,5," updates columns 2 and 5.
QByteArray shapeOf(char what, const ColumnValues& values)
{
    QByteArray shape(1, what);
    for (const auto& [column, value] : values)
        shape.append(QByteArray::number(column)).append(',');
    return shape;
}

struct SortEntry
{
    quint64 order; // orders as the value does
    qint64 key;
};

// Sorts stably by `order`, a radix pass for every 11 bits the orders differ in.
void radixSort(std::vector<SortEntry>* entries)
{
    if (entries->size() < 2)
        return;
    const auto [low, high] = std::minmax_element(
        entries->begin(), entries->end(),
        [](const SortEntry& a, const SortEntry& b) { return a.order < b.order; });
    const quint64 base = low->order;
    const int bits = std::bit_width(high->order - base);
    constexpr int kDigitBits = 11;
    std::vector<SortEntry> scratch(entries->size());
    for (int shift = 0; shift < bits; shift += kDigitBits) {
        std::array<size_t, (1 << kDigitBits) + 1> starts{};
        const auto digit = [&](const SortEntry& entry) {
            return size_t(((entry.order - base) >> shift) & ((1 << kDigitBits) - 1));
        };
        for (const SortEntry& entry : *entries)
            ++starts[digit(entry) + 1];
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        for (const SortEntry& entry : *entries)
            scratch[starts[digit(entry)]++] = entry;
        entries->swap(scratch);
    }
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

HRESULT KeysetSource::open(Connection& connection, const QString& table,
                           QList<SourceColumn> columns, int keyColumn,
                           std::unique_ptr<KeysetSource>* source, ErrorRecords* errors)
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
    *source = std::move(keyset);
    return S_OK;
}

HRESULT KeysetSource::listKeys(Statement& statement, int column, ErrorRecords* errors)
{
    return readRows(statement, column, &m_keys, m_connection.db(), errors);
}

HRESULT KeysetSource::listSortedKeys(Statement& statement, bool descending, ErrorRecords* errors)
{
    std::vector<SortEntry> entries;
    std::vector<qint64> nulls;
    int rc = SQLITE_ROW;
    while ((rc = statement.step()) == SQLITE_ROW) {
        const int type = sqlite3_column_type(statement.handle(), 1);
        if (type == SQLITE_NULL) {
            nulls.push_back(statement.int64Value(0));
            continue;
        }
        if (type != SQLITE_INTEGER) {
            statement.reset();
            return S_FALSE;
        }
        // The sign bit flipped, the unsigned order is the signed one.
        const quint64 order = quint64(statement.int64Value(1)) ^ (quint64(1) << 63);
        entries.push_back({descending ? ~order : order, statement.int64Value(0)});
    }
    statement.reset();
    if (rc != SQLITE_DONE)
        return sqliteFailure(m_connection.db(), rc, QStringLiteral("The statement failed"), errors);
    radixSort(&entries);
    if (!descending)
        m_keys = std::move(nulls);
    m_keys.reserve(entries.size() + nulls.size() + m_keys.size());
    for (const SortEntry& entry : entries)
        m_keys.push_back(entry.key);
    if (descending)
        m_keys.insert(m_keys.end(), nulls.begin(), nulls.end());
    return S_OK;
}

void KeysetSource::deferKeys(Statement statement, int column)
{
    m_deferred = std::move(statement);
    m_deferredColumn = column;
}

void KeysetSource::listDeferred() const
{
    if (!m_deferred.isValid())
        return;
    Statement statement = std::move(m_deferred);
    if (failed(readRows(statement, m_deferredColumn, &m_keys, m_connection.db(), &m_listFailure)))
        m_keys.clear();
}

HRESULT KeysetSource::ready(ErrorRecords* errors)
{
    listDeferred();
    if (m_listFailure.isEmpty())
        return S_OK;
    errors->append(m_listFailure);
    return m_listFailure.record(0).error;
}

qsizetype KeysetSource::count() const
{
    listDeferred();
    return qsizetype(m_keys.size());
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

HRESULT KeysetSource::runWrite(const QByteArray& shape, const std::function<QString()>& sql,
                               const QList<QVariant>& values, const QString& what,
                               ErrorRecords* errors)
{
    sqlite3* db = m_connection.db();
    // A rowset writes through the same accessor again and again: keep its statements, by
    // what they do to which columns.
    Statement& statement = m_writes[shape];
    int rc = statement.isValid() ? SQLITE_OK : statement.prepare(db, sql());
    for (int i = 0; rc == SQLITE_OK && i < values.size(); ++i)
        rc = statement.bind(i + 1, values[i]);
    if (rc == SQLITE_OK)
        rc = statement.step();
    if (statement.isValid())
        statement.reset();
    if (rc != SQLITE_DONE) {
        const HRESULT hr = sqliteFailure(db, rc, what, errors);
        m_writes.erase(shape);
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
    QList<QVariant> arguments;
    for (const auto& [column, value] : values)
        arguments.append(value);
    arguments.append(m_keys[size_t(index)]);
    const auto sql = [&] {
        QStringList assignments;
        for (const auto& [column, value] : values)
            assignments.append(quoteIdentifier(m_columns[column].origin) + QLatin1String(" = ?"));
        return QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
            .arg(quoteIdentifier(m_table), assignments.join(QLatin1String(", ")),
                 quoteIdentifier(keyName()));
    };
    return runWrite(shapeOf('U', values), sql, arguments,
                    QStringLiteral("The row could not be updated"), errors);
}

HRESULT KeysetSource::insert(const ColumnValues& values, qint64* key, ErrorRecords* errors)
{
    QList<QVariant> arguments;
    for (const auto& [column, value] : values)
        arguments.append(value);
    const auto sql = [&] {
        QStringList names;
        QStringList places;
        for (const auto& [column, value] : values) {
            names.append(quoteIdentifier(m_columns[column].origin));
            places.append(QStringLiteral("?"));
        }
        return names.isEmpty()
                   ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(m_table))
                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(quoteIdentifier(m_table), names.join(QLatin1String(", ")),
                              places.join(QLatin1String(", ")));
    };
    const HRESULT hr = runWrite(shapeOf('I', values), sql, arguments,
                                QStringLiteral("The row could not be added"), errors);
    if (succeeded(hr))
        *key = sqlite3_last_insert_rowid(m_connection.db());
    return hr;
}

HRESULT KeysetSource::remove(qsizetype index, ErrorRecords* errors)
{
    const auto sql = [&] {
        return QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
            .arg(quoteIdentifier(m_table), quoteIdentifier(keyName()));
    };
    return runWrite(shapeOf('D', {}), sql, {m_keys[size_t(index)]},
                    QStringLiteral("The row could not be deleted"), errors);
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
