#include "RtfTestUtil.h"
#include "rtf/RtfReader.h"

#include <QTextList>

using namespace rtftest;
using vnt::rtf::insertRtf;
using vnt::rtf::readRtf;

namespace {

// A document around `body` with three fonts (the third a symbol font) and a colour
// table whose first entry is "auto".
QString wrap(const QString& body)
{
    return uR"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman )"
           R"(Times New Roman;}{\f2\fnil\fcharset2 Symbol;}})"
           R"({\colortbl ;\red255\green0\blue0;\red0\green128\blue0;})"_s +
           body + u'}';
}

QString plainText(const QString& rtf)
{
    QTextDocument document;
    if (!readRtf(QStringView(rtf), &document))
        return u"<not read>"_s;
    return textOf(document);
}

QString listStyles(const QTextDocument& document)
{
    QStringList styles;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        styles << (block.textList() ? QString::number(-block.textList()->format().style())
                                    : u"-"_s);
    return styles.join(u' ');
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        addRow("recipient box", "recipients.rtf", "John Smith;bad name;Mary Jones;");
        addRow("rich edit", "richedit.rtf",
               u"Hello bold\nNavy text and marked words.\n"
               "Line one\u2028line two\ttabbed"_s);
        addRow("wordpad", "wordpad.rtf",
               u"Dear customer,\n"
               "Thank you for your order. The caf\u00e9 price is \u20ac12.50.\n"
               "Important: please check the following:\n"
               "First item\nSecond item with italic text\n"
               "Underlined blue\nCentered Times\n"_s);
        addRow("word processor", "word.rtf",
               u"Quarterly report for caf\u00e9 owners \u2013 see below.\n"
               "Revenue rose by 5\u20ac per unit.\nLogo above.\nSigned"_s);
    }
    void readsSamples()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QTextDocument document;
        QVERIFY(readRtf(readSample(file), &document));
        QCOMPARE(textOf(document), text);
    }

    // The recipient boxes colour each name; their colour table has no "auto" entry, so
    // \cf0 is its first colour.
    void readsSampleFormats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<QString>("format");
        const char* box = "recipients.rtf";
        addRow("resolved name", box, "John Smith", 0, "Arial 10pt underline fg#0000c8");
        addRow("its separator", box, ";", 0, "Arial 10pt fg#0000c8");
        addRow("unresolved name", box, "bad name", 0, "Arial 10pt fg#c80000");
        addRow("its separator", box, ";", 1, "Arial 10pt fg#c80000");
        addRow("second resolved", box, "Mary Jones", 0, "Arial 10pt underline fg#0000c8");
        addRow("rich edit bold", "richedit.rtf", "bold", 0, "Arial 10pt bold");
        addRow("rich edit colour", "richedit.rtf", "Navy", 0, "Arial 10pt fg#000080");
        addRow("rich edit highlight", "richedit.rtf", "marked", 0, "Arial 10pt bg#000080");
        addRow("rich edit plain", "richedit.rtf", "words", 0, "Arial 10pt");
        addRow("wordpad bold", "wordpad.rtf", "Important", 0, "Arial 11pt bold fg#ff0000");
        addRow("wordpad list item", "wordpad.rtf", "italic", 0, "Arial 11pt italic");
        addRow("wordpad underline", "wordpad.rtf", "Underlined", 0,
               "Arial 11pt underline fg#0000ff");
        addRow("wordpad font", "wordpad.rtf", "Centered", 0, "Times New Roman 14pt");
        addRow("word bold", "word.rtf", "Revenue", 0, "Calibri 11pt bold");
        addRow("word colour", "word.rtf", "Signed", 0, "Calibri 11pt fg#ff0000");
    }
    void readsSampleFormats()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(int, occurrence);
        QFETCH(QString, format);
        QTextDocument document;
        QVERIFY(readRtf(readSample(file), &document));
        QTextCursor found;
        for (int i = 0; i <= occurrence; ++i)
            found = document.find(text, found);
        QVERIFY(!found.isNull());
        QCOMPARE(describe(formatAt(document, found.selectionStart())), format);
    }

    void readsSampleParagraphs()
    {
        QTextDocument document;
        QVERIFY(readRtf(readSample(u"wordpad.rtf"_s), &document));
        QCOMPARE(listStyles(document), u"- - - 1 1 - - -"_s);
        const QTextBlock first = document.findBlockByNumber(3);
        QCOMPARE(first.textList(), document.findBlockByNumber(4).textList());
        // \fi-360\li720: the bullet starts 360 twips in.
        QCOMPARE(first.blockFormat().leftMargin(), 24.0);
        QCOMPARE(first.blockFormat().bottomMargin(), 200 / 15.0);
        QCOMPARE(document.findBlockByNumber(6).blockFormat().alignment(), Qt::AlignHCenter);

        QVERIFY(readRtf(readSample(u"word.rtf"_s), &document));
        QCOMPARE(document.lastBlock().blockFormat().alignment(), Qt::AlignHCenter);
    }

    void characterFormats_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("format");
        addRow("default font", "x", "Arial");
        addRow("font and size", R"(\f1\fs28 x)", "Times New Roman 14pt");
        addRow("font not in the table", R"(\f9 x)", "");
        addRow("size without parameter", R"(\fs x)", "Arial 12pt");
        addRow("absurd size", R"(\fs99999999999999 x)", "Arial 1638pt");
        addRow("bold italic", R"(\b\i x)", "Arial bold italic");
        addRow("bold off", R"(\b\b0 x)", "Arial");
        addRow("underline", R"(\ul x)", "Arial underline");
        addRow("double underline", R"(\uldb x)", "Arial underline");
        addRow("ulnone", R"(\ul\ulnone x)", "Arial");
        addRow("ul0", R"(\ul\ul0 x)", "Arial");
        addRow("strike", R"(\strike x)", "Arial strike");
        addRow("colour", R"(\cf1 x)", "Arial fg#ff0000");
        addRow("auto colour", R"(\cf1\cf0 x)", "Arial");
        addRow("colour out of range", R"(\cf99 x)", "Arial");
        addRow("highlight", R"(\highlight2 x)", "Arial bg#008000");
        addRow("cb", R"(\cb2 x)", "Arial bg#008000");
        addRow("chcbpat", R"(\chcbpat1 x)", "Arial bg#ff0000");
        addRow("group ends formatting", R"({\b\cf1\f1 a}x)", "Arial");
        addRow("plain resets", R"(\f1\b\fs40\cf2\plain x)", "Arial");
    }
    void characterFormats()
    {
        QFETCH(QString, body);
        QFETCH(QString, format);
        QTextDocument document;
        QVERIFY(readRtf(QStringView(wrap(body)), &document));
        QCOMPARE(describe(formatOf(document, "x")), format);
    }

    void paragraphFormats_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("format");
        addRow("left", R"(x\par)", "align=1 left=0 right=0 first=0 top=0 bottom=0");
        addRow("centred", R"(\qc x\par)", "align=4 left=0 right=0 first=0 top=0 bottom=0");
        addRow("right", R"(\qr x)", "align=2 left=0 right=0 first=0 top=0 bottom=0");
        addRow("justified", R"(\qj x)", "align=8 left=0 right=0 first=0 top=0 bottom=0");
        addRow("indents", R"(\li1440\ri720\fi-360 x)",
               "align=1 left=96 right=48 first=-24 top=0 bottom=0");
        addRow("spacing", R"(\sb300\sa150 x)", "align=1 left=0 right=0 first=0 top=20 bottom=10");
        addRow("set after the text", R"(x \qc\li300 y\par)",
               "align=4 left=20 right=0 first=0 top=0 bottom=0");
        addRow("pard resets", R"(\qc\li720\pard x)",
               "align=1 left=0 right=0 first=0 top=0 bottom=0");
        addRow("absurd indent", R"(\li2147483647 x)",
               "align=1 left=2112 right=0 first=0 top=0 bottom=0");
    }
    void paragraphFormats()
    {
        QFETCH(QString, body);
        QFETCH(QString, format);
        QTextDocument document;
        QVERIFY(readRtf(QStringView(wrap(body)), &document));
        QCOMPARE(describeBlock(document.begin().blockFormat()), format);
    }

    void characters_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("text");
        addRow("symbol words", R"(\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote)",
               u"\u2014\u2013\u2022\u2018\u2019\u201c\u201d"_s);
        addRow("control symbols", R"(a\~b\-c\_d\{\}\\)", u"a\u00a0bc\u2011d{}\\"_s);
        addRow("tab and line", R"(a\tab b\line c)", u"a\tb\u2028c"_s);
        addRow("code page", R"(caf\'e9 \'80\'93)", u"caf\u00e9 \u20ac\u201c"_s);
        addRow("unicode", R"(\u8364?\u937?)", u"\u20ac\u03a9"_s);
        addRow("surrogates", R"(\u-10179?\u-8704?)", u"\U0001F600"_s);
        addRow("two-byte fallback", R"(\uc2\u937\'d9\'daX)", u"\u03a9X"_s);
        addRow("no fallback", R"(\uc0\u937 X)", u"\u03a9X"_s);
        addRow("fallback ends at a word", R"(\u937\b X)", u"\u03a9X"_s);
        addRow("fallback ends at a group", R"({\u937}X)", u"\u03a9X"_s);
        addRow("symbol font", R"({\f2\'b7\'61})", u"\u2022\u03b1"_s);
        addRow("symbol font as unicode", R"({\f2\u-3913?})", u"\u2022"_s);
        addRow("raw unicode text", u"stra\u00dfe \u20ac"_s, u"stra\u00dfe \u20ac"_s);
        addRow("structural characters dropped", R"(a\u0?b\u13?c\u8233?d\u65532?e)", "abcde");
        addRow("binary data", R"(a{\pict\bin3 }}{b}c)", "ac");
        addRow("unknown words", R"(\foo\bar42 x)", "x");
        addRow("unknown starred destination", R"({\*\foo text}x)", "x");
        addRow("unknown group is text", R"({\foo text})", "text");
        addRow("skipped destinations",
               R"({\stylesheet{\s0 Normal;}}{\info{\title T}}{\header H}{\pict 0a0b}{\object O}x)",
               "x");
        addRow("field result", R"({\field{\*\fldinst HYPERLINK "http://a"}{\fldrslt link}})",
               "link");
        addRow("hex cut short", R"(a\'4g)", "ag");
        addRow("line end after backslash", "a\\\nb", "a\nb");
        // Paragraph marks.
        addRow("final mark ends the last paragraph", R"(a\par)", "a");
        addRow("empty paragraph at the end", R"(a\par\par)", "a\n");
        addRow("no final mark", R"(a\par b)", "a\nb");
        addRow("empty first paragraph", R"(\par a)", "\na");
        addRow("page and row end paragraphs", R"(a\page b\cell c\row)", "a\nb\tc");
    }
    void characters()
    {
        QFETCH(QString, body);
        QFETCH(QString, text);
        QCOMPARE(plainText(wrap(body)), text);
    }

    void lists_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("styles");
        QTest::addColumn<int>("lists");
        QTest::addColumn<QString>("firstItem");
        const QString bullet =
            uR"({\pntext\f2\'B7\tab}{\*\pn\pnlvlblt\pnf2\pnindent0{\pntxtb\'B7}})"_s;
        addRow("bullets",
               R"(\pard)" + bullet + R"(\fi-360\li360 one\par)" +
                   R"({\pntext\f2\'B7\tab}two\par\pard three\par)",
               "one\ntwo\nthree", "1 1 -", 1, "");
        addRow("numbers",
               R"(\pard{\pntext\f0 1.\tab}{\*\pn\pnlvlbody\pnf0\pnindent0\pnstart1\pndec)"
               R"({\pntxta.}}\fi-360\li360 one\par{\pntext\f0 2.\tab}two\par)",
               "one\ntwo", "4 4", 1, "1.");
        addRow("letters with a suffix", R"({\*\pn\pnlvlbody\pnlcltr{\pntxtb (}{\pntxta )}}a\par)",
               "a", "5", 1, "(a)");
        addRow("marker before pard",
               R"({\pntext\pard\plain\f2 \'b7\tab}\pard\plain {\*\pn \pnlvlblt\pnf2)"
               R"(\pnindent360\pnhang{\pntxtb \'b7}}\fi-360\li360 one\par)",
               "one", "1", 1, "");
        addRow("marker without a list is text", R"({\pntext 1.\tab}one\par)", "1.\tone", "-", 0,
               "");
        addRow("list text of newer writers", R"({\listtext\pard\plain\f2 \'b7\tab}\ls1 one\par)",
               u"\u2022\tone"_s, "-", 0, "");
        addRow("a plain paragraph splits lists",
               bullet + R"(a\par\pard b\par)" + bullet + R"(c\par)", "a\nb\nc", "1 - 1", 2, "");
    }
    void lists()
    {
        QFETCH(QString, body);
        QFETCH(QString, text);
        QFETCH(QString, styles);
        QFETCH(int, lists);
        QFETCH(QString, firstItem);
        QTextDocument document;
        QVERIFY(readRtf(QStringView(wrap(body)), &document));
        QCOMPARE(textOf(document), text);
        QCOMPARE(listStyles(document), styles);
        QCOMPARE(document.findChildren<QTextList*>().size(), lists);
        if (!firstItem.isEmpty())
            QCOMPARE(document.begin().textList()->itemText(document.begin()), firstItem);
    }

    // Marker text without a list is text, each part in the format it was written in.
    void keepsMarkerFormats()
    {
        QTextDocument document;
        QVERIFY(readRtf(QStringView(wrap(R"({\pntext\b 1.}{\pntext\f1\tab}one\par)")), &document));
        QCOMPARE(textOf(document), u"1.\tone"_s);
        QCOMPARE(describe(formatOf(document, "1.")), u"Arial bold"_s);
        QCOMPARE(describe(formatOf(document, "\t")), u"Times New Roman"_s);
    }

    void rawCharacters_data()
    {
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<QString>("text");
        addRow("bytes through the code page", true, u"\u00e9\u20ac"_s);
        addRow("unicode as it is", false, u"\u00e9\u0080"_s);
    }
    void rawCharacters()
    {
        QFETCH(bool, bytes);
        QFETCH(QString, text);
        const QByteArray rtf("{\\rtf1\\ansi \xe9\x80}");
        QTextDocument document;
        QVERIFY(bytes ? readRtf(rtf, &document)
                      : readRtf(QStringView(QString::fromLatin1(rtf)), &document));
        QCOMPARE(textOf(document), text);
    }

    void refusesTextThatIsNotRtf()
    {
        QTextDocument document;
        document.setPlainText(u"kept"_s);
        QVERIFY(!readRtf(QStringView(u"rtf1 hello"), &document));
        QVERIFY(!readRtf(QByteArray(), &document));
        QCOMPARE(textOf(document), u"kept"_s);
        QVERIFY(readRtf(QStringView(u" \r\n{\\rtf1 new}"), &document));
        QCOMPARE(textOf(document), u"new"_s);
    }

    void survivesMalformedInput_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        const auto nested = [](int depth, const QString& inner) {
            return u"{\\rtf1 "_s + QString(depth, u'{') + inner + QString(depth, u'}') + u" y}"_s;
        };
        addRow("extra closing braces", R"({\rtf1 a}}}b)", "a");
        addRow("missing closing braces", R"({\rtf1 a{\b b)", "ab");
        addRow("truncated hex", R"({\rtf1 a\'4)", "a");
        addRow("truncated word", R"({\rtf1 a\)", "a");
        addRow("huge unicode", R"({\rtf1 \u99999999999?x\u-99999999?y})", u"\ufffdx\ufffdy"_s);
        addRow("huge skip count", R"({\rtf1 {\uc99999999\u937 abc}d})", u"\u03a9d"_s);
        addRow("huge binary length", R"({\rtf1 a\bin99999999999 bcd})", "a");
        addRow("nul characters", u"{\\rtf1 a"_s + QChar(0) + "b}", "ab");
        addRow("very deep nesting", nested(200000, u"x"_s), "x y");
    }
    void survivesMalformedInput()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(plainText(rtf), text);
    }

    void readsFlatBeyondTheDepthLimit()
    {
        const int depth = vnt::rtf::kMaxGroupDepth + 100;
        const QString rtf =
            u"{\\rtf1 "_s + QString(depth, u'{') + u"\\b x"_s + QString(depth, u'}') + u" y}"_s;
        QTextDocument document;
        QVERIFY(readRtf(QStringView(rtf), &document));
        QCOMPARE(textOf(document), u"x y"_s);
        QCOMPARE(describe(formatOf(document, "x")), u"bold"_s);
        QCOMPARE(describe(formatOf(document, "y")), QString());
    }

    void insertsLikeAPaste_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("end");
        addRow("replaces the selection", 6, 11, R"({\rtf1 \b there})", "hello there\nsecond", 11);
        addRow("first paragraph continues", 2, 2, R"({\rtf1 x\par y})", "hex\nyllo world\nsecond",
               5);
        addRow("final mark adds no paragraph", 2, 2, R"({\rtf1 x\par})", "hexllo world\nsecond", 3);
        addRow("across paragraphs", 5, 14, R"({\rtf1 -})", "hello-cond", 6);
    }
    void insertsLikeAPaste()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QFETCH(int, end);
        QTextDocument document;
        document.setPlainText(u"hello world\nsecond"_s);
        QTextCursor cursor(&document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        QVERIFY(insertRtf(QStringView(rtf), cursor));
        QCOMPARE(textOf(document), text);
        QCOMPARE(cursor.position(), end);
        document.undo();
        QCOMPARE(textOf(document), u"hello world\nsecond"_s);
    }

    void pasteKeepsTheTargetParagraphFormat()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        cursor.setBlockFormat(centred);
        cursor.insertText(u"ab"_s);
        QVERIFY(insertRtf(QStringView(u"{\\rtf1\\qr x\\par\\qj y\\par}"), cursor));
        QCOMPARE(textOf(document), u"abx\ny"_s);
        QCOMPARE(document.begin().blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(document.lastBlock().blockFormat().alignment(), Qt::AlignJustify);

        QTextDocument empty;
        QTextCursor start(&empty);
        QVERIFY(insertRtf(QStringView(u"{\\rtf1\\qr x}"), start));
        QCOMPARE(empty.begin().blockFormat().alignment(), Qt::AlignRight);
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
