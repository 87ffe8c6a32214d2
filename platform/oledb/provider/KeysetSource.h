#pragma once

#include "oledb/provider/RowSource.h"
#include "oledb/provider/Sqlite.h"

#include <functional>
#include <map>
#include <vector>

namespace vnt::oledb {

// Rows of one table, listed by the values of its integer key in the statement's order and
// read by key when asked for.
class KeysetSource : public RowSource
{
public:
    // `keyColumn` is the index of the key among `columns`. The keys are listed next, by one
    // of the list functions.
    static HRESULT open(Connection& connection, const QString& table, QList<SourceColumn> columns,
                        int keyColumn, std::unique_ptr<KeysetSource>* source, ErrorRecords* errors);

    // Lists the keys that `statement` returns in its column `column`, in its order.
    HRESULT listKeys(Statement& statement, int column, ErrorRecords* errors);
    // Lists the keys of `statement` (the key, then the value to sort on) ordered by their
    // values; ties keep the statement's order and nulls come first in ascending order, as
    // the database sorts them. S_FALSE, with nothing listed, when a value is not an integer.
    HRESULT listSortedKeys(Statement& statement, bool descending, ErrorRecords* errors);
    // Lists the keys of `statement` when they are first needed; for statements that can
    // fail only when the file does.
    void deferKeys(Statement statement, int column);

    HRESULT ready(ErrorRecords* errors) override;
    qsizetype count() const override;
    HRESULT fetch(qsizetype index, QList<QVariant>* values, ErrorRecords* errors) override;
    void drop(qsizetype index) override;
    QString readOnlyReason() const override;
    QString table() const override { return m_table; }
    HRESULT update(qsizetype index, const ColumnValues& values, ErrorRecords* errors) override;
    HRESULT insert(const ColumnValues& values, qint64* key, ErrorRecords* errors) override;
    HRESULT remove(qsizetype index, ErrorRecords* errors) override;
    void appendKey(qint64 key) override { m_keys.push_back(key); }

private:
    KeysetSource(Connection& connection, QString table, QList<SourceColumn> columns, int keyColumn);
    void listDeferred() const;
    HRESULT runWrite(const QByteArray& shape, const std::function<QString()>& sql,
                     const QList<QVariant>& values, const QString& what, ErrorRecords* errors);
    QString keyName() const { return m_columns[m_keyColumn].origin; }

    Connection& m_connection;
    QString m_table;
    int m_keyColumn = 0;
    // Listed on first use when deferred; a failure to list is kept for every later call.
    mutable std::vector<qint64> m_keys;
    mutable Statement m_deferred;
    mutable int m_deferredColumn = 0;
    mutable ErrorRecords m_listFailure;
    Statement m_fetch;
    std::map<QByteArray, Statement> m_writes;
};

// The rows of any other statement, copied when it runs; they cannot be changed.
class SnapshotSource : public RowSource
{
public:
    static HRESULT open(Statement& statement, QList<SourceColumn> columns, QString reason,
                        std::unique_ptr<RowSource>* source, ErrorRecords* errors);

    qsizetype count() const override { return qsizetype(m_rows.size()); }
    HRESULT fetch(qsizetype index, QList<QVariant>* values, ErrorRecords* errors) override;
    void drop(qsizetype index) override;
    QString readOnlyReason() const override { return m_reason; }
    QString table() const override { return {}; }
    HRESULT update(qsizetype, const ColumnValues&, ErrorRecords* errors) override;
    HRESULT insert(const ColumnValues&, qint64*, ErrorRecords* errors) override;
    HRESULT remove(qsizetype, ErrorRecords* errors) override;
    void appendKey(qint64) override {}

private:
    HRESULT readOnly(ErrorRecords* errors) const;

    std::vector<QList<QVariant>> m_rows;
    QString m_reason;
};

} // namespace vnt::oledb
