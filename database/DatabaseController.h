#pragma once

#include "database/DatabaseConnection.h"
#include "database/RecordEditor.h"
#include "database/RecordForm.h"
#include "database/SearchCommands.h"
#include "print/RecordPrintForm.h"

#include <QObject>
#include <future>

class CSupportDoc;
class CommandRouter;
struct DatabasePageChanges;
struct DatabasePageInput;
struct ViewSettings;

namespace vantrel::database {

class DatabaseHost;
struct JobTableInput;
struct OpenedAside;

// The support database of the workspace: it owns the connection, the record form and
// commands and the searches, binds the database commands and the record tabs' buttons,
// lists and pickers, and answers the workspace's questions about the record tabs.
class DatabaseController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kConnect = 32788;
    static constexpr int kDelete = 32783;
    static constexpr int kInsert = 32785;
    static constexpr int kUpdate = 32786;
    static constexpr int kClear = 32789;
    static constexpr int kInsertFromEmail = 32889;
    static constexpr int kFirst = 59648;
    static constexpr int kLast = 59649;
    static constexpr int kNext = 59650;
    static constexpr int kPrevious = 59651;

    DatabaseController(CSupportDoc& doc, DatabaseHost& host, QString programDirectory);
    ~DatabaseController() override;

    // Derives the file, provider and statement names from the settings (start-up, once).
    void InitDatabaseNames();
    // Connects the record tabs' buttons, lists and pickers (control ids of the workspace).
    void connectControls();
    void bindCommands(CommandRouter& router);

    // Connects to the database. A big file is opened on a worker thread while the windows
    // stay painted; a second call meanwhile is ignored.
    void ConnectDatabase();

    // Workspace hooks.
    void OnTabShown(int tab);
    void OnLeavingTab(int tab);
    void FillCriteria(QComboBox* selector, int tab) { m_search.FillCriteria(selector, tab); }
    bool searchLineVisible(int controlId) const { return m_search.searchLineVisible(controlId); }
    void fillRecordChoices() { m_form.fillChoices(); }
    void RequeryJobs() { m_search.SearchJobs(); }
    void RequeryKnowledge() { m_search.SearchKnowledge(0); }

    // The customer of the Job record shown, for a new message; false without one.
    bool currentCustomer(QString* name, QString* address, QString* problem) const;
    // The Job (`printMode` 1) or Knowledge (2) record shown, as a printed form.
    print::RecordPrintForm printForm(int printMode);
    // What the Database Preferences page shows of the connection.
    DatabasePageInput pageInput() const;
    // After the Preferences page changed a sort order: rebuild the base query and show all
    // records of that side again, a little later.
    void ApplySortChanges(const DatabasePageChanges& changes);

    DatabaseConnection& connection() { return m_connection; }
    RecordEditor& editor() { return m_editor; }
    SearchCommands& search() { return m_search; }
    RecordForm& form() { return m_form; }

private:
    struct Initialized
    {
        vnt::oledb::HRESULT result = vnt::oledb::S_OK;
        std::unique_ptr<vnt::oledb::DataSource> dataSource;
        std::shared_ptr<OpenedAside> opened;
    };

    vnt::oledb::HRESULT initializeAside(std::unique_ptr<vnt::oledb::DataSource>* dataSource);
    JobTableInput jobTableInput() const;
    bool adoptJobTable(OpenedAside& opened);
    bool openDataSource(const QString& provider, const QString& path, bool* providerMissing);
    bool openDataSource();
    bool tryProvider(const QString& provider, const QString& path);
    void ConnectSession();
    bool openJobTable();
    void failConnection(int messageId);
    void OpenKnowledgeTable();
    void readColumnNames(const RecordSet& set, QStringList* names);
    void bindButton(int controlId, std::function<void()> handler);

    CSupportDoc& m_doc;
    DatabaseHost& m_host;
    QString m_programDirectory;
    DatabaseConnection m_connection;
    RecordForm m_form;
    RecordEditor m_editor;
    SearchCommands m_search;
    bool m_connecting = false;
    // The data source being opened on the worker thread, which alone uses it (and what it
    // opens from it) until the result is taken.
    std::future<Initialized> m_opening;
    // What the worker opened beyond the data source, until the connection takes it.
    std::shared_ptr<OpenedAside> m_opened;
};

} // namespace vantrel::database
