#pragma once

#include "database/RecordLayout.h"
#include "oledb/OleDbTypes.h"

#include <functional>

namespace vantrel::database {

class DatabaseConnection;
class DatabaseHost;
class RecordForm;
class RecordSet;

// The record commands of both record tabs: update, clear, insert (also from the selected
// e-mail), delete, the four moves with the automatic write-back before each, and the
// transfer buttons. They act on the active record set.
//
// A record is written only when the form differs from what was shown. A text the form
// could not show whole is kept as stored unless it was edited, and then only after the
// user agreed to lose its tail. A row changed or deleted by another program since it was
// read is never overwritten without asking.
class RecordEditor
{
public:
    RecordEditor(DatabaseConnection& connection, RecordForm& form, DatabaseHost& host);

    // Runs "Show All records" of the Job side (deleting the last row of a search).
    std::function<void()> showAllJobs;

    // Reads the current row of `set` and shows it.
    void LoadRecord(int set);
    bool UpdateRecord();
    void ClearRecord();
    void InsertRecord(bool fromEmail);
    void InsertBlankRecord();
    // The blank record inserted into `set` whatever set is active.
    void InsertBlankRecordIn(int set);
    void DeleteRecord();
    void MoveFirst();
    void MovePrevious();
    void MoveNext();
    void MoveLast();
    // Transfer buttons 0..2, and 3 for "Transfer facts to email".
    void Transfer(int button);

    bool canMoveBack() const;
    bool canMoveOn() const;
    // Writes the shown record back before a move when "Auto record update" asks for it.
    void AutoWriteBack();

private:
    RecordSet& activeSet() const;
    std::span<const FieldSpec> activeFields() const;
    bool activeOpen() const;
    bool move(vnt::oledb::HRESULT (RecordSet::*step)(), bool atFirst, bool atLast);
    void showCurrent(RecordSet& set);
    void settleLongTexts(RecordSet& set, RecordValues* values);
    void storeInBuffer(RecordSet& set, const RecordValues& values);
    bool writeChecked(RecordSet& set);
    void insertRow(bool fromEmail);
    void prefillFromEmail();
    QString fieldCaption(size_t index) const;

    DatabaseConnection& m_connection;
    RecordForm& m_form;
    DatabaseHost& m_host;
    bool m_skipAutoUpdate = false;
};

} // namespace vantrel::database
