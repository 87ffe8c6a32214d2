#include "CRecipientBox.h"
#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "TextStreams.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/SettingsStore.h"
#include "rtf/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

namespace {

void select(QTextEdit& edit, int from, int to)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
}

QTextCharFormat formatAt(const QTextEdit& edit, int position)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// A workspace view over settings that hold `values` in "Internal data".
struct ConfiguredView
{
    ConfiguredView(const QString& iniPath, const QList<std::pair<QString, int>>& values)
        : store(iniPath)
    {
        for (const auto& [name, value] : values)
            store.writeInt(SettingsStore::kInternalData, name, value);
        doc = std::make_unique<CSupportDoc>(store, QFileInfo(iniPath).path() + u'/');
        doc->LoadSettings();
        view = std::make_unique<CSupportView>(*doc, hooks, 1024);
        view->OnInitialUpdate(router);
    }

    SettingsStore store;
    LifecycleHooks hooks;
    CommandRouter router;
    std::unique_ptr<CSupportDoc> doc;
    std::unique_ptr<CSupportView> view;
};

} // namespace

class TestTextBox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void settersKeepTheirRanges_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("wrap 31") << "wrap" << 31 << 76;
        QTest::newRow("wrap 132") << "wrap" << 132 << 76;
        QTest::newRow("wrap 32") << "wrap" << 32 << 32;
        QTest::newRow("wrap 131") << "wrap" << 131 << 131;
        QTest::newRow("measuring 7") << "measuring" << 7 << 10;
        QTest::newRow("measuring 36") << "measuring" << 36 << 36;
        QTest::newRow("plain 37") << "plain" << 37 << 10;
        QTest::newRow("plain 8") << "plain" << 8 << 8;
    }
    void settersKeepTheirRanges()
    {
        QFETCH(QString, which);
        QFETCH(int, value);
        QFETCH(int, stored);
        CTextBox box;
        if (which == u"wrap") {
            box.SetWrapLength(value);
            QCOMPARE(box.wrapLength(), stored);
        } else if (which == u"measuring") {
            box.SetMeasuringSize(value);
            QCOMPARE(box.measuringSize(), stored);
        } else {
            box.SetPlainSize(value);
            QCOMPARE(box.plainSize(), stored);
        }
    }

    void fixedLineWidth_data()
    {
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("twips");
        QTest::newRow("limited by a 600 pixel box") << 600 << 3 << 8980;
        QTest::newRow("Create Reply keeps the full width") << 600 << 2 << 9120;
        QTest::newRow("wide box") << 1000 << 3 << 9120;
    }
    void fixedLineWidth()
    {
        QFETCH(int, clientWidth);
        QFETCH(int, tab);
        QFETCH(int, twips);
        QCOMPARE(fixedLineWidthTwips(76, 8.0, 96.0, clientWidth, tab), twips);
    }

    void wrapModesOnlyChangeWhenDifferent()
    {
        CTextBox box;
        QCOMPARE(box.wrapMode(), 1);
        box.setLineWrapMode(QTextEdit::FixedColumnWidth); // the control's own setting
        box.SetWrapMode(CTextBox::WindowWrap);
        QCOMPARE(box.lineWrapMode(), QTextEdit::FixedColumnWidth);
        box.SetWrapMode(CTextBox::NoWrap);
        QCOMPARE(box.lineWrapMode(), QTextEdit::NoWrap);
        box.resize(600, 300);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.SetWrapMode(CTextBox::FixedWrap);
        QCOMPARE(box.lineWrapMode(), QTextEdit::FixedPixelWidth);
        QVERIFY(box.lineWidthTwips() > 0);
        QVERIFY(box.lineWrapColumnOrWidth() <= box.viewport()->width());
    }

    void faceNamesAreCutTo31Characters()
    {
        const QString longFace(40, u'F');
        CTextBox box;
        box.SetPlainFace(longFace);
        box.SetStartFormat(true, 0);
        QCOMPARE(box.plainRecord().face.size(), 31);
        box.ApplyFontToAll(11, Qt::blue, longFace);
        box.setPlainText(QStringLiteral("abc"));
        select(box, 0, 3);
        box.SetSelectionFace(longFace);
        QCOMPARE(formatAt(box, 1).fontFamilies().toStringList().value(0).size(), 31);
        box.SetRichFont(14, Qt::red, longFace);
        box.ApplyRichFormat();
        QCOMPARE(box.richRecord().face, QString(31, u'F'));
        QCOMPARE(box.richRecord().twips, 280);
    }

    void plainFormatReplacesPastedFormatting()
    {
        CTextBox box;
        box.SetStartFormat(false, 0);
        box.setHtml(QStringLiteral("<b style='color:red;font-size:20pt'>bold</b> <i>it</i>"));
        box.ReapplyPlainFormat();
        for (int position : {0, 5}) {
            const QTextCharFormat format = formatAt(box, position);
            QCOMPARE(format.fontFamilies().toStringList().value(0), QStringLiteral("Courier New"));
            QCOMPARE(format.fontPointSize(), 10.0);
            QCOMPARE(format.foreground().color(), QColor(Qt::black));
            QVERIFY(format.fontWeight() <= QFont::Normal);
            QVERIFY(!format.fontItalic());
        }
    }

    void selectionEffectsAnswerForTheWholeSelection()
    {
        CTextBox box;
        box.setPlainText(QStringLiteral("plain bold"));
        select(box, 6, 10);
        box.SetBold(1);
        QCOMPARE(box.IsBold(), 1);
        select(box, 0, 10);
        QCOMPARE(box.IsBold(), -1);
        box.SetBold(0); // mixed: toggling sets it
        QCOMPARE(box.IsBold(), 1);
        box.SetBold(0);
        QCOMPARE(box.IsBold(), 0);
        box.SetItalic(2);
        QCOMPARE(box.IsItalic(), 0);
        box.ToggleUnderline();
        QCOMPARE(box.IsUnderlined(), 1);
        box.ToggleStrikeout();
        box.ToggleStrikeout();
        QCOMPARE(box.IsStrikeout(), 0);

        box.SetSelectionSize(14);
        QCOMPARE(box.GetSelectionSize(), 14);
        select(box, 0, 3);
        box.SetSelectionSize(9);
        select(box, 0, 10);
        QCOMPARE(box.GetSelectionSize(), 0);
    }

    void alignmentAndBullets()
    {
        CTextBox box;
        box.setPlainText(QStringLiteral("one\ntwo\nthree"));
        select(box, 0, 5);
        box.SetAlignment(CTextBox::AlignCentre);
        QCOMPARE(box.IsAligned(CTextBox::AlignCentre), 1);
        QCOMPARE(box.IsAligned(CTextBox::AlignLeft), 0);
        select(box, 0, 10);
        QCOMPARE(box.IsAligned(CTextBox::AlignCentre), -1);
        box.SetAlignment(7); // not an alignment: nothing changes
        QCOMPARE(box.IsAligned(CTextBox::AlignCentre), -1);

        QCOMPARE(box.IsBulleted(), 0);
        box.ToggleBullet();
        QCOMPARE(box.IsBulleted(), 1);
        QVERIFY(box.document()->firstBlock().textList());
        select(box, 0, 0);
        box.ToggleBullet();
        QCOMPARE(box.IsBulleted(), 0);
        select(box, 0, 10);
        QCOMPARE(box.IsBulleted(), -1);
    }

    void textLimitRefusesTheExcess()
    {
        CTextBox box;
        box.setTextLimit(10);
        box.insertPlainText(QStringLiteral("0123456789ABCDE"));
        QCOMPARE(box.toPlainText(), QStringLiteral("0123456789"));
        // Rich text read into the box, paragraphs and all, is held to the limit too.
        QVERIFY(vnt::rtf::readRtf(QStringView(u"{\\rtf1\\ansi abcdefgh\\par ijklmnop\\par qrstuv}"),
                                  box.document()));
        QVERIFY2(box.document()->characterCount() - 1 <= 10, qPrintable(box.toPlainText()));
        QVERIFY(box.toPlainText().startsWith(QStringLiteral("abcdefgh")));
    }

    void recipientBoxesStartRed()
    {
        CRecipientBox box;
        QCOMPARE(box.kind(), 1);
        box.setKind(CRecipientBox::Bcc);
        QCOMPARE(box.kind(), 3);
        box.ApplyStartFormat();
        box.insertPlainText(QStringLiteral("someone"));
        QCOMPARE(formatAt(box, 2).foreground().color(), QColor(200, 0, 0));
        QCOMPARE(formatAt(box, 2).fontPointSize(), 10.0);
    }

    void streamingFindsBoxesAndReportsMissingOnes()
    {
        ScriptedPrompter prompter;
        QWidget view;
        CTextBox read(&view);
        CTextBox outgoing(&view);
        QHash<int, QWidget*> boxes{{1002, &read}, {1000, &outgoing}};
        TextStreams streams(&view, [&](int id) { return boxes.value(id); });

        QString text = QStringLiteral("unchanged");
        streams.StreamTextOut(1001, text, 0);
        QCOMPARE(text, QStringLiteral("unchanged"));
        QCOMPARE(prompter.notices().size(), 1);
        QCOMPARE(prompter.notices().first().text, QStringLiteral("Unable to find Edit control"));
        QCOMPARE(prompter.notices().first().title, QStringLiteral("Information"));

        streams.StreamTextIn(1002, false, QStringLiteral("first line\r\nsecond line"), 0);
        streams.StreamTextOut(1002, text, 0);
        QCOMPARE(text, QStringLiteral("first line\r\nsecond line"));
        select(read, 6, 16);
        streams.StreamTextOut(1002, text, 0);
        QCOMPARE(text, QStringLiteral("line\r\nsecon"));

        // Rich text of a box round-trips through RTF.
        select(read, 0, 5);
        read.SetBold(1);
        select(read, 0, 0);
        streams.StreamTextOut(1002, text, 1);
        QVERIFY(text.startsWith(QStringLiteral("{\\rtf")));
        streams.StreamTextIn(1000, false, text, 1);
        QCOMPARE(outgoing.toPlainText(), QStringLiteral("first line\nsecond line"));
        QVERIFY(formatAt(outgoing, 1).fontWeight() > QFont::Normal);

        // Not RTF although marked rich: it goes in as plain text.
        streams.StreamTextIn(1000, false, QStringLiteral("no {\\rtf here"), 1);
        QCOMPARE(outgoing.toPlainText(), QStringLiteral("no {\\rtf here"));
    }

    void tablesComeOutAsCleanText()
    {
        QWidget view;
        CTextBox topic(&view);
        TextStreams streams(&view, [&](int) { return &topic; });
        topic.setHtml(QStringLiteral("<p>Prices</p><table><tr><td>Basic</td><td>10</td></tr>"
                                     "<tr><td>Pro<br>plan</td><td>25</td></tr></table><p>End</p>"));
        QString text;
        streams.StreamTextOut(1001, text, 0);
        for (const QString& taken : {text, [&] {
                                         select(topic, 0, topic.document()->characterCount() - 1);
                                         QString selected;
                                         streams.StreamTextOut(1001, selected, 0);
                                         return selected;
                                     }()}) {
            QVERIFY2(taken.contains(QStringLiteral("Prices\r\nBasic\t10\r\nPro plan\t25\r\n")),
                     qPrintable(taken));
            QVERIFY(taken.endsWith(QStringLiteral("End")));
            for (QChar c : taken)
                QVERIFY2(c.unicode() < 0xE000 || c.unicode() > 0xFFFF, qPrintable(taken));
        }
    }

    void transferCommands()
    {
        ScriptedPrompter prompter;
        QWidget view;
        CTextBox read(&view), topic(&view), outgoing(&view), notepad(&view);
        QHash<int, QWidget*> boxes{
            {1000, &outgoing}, {1001, &topic}, {1002, &read}, {1003, &notepad}};
        TextStreams streams(&view, [&](int id) { return boxes.value(id); });

        streams.TransferTopic(0);
        streams.TransferTopic(1);
        QCOMPARE(prompter.notices().size(), 2);
        QCOMPARE(prompter.notices().first().text, QStringLiteral("No text to transfer"));

        topic.setPlainText(QStringLiteral("Topic text. Extra."));
        select(topic, 0, 11);
        streams.TransferTopic(0);
        QCOMPARE(outgoing.toPlainText(), QStringLiteral("Topic text."));

        // With plain outgoing text, formatting of the source does not come along.
        read.setPlainText(QStringLiteral("Bold message"));
        select(read, 0, 12);
        read.SetBold(1);
        streams.CopySelectedText(4, 0); // Database tab: the read message box
        QCOMPARE(outgoing.toPlainText(), QStringLiteral("Topic text.Bold message"));
        QVERIFY(formatAt(outgoing, 14).fontWeight() <= QFont::Normal);

        notepad.setPlainText(QStringLiteral("!"));
        streams.CopySelectedText(7, 0);
        streams.CopySelectedText(8, 0); // no such tab: nothing
        QCOMPARE(outgoing.toPlainText(), QStringLiteral("Topic text.Bold message!"));
        QCOMPARE(TextStreams::sourceBoxForTab(2), 1001);
        QCOMPARE(TextStreams::sourceBoxForTab(6), 1001);
        QCOMPARE(TextStreams::sourceBoxForTab(3), 1002);
    }

    void plainLineHoldsTheWrapLength_data()
    {
        QTest::addColumn<int>("wrap");
        QTest::addColumn<int>("points");
        QTest::newRow("94 at 12 points") << 94 << 12;
        QTest::newRow("40 at 10 points") << 40 << 10;
    }
    void plainLineHoldsTheWrapLength()
    {
        // The boxes sit on the narrow form font; none of it may reach what they draw.
        QFETCH(int, wrap);
        QFETCH(int, points);
        ConfiguredView configured(m_dir.filePath(QStringLiteral("wrap%1.ini").arg(wrap)),
                                  {{QStringLiteral("Plain text wrap length"), wrap},
                                   {QStringLiteral("Plain text font size"), points}});
        CSupportView& view = *configured.view;
        CTextBox* outgoing = view.textBox(1000);
        outgoing->ApplyFixedWidth(CTextBox::kCreateReplyTab);
        outgoing->setPlainText(QString(300, u'n'));
        QTextBlock block = outgoing->document()->firstBlock();
        outgoing->document()->documentLayout()->blockBoundingRect(block);
        const int perLine = block.layout()->lineAt(0).textLength();
        QVERIFY2(perLine == wrap || perLine == wrap - 1, qPrintable(QString::number(perLine)));
        for (int id : {1064, 1065, 1066})
            QCOMPARE(view.recipientBox(id)->font().stretch(), int(QFont::Unstretched));
    }

    void viewConfiguresItsBoxesFromTheSettings()
    {
        ConfiguredView configured(m_dir.filePath(QStringLiteral("view.ini")),
                                  {{QStringLiteral("Edit in"), 0x0000FF},
                                   {QStringLiteral("Plain text wrap length"), 60}});
        CSupportView& view = *configured.view;
        CommandRouter& router = configured.router;

        CTextBox* outgoing = view.textBox(1000);
        QVERIFY(outgoing && view.textBox(1001) && view.textBox(1002) && view.textBox(1003));
        QCOMPARE(outgoing->wrapMode(), int(CTextBox::FixedWrap));
        QCOMPARE(outgoing->wrapLength(), 60);
        QCOMPARE(outgoing->plainRecord().face, QStringLiteral("Courier New"));
        QCOMPARE(outgoing->plainRecord().twips, 240);
        QCOMPARE(view.textBox(1002)->wrapMode(), int(CTextBox::WindowWrap));
        QCOMPARE(view.textBox(1002)->GetBackColour(), QColor(255, 0, 0));
        QCOMPARE(view.textBox(1003)->GetBackColour(), QColor(Qt::white));
        QCOMPARE(view.textBox(1002)->textLimit(), 160480000);
        QCOMPARE(view.recipientBox(1065)->kind(), 2);
        QCOMPARE(outgoing->toolTip(), QStringLiteral("Type the text of your outgoing email here"));
        QCOMPARE(view.recipientBox(1066)->toolTip(),
                 QStringLiteral("Bcc recipients - separate the names with ;"));

        // The copy command follows the tab shown.
        view.textBox(1003)->setPlainText(QStringLiteral("note"));
        view.SelectTab(7);
        QVERIFY(router.execute(32780));
        QCOMPARE(outgoing->toPlainText(), QStringLiteral("note"));
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
