#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The program's commands: the menu bar, the text-box popup menu, the two toolbars
// and the accelerators, each item identified by its fixed command id.

// Command ids used by the frame and the application.
enum CommandId {
    IdAppAbout = 57664,
    IdAppExit = 57665,
    IdHelpFinder = 57667,
    IdContextHelp = 57669,
    IdHelp = 57670,
    IdDefaultHelp = 57671,
    IdViewToolBar = 59392,
    IdViewStatusBar = 59393,
    IdMailToolBar = 32890,
};

// Which part of the program carries out a command.
enum class CommandOwner {
    Frame,
    Application,
    View,
    TextTransfer,
    Preferences,
    MailSession,
    MessageList,
    Compose,
    Reply,
    Recipients,
    BodyFormat,
    MessageManagement,
    ContactEntry,
    Database,
    Topics,
    Printing,
    Unknown,
};

struct MenuItem
{
    enum Kind { Command, Separator, Submenu };
    Kind kind = Separator;
    int id = 0;
    QString text;
    QList<MenuItem> items; // of a submenu

    static MenuItem command(int id, const char16_t* text);
    static MenuItem separator();
    static MenuItem submenu(const char16_t* text, QList<MenuItem> items);
};

// Menu 126: the menu bar, one submenu per top-level menu.
QList<MenuItem> mainMenuBar();
// Menu 128: the popup menu of the text boxes.
QList<MenuItem> textBoxPopupMenu();

// Menu 178: the popup menu of the topic tree.
QList<MenuItem> topicTreePopupMenu();
// The popup menus of the folder tree ("RH Folder tree") and the message list ("Message").
QList<MenuItem> folderTreePopupMenu();
QList<MenuItem> messagePopupMenu();

// Toolbar buttons in order; 0 stands for a separator.
QList<int> standardToolBarButtons();
QList<int> mailToolBarButtons();

// Accelerator table 126: the keys of a command, the first one shown in menus.
QList<QKeySequence> acceleratorsFor(int commandId);

CommandOwner commandOwner(int commandId);

// Every command id that appears in a menu or toolbar, each once.
QList<int> allCommandIds();
