// The mail side of the workspace: logon and logoff with the folders, the folder tree, the
// message list and the reader, and the commands that drive them. One per view.
#pragma once

#include "mail/FolderList.h"
#include "mail/FolderTree.h"
#include "mail/MailSession.h"
#include "mail/MessageList.h"
#include "mail/MessageReader.h"

#include <QObject>
#include <QString>

class CSupportDoc;
class CommandRouter;
class QMenu;
class QTreeView;
class QTreeWidget;

namespace vantrel::mail {

class MailHost;

class MailController : public QObject
{
    Q_OBJECT

public:
    // The controls and pop-up menus it drives: the folder tree (1006) with "RH Folder tree",
    // the message list (1011) with "Message".
    struct Controls
    {
        QTreeWidget* tree = nullptr;
        QTreeView* list = nullptr;
        QMenu* treeMenu = nullptr;
        QMenu* listMenu = nullptr;
    };

    // `programDirectory` becomes the current directory again after a logon.
    MailController(CSupportDoc& doc, MailHost& host, const Controls& controls,
                   QString executablePath, QString programDirectory);
    ~MailController() override;

    void bindCommands(CommandRouter& router);

    // "Open Mail Box": the whole logon; every failure has been told to the user.
    bool OnLogon();
    // "Log off message system": false when the user kept an outgoing message open.
    bool OnLogoff();
    // Logoff at shut-down, after the question has been answered.
    void logoffNow();
    // At program exit: uninitialises the mail platform and unloads its library.
    void unloadPlatform();

    bool isLoggedOn() const { return m_session.isLoggedOn(); }
    bool listReady() const { return m_listReady; }
    bool notificationsOn() const { return m_messages.notificationsOn(); }
    bool contactPropertiesAvailable() const { return m_contactProperties; }
    // The folder whose messages the list shows, nullptr when none.
    FolderRecord* currentFolder();

    // Opens the current folder again (its column mask changed); 20004 when it fails.
    void reopenCurrentFolder();

    // Mark-as-read wait: the number of selected messages, and marking the selected one.
    int selectedMessageCount() const;
    void markSelectedRead();

    CSupportDoc& doc() { return m_doc; }
    MailHost& host() { return m_host; }
    MailSession& session() { return m_session; }
    FolderList& folders() { return m_folders; }
    FolderTree& tree() { return m_tree; }
    MessageList& messages() { return m_messages; }
    MessageReader& reader() { return m_reader; }

Q_SIGNALS:
    // "Open Outlook (r)" started the desktop client: the main window comes back to the front
    // a little later.
    void desktopClientStarted();
    // A logoff is under way: whatever holds objects of the session releases them now, while
    // the stores are still open.
    void loggingOff();

private:
    bool openFolders();
    void probeContactProperties();
    bool selectInbox();
    void adviseFolders();
    void onFolderSelected(int sequence);
    void onFolderEvent(int sequence, const NOTIFICATION& notification);
    void onReadRequested(int row);
    void finishLogoff();
    QWidget* view() const;

    CSupportDoc& m_doc;
    MailHost& m_host;
    QString m_programDirectory;
    MailSession m_session;
    FolderList m_folders;
    FolderTree m_tree;
    MessageList m_messages;
    MessageReader m_reader;
    int m_currentFolder = -1;
    bool m_listReady = false;
    bool m_contactProperties = true;
    bool m_foldersModifiedShown = false;
    bool m_refillWindow = false; // a refill ran in this turn of the event loop
    bool m_refillOwed = false;   // deliveries came after it
};

} // namespace vantrel::mail
