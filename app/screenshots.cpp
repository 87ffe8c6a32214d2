// Writes a picture of every workspace tab of the demonstration home, the way a newcomer sees
// it after `vantrel --demo`: a message read, a reply started from a topic file, the database
// open. Scale and colour scheme come from the environment (QT_SCALE_FACTOR, the platform
// theme), so scripts/screenshots runs it once per look.
//
//   vantrel_screenshots OUTPUT_DIR [--name PREFIX] [--screen-width 800]

#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "CommandIcons.h"
#include "DemoHome.h"
#include "core/CommandRouter.h"
#include "core/Prompter.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMessageList = 1011;
constexpr int kTopicTree = 1045;
constexpr int kReplyCommand = 1204;

struct Shot
{
    QString output;
    QString prefix;
    int screenWidth = 0;
};

// Answers the start-up's notices without a desktop to show them on.
class SilentPrompter : public DesktopPrompter
{
public:
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        qInfo("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
    }
    // Leaving with the started reply unsent is what the pictures want.
    bool askYesNo(QWidget*, const QString&, const QString& text) override
    {
        qInfo("%s: yes", qUtf8Printable(text));
        return true;
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Reads the first message so that the folder and read tabs show one.
void selectFirstMessage(CSupportView& view)
{
    auto* list = qobject_cast<QTreeView*>(view.control(kMessageList));
    if (!list || !list->model() || list->model()->rowCount() < 1)
        return;
    list->selectionModel()->setCurrentIndex(list->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
    settle();
}

// Opens the first topic file so that the reply tabs show its text.
void selectFirstTopic(CSupportView& view)
{
    auto* tree = qobject_cast<QTreeWidget*>(view.control(kTopicTree));
    if (!tree)
        return;
    tree->expandAll();
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->childCount() == 0) {
            tree->setCurrentItem(*it);
            break;
        }
    }
    settle();
}

bool save(CMainFrame& frame, const Shot& shot, const QString& what)
{
    const QString name = u"%1/%2%3.png"_s.arg(shot.output, shot.prefix, what);
    if (!frame.grab().save(name))
        return false;
    qInfo("%s", qUtf8Printable(name));
    return true;
}

bool shoot(const Shot& shot)
{
    QTemporaryDir scratch;
    const QStringList arguments{u"vantrel"_s, u"--demo"_s, scratch.filePath(u"demo"_s)};
    StartOptions options = CSupportApp::optionsFrom(arguments);
    options.screenWidth = shot.screenWidth;
    QString error;
    if (!BuildDemoHome(options.demoDirectory, &error)) {
        qWarning("%s", qUtf8Printable(error));
        return false;
    }
    CSupportApp app(arguments);
    if (!app.InitInstance(options))
        return false;
    CMainFrame& frame = *app.mainFrame();
    CSupportView& view = *app.view();
    settle();
    selectFirstMessage(view);
    selectFirstTopic(view);

    static const char* const names[WorkspaceTab::Count] = {
        "1-email-folders", "2-read-email", "3-create-reply",   "4-send-email",
        "5-database",      "6-knowledge",  "7-new-topic-file", "8-notepad"};
    bool ok = true;
    for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
        // The reply is started from the read message, as a user would before composing.
        if (tab == WorkspaceTab::CreateReply)
            frame.router().execute(kReplyCommand);
        view.SelectTab(tab);
        settle();
        ok = save(frame, shot, QString::fromLatin1(names[tab])) && ok;
    }
    frame.close();
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(u"Korvane"_s);
    QApplication::setApplicationName(u"Vantrel"_s);
    QApplication::setWindowIcon(applicationIcon());
    const QStringList arguments = QApplication::arguments();
    Shot shot;
    shot.output = arguments.value(1, u"screenshots"_s);
    const qsizetype name = arguments.indexOf(u"--name"_s);
    shot.prefix = name > 0 ? arguments.value(name + 1) + u'-' : QString();
    const qsizetype width = arguments.indexOf(u"--screen-width"_s);
    shot.screenWidth = width > 0 ? arguments.value(width + 1).toInt() : 0;
    QDir().mkpath(shot.output);
    SilentPrompter prompter;
    Prompter::install(&prompter);
    const bool ok = shoot(shot);
    Prompter::install(nullptr);
    return ok ? 0 : 1;
}
