#pragma once

#include "database/RecordLayout.h"
#include "oledb/Accessor.h"

#include <QStringList>
#include <memory>

namespace vnt::oledb {
class Command;
class ErrorInfo;
class Rowset;
class Session;
} // namespace vnt::oledb

namespace vantrel::database {

// One open statement over the Job or Knowledge table: its command and rowset, the record
// buffer its bindings fill, the row as it was last read, and whether the shown row is the
// first or the last.
class RecordSet
{
public:
    explicit RecordSet(std::span<const FieldSpec> fields);
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    // Runs `statement` as a changeable, scrollable rowset and binds the record buffer.
    // On failure nothing stays open; errorObject() tells where the failure is recorded.
    vnt::oledb::HRESULT open(vnt::oledb::Session& session, const QString& statement);
    void close();
    bool isOpen() const { return m_rowset != nullptr; }
    // Takes over the open statement of `other` (a set of the same fields, opened by a thread
    // that is done with it) and binds this set's buffer to it; `other` is left closed.
    vnt::oledb::HRESULT adopt(RecordSet& other);

    // The names of the bound columns in ordinal order, each at most 128 characters; false
    // when the rowset reports no column information.
    bool readColumnNames(QStringList* names) const;

    // Moves answer S_OK on a row, DB_S_ENDOFROWSET where there is none.
    vnt::oledb::HRESULT moveFirst();
    vnt::oledb::HRESULT moveNext();
    vnt::oledb::HRESULT movePrevious();
    vnt::oledb::HRESULT moveLast();
    // Reads the current row into the buffer and remembers it as read.
    vnt::oledb::HRESULT read();
    // The current row as it is stored now, without touching the buffer.
    vnt::oledb::HRESULT readStored(RecordValues* values);
    vnt::oledb::HRESULT write();
    vnt::oledb::HRESULT insert();
    vnt::oledb::HRESULT remove();

    RecordValues& values() { return m_values; }
    const RecordValues& values() const { return m_values; }
    // The row as the last read() found it.
    const RecordValues& asRead() const { return m_asRead; }
    // After a write: the row as it is now stored.
    void markRead(const RecordValues& stored) { m_asRead = stored; }
    std::span<const FieldSpec> fields() const { return m_fields; }

    vnt::oledb::Rowset* rowset() const { return m_rowset.get(); }
    // The object whose error records describe the last failure of open().
    vnt::oledb::ErrorInfo* errorObject() const;

    bool atFirst = false;
    bool atLast = false;
    // The form's values as they were when this set's row was last shown: a record is
    // written back only when the form differs from them.
    RecordValues shown;

private:
    QList<vnt::oledb::Binding> bindingsFor(RecordValues& values) const;

    std::span<const FieldSpec> m_fields;
    RecordValues m_values;
    RecordValues m_asRead;
    RecordValues m_scratch;
    std::unique_ptr<vnt::oledb::Command> m_command;
    std::unique_ptr<vnt::oledb::Rowset> m_rowset;
    vnt::oledb::Accessor m_accessor;
    vnt::oledb::Accessor m_scratchAccessor;
    vnt::oledb::ErrorInfo* m_failedObject = nullptr;
};

} // namespace vantrel::database
