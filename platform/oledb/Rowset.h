#pragma once

#include "oledb/Accessor.h"
#include "oledb/ErrorRecords.h"

#include <memory>

namespace vnt::oledb {

class RowSource;

// One column of the column information.
struct DBCOLUMNINFO
{
    QString name;
    DBORDINAL ordinal = 0;
    DBCOLUMNFLAGS flags = 0;
    DBLENGTH columnSize = 0;
    DBTYPE type = DBTYPE_EMPTY;
};

// The rows of an executed statement, scrollable both ways.
//
// Position: before the first row after opening and after restartPosition(); on a row
// after a move that found one; before the first or after the last row after a move
// that ran off an end (DB_S_ENDOFROWSET). Moving back from past the end finds the last
// row, and moving on from before the start the first. After deleteRow() the position
// lies where the row was: the next row follows it, the previous row precedes it.
//
// A keyset rowset keeps the keys of its rows in the statement's order and reads a row
// when it is moved to and when its data is read, so changes made elsewhere to its rows
// show; rows deleted elsewhere are skipped. Rows it inserts are added at its end. The keys
// of a statement that reads a whole table are listed when first needed (a rowset opened
// for its column information never lists them).
class Rowset : public ErrorInfo
{
public:
    struct Options
    {
        bool canFetchBackwards = false;
        bool bookmarks = false;
        qint32 updatability = 0; // DBPROPVAL_UP_*; 0 without the change interface
    };

    Rowset(std::shared_ptr<Connection> connection, std::unique_ptr<RowSource> source,
           Options options);
    ~Rowset() override;

    // Ordinal 0 is the bookmark column (flag DBCOLUMNFLAGS_ISBOOKMARK) when bookmarks were
    // asked for; the statement's columns follow from ordinal 1.
    HRESULT getColumnInfo(QList<DBCOLUMNINFO>* columns) const;
    HRESULT createAccessor(const QList<Binding>& bindings, Accessor* accessor);

    // Moves answer S_OK on a row and DB_S_ENDOFROWSET where there is none.
    HRESULT restartPosition();
    HRESULT moveFirst();
    HRESULT moveNext();
    // DB_E_CANTFETCHBACKWARDS unless DBPROP_CANFETCHBACKWARDS was set.
    HRESULT movePrev();
    HRESULT moveLast();

    // Reads the current row into the accessor's places. S_OK also when values were null
    // or cut short (their statuses say so); DB_S_ERRORSOCCURRED when some values could
    // not be converted, DB_E_ERRORSOCCURRED when none could. DB_E_BADROWHANDLE without a
    // current row, DB_E_DELETEDROW when it has been deleted.
    HRESULT getData(const Accessor& accessor);

    // The change interface (DB_E_NOTSUPPORTED unless the command asked for it with the
    // matching updatability). Each change is its own transaction and reaches the file
    // before the call returns, unless the session holds a transaction.
    HRESULT setData(const Accessor& accessor);
    // Adds a row from the accessor's values at the end of the rowset; the position stays.
    HRESULT insertRow(const Accessor& accessor);
    HRESULT deleteRow();

    bool hasCurrentRow() const;
    qsizetype rowCount() const;
    // 0-based index of the current row, -1 before the first, rowCount() after the last.
    qsizetype position() const { return m_position; }
    bool canChange() const;

private:
    HRESULT moveTo(qsizetype index, int step);
    HRESULT rowsReady();
    HRESULT checkAccessor(const Accessor& accessor) const;
    HRESULT checkChange(qint32 updatability, const char* what);
    HRESULT currentValues(QList<QVariant>* values);
    HRESULT collectValues(const Accessor& accessor, QList<QPair<int, QVariant>>* values,
                          bool withKey);

    std::shared_ptr<Connection> m_connection;
    std::unique_ptr<RowSource> m_source;
    Options m_options;
    qsizetype m_position = -1;
    bool m_currentDeleted = false;
};

} // namespace vnt::oledb
