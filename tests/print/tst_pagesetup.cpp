#include "PrintFixture.h"
#include "print/PageGeometry.h"
#include "print/PageSetupPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantrel::print;

namespace {

// Letter paper at 600 dpi with unprintable edges of a tenth and a fifth of an inch.
PageMetrics letter600(int offsetX = 60, int offsetY = 120)
{
    return {5100, 6600, offsetX, offsetY, offsetX, offsetY, 600, 600};
}

} // namespace

class TestPageSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalisedMargins_data()
    {
        QTest::addColumn<int>("offset");         // device units on every side, 600 dpi
        QTest::addColumn<QList<int>>("margins"); // left, right, top, bottom in twips
        QTest::addColumn<QList<int>>("used");
        QTest::newRow("kept") << 60 << QList<int>{1440, 2880, 711, 1000}
                              << QList<int>{1440, 2880, 711, 1000};
        QTest::newRow("below 711")
            << 0 << QList<int>{710, 0, -5, 700} << QList<int>{720, 720, 720, 720};
        // The printer cannot print the outer inch (1440 twips).
        QTest::newRow("within the offset")
            << 600 << QList<int>{1440, 1441, 800, 2000} << QList<int>{720, 1441, 720, 2000};
    }
    void normalisedMargins()
    {
        QFETCH(int, offset);
        QFETCH(QList<int>, margins);
        QFETCH(QList<int>, used);
        const Margins m = vantrel::print::normalisedMargins(
            {margins[0], margins[1], margins[2], margins[3]}, letter600(offset, offset));
        QCOMPARE((QList<int>{m.left, m.right, m.top, m.bottom}), used);
    }

    void textAndRecordGeometry()
    {
        const PageMetrics page = letter600();
        // 8.5 x 11 inches is 12240 x 15840 twips.
        QCOMPARE(textRectTwips({1440, 720, 720, 2160}, page), QRect(1440, 720, 10080, 12960));
        QCOMPARE(textRectDevice({1440, 720, 720, 2160}, page), QRect(600, 300, 4200, 5400));

        const RecordGeometry g = recordGeometry({1440, 720, 500, 2880}, page);
        QCOMPARE(g.left, 540);              // 600 * 1 - 60
        QCOMPARE(g.top, 180);               // 600 * 0.5 - 120 (below 711 counts as half an inch)
        QCOMPARE(g.right, 5100 - 60 - 300); // page width - (offset + right margin)
        QCOMPARE(g.valueColumn, 540 + (4740 - 540) / 4);
        QCOMPARE(g.drawHeight, 6600 - 240);
        QCOMPARE(g.font.pixelSize(), 83); // 10 points at 600 dpi, truncated
        QCOMPARE(g.font.family(), u"Arial"_s);
        // With wide offsets the offset wins.
        QCOMPARE(recordGeometry({720, 720, 720, 720}, letter600(400, 400)).left, 400);
    }

    void marginFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("metric");
        QTest::addColumn<int>("twips");
        QTest::newRow("quarter inch") << u"0.25"_s << false << 720;
        QTest::newRow("two and a half inches") << u"2.5"_s << false << 2880;
        QTest::newRow("2881 stays") << u"2.0007"_s << false << 2881;
        QTest::newRow("711") << u"0.494"_s << false << 711;
        QTest::newRow("empty") << u""_s << false << 720;
        QTest::newRow("negative") << u"-1.5"_s << false << 720;
        QTest::newRow("not a number") << u"wide"_s << false << 720;
        QTest::newRow("number then text") << u" 1.5in"_s << false << 2160;
        QTest::newRow("eleventh character ignored") << u"00000000001"_s << false << 720;
        QTest::newRow("2.54 cm") << u"2.54"_s << true << 1439;
        QTest::newRow("1 cm") << u"1.00"_s << true << 720;
    }
    void marginFromText()
    {
        QFETCH(QString, text);
        QFETCH(bool, metric);
        QFETCH(int, twips);
        QCOMPARE(MarginFromText(text, metric), twips);
    }

    void marginTextsAndHints()
    {
        QCOMPARE(MarginText(1440, false), u"1.00"_s);
        QCOMPARE(MarginText(1440, true), u"2.54"_s);
        QCOMPARE(MarginText(720, true), u"1.27"_s);
        QCOMPARE(MarginHint(false).size(), 49);
        QCOMPARE(MarginHint(false),
                 u"Minimum margin: 1/2\""_s + QString(11, u' ') + u"Maximum margin: 2\""_s);
    }

    void pageSwitchesUnitsAndApplies()
    {
        printtest::Settings s;
        s.setMargins(1440, 720, 2160, 2880);
        s.doc.setIntSetting(MetricMeasure, 0);
        s.doc.setStringSetting(DatabasePrintHeading, QString());
        cproppage7 page(s.doc);
        QCOMPARE(page.windowTitle(), u"Page Setup"_s);
        // An empty heading is filled when the page opens.
        QCOMPARE(page.databaseHeadingBox()->text(), u"Database record"_s);
        QCOMPARE(page.marginBox(cproppage7::Left)->text(), u"1.00"_s);
        QCOMPARE(page.unitLabel(cproppage7::Top)->text(), u"Inches"_s);

        page.marginBox(cproppage7::Right)->setText(u"0.25"_s);
        page.metricCheck()->click();
        QCOMPARE(page.marginBox(cproppage7::Left)->text(), u"2.54"_s);
        QCOMPARE(page.marginBox(cproppage7::Right)->text(), u"1.27"_s);
        QCOMPARE(page.marginBox(cproppage7::Bottom)->text(), u"5.08"_s);
        QCOMPARE(page.unitLabel(cproppage7::Left)->text(), u"Cm"_s);
        QCOMPARE(page.hintLabel()->text(), MarginHint(true));

        page.marginBox(cproppage7::Top)->setText(u"9"_s);
        page.databaseHeadingBox()->setText(QString(120, u'H'));
        page.knowledgeHeadingBox()->clear();
        const QString knowledgeHeading = s.doc.stringSetting(KnowledgePrintHeading);
        page.apply(s.doc);
        QCOMPARE(s.doc.intSetting(MetricMeasure), 1);
        // Centimetres shown with two decimals read back a twip short.
        QCOMPARE(s.doc.intSetting(LeftMargin), 1439);
        QCOMPARE(s.doc.intSetting(RightMargin), 719);
        QCOMPARE(s.doc.intSetting(TopMargin), 2880);
        QCOMPARE(s.doc.intSetting(BottomMargin), 2879);
        QCOMPARE(s.doc.stringSetting(DatabasePrintHeading), QString(100, u'H'));
        QCOMPARE(s.doc.stringSetting(KnowledgePrintHeading), knowledgeHeading);
    }
};

QTEST_MAIN(TestPageSetup)
#include "tst_pagesetup.moc"
