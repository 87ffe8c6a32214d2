#pragma once

#include "oledb/ErrorRecords.h"

#include <QList>
#include <QPair>
#include <QVariant>
#include <memory>

namespace vnt::oledb {

class Connection;

// A column of a statement's result, with where it comes from.
struct SourceColumn
{
    QString name;
    QString origin;   // column of the base table, when there is one
    QString declared; // declared type in the base table
    DBTYPE type = DBTYPE_STR;
    DBLENGTH size = 0;
    bool nullable = true;
    bool key = false;
};

// Values for a change: result column index (0-based) and value.
using ColumnValues = QList<QPair<int, QVariant>>;

// The rows behind a rowset, addressed by their 0-based index in the statement's order.
class RowSource
{
public:
    virtual ~RowSource() = default;

    const QList<SourceColumn>& columns() const { return m_columns; }
    // S_OK once the rows are known; the failure to list them otherwise.
    virtual HRESULT ready(ErrorRecords*) { return S_OK; }
    virtual qsizetype count() const = 0;
    // S_OK with the row's values, S_FALSE when the row is no longer there.
    virtual HRESULT fetch(qsizetype index, QList<QVariant>* values, ErrorRecords* errors) = 0;
    // Forgets a row that is no longer there.
    virtual void drop(qsizetype index) = 0;

    // Why the rows cannot be changed; empty when they can.
    virtual QString readOnlyReason() const = 0;
    // The table that changes go to.
    virtual QString table() const = 0;
    // The changes below touch the database only; the caller runs them in a transaction
    // and, once that has committed, brings the list of rows up to date with appendKey()
    // and drop().
    virtual HRESULT update(qsizetype index, const ColumnValues& values, ErrorRecords* errors) = 0;
    virtual HRESULT insert(const ColumnValues& values, qint64* key, ErrorRecords* errors) = 0;
    virtual HRESULT remove(qsizetype index, ErrorRecords* errors) = 0;
    // Adds an inserted row at the end.
    virtual void appendKey(qint64 key) = 0;

protected:
    QList<SourceColumn> m_columns;
};

// Runs `text` and opens the rows it returns: keyed by the integer key of its table when
// the statement reads one table and its key, otherwise as a read-only copy.
HRESULT openRowSource(Connection& connection, const QString& text,
                      std::unique_ptr<RowSource>* source, ErrorRecords* errors);

} // namespace vnt::oledb
