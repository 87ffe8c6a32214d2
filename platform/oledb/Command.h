#pragma once

#include "oledb/ErrorRecords.h"
#include "oledb/Properties.h"

#include <memory>

namespace vnt::oledb {

class Rowset;

// A command: a statement text and the rowset properties to open it with.
class Command : public ErrorInfo
{
public:
    explicit Command(std::shared_ptr<Connection> connection);
    ~Command() override;

    HRESULT setCommandText(const QString& text);
    QString commandText() const { return m_text; }

    // The rowset properties: DBPROP_CANFETCHBACKWARDS (previous rows), DBPROP_IRowsetChange
    // with DBPROP_UPDATABILITY (which changes are allowed), DBPROP_BOOKMARKS,
    // DBPROP_IRowsetLocate and DBPROP_IRowsetScroll (any of them adds the bookmark column
    // at ordinal 0), DBPROP_CANSCROLLBACKWARDS.
    HRESULT setProperties(DBPROPSET* properties);

    // Runs the statement, which must return rows, and opens a rowset on it. A statement
    // whose columns all come from one table, its integer key among them, gives a keyset rowset
    // that can be changed; any other gives a read-only copy of its rows. Answers
    // DB_S_ERRORSOCCURRED when the change interface was asked for and cannot be had.
    HRESULT execute(std::unique_ptr<Rowset>* rowset);

private:
    std::shared_ptr<Connection> m_connection;
    PropertyValues m_properties;
    QString m_text;
};

} // namespace vnt::oledb
