#include "database/SearchCommands.h"

#include "core/MessageHelpers.h"
#include "core/StringTable.h"
#include "database/DatabaseConnection.h"
#include "database/DatabaseHost.h"
#include "database/RecordEditor.h"
#include "database/RecordForm.h"
#include "oledb/DayNumber.h"
#include "oledb/Rowset.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QSignalBlocker>
#include <cmath>

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

constexpr int kJobCriteriaTexts = 24001;
constexpr int kKnowledgeCriteriaTexts = 24501;
constexpr int kMsgCannotOpen = 20049;
constexpr int kMsgNoRecords = 20050;
constexpr int kMsgNothingFound = 20218;
constexpr int kMsgKnowledgeReset = 20219;
constexpr int kJobRequeryDelay = 400;
constexpr int kKnowledgeRequeryDelay = 300;

bool usesStatus(int criterion)
{
    return criterion == 10 || criterion == 21 || criterion == 23;
}

// The whole day of a search picker's date.
bool pickerDay(DatabaseHost& host, int id, double* day)
{
    auto* picker = qobject_cast<QDateTimeEdit*>(host.recordControl(id));
    if (!picker || !picker->dateTime().isValid())
        return false;
    *day = std::trunc(toDayNumber(picker->dateTime()));
    return true;
}

} // namespace

SearchInputMode InputModeFor(int c)
{
    if (c == 9 || c == 10 || (c >= 21 && c <= 24))
        return SearchInputMode::ValueList;
    if (c == 6 || c == 7)
        return SearchInputMode::OneDate;
    if (c >= 13 && c <= 16)
        return SearchInputMode::DateRange;
    if (c >= 17 && c <= 20)
        return SearchInputMode::None;
    return SearchInputMode::Text;
}

SearchCommands::SearchCommands(DatabaseConnection& connection, RecordForm& form,
                               RecordEditor& editor, DatabaseHost& host)
    : m_connection(connection)
    , m_form(form)
    , m_editor(editor)
    , m_host(host)
{}

void SearchCommands::FillCriteria(QComboBox* selector, int tab)
{
    const QSignalBlocker quiet(selector);
    selector->clear();
    const StringTable& strings = StringTable::instance();
    if (tab == DatabaseHost::kKnowledgeTab) {
        for (int i = 0; i < kKnowledgeCriteria; ++i) {
            const bool named = m_connection.knowledgeOpen() && i >= 2;
            selector->addItem(named ? m_connection.knowledgeColumnNames.value(i - 2)
                                    : strings.text(kKnowledgeCriteriaTexts + i));
        }
        selector->setCurrentIndex(m_knowledgeChoice);
        return;
    }
    const QStringList& names = m_connection.jobColumnNames;
    for (int i = 0; i < kJobCriteria; ++i) {
        QString text = strings.text(kJobCriteriaTexts + i);
        if (m_connection.jobOpen()) {
            if (i >= 1 && i <= kJobColumns)
                text = names.value(i - 1);
            else if (i >= 21)
                text = QString::fromUtf16(i % 2 ? u"Status on current " : u"Priority on current ") +
                       names.value(i <= 22 ? CustomerName : CustomerEmail);
        }
        selector->addItem(text);
    }
    selector->setCurrentIndex(m_jobChoice);
}

void SearchCommands::OnCriterionChosen(int tab, int index)
{
    if (tab == DatabaseHost::kKnowledgeTab) {
        if (index >= 0 && index < kKnowledgeCriteria)
            m_knowledgeChoice = index;
        return;
    }
    if (tab != DatabaseHost::kDatabaseTab || index < 0 || index >= kJobCriteria)
        return;
    m_jobChoice = index;
    m_mode = InputModeFor(index);
    if (m_mode == SearchInputMode::ValueList)
        fillValueList();
    m_host.refreshSearchLine();
}

void SearchCommands::fillValueList()
{
    auto* list = qobject_cast<QComboBox*>(m_host.recordControl(DatabaseHost::kCriteriaBox));
    if (!list)
        return;
    const bool status = usesStatus(m_jobChoice);
    const QSignalBlocker quiet(list);
    list->clear();
    for (int code = 0; code < (status ? kStatusCount : kPriorityCount); ++code)
        list->addItem(status ? StatusText(code) : PriorityText(code));
    m_chosenValue = status ? m_form.status() : m_form.priority();
    list->setCurrentIndex(m_chosenValue < list->count() ? m_chosenValue : -1);
}

void SearchCommands::OnValueChosen(int index)
{
    m_chosenValue = index;
}

bool SearchCommands::searchLineVisible(int controlId) const
{
    switch (m_mode) {
    case SearchInputMode::Text:
        return controlId == DatabaseHost::kSearchText;
    case SearchInputMode::ValueList:
        return controlId == DatabaseHost::kCriteriaBox;
    case SearchInputMode::OneDate:
        return controlId == DatabaseHost::kSearchFrom;
    case SearchInputMode::DateRange:
        return controlId == DatabaseHost::kSearchFrom || controlId == DatabaseHost::kSearchTo;
    case SearchInputMode::None:
        break;
    }
    return false;
}

void SearchCommands::OnSearch(int tab, int listPosition)
{
    if (tab == DatabaseHost::kDatabaseTab && m_connection.jobOpen()) {
        if (listPosition < 0 || listPosition >= kJobCriteria) {
            QApplication::beep();
            return;
        }
        m_jobCriterion = listPosition;
        m_useMailAddressFields = false;
        m_editor.AutoWriteBack();
        SearchJobs();
    } else if (tab == DatabaseHost::kKnowledgeTab && m_connection.knowledgeOpen()) {
        if (listPosition < 0 || listPosition >= kKnowledgeCriteria) {
            QApplication::beep();
            return;
        }
        m_editor.AutoWriteBack();
        SearchKnowledge(listPosition);
    }
}

void SearchCommands::OnShowAll(int tab)
{
    if (tab == DatabaseHost::kDatabaseTab && m_connection.jobOpen()) {
        m_jobCriterion = 0;
        m_editor.AutoWriteBack();
        SearchJobs();
    } else if (tab == DatabaseHost::kKnowledgeTab && m_connection.knowledgeOpen()) {
        m_editor.AutoWriteBack();
        SearchKnowledge(0);
    }
}

void SearchCommands::OnSearchSender(bool byAddress)
{
    if (!m_connection.jobOpen())
        return;
    m_jobCriterion = byAddress ? 5 : 4;
    m_useMailAddressFields = true;
    m_editor.AutoWriteBack();
    SearchJobs();
}

void SearchCommands::OnFindSimilar(int criterion)
{
    if (m_host.currentTab() == DatabaseHost::kDatabaseTab && m_connection.jobOpen() &&
        m_connection.knowledgeOpen())
        SearchKnowledge(criterion);
}

void SearchCommands::resetJobCriterion()
{
    m_jobCriterion = 0;
    m_useMailAddressFields = false;
}

JobSearchInput SearchCommands::jobInput() const
{
    JobSearchInput in;
    in.criterion = m_jobCriterion;
    const int c = m_jobCriterion;
    if (m_useMailAddressFields && (c == 4 || c == 5))
        in.text =
            m_form.text(c == 4 ? DatabaseHost::kSelectedName : DatabaseHost::kSelectedAddress);
    else
        in.text = m_form.text(DatabaseHost::kSearchText);
    if (c >= 21) {
        in.name = m_form.text(JobFields()[CustomerName].controlId);
        in.address = m_form.text(JobFields()[CustomerEmail].controlId);
    } else {
        in.name = m_form.text(DatabaseHost::kSelectedName);
        in.address = m_form.text(DatabaseHost::kSelectedAddress);
    }
    in.value = m_chosenValue;
    if (c == 6 || c == 7) {
        in.datesValid = pickerDay(m_host, DatabaseHost::kSearchFrom, &in.day);
    } else if (c >= 13 && c <= 16) {
        in.datesValid = pickerDay(m_host, DatabaseHost::kSearchFrom, &in.fromDay) &&
                        pickerDay(m_host, DatabaseHost::kSearchTo, &in.toDay);
    }
    return in;
}

void SearchCommands::SearchJobs()
{
    if (!m_connection.session())
        return;
    const SearchStatement statement =
        BuildJobSearch(m_connection.names, m_connection.jobColumnNames, jobInput());
    if (!statement.isValid()) {
        if (statement.messageId != 0)
            ShowViewMessage(m_host.hostWidget(), statement.messageId, TitleWarning);
        return;
    }
    runJobStatement(statement.text);
}

void SearchCommands::runJobStatement(const QString& statement)
{
    QWidget* view = m_host.hostWidget();
    DatabaseConnection& c = m_connection;
    if (c.active == JobTable)
        c.active = JobSearch;
    RecordSet& found = c.jobSearch;
    if (failed(found.open(*c.session(), statement))) {
        ReportDatabaseError(view, c.dataSourceErrors());
        ShowViewMessage(view, kMsgCannotOpen, TitleInformation);
        c.active = c.rememberedJobSet = JobTable;
        m_editor.LoadRecord(JobTable);
        return;
    }
    if (found.moveFirst() == S_OK) {
        c.rememberedJobSet = JobSearch;
        c.jobState = SideOpen;
        m_editor.LoadRecord(JobSearch);
        found.atFirst = true;
        found.atLast = false;
        return;
    }
    if (m_jobCriterion != 0) {
        ShowViewMessage(view, kMsgNothingFound, TitleInformation);
        found.close();
        if (c.jobOpen()) {
            m_jobCriterion = 0;
            m_host.startViewTimer(DatabaseHost::kRequeryJobsTimer, kJobRequeryDelay);
        }
        // Until all records are shown again, the record commands work on the whole table.
        if (c.active == JobSearch)
            c.active = JobTable;
        c.rememberedJobSet = JobTable;
        if (!c.jobOpen())
            m_editor.LoadRecord(JobTable);
        return;
    }
    ShowViewMessage(view, kMsgNoRecords, TitleInformation);
    c.jobState = SideOpen;
    m_editor.InsertBlankRecordIn(JobSearch);
}

void SearchCommands::SearchKnowledge(int criterion)
{
    DatabaseConnection& c = m_connection;
    if (!c.session())
        return;
    QString text;
    if (criterion >= kSimilarToProblem && criterion <= kSimilarToNotes) {
        static constexpr int kJobBoxes[] = {Problem, Solution, Notes};
        text = m_form.selectedOrWholeText(
            JobFields()[size_t(kJobBoxes[criterion - kSimilarToProblem])].controlId);
    } else {
        text = m_form.text(DatabaseHost::kSearchText);
    }
    const SearchStatement statement =
        BuildKnowledgeSearch(c.names, c.knowledgeColumnNames, criterion, text);
    QWidget* view = m_host.hostWidget();
    if (!statement.isValid()) {
        if (statement.messageId != 0)
            ShowViewMessage(view, statement.messageId, TitleWarning);
        return;
    }
    if (failed(c.knowledge.open(*c.session(), statement.text))) {
        ShowViewMessage(view, kMsgCannotOpen, TitleInformation);
        c.knowledgeState = SideOff;
        return;
    }
    if (c.knowledge.moveFirst() == S_OK) {
        c.knowledgeState = SideOpen;
        m_host.setFieldCaptions(DatabaseHost::kKnowledgeTab, c.knowledgeColumnNames);
        m_editor.LoadRecord(Knowledge);
        c.knowledge.atFirst = true;
        c.knowledge.atLast = false;
        if (criterion >= kSimilarToProblem && m_host.currentTab() == DatabaseHost::kDatabaseTab &&
            c.jobOpen())
            m_host.showTab(DatabaseHost::kKnowledgeTab);
        return;
    }
    if (criterion != 0) {
        ShowViewMessage(view, kMsgKnowledgeReset, TitleInformation);
        m_host.startViewTimer(DatabaseHost::kRequeryKnowledgeTimer, kKnowledgeRequeryDelay);
        return;
    }
    ShowViewMessage(view, kMsgNoRecords, TitleInformation);
    c.knowledgeState = SideOpen;
    m_editor.InsertBlankRecordIn(Knowledge);
}

} // namespace vantrel::database
