#include "CommandTable.h"

#include <QHash>
#include <QSet>
#include <utility>

MenuItem MenuItem::command(int id, const char16_t* text)
{
    return {Command, id, QString::fromUtf16(text), {}};
}

MenuItem MenuItem::separator()
{
    return {};
}

MenuItem MenuItem::submenu(const char16_t* text, QList<MenuItem> items)
{
    return {Submenu, 0, QString::fromUtf16(text), std::move(items)};
}

namespace {

using M = MenuItem;

QList<MenuItem> fileMenu()
{
    return {
        M::command(1238, u"&New topic folder"),
        M::command(1007, u"&Create topic file from topic notes..."),
        M::command(57601, u"&Open topic file..."),
        M::command(57603, u"&Save topic file"),
        M::command(57604, u"Save topic file &As..."),
        M::command(32882, u"R&ename selected topic file or folder..."),
        M::command(1239, u"&Delete selected topic file or folder"),
        M::separator(),
        M::submenu(u"&Print",
                   {M::command(32868, u"&Outgoing message..."),
                    M::command(32866, u"&Selected message..."),
                    M::command(32869, u"&File topic text..."), M::command(32867, u"&Notepad..."),
                    M::separator(), M::command(32871, u"&Current Database record..."),
                    M::command(32872, u"Current &Knowledgebase record...")}),
        M::submenu(u"Print Pre&view ", {M::command(32873, u"&Current database record"),
                                        M::command(32874, u"Current &Knowledge base record")}),
        M::command(57606, u"P&rint Setup..."),
        M::command(32893, u"Print page Set&up..."),
        M::separator(),
        M::command(32835, u"Refresh &topic file tree"),
        M::command(32828, u"Pre&ferences..."),
        M::separator(),
        M::command(IdAppExit, u"E&xit"),
    };
}

QList<MenuItem> editMenu()
{
    return {
        M::command(57643, u"&Undo"),
        M::separator(),
        M::command(57635, u"Cu&t"),
        M::command(57634, u"&Copy"),
        M::command(57637, u"&Paste"),
        M::command(57632, u"&Delete"),
        M::separator(),
        M::command(57642, u"Select &All"),
        M::separator(),
        M::command(32859, u"D&elete selected message(s)"),
        M::command(32860, u"&Move message(s) to folder"),
        M::command(32861, u"C&opy message(s) or contacts to folder"),
        M::separator(),
        M::command(32862, u"Mar&k message(s) as read"),
        M::command(32863, u"Ma&rk message(s) as unread"),
        M::command(32864, u"Mark a&ll messages as read"),
        M::separator(),
        M::command(32780, u"Cop&y selected text to the outgoing email"),
    };
}

QList<MenuItem> formatMenu()
{
    return {
        M::command(32844, u"&Change background colour of Text box..."),
        M::separator(),
        M::command(32845, u"Change current &Font..."),
        M::command(32887, u"Set default font for start of message:  &Plain text"),
        M::command(32886, u"Set default f&ont for start of message:  R.T.F."),
        M::separator(),
        M::command(32846, u"&Bold text"),
        M::command(32847, u"Set &underlined"),
        M::command(32848, u"Set &italic"),
        M::command(32849, u"Set &strickout"),
        M::separator(),
        M::command(32850, u"Align &left"),
        M::command(32851, u"Align C&enter"),
        M::command(32852, u"Align &right"),
        M::separator(),
        M::command(32853, u"Bulle&t"),
    };
}

QList<MenuItem> viewMenu()
{
    return {
        M::command(32836, u"View Email Folders"),
        M::command(32837, u"View Read email"),
        M::command(32838, u"View Create Reply"),
        M::command(32839, u"View Send Email"),
        M::command(32840, u"View Database"),
        M::command(32841, u"View Knowledge base"),
        M::command(32842, u"View Create new topic file"),
        M::command(32843, u"View Note pad and Calendar"),
        M::separator(),
        M::command(IdViewToolBar, u"&Tool Bar"),
        M::command(IdMailToolBar, u"&Mail Tool Bar"),
        M::command(IdViewStatusBar, u"&Status Bar"),
        M::command(32832, u"&Preview the email text"),
    };
}

QList<MenuItem> mailMenu()
{
    return {
        M::command(1236, u"&Open Mail Box"),
        M::command(32797, u"C&lose Mail Box"),
        M::command(32854, u"Ope&n Preferences for mail..."),
        M::separator(),
        M::command(32795, u"Open Address &book..."),
        M::command(32858, u"Chec&k names "),
        M::command(32800, u"&Message Options..."),
        M::separator(),
        M::command(32824, u"Send message using Plain te&xt"),
        M::command(32825, u"Send message using R&ich Text Format"),
        M::separator(),
        M::command(32865, u"Open &draft message"),
        M::command(1200, u"&Compose a new Email"),
        M::command(1203, u"&Stop message"),
        M::command(1204, u"&Reply"),
        M::command(1205, u"Reply &All"),
        M::command(1202, u"&Forward Message"),
        M::command(1207, u"S&end Message"),
        M::command(1201, u"&Post Message"),
        M::command(1206, u"Sa&ve Message"),
        M::separator(),
        M::command(32830, u"Rese&t filter"),
        M::command(32885, u"Abort s&ubmission of the email"),
        M::command(32892, u"Add new rec&ipient"),
    };
}

QList<MenuItem> databaseMenu()
{
    return {
        M::command(32788, u"&Connect to database"),
        M::command(32855, u"&Open Preferences for database..."),
        M::separator(),
        M::command(32888, u"Co&mpose a new email from database record"),
        M::separator(),
        M::command(59648, u"&First Record"),
        M::command(59651, u"&Previous Record"),
        M::command(59650, u"&Next Record"),
        M::command(59649, u"&Last Record"),
        M::separator(),
        M::command(32785, u"&Insert a record"),
        M::command(32889, u"Insert a record using &Email name, address and subject"),
        M::command(32786, u"&Update current record"),
        M::command(32783, u"&Delete Record"),
        M::command(32789, u"Clear &Record"),
    };
}

QList<MenuItem> helpMenu()
{
    return {
        M::command(IdHelpFinder, u"&Help Topics"),
        M::separator(),
        M::command(32891, u"Open Outlook (r)"),
        M::command(IdAppAbout, u"&About Vantrel..."),
    };
}

void collectIds(const QList<MenuItem>& items, QList<int>& ids, QSet<int>& seen)
{
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Submenu)
            collectIds(item.items, ids, seen);
        else if (item.kind == MenuItem::Command && !seen.contains(item.id)) {
            seen.insert(item.id);
            ids.append(item.id);
        }
    }
}

const QHash<int, QList<QKeySequence>>& acceleratorTable()
{
    static const QHash<int, QList<QKeySequence>> table = {
        {57601, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {57603, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {57607, {QKeySequence(Qt::CTRL | Qt::Key_P)}},
        {57643, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {57635, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {57634, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {57637, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {IdContextHelp, {QKeySequence(Qt::SHIFT | Qt::Key_F1)}},
        {IdHelp, {QKeySequence(Qt::Key_F1)}},
        {32836, {QKeySequence(Qt::Key_F2)}},
        {32837, {QKeySequence(Qt::Key_F3)}},
        {32838, {QKeySequence(Qt::Key_F4)}},
        {32839, {QKeySequence(Qt::Key_F5)}},
        {32840, {QKeySequence(Qt::Key_F6)}},
        {32841, {QKeySequence(Qt::Key_F7)}},
        {32842, {QKeySequence(Qt::Key_F8)}},
        {32843, {QKeySequence(Qt::Key_F9)}},
        {59648, {QKeySequence(Qt::CTRL | Qt::Key_Down)}},
        {59651, {QKeySequence(Qt::CTRL | Qt::Key_Left)}},
        {59650, {QKeySequence(Qt::CTRL | Qt::Key_Right)}},
        {59649, {QKeySequence(Qt::CTRL | Qt::Key_Up)}},
    };
    return table;
}

} // namespace

QList<MenuItem> mainMenuBar()
{
    return {
        M::submenu(u"&File", fileMenu()),     M::submenu(u"&Edit", editMenu()),
        M::submenu(u"F&ormat", formatMenu()), M::submenu(u"&View", viewMenu()),
        M::submenu(u"&Mail", mailMenu()),     M::submenu(u"&Database", databaseMenu()),
        M::submenu(u"&Help", helpMenu()),
    };
}

QList<MenuItem> textBoxPopupMenu()
{
    return {
        M::command(32780, u"Cop&y selected email text to the outgoing email"),
        M::command(32845, u"Change &Font for selection "),
        M::separator(),
        M::command(57643, u"&Undo"),
        M::separator(),
        M::command(57635, u"Cu&t"),
        M::command(57634, u"&Copy"),
        M::command(57637, u"&Paste"),
        M::command(57632, u"Delete"),
        M::separator(),
        M::command(57642, u"Select &All"),
        M::separator(),
        M::command(32884, u"C&lear outgoing email edit box"),
    };
}

QList<MenuItem> topicTreePopupMenu()
{
    return {
        M::command(1238, u"&New topic folder"),
        M::command(1007, u"&Create topic file from topic notes..."),
        M::separator(),
        M::command(57601, u"&Open topic file..."),
        M::command(57603, u"&Save topic file"),
        M::command(57604, u"Save topic file &As..."),
        M::separator(),
        M::command(32882, u"R&ename selected topic file or folder..."),
        M::command(1239, u"&Delete selected topic file or folder"),
        M::separator(),
        M::command(32835, u"Refresh &topic file tree"),
        M::command(32883, u"Open pre&ferences"),
    };
}

QList<MenuItem> folderTreePopupMenu()
{
    return {
        M::command(32854, u"Open pre&ferences"),
        M::separator(),
        M::command(32859, u"D&elete selected message(s)"),
        M::command(32860, u"&Move selected message(s) to folder"),
        M::command(32861, u"C&opy selected message(s) to folder"),
        M::separator(),
        M::command(32862, u"Mar&k selected message(s) as read"),
        M::command(32863, u"Ma&rk selected message(s) as unread"),
        M::command(32864, u"Mark a&ll messages as read"),
    };
}

QList<MenuItem> messagePopupMenu()
{
    return {
        M::command(32829, u"&Filter on this column"),
        M::command(32830, u"Rese&t filter"),
        M::separator(),
        M::command(32831, u"Ope&n Preferences..."),
        M::separator(),
        M::command(1204, u"&Reply"),
        M::command(1205, u"Reply &All"),
        M::command(1202, u"&Forward Message"),
        M::separator(),
        M::command(32859, u"D&elete selected message(s)"),
        M::command(32860, u"&Move Message(s) to folder"),
        M::command(32861, u"C&opy message(s) or contacts to folder"),
        M::command(32862, u"Mar&k messages(s) as read"),
        M::separator(),
        M::command(32885, u"Abort the s&ubmission of the email"),
        M::separator(),
        M::command(32889, u"Insert a database record using &Email name, address and subject"),
        M::command(32888, u"Co&mpose a new email from database record"),
    };
}

QList<int> standardToolBarButtons()
{
    return {1238,  57601, 57603, 0,     32832, 32828, 0,     57635, 57634, 57637, 0, 57607, 0,
            32788, 32783, 32785, 32786, 32789, 0,     59648, 59651, 59650, 59649, 0, 32888, 32889,
            0,     32845, 32846, 32848, 32847, 32850, 32851, 32852, 32853, 32844, 0, 57667, 57669};
}

QList<int> mailToolBarButtons()
{
    return {1236, 32797, 0, 1200, 1203, 1204, 1205, 1202, 0, 1207, 0, 1206, 0, 32800, 32795, 32892};
}

QList<QKeySequence> acceleratorsFor(int commandId)
{
    return acceleratorTable().value(commandId);
}

CommandOwner commandOwner(int id)
{
    static const QHash<int, CommandOwner> owners = [] {
        QHash<int, CommandOwner> table;
        const auto assign = [&table](CommandOwner owner, std::initializer_list<int> ids) {
            for (int id : ids)
                table.insert(id, owner);
        };
        assign(CommandOwner::Frame,
               {IdViewToolBar, IdViewStatusBar, IdMailToolBar, IdContextHelp, IdAppExit});
        assign(CommandOwner::Application, {IdAppAbout, IdHelpFinder, IdHelp, IdDefaultHelp});
        assign(CommandOwner::View, {32836, 32837, 32838, 32839, 32840, 32841, 32842, 32843, 32832,
                                    57643, 57635, 57634, 57637, 57632, 57642});
        assign(CommandOwner::TextTransfer, {32780});
        assign(CommandOwner::Preferences, {32828, 32854, 32855, 32893, 32831, 32883});
        assign(CommandOwner::MailSession, {1236, 32797, 32891});
        assign(CommandOwner::MessageList, {32829, 32830});
        assign(CommandOwner::Compose, {1200, 1203, 1207, 1206, 1201, 32884});
        assign(CommandOwner::Reply, {1204, 1205, 1202});
        assign(CommandOwner::Recipients, {32795, 32858, 32888});
        assign(CommandOwner::BodyFormat, {32800, 32824, 32825, 32844, 32845, 32887, 32886, 32846,
                                          32847, 32848, 32849, 32850, 32851, 32852, 32853});
        assign(CommandOwner::MessageManagement,
               {32859, 32860, 32861, 32862, 32863, 32864, 32865, 32885});
        assign(CommandOwner::ContactEntry, {32892});
        assign(CommandOwner::Database,
               {32788, 59648, 59651, 59650, 59649, 32785, 32889, 32786, 32783, 32789});
        assign(CommandOwner::Topics, {1238, 1007, 57601, 57603, 57604, 32882, 1239, 32835});
        assign(CommandOwner::Printing,
               {57607, 32868, 32866, 32869, 32867, 32871, 32872, 32873, 32874, 57606});
        return table;
    }();
    return owners.value(id, CommandOwner::Unknown);
}

QList<int> allCommandIds()
{
    QList<int> ids;
    QSet<int> seen;
    collectIds(mainMenuBar(), ids, seen);
    collectIds(textBoxPopupMenu(), ids, seen);
    collectIds(topicTreePopupMenu(), ids, seen);
    collectIds(folderTreePopupMenu(), ids, seen);
    collectIds(messagePopupMenu(), ids, seen);
    for (const QList<int>& bar : {standardToolBarButtons(), mailToolBarButtons()}) {
        for (int id : bar) {
            if (id != 0 && !seen.contains(id)) {
                seen.insert(id);
                ids.append(id);
            }
        }
    }
    return ids;
}
