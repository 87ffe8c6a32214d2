#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <array>

class CSupportDoc;
class QCheckBox;
class QLabel;
class QLineEdit;

namespace vantrel::print {

// A margin box's text in twips: at most its first 10 characters count, read as a leading
// decimal number in inches or centimetres. Empty, negative or too small values give half an
// inch, values above 2881 give 2880.
int MarginFromText(const QString& text, bool metric);
// A margin shown with two decimals, in inches or centimetres.
QString MarginText(int twips, bool metric);
// The hint under the margin boxes.
QString MarginHint(bool metric);

} // namespace vantrel::print

// The "Page Setup" page of the Preferences sheet: the four print margins, the unit they are
// shown in, and the headings of the printed Job and Knowledge records.
class cproppage7 : public QWidget
{
    Q_OBJECT

public:
    enum Side { Left = 0, Right, Top, Bottom, SideCount };
    static constexpr int kHeadingLength = 100;

    // Fills an empty heading setting with its default first.
    explicit cproppage7(CSupportDoc& doc, QWidget* parent = nullptr);

    QLineEdit* marginBox(int side) const { return m_margins.at(static_cast<size_t>(side)); }
    QLabel* unitLabel(int side) const { return m_units.at(static_cast<size_t>(side)); }
    QLabel* hintLabel() const { return m_hint; }
    QCheckBox* metricCheck() const { return m_metricCheck; }
    QLineEdit* databaseHeadingBox() const { return m_databaseHeading; }
    QLineEdit* knowledgeHeadingBox() const { return m_knowledgeHeading; }
    // The page's controls in keyboard order, for the sheet's tab chain.
    QList<QWidget*> focusChain() const;

    // OK of the sheet: the unit flag and the margins go into the document, and each heading
    // box that is not empty, cut to 100 characters. They are written at shut-down.
    void apply(CSupportDoc& doc) const;

private:
    void switchUnit(bool metric);
    void showUnit();
    std::array<int, SideCount> readMargins() const;
    void showMargins(const std::array<int, SideCount>& twips);

    bool m_metric = false;
    std::array<QLineEdit*, SideCount> m_margins{};
    std::array<QLabel*, SideCount> m_units{};
    QLabel* m_hint = nullptr;
    QCheckBox* m_metricCheck = nullptr;
    QLineEdit* m_databaseHeading = nullptr;
    QLineEdit* m_knowledgeHeading = nullptr;
};
