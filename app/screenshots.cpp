// Writes a picture of every workspace tab in the 800-pixel and the wide layout, so the
// window can be looked at without a desktop: vantrel_screenshots OUTPUT_DIR

#include "CMainFrame.h"
#include "CSupportApp.h"
#include "CSupportView.h"
#include "CommandIcons.h"
#include "DemoMailStore.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// Answers the start-up's notices without a desktop to show them on.
class SilentPrompter : public DesktopPrompter
{
public:
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        qInfo("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
    }
};

// Reads a message so that the folder and read tabs show one.
void selectSecondMessage(CSupportView& view)
{
    auto* list = qobject_cast<QTreeView*>(view.control(1011));
    if (!list || !list->model() || list->model()->rowCount() < 2)
        return;
    const QModelIndex row = list->model()->index(1, 0);
    list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    QApplication::processEvents();
}

bool shootLayout(int screenWidth, const QString& output)
{
    QTemporaryDir scratch;
    CSupportApp app(QApplication::arguments());
    StartOptions options;
    options.programDirectory = scratch.filePath(QStringLiteral("home/"));
    options.settingsFile = scratch.filePath(QStringLiteral("settings.ini"));
    options.screenWidth = screenWidth;
    if (!InstallDemoMailStore(QStringLiteral(VANTREL_DEMO_DIR), scratch.filePath(u"demo"_s)))
        return false;
    {
        SettingsStore settings(options.settingsFile);
        settings.writeInt(SettingsStore::kInternalData, u"Logon to Mail at startup"_s, 1);
        settings.flush();
    }
    if (!app.InitInstance(options))
        return false;
    selectSecondMessage(*app.view());
    CMainFrame* frame = app.mainFrame();
    const QFontInfo info(app.view()->font());
    qInfo("form font: %s %dpx", qUtf8Printable(info.family()), info.pixelSize());
    const QSize form = app.view()->size();
    frame->resize(form.width() + 24, form.height() + 120);
    for (int tab = 0; tab < WorkspaceTab::Count; ++tab) {
        app.view()->SelectTab(tab);
        QApplication::processEvents();
        const QString name =
            QStringLiteral("%1/%2-tab%3.png").arg(output).arg(screenWidth).arg(tab + 1);
        if (!frame->grab().save(name))
            return false;
        qInfo("%s", qUtf8Printable(name));
    }
    frame->close();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(output);
    SilentPrompter prompter;
    Prompter::install(&prompter);
    const bool ok = shootLayout(800, output) && shootLayout(1024, output);
    Prompter::install(nullptr);
    return ok ? 0 : 1;
}
