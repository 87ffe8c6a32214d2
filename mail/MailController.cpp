#include "mail/MailController.h"

#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/WaitCursor.h"
#include "mail/DesktopClient.h"
#include "mail/MailHost.h"
#include "mail/MapiRows.h"

#include <QDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>
#include <utility>

namespace vantrel::mail {

namespace {

constexpr int kMsgInboxFailed = 20033;
constexpr int kMsgNoInbox = 20072;
constexpr int kMsgFolderNotFound = 20097;
constexpr int kMsgOpenFolderFailed = 20004;
constexpr int kMsgStillComposing = 20168;
constexpr int kTitleWarning = 20141;

constexpr int kCmdLogon = 1236;
constexpr int kCmdLogoff = 32797;
constexpr int kCmdOpenDesktopClient = 32891;
constexpr int kCmdFilter = 32829;
constexpr int kCmdResetFilter = 32830;

// The name the contact probe asks for: the first e-mail entry's display name.
constexpr LONG kEmailDisplayName1 = 0x8080;

} // namespace

MailController::MailController(CSupportDoc& doc, MailHost& host, const Controls& controls,
                               QString executablePath, QString programDirectory)
    : m_doc(doc)
    , m_host(host)
    , m_programDirectory(std::move(programDirectory))
    , m_session(host.hostWidget(), std::move(executablePath))
    , m_folders(m_session)
    , m_tree(controls.tree, controls.treeMenu, [this] { return isLoggedOn() && m_listReady; })
    , m_messages(m_session, doc, host, controls.list, [this] { return isLoggedOn(); })
    , m_reader(m_session, doc, host)
{
    m_messages.setPopupMenu(controls.listMenu);
    connect(&m_tree, &FolderTree::folderSelected, this, &MailController::onFolderSelected);
    connect(&m_messages, &MessageList::readRequested, this, &MailController::onReadRequested);
    connect(&m_messages, &MessageList::editUnsentRequested, this, [this] {
        if (m_reader.state().unsent)
            m_host.stopReadTimer();
    });
}

MailController::~MailController()
{
    if (isLoggedOn())
        logoffNow();
}

QWidget* MailController::view() const
{
    return m_host.hostWidget();
}

void MailController::bindCommands(CommandRouter& router)
{
    const auto loggedOn = [this] {
        return CommandState{isLoggedOn(), false};
    };
    router.bind(
        kCmdLogon, [this] { OnLogon(); },
        [this] {
            return CommandState{!isLoggedOn(), false};
        });
    router.bind(
        kCmdLogoff, [this] { OnLogoff(); }, loggedOn);
    router.bind(kCmdOpenDesktopClient, [this] {
        if (OpenDesktopClient(view()))
            Q_EMIT desktopClientStarted();
    });
    router.bind(
        kCmdFilter, [this] { m_messages.filterOnColumn(m_reader.state()); }, loggedOn);
    router.bind(
        kCmdResetFilter, [this] { m_messages.resetFilter(); }, loggedOn);
}

bool MailController::OnLogon()
{
    WaitCursor wait;
    m_messages.buildColumnTable();
    LogonSettings settings{m_doc.intSetting(ProfileOption) == 1, m_doc.intSetting(AddinWarning)};
    m_messages.setNotificationsOn(true);
    if (!m_session.logon(settings)) {
        QDir::setCurrent(m_programDirectory);
        return false;
    }
    if (!openFolders()) {
        ShowViewMessage(view(), kMsgInboxFailed, TitleInformation);
        logoffNow();
        QDir::setCurrent(m_programDirectory);
        return false;
    }
    QDir::setCurrent(m_programDirectory);

    if (m_session.hasAddinStore()) {
        const int before = settings.addinWarning;
        m_session.warnAboutAddin(settings);
        if (settings.addinWarning != before)
            m_doc.WriteIntSetting(AddinWarning, settings.addinWarning);
        if (m_doc.intSetting(RunMailClientAtLogon) == 1 && OpenDesktopClient(view()))
            Q_EMIT desktopClientStarted();
    }
    return true;
}

// Builds the folders, finds the Inbox, starts the notifications and opens the Inbox.
bool MailController::openFolders()
{
    if (!m_folders.build([this](MaskKind kind) { return m_doc.columnMask(kind); }))
        return false;
    QStringList storeNames;
    for (int slot = 0; slot < m_session.storeCount(); ++slot)
        storeNames.append(m_session.storeName(slot));
    m_tree.fill(m_folders, storeNames);
    m_folders.buildContactsList(view());
    probeContactProperties();

    selectInbox();
    m_foldersModifiedShown = false;
    m_listReady = true;
    adviseFolders();

    FolderRecord* inbox = currentFolder();
    if (!inbox)
        return true; // both notices about the missing Inbox have been shown
    if (m_tree.selectUnderFirstRoot(inbox->sequence))
        return true;
    return m_messages.openContents(*inbox, m_session.store(inbox->storeSlot), m_contactProperties);
}

// Whether the store's contacts carry the named e-mail properties; without them three
// columns of the contacts list cannot be shown.
void MailController::probeContactProperties()
{
    m_contactProperties = true;
    FolderRecord* contacts = m_folders.firstOfClass(FolderClass::Contacts);
    IMsgStore* store = contacts ? m_session.store(contacts->storeSlot) : nullptr;
    if (!store)
        return;
    const vntmapi::EntryPoints& api = m_session.api();
    ULONG type = 0;
    MapiPtr<IMAPIFolder> folder;
    if (FAILED(store->OpenEntry(EntryIdSize(contacts->entryId), EntryIdData(contacts->entryId),
                                nullptr, MAPI_BEST_ACCESS, &type, folder.putUnknown())))
        return;
    MapiPtr<IMAPITable> table;
    if (FAILED(folder->GetContentsTable(0, table.put())))
        return;
    TagArray columns{PR_ENTRYID};
    Rows rows(api);
    if (FAILED(table->SetColumns(columns.get(), 0)) ||
        FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)) ||
        FAILED(table->QueryRows(1, 0, rows.put())) || rows.count() == 0)
        return;
    const QByteArray entryId = BinaryOf(rows[0], PR_ENTRYID);
    MapiPtr<IMessage> message;
    if (entryId.isEmpty() ||
        FAILED(store->OpenEntry(EntryIdSize(entryId), EntryIdData(entryId), nullptr,
                                MAPI_BEST_ACCESS, &type, message.putUnknown())))
        return;
    GUID set = PSETID_Address;
    MAPINAMEID name{&set, MNID_ID, {kEmailDisplayName1}};
    LPMAPINAMEID names[] = {&name};
    MapiBuffer<SPropTagArray> tags(api);
    const HRESULT hr = message->GetIDsFromNames(1, names, 0, tags.put());
    if (FAILED(hr) || hr == MAPI_W_ERRORS_RETURNED)
        m_contactProperties = false;
}

bool MailController::selectInbox()
{
    m_currentFolder = -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (FolderRecord* inbox = m_folders.firstOfClass(FolderClass::Inbox)) {
            m_currentFolder = inbox->sequence;
            return true;
        }
        ShowViewMessage(view(), kMsgNoInbox, TitleInformation);
    }
    return false;
}

void MailController::adviseFolders()
{
    const auto handler = [this](int sequence, const NOTIFICATION& notification) {
        onFolderEvent(sequence, notification);
    };
    FolderRecord* inbox = currentFolder();
    // One flag for the session: a folder that cannot be advised stops the table advises too.
    if (m_messages.notificationsOn() && inbox && !m_folders.adviseInbox(*inbox, handler))
        m_messages.setNotificationsOn(false);
    m_folders.adviseContacts(handler);
}

FolderRecord* MailController::currentFolder()
{
    return m_currentFolder < 0 ? nullptr : m_folders.bySequence(m_currentFolder);
}

void MailController::onFolderSelected(int sequence)
{
    WaitCursor wait;
    QWidget* list = m_messages.view();
    const bool updates = list && list->updatesEnabled();
    if (list)
        list->setUpdatesEnabled(false);
    FolderRecord* record = m_folders.bySequence(sequence);
    if (!record) {
        ShowViewMessage(view(), kMsgFolderNotFound, TitleWarning);
    } else {
        m_currentFolder = sequence;
        if (!m_messages.openContents(*record, m_session.store(record->storeSlot),
                                     m_contactProperties))
            ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
    }
    if (list)
        list->setUpdatesEnabled(updates);
}

void MailController::onFolderEvent(int sequence, const NOTIFICATION& notification)
{
    FolderRecord* current = currentFolder();
    const bool isCurrent = current && current->sequence == sequence;
    switch (HandleFolderEvent(notification, isCurrent)) {
    case FolderEventAction::FolderCreated:
        if (!m_foldersModifiedShown) {
            m_foldersModifiedShown = true;
            ShowFoldersModifiedWarning(view());
        }
        m_folders.removeAdvise(*current);
        break;
    case FolderEventAction::MessageCreated:
        // The first delivery refills at once; the rest of a burst (a sync, a big move) only
        // asks for one more refill when the burst is over, not one each.
        if (m_refillWindow) {
            m_refillOwed = true;
            break;
        }
        m_messages.refill();
        m_refillWindow = true;
        QTimer::singleShot(0, this, [this] {
            m_refillWindow = false;
            if (std::exchange(m_refillOwed, false) && isLoggedOn())
                m_messages.refill();
        });
        break;
    case FolderEventAction::Ignore:
        break;
    }
}

void MailController::onReadRequested(int row)
{
    FolderRecord* folder = currentFolder();
    if (!folder)
        return;
    ReadTarget target{m_session.store(folder->storeSlot), m_messages.contents(), row,
                      m_messages.isContactsFolder()};
    m_reader.readSelected(target);
}

void MailController::reopenCurrentFolder()
{
    if (FolderRecord* folder = currentFolder()) {
        if (!m_messages.openContents(*folder, m_session.store(folder->storeSlot),
                                     m_contactProperties))
            ShowViewMessage(view(), kMsgOpenFolderFailed, TitleInformation);
    }
}

bool MailController::OnLogoff()
{
    if (isLoggedOn() && m_host.composing()) {
        if (!AskViewYesNo(view(), kMsgStillComposing, kTitleWarning))
            return false;
        m_host.stopComposing();
    }
    logoffNow();
    return true;
}

void MailController::logoffNow()
{
    WaitCursor wait;
    if (isLoggedOn()) {
        Q_EMIT loggingOff();
        m_folders.removeAdvises();
        m_messages.close();
        m_folders.clear();
        m_session.logoff();
    }
    finishLogoff();
}

void MailController::finishLogoff()
{
    m_currentFolder = -1;
    m_messages.clearColumns();
    m_listReady = false;
    m_tree.clear();
}

void MailController::unloadPlatform()
{
    if (isLoggedOn())
        logoffNow();
    m_session.fullReset();
    m_session.unload();
}

int MailController::selectedMessageCount() const
{
    return isLoggedOn() ? m_messages.selectedCount() : 0;
}

void MailController::markSelectedRead()
{
    IMAPIFolder* folder = m_messages.folder();
    const int row = m_messages.focusedSelectedRow();
    if (!isLoggedOn() || !folder || row < 0)
        return;
    QByteArray entryId = m_messages.entryIdAt(row);
    SBinary binary{EntryIdSize(entryId), reinterpret_cast<LPBYTE>(entryId.data())};
    ENTRYLIST list{1, &binary};
    folder->SetReadFlags(&list, 0, nullptr, 0);
}

} // namespace vantrel::mail
