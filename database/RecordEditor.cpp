#include "database/RecordEditor.h"

#include "core/MessageHelpers.h"
#include "database/DatabaseConnection.h"
#include "database/DatabaseHost.h"
#include "database/RecordForm.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

constexpr int kMsgCannotUpdate = 20200;
constexpr int kMsgClearQuestion = 20201;
constexpr int kTitleClear = 20202;
constexpr int kTitleDelete = 20203;
constexpr int kMsgAreYouSure = 20116;
constexpr int kMsgCannotDelete = 20204;
constexpr int kMsgCannotMoveLast = 20205;
constexpr int kMsgNoPrevious = 20206;
constexpr int kMsgNoMore = 20207;
constexpr int kMsgDeletedLast = 20208;
constexpr int kMsgDeletedAllFound = 20209;
constexpr int kMsgNoRecords = 20050;
constexpr int kMsgNoTextToTransfer = 20031;
constexpr int kMsgTextCut = 20225;
constexpr int kTitleTextCut = 20226;
constexpr int kMsgChangedElsewhere = 20227;
constexpr int kTitleChanged = 20228;
constexpr int kMsgDeletedElsewhere = 20229;

constexpr int kMaxPrefill = 252;
constexpr int kMaxSubject = 253;

// The fields of the transfer buttons on each side.
constexpr int kJobTransfers[] = {Problem, Solution, Notes};
constexpr int kKnowledgeTransfers[] = {Note1, Note2, Note3, FactOrProblem};

bool sameStored(const RecordValues& a, const RecordValues& b)
{
    for (size_t i = 0; i < a.size(); ++i) {
        const bool nullA = a[i].status == DBSTATUS_S_ISNULL;
        if (nullA != (b[i].status == DBSTATUS_S_ISNULL))
            return false;
        if (!nullA &&
            (a[i].text != b[i].text || a[i].integer != b[i].integer || a[i].date != b[i].date))
            return false;
    }
    return true;
}

} // namespace

RecordEditor::RecordEditor(DatabaseConnection& connection, RecordForm& form, DatabaseHost& host)
    : m_connection(connection)
    , m_form(form)
    , m_host(host)
{}

RecordSet& RecordEditor::activeSet() const
{
    return m_connection.recordSet(m_connection.active);
}

std::span<const FieldSpec> RecordEditor::activeFields() const
{
    return activeSet().fields();
}

bool RecordEditor::activeOpen() const
{
    return m_connection.isSideOpen(m_connection.active) && activeSet().isOpen();
}

QString RecordEditor::fieldCaption(size_t index) const
{
    const QStringList& names = m_connection.active == Knowledge ? m_connection.knowledgeColumnNames
                                                                : m_connection.jobColumnNames;
    const QString name = names.value(qsizetype(index)).trimmed();
    return name.isEmpty() ? QStringLiteral("This field") : u'"' + name + u'"';
}

void RecordEditor::showCurrent(RecordSet& set)
{
    const HRESULT hr = set.read();
    if (failed(hr))
        ReportDatabaseError(m_host.hostWidget(), set.rowset());
    m_form.show(set.fields(), set.values());
    RecordValues shown(set.fields().size());
    if (m_form.collect(set.fields(), false, &shown))
        set.shown = std::move(shown);
}

void RecordEditor::LoadRecord(int set)
{
    RecordSet& records = m_connection.recordSet(set);
    if (records.isOpen() && records.rowset()->hasCurrentRow())
        showCurrent(records);
}

// Texts the form could not show whole stay as stored unless edited; an edited or typed
// text longer than its column keeps is cut only when the user agrees.
void RecordEditor::settleLongTexts(RecordSet& set, RecordValues* values)
{
    const std::span<const FieldSpec> fields = set.fields();
    const RecordValues& shown = set.shown;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind != FieldKind::Text)
            continue;
        RecordSlot& slot = (*values)[i];
        const int limit = fields[i].maxLength - 1;
        const bool wasCut = set.asRead()[i].status == DBSTATUS_S_TRUNCATED;
        const bool edited = i >= shown.size() || shown[i].text != slot.text;
        if (wasCut && !edited) {
            slot.status = DBSTATUS_S_IGNORE;
        } else if ((wasCut && edited) || slot.text.size() > limit) {
            if (AskViewYesNoArg(m_host.hostWidget(), kMsgTextCut, kTitleTextCut, fieldCaption(i))) {
                slot.text.truncate(limit);
            } else {
                slot.status = DBSTATUS_S_IGNORE;
            }
        }
    }
}

void RecordEditor::storeInBuffer(RecordSet& set, const RecordValues& values)
{
    // Slot by slot: the bindings point at the buffer's slots.
    RecordValues& buffer = set.values();
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = values[i];
}

bool RecordEditor::writeChecked(RecordSet& set)
{
    QWidget* view = m_host.hostWidget();
    RecordValues stored(set.fields().size());
    const HRESULT readHr = set.readStored(&stored);
    if (readHr == DB_E_DELETEDROW) {
        if (!AskViewYesNo(view, kMsgDeletedElsewhere, kTitleChanged))
            return false;
        if (failed(set.insert())) {
            ReportDatabaseError(view, set.rowset());
            return false;
        }
        return true;
    }
    if (succeeded(readHr) && !sameStored(stored, set.asRead()) &&
        !AskViewYesNo(view, kMsgChangedElsewhere, kTitleChanged)) {
        showCurrent(set);
        return false;
    }
    if (failed(set.write())) {
        ReportDatabaseError(view, set.rowset());
        return false;
    }
    if (succeeded(set.readStored(&stored)))
        set.markRead(stored);
    return true;
}

bool RecordEditor::UpdateRecord()
{
    if (!activeOpen())
        return false;
    RecordSet& set = activeSet();
    RecordValues values(set.fields().size());
    if (!m_form.collect(set.fields(), m_connection.active == JobTable, &values)) {
        ShowViewMessage(m_host.hostWidget(), kMsgCannotUpdate, TitleInformation);
        return false;
    }
    RecordValues& shown = set.shown;
    if (values == shown)
        return true;
    RecordValues written = values;
    settleLongTexts(set, &written);
    storeInBuffer(set, written);
    if (!writeChecked(set))
        return false;
    shown = std::move(values);
    return true;
}

void RecordEditor::ClearRecord()
{
    if (!m_connection.anyOpen() ||
        !AskViewYesNo(m_host.hostWidget(), kMsgClearQuestion, kTitleClear))
        return;
    m_form.showBlank(activeFields());
    UpdateRecord();
}

void RecordEditor::AutoWriteBack()
{
    if (m_host.autoRecordUpdate() && !m_skipAutoUpdate)
        UpdateRecord();
    m_skipAutoUpdate = false;
}

void RecordEditor::prefillFromEmail()
{
    const auto fits = [](const QString& text, int limit) {
        return !text.isEmpty() && text.size() <= limit;
    };
    const QString name = m_form.text(DatabaseHost::kSelectedName);
    const QString address = m_form.text(DatabaseHost::kSelectedAddress);
    const QString subject = m_host.lastReadSubject().left(kMaxSubject);
    const std::span<const FieldSpec> fields = JobFields();
    if (fits(name, kMaxPrefill))
        m_form.setText(fields[CustomerName].controlId, name);
    if (fits(address, kMaxPrefill))
        m_form.setText(fields[CustomerEmail].controlId, address);
    if (!subject.isEmpty())
        m_form.setText(fields[Problem].controlId, subject);
}

void RecordEditor::insertRow(bool fromEmail)
{
    RecordSet& set = activeSet();
    m_form.showBlank(set.fields());
    if (fromEmail && m_connection.isJobSet(m_connection.active))
        prefillFromEmail();
    RecordValues values(set.fields().size());
    m_form.collect(set.fields(), false, &values);
    storeInBuffer(set, values);
    if (failed(set.insert())) {
        ReportDatabaseError(m_host.hostWidget(), set.rowset());
        return;
    }
    if (set.moveLast() != S_OK) {
        ShowViewMessage(m_host.hostWidget(), kMsgCannotMoveLast, TitleInformation);
        return;
    }
    showCurrent(set);
    set.atFirst = false;
    set.atLast = true;
}

void RecordEditor::InsertRecord(bool fromEmail)
{
    if (!activeOpen())
        return;
    AutoWriteBack();
    insertRow(fromEmail);
}

void RecordEditor::InsertBlankRecord()
{
    if (!activeOpen())
        return;
    m_skipAutoUpdate = true;
    AutoWriteBack();
    insertRow(false);
}

void RecordEditor::InsertBlankRecordIn(int set)
{
    const int active = m_connection.active;
    m_connection.active = set;
    InsertBlankRecord();
    m_connection.active = active;
}

void RecordEditor::DeleteRecord()
{
    QWidget* view = m_host.hostWidget();
    if (!AskViewYesNo(view, kMsgAreYouSure, kTitleDelete) || !activeOpen())
        return;
    RecordSet& set = activeSet();
    if (failed(set.remove())) {
        ReportDatabaseError(view, m_connection.dataSourceErrors());
        ShowViewMessage(view, kMsgCannotDelete, TitleInformation);
        return;
    }
    const bool hasNext = set.moveNext() == S_OK;
    if (hasNext || set.moveLast() == S_OK) {
        showCurrent(set);
        set.atFirst = false;
        set.atLast = !hasNext;
        return;
    }
    switch (m_connection.active) {
    case JobTable:
        ShowViewMessage(view, kMsgDeletedLast, TitleInformation);
        InsertBlankRecord();
        break;
    case JobSearch:
        ShowViewMessage(view, kMsgDeletedAllFound, TitleInformation);
        if (showAllJobs)
            showAllJobs();
        break;
    default:
        ShowViewMessage(view, kMsgDeletedAllFound, TitleInformation);
        break;
    }
}

// The write-back rule, then the move; a row found is shown with the given end flags.
// False, with the flags as found, when there was no row.
bool RecordEditor::move(HRESULT (RecordSet::*step)(), bool atFirst, bool atLast)
{
    if (!activeOpen())
        return true;
    AutoWriteBack();
    RecordSet& set = activeSet();
    if ((set.*step)() != S_OK)
        return false;
    showCurrent(set);
    set.atFirst = atFirst;
    set.atLast = atLast;
    return true;
}

void RecordEditor::MoveFirst()
{
    if (move(&RecordSet::moveFirst, true, false))
        return;
    ShowViewMessage(m_host.hostWidget(), kMsgNoRecords, TitleInformation);
    InsertBlankRecord();
}

void RecordEditor::MovePrevious()
{
    if (move(&RecordSet::movePrevious, false, false))
        return;
    activeSet().atFirst = true;
    activeSet().atLast = false;
    ShowViewMessage(m_host.hostWidget(), kMsgNoPrevious, TitleInformation);
    m_skipAutoUpdate = m_host.autoRecordUpdate();
    MoveFirst();
}

void RecordEditor::MoveNext()
{
    if (move(&RecordSet::moveNext, false, false))
        return;
    ShowViewMessage(m_host.hostWidget(), kMsgNoMore, TitleInformation);
    m_skipAutoUpdate = m_host.autoRecordUpdate();
    MoveLast();
}

void RecordEditor::MoveLast()
{
    if (move(&RecordSet::moveLast, false, true))
        return;
    activeSet().atFirst = false;
    activeSet().atLast = false;
    ShowViewMessage(m_host.hostWidget(), kMsgNoRecords, TitleInformation);
    InsertBlankRecord();
}

bool RecordEditor::canMoveBack() const
{
    return !activeSet().atFirst;
}

bool RecordEditor::canMoveOn() const
{
    return !activeSet().atLast;
}

void RecordEditor::Transfer(int button)
{
    const bool knowledge = m_connection.active == Knowledge;
    int field = -1;
    if (knowledge && button >= 0 && button <= 3)
        field = kKnowledgeTransfers[button];
    else if (!knowledge && button >= 0 && button <= 2)
        field = kJobTransfers[button];
    const std::span<const FieldSpec> fields = knowledge ? KnowledgeFields() : JobFields();
    const QString text = field < 0 ? QString() : m_form.text(fields[size_t(field)].controlId);
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), kMsgNoTextToTransfer, TitleInformation);
        return;
    }
    const int rich = button == 3 ? 0 : m_host.outgoingFormat();
    m_host.transferToOutgoing(text + QStringLiteral("\r\n"), rich);
}

} // namespace vantrel::database
