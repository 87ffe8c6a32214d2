#include "print/PageSetupPage.h"

#include "core/CSupportDoc.h"
#include "print/PageGeometry.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace vantrel::print {

namespace {

constexpr int kMarginCharacters = 10;
constexpr int kLargestMargin = 2881;
constexpr int kLargestKept = 2880;
constexpr double kInchesPerCm = 0.3937;

// The leading decimal number of `text`, as the C library reads one; 0 when there is none.
double leadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace

int MarginFromText(const QString& text, bool metric)
{
    const QString kept = text.left(kMarginCharacters);
    if (kept.isEmpty())
        return kHalfInch;
    const double value = leadingNumber(kept);
    if (value < 0)
        return kHalfInch;
    const double twips = metric ? value * kInchesPerCm * kTwipsPerInch : value * kTwipsPerInch;
    // Compared once truncated, so that 2881.5 twips still count as 2881.
    if (twips >= kLargestMargin + 1)
        return kLargestKept;
    const int result = static_cast<int>(twips);
    return result < kSmallestMargin ? kHalfInch : result;
}

QString MarginText(int twips, bool metric)
{
    const double inches = static_cast<double>(twips) / kTwipsPerInch;
    return QString::asprintf("%1.2f", metric ? inches / kInchesPerCm : inches);
}

QString MarginHint(bool metric)
{
    return metric ? QStringLiteral("Minimum margin: 1.27cm       Maximum margin: 5.08cm")
                  : QStringLiteral("Minimum margin: 1/2\"           Maximum margin: 2\"");
}

} // namespace vantrel::print

using namespace vantrel::print;

namespace {

QLineEdit* makeBox(const QString& objectName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    return box;
}

QLabel* makeLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

cproppage7::cproppage7(CSupportDoc& doc, QWidget* parent)
    : QWidget(parent)
    , m_metric(doc.intSetting(MetricMeasure) == 1)
{
    setObjectName(QStringLiteral("cproppage7"));
    setWindowTitle(QStringLiteral("Page Setup"));
    for (int heading : {DatabasePrintHeading, KnowledgePrintHeading}) {
        if (doc.stringSetting(heading).isEmpty())
            doc.setStringSetting(heading, stringSettingDefault(heading));
    }

    auto* marginsBox = new QGroupBox(QStringLiteral("Print margins"), this);
    auto* grid = new QGridLayout(marginsBox);
    const std::array<QString, SideCount> captions = {
        QStringLiteral("&Left"), QStringLiteral("&Right"), QStringLiteral("&Top"),
        QStringLiteral("&Bottom")};
    const std::array<QString, SideCount> names = {
        QStringLiteral("leftMargin"), QStringLiteral("rightMargin"), QStringLiteral("topMargin"),
        QStringLiteral("bottomMargin")};
    for (int side = 0; side < SideCount; ++side) {
        const auto at = static_cast<size_t>(side);
        m_margins[at] = makeBox(names[at], marginsBox);
        m_units[at] = new QLabel(marginsBox);
        grid->addWidget(makeLabel(captions[at], m_margins[at], marginsBox), side, 0);
        grid->addWidget(m_margins[at], side, 1);
        grid->addWidget(m_units[at], side, 2);
    }
    m_hint = new QLabel(marginsBox);
    m_hint->setObjectName(QStringLiteral("marginHint"));
    grid->addWidget(m_hint, SideCount, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    m_metricCheck = new QCheckBox(QStringLiteral("Check to use &metric sizes"), this);
    m_metricCheck->setObjectName(QStringLiteral("metricMeasure"));
    m_metricCheck->setChecked(m_metric);
    m_databaseHeading = makeBox(QStringLiteral("databasePrintHeading"), this);
    m_databaseHeading->setText(doc.stringSetting(DatabasePrintHeading));
    m_knowledgeHeading = makeBox(QStringLiteral("knowledgePrintHeading"), this);
    m_knowledgeHeading->setText(doc.stringSetting(KnowledgePrintHeading));

    auto* column = new QVBoxLayout(this);
    column->addWidget(marginsBox);
    column->addWidget(m_metricCheck);
    column->addWidget(
        makeLabel(QStringLiteral("&Database record print out header"), m_databaseHeading, this));
    column->addWidget(m_databaseHeading);
    column->addWidget(makeLabel(QStringLiteral("&Knowledge base record print out header"),
                                m_knowledgeHeading, this));
    column->addWidget(m_knowledgeHeading);
    column->addStretch(1);

    showMargins({doc.intSetting(LeftMargin), doc.intSetting(RightMargin), doc.intSetting(TopMargin),
                 doc.intSetting(BottomMargin)});
    showUnit();
    connect(m_metricCheck, &QCheckBox::toggled, this, &cproppage7::switchUnit);

    const QList<QWidget*> chain = focusChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

QList<QWidget*> cproppage7::focusChain() const
{
    return {m_margins[Left], m_margins[Right],  m_margins[Top],    m_margins[Bottom],
            m_metricCheck,   m_databaseHeading, m_knowledgeHeading};
}

std::array<int, cproppage7::SideCount> cproppage7::readMargins() const
{
    std::array<int, SideCount> twips{};
    for (size_t side = 0; side < twips.size(); ++side)
        twips[side] = MarginFromText(m_margins[side]->text(), m_metric);
    return twips;
}

void cproppage7::showMargins(const std::array<int, SideCount>& twips)
{
    for (size_t side = 0; side < twips.size(); ++side)
        m_margins[side]->setText(MarginText(twips[side], m_metric));
}

void cproppage7::showUnit()
{
    const QString unit = m_metric ? QStringLiteral("Cm") : QStringLiteral("Inches");
    for (QLabel* label : m_units)
        label->setText(unit);
    m_hint->setText(MarginHint(m_metric));
}

void cproppage7::switchUnit(bool metric)
{
    // The boxes are read in the unit they were typed in before the unit changes.
    const std::array<int, SideCount> twips = readMargins();
    m_metric = metric;
    showMargins(twips);
    showUnit();
}

void cproppage7::apply(CSupportDoc& doc) const
{
    doc.setIntSetting(MetricMeasure, m_metric ? 1 : 0);
    const std::array<int, SideCount> twips = readMargins();
    const std::array<int, SideCount> settings = {LeftMargin, RightMargin, TopMargin, BottomMargin};
    for (size_t side = 0; side < twips.size(); ++side)
        doc.setIntSetting(settings[side], twips[side]);
    const std::pair<QLineEdit*, int> headings[] = {{m_databaseHeading, DatabasePrintHeading},
                                                   {m_knowledgeHeading, KnowledgePrintHeading}};
    for (const auto& [box, setting] : headings) {
        if (!box->text().isEmpty())
            doc.setStringSetting(setting, box->text().left(kHeadingLength));
    }
}
