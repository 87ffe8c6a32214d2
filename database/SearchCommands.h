#pragma once

#include "database/SearchStatements.h"

class QComboBox;

namespace vantrel::database {

class DatabaseConnection;
class DatabaseHost;
class RecordEditor;
class RecordForm;

// What the "Database" tab's search line shows for the chosen Job criterion.
enum class SearchInputMode { Text, ValueList, OneDate, DateRange, None };

SearchInputMode InputModeFor(int jobCriterion);

// The searches of both record tabs: the criteria lists in the shared selector, the search
// line of the "Database" tab, the search buttons, and running a search into the Job search
// rowset or the Knowledge rowset.
class SearchCommands
{
public:
    SearchCommands(DatabaseConnection& connection, RecordForm& form, RecordEditor& editor,
                   DatabaseHost& host);

    // Fills the selector with the criteria of `tab` and selects the one last chosen there.
    void FillCriteria(QComboBox* selector, int tab);
    // A criterion chosen in the selector on `tab`.
    void OnCriterionChosen(int tab, int index);
    // A value chosen in the search line's value list.
    void OnValueChosen(int index);
    bool searchLineVisible(int controlId) const;
    SearchInputMode inputMode() const { return m_mode; }

    // "Search using this selection", "Show All records", "Search on Name",
    // "Search on Email address" and the find-similar buttons (criterion 8, 9 or 10).
    void OnSearch(int tab, int listPosition);
    void OnShowAll(int tab);
    void OnSearchSender(bool byAddress);
    void OnFindSimilar(int criterion);

    void SearchJobs();
    void SearchKnowledge(int criterion);

    int jobCriterion() const { return m_jobCriterion; }
    void setJobCriterion(int criterion) { m_jobCriterion = criterion; }
    bool useMailAddressFields() const { return m_useMailAddressFields; }
    // After a new Job sort order: all records again, the search box as the input.
    void resetJobCriterion();

private:
    JobSearchInput jobInput() const;
    void fillValueList();
    void runJobStatement(const QString& statement);

    DatabaseConnection& m_connection;
    RecordForm& m_form;
    RecordEditor& m_editor;
    DatabaseHost& m_host;
    int m_jobCriterion = 0;
    int m_jobChoice = 0;
    int m_knowledgeChoice = 0;
    int m_chosenValue = 0;
    bool m_useMailAddressFields = false;
    SearchInputMode m_mode = SearchInputMode::Text;
};

} // namespace vantrel::database
