#include "RtfTestUtil.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QTextList>
#include <functional>

using namespace rtftest;
using vnt::rtf::readRtf;
using vnt::rtf::writeRtf;

namespace {

QTextCharFormat charFormat(const std::function<void(QTextCharFormat&)>& setup)
{
    QTextCharFormat format;
    setup(format);
    return format;
}

// Every format the writer carries, text outside Latin-1 and characters RTF escapes.
void buildRichDocument(QTextDocument& document)
{
    document.setDefaultFont(QFont(u"Liberation Serif"_s, 13));
    QTextCursor cursor(&document);
    cursor.insertText(u"Plain "_s);
    cursor.insertText(u"bold "_s, charFormat([](auto& f) { f.setFontWeight(QFont::Bold); }));
    cursor.insertText(u"italic "_s, charFormat([](auto& f) { f.setFontItalic(true); }));
    cursor.insertText(u"under "_s, charFormat([](auto& f) { f.setFontUnderline(true); }));
    cursor.insertText(u"struck "_s, charFormat([](auto& f) { f.setFontStrikeOut(true); }));
    cursor.insertText(u"mono"_s, charFormat([](auto& f) {
                          f.setFontFamilies({u"Courier New"_s});
                          f.setFontPointSize(9.5);
                      }));
    cursor.insertText(u" all"_s, charFormat([](auto& f) {
                          f.setFontWeight(QFont::Bold);
                          f.setFontItalic(true);
                          f.setFontUnderline(true);
                          f.setForeground(QColor(200, 0, 0));
                          f.setBackground(QColor(255, 255, 0));
                      }));
    cursor.insertText(u" \u20ac \u03a9 \U0001F600 \u00e9 {br}ace\\s\ta\u2028b\u00a0c"_s,
                      charFormat([](auto& f) { f.setForeground(QColor(0, 0, 255)); }));

    QTextBlockFormat block;
    block.setAlignment(Qt::AlignHCenter);
    cursor.insertBlock(block);
    cursor.insertText(u"centred"_s);
    block.setAlignment(Qt::AlignRight);
    block.setRightMargin(48);
    cursor.insertBlock(block);
    cursor.insertText(u"right"_s);
    block = QTextBlockFormat();
    block.setAlignment(Qt::AlignJustify);
    block.setLeftMargin(96);
    block.setTextIndent(-24);
    block.setTopMargin(20);
    block.setBottomMargin(10);
    cursor.insertBlock(block);
    cursor.insertText(u"justified"_s);

    cursor.insertBlock(QTextBlockFormat());
    cursor.insertList(QTextListFormat::ListDisc);
    cursor.insertText(u"bullet one"_s);
    cursor.insertBlock();
    cursor.insertText(u"bullet two"_s);
    cursor.insertBlock(QTextBlockFormat());
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListLowerAlpha);
    numbers.setNumberSuffix(u")"_s);
    cursor.insertList(numbers);
    cursor.insertText(u"first"_s);
    cursor.insertBlock();
    cursor.insertText(u"second"_s);
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(u"after an empty paragraph"_s);
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertList(QTextListFormat::ListDecimal);
    cursor.insertText(u"numbered with the default suffix"_s);
}

QString describeList(const QTextBlock& block)
{
    const QTextList* list = block.textList();
    if (!list)
        return u"-"_s;
    return u"%1 %2"_s.arg(-list->format().style()).arg(list->itemText(block));
}

// Text, per-character formats (with the fonts each document falls back to) and
// paragraph formats must match.
void compareDocuments(const QTextDocument& actual, const QTextDocument& expected)
{
    QCOMPARE(textOf(actual), textOf(expected));
    const QFont actualDefaults = actual.defaultFont();
    const QFont expectedDefaults = expected.defaultFont();
    const QString text = textOf(expected);
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n')
            continue;
        QCOMPARE(describe(formatAt(actual, i), &actualDefaults) + u' ' + text[i],
                 describe(formatAt(expected, i), &expectedDefaults) + u' ' + text[i]);
    }
    QCOMPARE(actual.blockCount(), expected.blockCount());
    for (int i = 0; i < expected.blockCount(); ++i) {
        const QTextBlock a = actual.findBlockByNumber(i);
        const QTextBlock e = expected.findBlockByNumber(i);
        QCOMPARE(describeBlock(a.blockFormat()), describeBlock(e.blockFormat()));
        QCOMPARE(describeList(a), describeList(e));
    }
}

bool isSevenBit(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTripsEveryFormat()
    {
        QTextDocument original;
        buildRichDocument(original);
        const QString rtf = writeRtf(original);
        QVERIFY(isSevenBit(rtf));
        QTextDocument copy;
        QVERIFY(readRtf(QStringView(rtf), &copy));
        compareDocuments(copy, original);
        // Written twice, the same.
        QCOMPARE(writeRtf(copy), rtf);
    }

    void writesTheDocumentFrame()
    {
        QTextDocument document;
        buildRichDocument(document);
        const QString rtf = writeRtf(document);
        QVERIFY(rtf.startsWith(
            uR"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fnil\fcharset0 Liberation Serif;})"_s));
        QVERIFY(rtf.contains(uR"({\f2\fnil\fcharset2 Symbol;}})"_s));
        QVERIFY(rtf.contains(uR"({\colortbl ;\red200\green0\blue0;\red255\green255\blue0;)"_s));
        QVERIFY(rtf.contains(uR"(\uc1)"_s));
        QVERIFY(rtf.endsWith(u'}'));
        // Rich edit style bullets and numbering.
        QVERIFY(rtf.contains(
            uR"(\pard{\pntext\f2\'B7\tab}{\*\pn\pnlvlblt\pnf2\pnindent0{\pntxtb\'B7}}\fi-360\li360 bullet one)"_s));
        QVERIFY(rtf.contains(
            uR"({\pntext\f0 b)\tab}{\*\pn\pnlvlbody\pnf0\pnindent0\pnstart1\pnlcltr{\pntxta )}}\fi-360\li360 second)"_s));
    }

    void escapesText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rtf");
        addRow("braces and backslash", "{a}\\", R"(\{a\}\\)");
        addRow("euro", u"\u20ac"_s, R"(\u8364?)");
        addRow("above U+7FFF", u"\uffe0"_s, R"(\u-32?)");
        addRow("emoji", u"\U0001F600"_s, R"(\u-10179?\u-8704?)");
        addRow("tab", "a\tb", R"(a\tab b)");
        addRow("line break", u"a\u2028b"_s, R"(a\line b)");
        addRow("no-break space", u"a\u00a0b"_s, R"(a\~b)");
        addRow("control characters dropped", u"a\x01\x1f"_s + QChar(0xFFFC) + "b", "ab");
    }
    void escapesText()
    {
        QFETCH(QString, text);
        QFETCH(QString, rtf);
        QTextDocument document;
        QTextCursor(&document).insertText(text);
        const QString written = writeRtf(document);
        QVERIFY(isSevenBit(written));
        QVERIFY2(written.contains(rtf + uR"(\par)"_s), qPrintable(written));
    }

    void writesRunsWithoutFontInTheDefaultFont()
    {
        QTextDocument document;
        document.setDefaultFont(QFont(u"Courier New"_s, 9));
        QTextCursor(&document).insertText(u"text"_s);
        const QString rtf = writeRtf(document);
        QVERIFY(rtf.contains(uR"({\f0\fnil\fcharset0 Courier New;})"_s));
        QVERIFY(rtf.contains(uR"(\f0\fs18 text)"_s));
    }

    void writesTheSelectionOnly_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        addRow("inside a paragraph", 3, 20);
        addRow("across paragraphs", 40, 85);
        addRow("up to a paragraph start", 0, 90);
        addRow("lists", 95, 120);
        addRow("to the end", 120, 150);
    }
    void writesTheSelectionOnly()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QTextDocument original;
        buildRichDocument(original);
        QTextCursor selection(&original);
        selection.setPosition(from);
        selection.setPosition(to, QTextCursor::KeepAnchor);
        const QString rtf = writeRtf(selection);

        QTextDocument pasted;
        QTextCursor cursor(&pasted);
        QVERIFY(vnt::rtf::insertRtf(QStringView(rtf), cursor));
        const QString text = selection.selectedText().replace(QChar::ParagraphSeparator, u'\n');
        QCOMPARE(textOf(pasted), text);
        const QFont originalDefaults = original.defaultFont();
        const QFont pastedDefaults = pasted.defaultFont();
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] != u'\n')
                QCOMPARE(describe(formatAt(pasted, i), &pastedDefaults),
                         describe(formatAt(original, from + i), &originalDefaults));
        }
    }

    void emptySelectionGivesAnEmptyDocument()
    {
        QTextDocument original;
        buildRichDocument(original);
        QTextCursor cursor(&original);
        cursor.setPosition(5);
        const QString rtf = writeRtf(cursor);
        QVERIFY(!rtf.contains(uR"(\par)"_s));
        QTextDocument copy;
        QVERIFY(readRtf(QStringView(rtf), &copy));
        QVERIFY(copy.isEmpty());
        QCOMPARE(writeRtf(QTextDocument()), rtf);
    }
};

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
