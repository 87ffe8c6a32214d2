#include "RtfTestUtil.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfText.h"

using namespace rtftest;
using vnt::rtf::plainTextToRtf;
using vnt::rtf::rtfToPlainText;

class TestRtfText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convertsToPlainText_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        addRow("paragraphs", R"({\rtf1 a\par b\par})", "a\r\nb\r\n");
        addRow("last paragraph without a mark", R"({\rtf1 a\par b})", "a\r\nb");
        addRow("line breaks", R"({\rtf1 a\line b})", "a\r\nb");
        addRow("tabs stay", R"({\rtf1 a\tab b})", "a\tb");
        addRow("raw line ends are no text", "{\\rtf1 a\r\nb\nc}", "abc");
        addRow(
            "tables and metadata skipped",
            R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red1\green2\blue3;}{\stylesheet{Normal;}})"
            R"({\info{\author Me}}{\*\generator Gen;}{\pict 0102}{\header Head}body})",
            "body");
        addRow("escapes", R"({\rtf1\ansi caf\'e9 \u8364? \{\}})", u"caf\u00e9 \u20ac {}"_s);
        addRow("list markers kept",
               R"({\rtf1{\fonttbl{\f2\fcharset2 Symbol;}}{\pntext\f2\'B7\tab})"
               R"({\*\pn\pnlvlblt\pnf2{\pntxtb\'B7}}item\par})",
               u"\u2022\titem\r\n"_s);
        addRow("not rtf stays as it is", "plain {text}\r\n", "plain {text}\r\n");
        addRow("truncated", R"({\rtf1 a\par{\b b)", "a\r\nb");
    }
    void convertsToPlainText()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(rtfToPlainText(rtf), text);
    }

    void convertsSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        addRow("recipient box", "recipients.rtf", "John Smith;bad name;Mary Jones;\r\n");
        addRow("rich edit", "richedit.rtf",
               "Hello bold\r\nNavy text and marked words.\r\n"
               "Line one\r\nline two\ttabbed\r\n");
        addRow("word processor", "word.rtf",
               u"Quarterly report for caf\u00e9 owners \u2013 see below.\r\n"
               "Revenue rose by 5\u20ac per unit.\r\nLogo above.\r\nSigned\r\n"_s);
        addRow("wordpad", "wordpad.rtf",
               u"Dear customer,\r\n"
               "Thank you for your order. The caf\u00e9 price is \u20ac12.50.\r\n"
               "Important: please check the following:\r\n"
               "\u2022\tFirst item\r\n\u2022\tSecond item with italic text\r\n"
               "Underlined blue\r\nCentered Times\r\n\r\n"_s);
    }
    void convertsSamples()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QCOMPARE(rtfToPlainText(QString::fromLatin1(readSample(file))), text);
    }

    void writesMinimalRtf()
    {
        QCOMPARE(plainTextToRtf(u"Hello"),
                 uR"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fnil Arial;}})"
                 R"(\uc1\pard\f0\fs20 Hello})"_s);
        QCOMPARE(plainTextToRtf(u"a\r\n{\u20ac}\tb\nc"_s, u"Courier New"_s, 12),
                 uR"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fnil Courier New;}})"
                 "\\uc1\\pard\\f0\\fs24 a\\par\r\n\\{\\u8364?\\}\\tab b\\par\r\nc}"_s);
    }

    void roundTripsPlainText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        addRow("empty", "", "");
        addRow("line end styles", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd");
        addRow("empty lines", "\n\na\n", "\r\n\r\na\r\n");
        addRow("specials", "{\\}\t-", "{\\}\t-");
        addRow("leading space and digits", " 12 x", " 12 x");
        addRow("outside latin-1", u"\u03a9 \U0001F600 \uffe0"_s, u"\u03a9 \U0001F600 \uffe0"_s);
    }
    void roundTripsPlainText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(rtfToPlainText(plainTextToRtf(text)), expected);
    }

    void minimalRtfCarriesFaceAndSize()
    {
        QTextDocument document;
        QVERIFY(vnt::rtf::readRtf(QStringView(plainTextToRtf(u"x", u"Tahoma"_s, 11)), &document));
        QCOMPARE(describe(formatOf(document, "x")), u"Tahoma 11pt"_s);
    }
};

QTEST_MAIN(TestRtfText)
#include "tst_rtftext.moc"
