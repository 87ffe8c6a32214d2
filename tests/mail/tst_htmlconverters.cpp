#include "mail/HtmlConverters.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void addRow(const char* name, const QString& input, const QString& output)
{
    QTest::newRow(name) << input << output;
}

// HTML after the body tag, so that the text rules alone apply.
QString bodyText(const QString& html)
{
    return HtmlToText(u"<body>"_s + html);
}

} // namespace

class TestHtmlConverters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encapsulatedHtml_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<bool>("encapsulated");
        QTest::newRow("fromhtml") << "{\\rtf1\\ansi\\fromhtml1 \\deff0 x}" << true;
        QTest::newRow("fromtext first, fromhtml later")
            << "{\\rtf1\\fromtext \\deff0 {\\*\\x \\fromhtml1}}" << false;
        QTest::newRow("no from") << "{\\rtf1\\ansi\\deff0 plain}" << false;
        QTest::newRow("cut short") << "{\\rtf1\\fromhtm" << false;
        QTest::newRow("at the very start") << "\\fromhtml" << true;
    }
    void encapsulatedHtml()
    {
        QFETCH(QString, rtf);
        QFETCH(bool, encapsulated);
        QCOMPARE(IsEncapsulatedHtml(rtf), encapsulated);
    }

    void unpackRules_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("html");
        addRow("no htmltag group", "{\\rtf1\\fromhtml1 text}", "");
        addRow("text before the first group is skipped",
               "{\\rtf1 skipped \\par {\\*\\htmltag19 <html>}}", "<html>");
        addRow("mhtmltag 4 then htmltag 4",
               "{\\*\\htmltag1 <p>}{\\*\\mhtmltag4 <a href=x>}{\\*\\htmltag4 <a href=\"x\">}text",
               "<p><a href=x>text");
        addRow("htmltag of another number is kept",
               "{\\*\\htmltag1 <p>}{\\*\\mhtmltag4 a}{\\*\\htmltag5 b}c", "<p>abc");
        addRow("pending number is used once",
               "{\\*\\htmltag1 x}{\\*\\mhtmltag4 a}{\\*\\htmltag4 b}{\\*\\htmltag4 c}", "xac");
        addRow("dropped tag without a closing brace ends the text",
               "{\\*\\htmltag1 x}{\\*\\mhtmltag2 a}{\\*\\htmltag2 never closed", "xa");
        addRow("htmltag without a number is copied", "{\\*\\htmltag <p>}", "\\*\\htmltag <p>");
        addRow("par and one space", "{\\*\\htmltag1 }a\\par  b", "a\r\n b");
        addRow("pard matches par", "{\\*\\htmltag1 }a\\pard b", "a\r\nd b");
        addRow("tab", "{\\*\\htmltag1 }a\\tab b", "a   b");
        addRow("left indent dropped", "{\\*\\htmltag1 }\\li720 a", "a");
        addRow("li without digits copied", "{\\*\\htmltag1 }\\line a", "\\line a");
        addRow("negative first indent dropped", "{\\*\\htmltag1 }\\fi-360 a", "a");
        addRow("positive first indent copied", "{\\*\\htmltag1 }\\fi360 a", "\\fi360 a");
        addRow("hex byte", "{\\*\\htmltag1 }caf\\'e9", u"caf\u00e9"_s);
        addRow("hex byte upper case", "{\\*\\htmltag1 }caf\\'E9", u"caf\u00e9"_s);
        addRow("hex bytes as Windows-1252", "{\\*\\htmltag1 }\\'93q\\'94 \\'80",
               u"\u201cq\u201d \u20ac"_s);
        addRow("hex zero byte dropped", "{\\*\\htmltag1 }a\\'00b", "ab");
        addRow("hex byte cut short", "{\\*\\htmltag1 }x\\'e", "x\\'e");
        addRow("list number text", "{\\*\\htmltag1 }{\\pntext 1.\\tab}item", "item");
        addRow("htmlrtf span", "{\\*\\htmltag1 }a\\htmlrtf {\\b bold}\\htmlrtf0 b", "ab");
        addRow("htmlrtf span drops one space", "{\\*\\htmltag1 }a\\htmlrtf x\\htmlrtf0   b",
               "a  b");
        addRow("unterminated htmlrtf ends the text", "{\\*\\htmltag1 }a\\htmlrtf b\\par c", "a");
        addRow("htmlrtf0 alone opens a span", "{\\*\\htmltag1 }a\\htmlrtf0 b\\htmlrtf0 c", "ac");
        addRow("escaped braces", "{\\*\\htmltag1 }\\{x\\}", "{x}");
        addRow("line ends dropped", "{\\*\\htmltag1 }a\r\nb\nc", "abc");
        addRow("other control words copied", "{\\*\\htmltag1 }\\b x\\b0", "\\b x\\b0");
    }
    void unpackRules()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, html);
        QCOMPARE(UnpackEncapsulatedHtml(rtf), html);
    }

    void unpackMessage()
    {
        QFile file(QStringLiteral(VANTREL_TEST_DATA "/html/encapsulated-reply.rtf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString rtf = QString::fromLatin1(file.readAll());
        QVERIFY(IsEncapsulatedHtml(rtf));
        const QString html = UnpackEncapsulatedHtml(rtf);
        QCOMPARE(html, u"<html><head>\r\n<style>p.note { color: gray; }</style></head>\r\n"
                       "<body><p>Dear Ms Carter,</p>"
                       "<p>Your order n\u00b0 4471 left our warehouse today. We\u2019ll send "
                       "the \u201ctracking\u201d number by e-mail.</p>"
                       "<p class=\"note\">Caf\u00e9 orders:<br>   12 &amp; 14</p>"
                       "<p><a href=\"https://example.com/t?id=4471\">Track it</a></p>"
                       "<p>Kind regards,<br>Anna&nbsp;Lee</p></body></html>"_s);
        QCOMPARE(HtmlToText(html),
                 u"\r\nDear Ms Carter,\r\nYour order n\u00b0 4471 left our warehouse "
                 "today. We\u2019ll send the \u201ctracking\u201d number by e-mail."
                 "Caf\u00e9 orders:\r\n   12 & 14\r\nTrack it\r\n"
                 "Kind regards,\r\nAnna Lee"_s);
    }

    void textStart_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        addRow("html and body", "<html><head><title>t</title></head><body>x", "x");
        addRow("body with attributes and line ends",
               "junk<HTML>\r\n<Body bgcolor=\"white\">\r\n\r\nx", "x");
        addRow("doctype", "<!DOCTYPE HTML PUBLIC \"-//W3C\"><html><body>x</body>", "x");
        addRow("text before the body tag", "before<body>x", "x");
        addRow("no body: text after the html tag", "<html lang=\"en\">x", "x");
        addRow("no body after doctype", "<!doctype html><p>x", "\r\nx");
        addRow("no markers", "plain & simple", "plain & simple");
        addRow("body before html is not looked for", "<body>a<html>b", "b");
    }
    void textStart()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(HtmlToText(html), text);
    }

    // Tags, numeric and named references and angle brackets after the body tag.
    void afterTheBodyTag_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        addRow("leading paragraph: empty first line", "<p>Hello", "\r\nHello");
        addRow("leading line break: nothing", "<br>Hello", "Hello");
        addRow("leading line ends dropped", "\r\n\r\n<BR>\nHi", "Hi");
        addRow("space ends leading", " \r\nHi<br>", " \r\nHi\r\n");
        addRow("line break after text", "Hi<br>there", "Hi\r\nthere");
        addRow("line break upper case", "Hi<BR>there", "Hi\r\nthere");
        addRow("self-closing line break is a tag", "Hi<br/>there", "Hithere");
        addRow("bold tag", "a <b>b</b>", "a b");
        addRow("paragraph with attributes is a tag", "Hi<p class=x>there", "Hithere");
        addRow("two paragraphs", "<p><P>x", "\r\n\r\nx");
        addRow("tag never closes", "a<b c", "a");
        addRow("nested levels", "a<x<y>z>b", "ab");
        addRow("nested level never closes", "a<x<y>z", "a");
        addRow("tag drops two line ends", "a<x>\r\n\r\nb", "a\r\nb");
        addRow("style block", "a<style>p{}</style>b", "ab");
        addRow("style tags in other case", "a<STYLE type=\"text/css\">p{}</Style >b", "ab");
        addRow("style never closed ends the text", "a<style>p{}", "a");
        addRow("style end drops line ends", "a<style>p{}</style>\r\nb", "ab");
        addRow("spaces and line ends kept", "a  b\r\n\r\nc", "a  b\r\n\r\nc");
        addRow("64 is an equals sign", "a&#64;b", "a=b");
        addRow("two digits", "&#65;", "A");
        addRow("four digits", "&#0065;", "A");
        addRow("four digits take the next character as the semicolon", "x&#0065yz", "xAz");
        addRow("two-digit tab", "a&#09;b", "a\tb");
        addRow("two-digit 7 stays", "&#07;", "&#07;");
        addRow("one digit stays", "&#5;", "&#5;");
        addRow("zero stays", "&#00;", "&#00;");
        addRow("bullet", "&#149;", u"\u2022"_s);
        addRow("right quote", "&#146;", u"\u2019"_s);
        addRow("euro from the code page", "&#128;", u"\u20ac"_s);
        addRow("129 has no character", "&#129;", "&#129;");
        addRow("142 has no character", "&#142;", "&#142;");
        addRow("en dash is a hyphen", "&#8211;", "-");
        addRow("bullet in Unicode", "&#8226;", u"\u2022"_s);
        addRow("quote in Unicode", "&#8217;", u"\u2019"_s);
        addRow("prime is an apostrophe", "&#8242;", "'");
        addRow("fraction slash", "&#8260;", "/");
        addRow("euro in Unicode", "&#8364;", u"\u20ac"_s);
        addRow("three digits above 255", "&#256;", u"\u0100"_s);
        addRow("five digits are read whole", "&#12345;", u"\u3039"_s);
        addRow("five digits without a semicolon", "&#12345 x", u"\u3039 x"_s);
        addRow("five digits with leading zeros", "&#00065;", "A");
        addRow("beyond the Basic Multilingual Plane", "&#128512;", u"\U0001F600"_s);
        addRow("surrogate value stays", "&#55296;", "&#55296;");
        addRow("past the last character stays", "&#1114112;", "&#1114112;");
        addRow("endless digits stay", "&#99999999999999999999;", "&#99999999999999999999;");
        addRow("missing semicolon after two", "&#65 x", "&#65 x");
        addRow("missing semicolon after three", "&#149x", "&#149x");
        addRow("four digits at the end", "&#0065", "&#0065");
        addRow("hexadecimal", "a&#x2014;b", u"a\u2014b"_s);
        addRow("hexadecimal in upper case", "&#X2AB;&#xab;", u"\u02ab\u00ab"_s);
        addRow("hexadecimal without a semicolon", "&#x2014 x", u"\u2014 x"_s);
        addRow("hexadecimal digits run on", "&#x2014b;", u"\U0002014B"_s);
        addRow("hexadecimal beyond the Basic Multilingual Plane", "&#x1F600;", u"\U0001F600"_s);
        addRow("hexadecimal through the same table", "&#x80;&#x81;&#x2013;", u"\u20ac&#x81;-"_s);
        addRow("hexadecimal without digits stays", "&#x;&#xg;", "&#x;&#xg;");
        addRow("hexadecimal zero and surrogate stay", "&#x0;&#xDC00;", "&#x0;&#xDC00;");
        addRow("hexadecimal past the last character stays", "&#x110000;", "&#x110000;");
        addRow("nbsp is a space", "a&nbsp;b", "a b");
        addRow("case ignored", "a&NBSP;b&Amp;c", "a b&c");
        addRow("quote", "&quot;x&quot;", "\"x\"");
        addRow("Latin-1 signs", "&pound;&BRKBAR;&shy;&iquest;", u"\u00a3\u00a6\u00ad\u00bf"_s);
        addRow("missing semicolon", "&nbsp x", "&nbsp x");
        addRow("HTML5 names", "&euro;&hellip;&mdash;", u"\u20ac\u2026\u2014"_s);
        addRow("HTML5 names keep their case", "&Alpha;&alpha;&ALPHA;", u"\u0391\u03b1&ALPHA;"_s);
        addRow("HTML5 name of two characters", "&NotEqualTilde;", u"\u2242\u0338"_s);
        addRow("HTML5 name beyond the Basic Multilingual Plane", "&Afr;", u"\U0001D504"_s);
        addRow("longest HTML5 name", "&CounterClockwiseContourIntegral;", u"\u2233"_s);
        addRow("longer name stays", "&CounterClockwiseContourIntegrals;",
               "&CounterClockwiseContourIntegrals;");
        addRow("HTML5 name without semicolon stays", "&euro x", "&euro x");
        addRow("unknown name", "&bogus;", "&bogus;");
        addRow("decoded ampersand is not read again", "&amp;lt;", "&lt;");
        addRow("bare ampersand", "a & b&", "a & b&");
        addRow("quoted sender address", "From: Emily Wilson &lt;ewilson@example.com&gt;",
               "From: Emily Wilson <ewilson@example.com>");
        addRow("lt without gt keeps the text after it", "x &lt; y > z", "x < y > z");
        addRow("lt before a tag", "a &lt; b<br>c", "a < b\r\nc");
        addRow("gt alone", "a &gt; b", "a > b");
        addRow("lt and gt, case ignored", "&LT;&lT;&gT;&GT;", "<<>>");
        addRow("Lt and Gt are other HTML5 names", "&Lt;&Gt;", u"\u226a\u226b"_s);
        addRow("decoded markup is not read as a tag", "&lt;b&gt;x&lt;/b&gt;", "<b>x</b>");
        addRow("lt at the end", "x&lt;", "x<");
        addRow("lt without semicolon", "&lt x", "&lt x");
    }
    void afterTheBodyTag()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(bodyText(html), text);
    }

    // Codes without a character give 0: controls, the code page's gaps and beyond 255.
    void referenceTable_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("character");
        const std::pair<int, int> codes[] = {{8, 0},   {9, 9},        {10, 10},    {11, 0},
                                             {13, 13}, {31, 0},       {32, 32},    {64, int('=')},
                                             {127, 0}, {128, 0x20AC}, {129, 0},    {142, 0},
                                             {157, 0}, {159, 0x178},  {255, 0xFF}, {256, 0}};
        for (const auto& [code, character] : codes)
            QTest::addRow("%d", code) << code << character;
    }
    void referenceTable()
    {
        QFETCH(int, code);
        QFETCH(int, character);
        QCOMPARE(int(htmlReferenceCharacter(code)), character);
    }
};

QTEST_GUILESS_MAIN(TestHtmlConverters)
#include "tst_htmlconverters.moc"
