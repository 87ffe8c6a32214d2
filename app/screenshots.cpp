// Writes a picture of every workspace tab of the demonstration home, the way a newcomer sees
// it after `vantrel --demo`: a message read, a reply started from a topic file, the database
// open. Scale and colour scheme come from the environment (QT_SCALE_FACTOR, the platform
// theme), so scripts/screenshots runs it once per look.
//
//   vantrel_screenshots OUTPUT_DIR [--prefix PREFIX] [--screen-width 800]

#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "CommandIcons.h"
#include "DemoHome.h"
#include "core/CommandRouter.h"
#include "core/Prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
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
constexpr int kFooterButton = 1009;
constexpr int kHeaderButton = 1010;
constexpr int kTransferTopicButton = 1013;
const QString kMessageSubject = QStringLiteral("Password reset");
const QString kTopicName = QStringLiteral("Password reset e-mail not received.txt");

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
    bool askYesNo(QWidget*, const QString&, const QString& text) override
    {
        qInfo("%s: no", qUtf8Printable(text));
        return false;
    }
    int runDialog(QDialog& dialog) override
    {
        qInfo("%s: cancelled", qUtf8Printable(dialog.windowTitle()));
        return QDialog::Rejected;
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Reads the demonstration's password-reset question (else the first message), so that the
// folder and read tabs show one.
void selectMessage(CSupportView& view)
{
    auto* list = qobject_cast<QTreeView*>(view.control(kMessageList));
    if (!list || !list->model() || list->model()->rowCount() < 1)
        return;
    QAbstractItemModel& model = *list->model();
    QModelIndex chosen = model.index(0, 0);
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            if (model.index(row, column).data().toString().startsWith(kMessageSubject))
                chosen = model.index(row, 0);
        }
    }
    list->selectionModel()->setCurrentIndex(chosen, QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    settle();
}

// Opens the topic file that answers that question (else the first one).
void selectTopic(CSupportView& view)
{
    auto* tree = qobject_cast<QTreeWidget*>(view.control(kTopicTree));
    if (!tree)
        return;
    tree->expandAll();
    QTreeWidgetItem* chosen = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->childCount() == 0 && (!chosen || (*it)->text(0) == kTopicName))
            chosen = *it;
    }
    if (chosen)
        tree->setCurrentItem(chosen);
    settle();
}

// Builds the answer the way a user does: greeting, topic, signature.
void composeAnswer(CSupportView& view)
{
    for (int button : {kHeaderButton, kTransferTopicButton, kFooterButton}) {
        if (auto* push = qobject_cast<QAbstractButton*>(view.control(button)))
            push->click();
        settle();
    }
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
    selectMessage(view);
    selectTopic(view);

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
        if (tab == WorkspaceTab::CreateReply)
            composeAnswer(view);
        ok = save(frame, shot, QString::fromLatin1(names[tab])) && ok;
    }
    // The scratch home goes with the started reply; closing would ask what to do with it.
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
    // Not "--name": Qt takes that for itself.
    const qsizetype prefix = arguments.indexOf(u"--prefix"_s);
    shot.prefix = prefix > 0 ? arguments.value(prefix + 1) + u'-' : QString();
    const qsizetype width = arguments.indexOf(u"--screen-width"_s);
    shot.screenWidth = width > 0 ? arguments.value(width + 1).toInt() : 0;
    QDir().mkpath(shot.output);
    SilentPrompter prompter;
    Prompter::install(&prompter);
    const bool ok = shoot(shot);
    Prompter::install(nullptr);
    return ok ? 0 : 1;
}
