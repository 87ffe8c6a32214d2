// The formatting commands of the four text boxes: when they are enabled and checked, what
// they change, and the font and colour dialogs they show.
#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "TextFormatCommands.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/SettingDefinitions.h"
#include "core/SettingsStore.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBackColour = 32844;
constexpr int kCharFormat = 32845;
constexpr int kBold = 32846;
constexpr int kAlignCentre = 32851;
constexpr int kBullet = 32853;
constexpr int kRichStartFont = 32886;
constexpr int kPlainFont = 32887;

// The tab each box shows on (1000 to 1003), so that it can take the focus.
constexpr int kTabOf[] = {WorkspaceTab::SendEmail, WorkspaceTab::CreateTopicFile,
                          WorkspaceTab::ReadEmail, WorkspaceTab::NotePadCalendar};

struct Workspace
{
    Workspace()
        : store(dir.filePath(u"settings.ini"_s))
        , doc(store, dir.path() + u'/')
    {
        doc.LoadSettings();
        view = std::make_unique<CSupportView>(doc, hooks, 1024);
        view->OnInitialUpdate(router);
        bindTextFormatCommands(router, *view, doc);
        view->show();
        view->activateWindow();
        active = QTest::qWaitForWindowActive(view.get());
    }
    // "Hello world" in `box`, shown and focused, with `from`..`to` selected.
    CTextBox* focus(int box, int from = 0, int to = 11)
    {
        view->SelectTab(kTabOf[box - 1000]);
        CTextBox* text = view->textBox(box);
        text->setPlainText(u"Hello world"_s);
        text->setFocus();
        select(text, from, to);
        return text;
    }
    // The next dialog, as a `D`, set up by `fill` and accepted.
    template<typename D>
    void accept(std::function<void(D&)> fill)
    {
        prompter.dialogScript([fill](QDialog& dialog) {
            fill(dynamic_cast<D&>(dialog));
            return int(QDialog::Accepted);
        });
    }
    static void select(CTextBox* box, int from, int to)
    {
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor);
    }

    ScriptedPrompter prompter;
    QTemporaryDir dir;
    SettingsStore store;
    CSupportDoc doc;
    LifecycleHooks hooks;
    CommandRouter router;
    std::unique_ptr<CSupportView> view;
    bool active = false;
};

} // namespace

class TestTextFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void enabledFor_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("formattable");
        QTest::newRow("outgoing, plain") << 1000 << 0 << false;
        QTest::newRow("outgoing, rich") << 1000 << 1 << true;
        for (int box : {1001, 1002, 1003})
            QTest::addRow("%d, plain", box) << box << 0 << true;
        QTest::newRow("no text box") << 0 << 1 << false;
    }
    void enabledFor()
    {
        QFETCH(int, box);
        QFETCH(int, format);
        QFETCH(bool, formattable);
        Workspace w;
        QVERIFY(w.active);
        w.view->setOutgoingFormat(format);
        if (box != 0) {
            w.focus(box);
        } else {
            w.view->SelectTab(WorkspaceTab::Database);
            w.view->control(1016)->setFocus();
        }
        for (int id : {kBold, kAlignCentre, kBullet})
            QCOMPARE(w.router.state(id).enabled, formattable);
        for (int id : {kCharFormat, kBackColour})
            QCOMPARE(w.router.state(id).enabled, box != 0);
        QVERIFY(w.router.state(kPlainFont).enabled && w.router.state(kRichStartFont).enabled);
    }

    void togglesSelection()
    {
        Workspace w;
        QVERIFY(w.active);
        CTextBox* box = w.focus(1001, 0, 5);
        QVERIFY(w.router.execute(kBold));
        // Some of it bold: the whole selection becomes bold, then plain again.
        Workspace::select(box, 0, 11);
        QCOMPARE(box->IsBold(), -1);
        for (int expected : {1, 0}) {
            QVERIFY(w.router.execute(kBold));
            QCOMPARE(box->IsBold(), expected);
            QCOMPARE(w.router.state(kBold).checked, expected == 1);
        }

        QVERIFY(!w.router.state(kAlignCentre).checked);
        QVERIFY(w.router.execute(kAlignCentre));
        QVERIFY(w.router.state(kAlignCentre).checked);
        QVERIFY(w.router.execute(kBullet));
        QCOMPARE(box->IsBulleted(), 1);
    }

    void dialogs()
    {
        Workspace w;
        QVERIFY(w.active);
        // The font and colour of the selection ("world") only.
        CTextBox* box = w.focus(1003, 6, 11);
        w.accept<FontColourDialog>([](FontColourDialog& d) {
            d.fontPicker()->setCurrentFont(QFont(u"DejaVu Serif"_s, 20, QFont::Bold));
            d.setColour(Qt::red);
        });
        QVERIFY(w.router.execute(kCharFormat));
        QTextCursor at(box->document());
        at.setPosition(8);
        QCOMPARE(at.charFormat().fontFamilies().toStringList(), QStringList{"DejaVu Serif"});
        QCOMPARE(at.charFormat().fontPointSize(), 20.0);
        QCOMPARE(at.charFormat().foreground().color(), QColor(Qt::red));
        QCOMPARE(box->IsBold(), 1);
        at.setPosition(3);
        QVERIFY(at.charFormat().fontWeight() <= QFont::Normal);

        // The box background, kept in the settings.
        w.accept<QColorDialog>([](QColorDialog& d) { d.setCurrentColor(Qt::green); });
        QVERIFY(w.router.execute(kBackColour));
        QCOMPARE(box->GetBackColour(), QColor(Qt::green));
        QCOMPARE(w.view->workingSettings().boxColours[NotePadColour], colourToRef(Qt::green));

        // The outgoing body's starting fonts, whichever box has the focus. Above the plain
        // font's sizes: the largest.
        w.accept<FontColourDialog>([](FontColourDialog& d) {
            d.fontPicker()->setCurrentFont(QFont(u"DejaVu Sans"_s, 14));
            d.setColour(Qt::blue);
        });
        w.accept<QFontDialog>(
            [](QFontDialog& d) { d.setCurrentFont(QFont(u"DejaVu Sans Mono"_s, 40)); });
        QVERIFY(w.router.execute(kRichStartFont));
        QVERIFY(w.router.execute(kPlainFont));
        int size = 0;
        QColor colour;
        QString face;
        CTextBox* outgoing = w.view->textBox(1000);
        outgoing->GetRichFont(size, colour, face);
        QCOMPARE(size, 14);
        QCOMPARE(colour, QColor(Qt::blue));
        QCOMPARE(face, u"DejaVu Sans"_s);
        QCOMPARE(w.doc.intSetting(RtfFontSize), 14);
        QCOMPARE(outgoing->plainSize(), 36);
        QCOMPARE(w.doc.intSetting(PlainFontSize), 36);
        QCOMPARE(w.doc.stringSetting(PlainFontName), u"DejaVu Sans Mono"_s);
    }
};

QTEST_MAIN(TestTextFormat)
#include "tst_textformat.moc"
