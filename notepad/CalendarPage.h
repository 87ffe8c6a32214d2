#pragma once

#include "CalendarStyles.h"

#include <QWidget>
#include <array>

class QButtonGroup;
class QRadioButton;
struct ViewSettings;

// The "Calendar display" page of the Preferences sheet: one radio button per calendar
// style, the current style checked (style 0 for any other value).
class cdialprop4 : public QWidget
{
    Q_OBJECT

public:
    explicit cdialprop4(const ViewSettings& view, QWidget* parent = nullptr);

    QRadioButton* styleButton(int style) const;
    int checkedStyle() const;

    // Takes the checked style into the view's working copy; true when it changed, and
    // the calendar is to be painted in it.
    bool apply(ViewSettings& view) const;

private:
    std::array<QRadioButton*, vantrel::notepad::kCalendarStyleCount> m_buttons{};
    QButtonGroup* m_group = nullptr;
};
