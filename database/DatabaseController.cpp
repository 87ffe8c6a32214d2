#include "database/DatabaseController.h"

#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/ProgressFeedback.h"
#include "core/SettingsStore.h"
#include "database/DatabaseHost.h"
#include "database/DatabasePage.h"
#include "database/ProviderPicker.h"
#include "database/RecordPrintRows.h"
#include "oledb/DataSource.h"
#include "oledb/Rowset.h"
#include "oledb/Session.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <chrono>

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

constexpr int kMsgNoProvider = 20051;
constexpr int kMsgNoSession = 20048;
constexpr int kMsgCannotOpen = 20049;
constexpr int kMsgNoRecords = 20050;
constexpr int kMsgNoColumnInformation = 20019;
constexpr int kJobSortDelay = 200;
constexpr int kKnowledgeSortDelay = 400;
constexpr int kMsgOpeningDatabase = 25699;
// How long the user's thread waits for the worker between keeping the windows painted.
constexpr std::chrono::milliseconds kOpenPoll(10);
// A smaller file opens in a few milliseconds, less than handing it to a worker costs.
constexpr qint64 kOpenAsideFrom = 512 * 1024;

const QString kKnowledgeTableQuery = QStringLiteral("SELECT * FROM Knowledge");

// While the file is being opened the main window refuses to close: the view and this
// controller must outlive the worker and the steps that follow it.
class CloseRefusal : public QObject
{
public:
    explicit CloseRefusal(QWidget* window)
        : m_window(window)
    {
        if (m_window)
            m_window->installEventFilter(this);
    }
    ~CloseRefusal() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window || event->type() != QEvent::Close)
            return false;
        event->ignore();
        return true;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

DatabaseController::DatabaseController(CSupportDoc& doc, DatabaseHost& host,
                                       QString programDirectory)
    : m_doc(doc)
    , m_host(host)
    , m_programDirectory(std::move(programDirectory))
    , m_form(host)
    , m_editor(m_connection, m_form, host)
    , m_search(m_connection, m_form, m_editor, host)
{
    m_editor.showAllJobs = [this] {
        m_search.OnShowAll(DatabaseHost::kDatabaseTab);
    };
}

DatabaseController::~DatabaseController()
{
    if (m_opening.valid())
        m_opening.wait();
}

void DatabaseController::InitDatabaseNames()
{
    m_connection.names = database::InitDatabaseNames(m_doc, m_host.hostWidget());
}

void DatabaseController::bindButton(int controlId, std::function<void()> handler)
{
    if (auto* button = qobject_cast<QAbstractButton*>(m_host.recordControl(controlId)))
        connect(button, &QAbstractButton::clicked, this,
                [handler = std::move(handler)] { handler(); });
}

void DatabaseController::connectControls()
{
    const auto tab = [this] {
        return m_host.currentTab();
    };
    const auto selector = [this] {
        return qobject_cast<QComboBox*>(m_host.recordControl(DatabaseHost::kSelector));
    };
    bindButton(1036, [=, this] {
        const QComboBox* list = selector();
        m_search.OnSearch(tab(), list ? list->currentIndex() : -1);
    });
    bindButton(1031, [=, this] { m_search.OnShowAll(tab()); });
    bindButton(1033, [this] { m_search.OnSearchSender(false); });
    bindButton(1032, [this] { m_search.OnSearchSender(true); });
    bindButton(1060, [this] { m_search.OnFindSimilar(kSimilarToProblem); });
    bindButton(1068, [this] { m_search.OnFindSimilar(kSimilarToSolution); });
    bindButton(1069, [this] { m_search.OnFindSimilar(kSimilarToNotes); });
    bindButton(1055, [this] { m_editor.Transfer(0); });
    bindButton(1056, [this] { m_editor.Transfer(1); });
    bindButton(1057, [this] { m_editor.Transfer(2); });
    bindButton(1037, [this] { m_editor.Transfer(3); });
    if (QComboBox* list = selector()) {
        connect(list, &QComboBox::currentIndexChanged, this,
                [=, this](int index) { m_search.OnCriterionChosen(tab(), index); });
    }
    const auto comboSignal = [this](int id, auto slot) {
        if (auto* list = qobject_cast<QComboBox*>(m_host.recordControl(id)))
            connect(list, &QComboBox::activated, this, slot);
    };
    comboSignal(DatabaseHost::kCriteriaBox, [this](int index) { m_search.OnValueChosen(index); });
    comboSignal(JobFields()[Priority].controlId,
                [this](int index) { m_form.choosePriority(index); });
    comboSignal(JobFields()[Status].controlId, [this](int index) { m_form.chooseStatus(index); });
    for (size_t field : {size_t(StartDate), size_t(EndDate)}) {
        auto* picker =
            qobject_cast<QDateTimeEdit*>(m_host.recordControl(JobFields()[field].controlId));
        if (!picker)
            continue;
        // A date edited by the user is written at once when records update themselves.
        connect(picker, &QDateTimeEdit::editingFinished, this, [this] {
            if (m_host.autoRecordUpdate() && m_connection.jobOpen() &&
                m_connection.isJobSet(m_connection.active))
                m_editor.UpdateRecord();
        });
    }
}

void DatabaseController::bindCommands(CommandRouter& router)
{
    const auto anyOpen = [this] {
        return CommandState{m_connection.anyOpen(), false};
    };
    router.bind(
        kConnect, [this] { ConnectDatabase(); },
        [this] {
            return CommandState{!m_connection.anyOpen() && !m_connecting, false};
        });
    router.bind(
        kUpdate, [this] { m_editor.UpdateRecord(); }, anyOpen);
    router.bind(
        kClear, [this] { m_editor.ClearRecord(); }, anyOpen);
    router.bind(
        kInsert, [this] { m_editor.InsertRecord(false); }, anyOpen);
    router.bind(
        kDelete, [this] { m_editor.DeleteRecord(); }, anyOpen);
    router.bind(kInsertFromEmail, [this] { m_editor.InsertRecord(true); });
    const auto activeOpen = [this] {
        return m_connection.isSideOpen(m_connection.active);
    };
    const auto back = [=, this] {
        return CommandState{activeOpen() && m_editor.canMoveBack(), false};
    };
    const auto on = [=, this] {
        return CommandState{activeOpen() && m_editor.canMoveOn(), false};
    };
    router.bind(
        kFirst, [this] { m_editor.MoveFirst(); }, back);
    router.bind(
        kPrevious, [this] { m_editor.MovePrevious(); }, back);
    router.bind(
        kNext, [this] { m_editor.MoveNext(); }, on);
    router.bind(
        kLast, [this] { m_editor.MoveLast(); }, on);
}

// What the worker opens beyond the data source when that opens: its session and the Job
// table in the order of the settings, as the connection would open them next. Reading the
// keys of a big table is most of the rest of the time a connection takes.
struct OpenedAside
{
    std::unique_ptr<Session> session;
    HRESULT firstOpen = E_FAIL; // the table as the names give it, for its column names
    bool columnsRead = false;
    QStringList columnNames;
    QString sortedQuery;
    HRESULT sortedOpen = E_FAIL;
    RecordSet jobTable{JobFields()};
};

// What the user's thread reads for the worker before it starts.
struct JobTableInput
{
    DatabaseNames names;
    QStringList columnNames;
    int columnIndex = 0;
    bool descending = false;
};

namespace {

// The Job table's opening: as the names give it for its column names, then in the order of
// the settings. Shows nothing, so that it can run on the worker; its results are reported by
// adoptJobTable().
void openJobTableIn(Session& session, JobTableInput input, OpenedAside& opened)
{
    RecordSet& set = opened.jobTable;
    opened.firstOpen = set.open(session, input.names.jobBaseQuery);
    if (failed(opened.firstOpen))
        return;
    opened.columnNames = input.columnNames;
    opened.columnsRead = set.readColumnNames(&opened.columnNames);
    set.close();
    if (!opened.columnsRead)
        opened.columnNames = input.columnNames;
    BuildJobBaseQuery(input.names, opened.columnNames, input.columnIndex, input.descending);
    opened.sortedQuery = input.names.jobBaseQuery;
    opened.sortedOpen = set.open(session, opened.sortedQuery);
}

// On the worker: the objects are its own until the user's thread takes them.
void openJobTableAside(DataSource& dataSource, JobTableInput input, OpenedAside& opened)
{
    if (succeeded(dataSource.createSession(&opened.session)))
        openJobTableIn(*opened.session, std::move(input), opened);
}

} // namespace

// Opens the data source on a worker thread, which owns it meanwhile, and with it the session
// and the Job table. The user's thread keeps the windows painted (a busy bar once it takes
// more than half a second; no Cancel, as the open cannot be stopped part way) and takes the
// objects back at the end; nothing the user's thread reads is touched by the worker.
HRESULT DatabaseController::initializeAside(std::unique_ptr<DataSource>* dataSource)
{
    m_opened.reset();
    m_opening = std::async(std::launch::async,
                           [source = std::move(*dataSource), input = jobTableInput()]() mutable {
                               Initialized done{source->initialize(), nullptr, nullptr};
                               if (succeeded(done.result)) {
                                   done.opened = std::make_shared<OpenedAside>();
                                   openJobTableAside(*source, std::move(input), *done.opened);
                               }
                               done.dataSource = std::move(source);
                               return done;
                           });
    ProgressFeedback feedback(m_host.hostWidget(), kMsgOpeningDatabase);
    while (m_opening.wait_for(kOpenPoll) != std::future_status::ready)
        feedback.step(0);
    Initialized done = m_opening.get();
    *dataSource = std::move(done.dataSource);
    m_opened = std::move(done.opened);
    return done.result;
}

bool DatabaseController::openDataSource(const QString& provider, const QString& path,
                                        bool* providerMissing)
{
    DatabaseConnection::Initializer aside;
    if (QFileInfo(path).size() >= kOpenAsideFrom)
        aside = [this](std::unique_ptr<DataSource>* dataSource) {
            return initializeAside(dataSource);
        };
    return succeeded(m_connection.openDataSource(provider, path, providerMissing, aside));
}

bool DatabaseController::tryProvider(const QString& provider, const QString& path)
{
    bool providerMissing = false;
    if (openDataSource(provider, path, &providerMissing))
        return true;
    m_opened.reset();
    m_connection.closeAll();
    return false;
}

// Opens the data source with the provider of the settings. When that provider does not
// exist here, the built-in one is tried, and then the one the user picks; a provider that
// works may be kept for next time.
bool DatabaseController::openDataSource()
{
    QWidget* view = m_host.hostWidget();
    const QString path = m_programDirectory + m_connection.names.fileName;
    DatabaseNames& names = m_connection.names;
    bool providerMissing = false;
    if (openDataSource(names.providerName, path, &providerMissing))
        return true;
    if (providerMissing && names.providerName != kDefaultProvider &&
        tryProvider(kDefaultProvider, path)) {
        if (AskSaveInternalDefault(view))
            m_doc.store().writeString(SettingsStore::kInternalData,
                                      QStringLiteral("Database source"), kDefaultProvider);
        names.providerName = kDefaultProvider;
        return true;
    }
    ReportDatabaseError(view, m_connection.dataSourceErrors());
    ShowViewMessage(view, kMsgNoProvider, TitleInformation);
    QString chosen;
    if (!providerMissing ||
        !ProviderPicker::choose(view, DataSource::providerNames(), names.providerName, &chosen))
        return false;
    if (!tryProvider(chosen, path)) {
        ReportDatabaseError(view, m_connection.dataSourceErrors());
        return false;
    }
    names.providerName = chosen;
    if (AskSaveChosenProvider(view))
        m_doc.store().writeString(SettingsStore::kInternalData, QStringLiteral("Database source"),
                                  chosen);
    return true;
}

void DatabaseController::failConnection(int messageId)
{
    ShowViewMessage(m_host.hostWidget(), messageId, TitleInformation);
    m_connection.closeAll();
    m_connection.jobState = SideOff;
    m_connection.knowledgeState = SideOff;
}

void DatabaseController::readColumnNames(const RecordSet& set, QStringList* names)
{
    QStringList read = *names;
    if (set.readColumnNames(&read))
        *names = read;
    else
        ShowViewMessage(m_host.hostWidget(), kMsgNoColumnInformation, TitleInformation);
}

// The Job table as openJobTableIn() opened it: the messages of its steps are shown here.
bool DatabaseController::adoptJobTable(OpenedAside& opened)
{
    DatabaseConnection& c = m_connection;
    if (failed(opened.firstOpen)) {
        failConnection(kMsgCannotOpen);
        return false;
    }
    if (opened.columnsRead)
        c.jobColumnNames = opened.columnNames;
    else
        ShowViewMessage(m_host.hostWidget(), kMsgNoColumnInformation, TitleInformation);
    BuildJobBaseQuery(c.names, c.jobColumnNames, m_doc.intSetting(ColumnIndex),
                      m_doc.intSetting(IndexAscent) == 1);
    HRESULT hr = opened.sortedOpen;
    if (c.names.jobBaseQuery != opened.sortedQuery)
        hr = c.jobTable.open(*c.session(), c.names.jobBaseQuery);
    else if (succeeded(hr))
        hr = c.jobTable.adopt(opened.jobTable);
    if (failed(hr)) {
        failConnection(kMsgCannotOpen);
        return false;
    }
    return true;
}

JobTableInput DatabaseController::jobTableInput() const
{
    return {m_connection.names, m_connection.jobColumnNames, m_doc.intSetting(ColumnIndex),
            m_doc.intSetting(IndexAscent) == 1};
}

// The Job table, unless the worker opened it already, is opened here the same way.
bool DatabaseController::openJobTable()
{
    DatabaseConnection& c = m_connection;
    c.jobSearch.close();
    std::shared_ptr<OpenedAside> opened = std::exchange(m_opened, nullptr);
    if (!opened) {
        opened = std::make_shared<OpenedAside>();
        openJobTableIn(*c.session(), jobTableInput(), *opened);
    }
    return adoptJobTable(*opened);
}

void DatabaseController::ConnectDatabase()
{
    // The windows are painted while the file opens, and timers run: none may start a
    // second connection meanwhile.
    if (m_connecting)
        return;
    m_connecting = true;
    const CloseRefusal refusal(m_host.hostWidget() ? m_host.hostWidget()->window() : nullptr);
    if (openDataSource())
        ConnectSession();
    m_opened.reset();
    m_connecting = false;
}

void DatabaseController::ConnectSession()
{
    DatabaseConnection& c = m_connection;
    if (m_opened && m_opened->session)
        c.adoptSession(std::move(m_opened->session));
    else
        m_opened.reset();
    if (!c.session() && failed(c.openSession())) {
        ReportDatabaseError(m_host.hostWidget(), c.dataSourceErrors());
        failConnection(kMsgNoSession);
        return;
    }
    if (!openJobTable())
        return;
    c.active = m_host.currentTab() == DatabaseHost::kKnowledgeTab ? Knowledge : JobTable;
    c.rememberedJobSet = JobTable;
    c.jobState = SideOpen;
    m_host.setFieldCaptions(DatabaseHost::kDatabaseTab, c.jobColumnNames);
    if (c.jobTable.moveFirst() != S_OK) {
        ShowViewMessage(m_host.hostWidget(), kMsgNoRecords, TitleInformation);
        m_editor.InsertBlankRecordIn(JobTable);
    } else {
        m_editor.LoadRecord(JobTable);
        c.jobTable.atFirst = true;
        c.jobTable.atLast = false;
    }
    OpenKnowledgeTable();
    if (c.knowledgeState != SideOff)
        m_search.SearchKnowledge(0);
    if (c.active == Knowledge && !c.knowledgeOpen())
        c.active = JobTable;
    m_host.refillCriteria();
}

void DatabaseController::OpenKnowledgeTable()
{
    DatabaseConnection& c = m_connection;
    c.knowledge.close();
    if (failed(c.knowledge.open(*c.session(), kKnowledgeTableQuery))) {
        ShowViewMessage(m_host.hostWidget(), kMsgCannotOpen, TitleInformation);
        c.knowledgeState = SideOff;
        return;
    }
    readColumnNames(c.knowledge, &c.knowledgeColumnNames);
    c.knowledge.close();
    BuildKnowledgeBaseQuery(c.names, c.knowledgeColumnNames, m_doc.intSetting(ColumnIndexKb),
                            m_doc.intSetting(IndexAscentKb) == 1);
}

void DatabaseController::OnTabShown(int tab)
{
    DatabaseConnection& c = m_connection;
    if (tab == DatabaseHost::kDatabaseTab) {
        if (!c.jobOpen()) {
            c.active = JobTable;
            return;
        }
        c.active = c.rememberedJobSet;
        if (!c.recordSet(c.active).isOpen())
            c.active = c.rememberedJobSet = JobTable;
        m_editor.LoadRecord(c.active);
    } else if (tab == DatabaseHost::kKnowledgeTab) {
        if (c.knowledgeOpen() && c.isJobSet(c.active))
            c.rememberedJobSet = c.active;
        c.active = Knowledge;
    }
}

void DatabaseController::OnLeavingTab(int tab)
{
    const int side = tab == DatabaseHost::kKnowledgeTab ? Knowledge : JobTable;
    if ((side == Knowledge) == (m_connection.active == Knowledge))
        m_editor.UpdateRecord();
}

bool DatabaseController::currentCustomer(QString* name, QString* address, QString* problem) const
{
    const DatabaseConnection& c = m_connection;
    if (!c.jobOpen())
        return false;
    const std::span<const FieldSpec> fields = JobFields();
    *name = m_form.text(fields[CustomerName].controlId).trimmed();
    *address = m_form.text(fields[CustomerEmail].controlId).trimmed();
    *problem = m_form.text(fields[Problem].controlId);
    return true;
}

print::RecordPrintForm DatabaseController::printForm(int printMode)
{
    const bool knowledge = printMode == 2;
    const RecordPrintSource source{
        [this](int id) { return m_host.recordControl(id); },
        knowledge ? m_connection.knowledgeColumnNames : m_connection.jobColumnNames,
        m_form.priority(), m_form.status(), QDateTime::currentDateTime()};
    return knowledge ? KnowledgePrintForm(m_doc, source) : JobPrintForm(m_doc, source);
}

DatabasePageInput DatabaseController::pageInput() const
{
    const DatabaseConnection& c = m_connection;
    return {c.jobOpen(), c.knowledgeOpen(), c.jobColumnNames, c.knowledgeColumnNames};
}

void DatabaseController::ApplySortChanges(const DatabasePageChanges& changes)
{
    DatabaseConnection& c = m_connection;
    if (changes.jobSortChanged && c.jobOpen()) {
        BuildJobBaseQuery(c.names, c.jobColumnNames, m_doc.intSetting(ColumnIndex),
                          m_doc.intSetting(IndexAscent) == 1);
        m_search.resetJobCriterion();
        m_host.startViewTimer(DatabaseHost::kRequeryJobsTimer, kJobSortDelay);
    }
    if (changes.knowledgeSortChanged && c.knowledgeOpen()) {
        BuildKnowledgeBaseQuery(c.names, c.knowledgeColumnNames, m_doc.intSetting(ColumnIndexKb),
                                m_doc.intSetting(IndexAscentKb) == 1);
        m_host.startViewTimer(DatabaseHost::kRequeryKnowledgeTimer, kKnowledgeSortDelay);
    }
}

} // namespace vantrel::database
