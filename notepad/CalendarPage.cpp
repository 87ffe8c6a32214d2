#include "CalendarPage.h"

#include "core/CSupportDoc.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// In style order; the program's own spelling of the last one stays.
constexpr const char* kStyleCaptions[vantrel::notepad::kCalendarStyleCount] = {
    "&Blue and white", "&Pleasant", "&Night time", "&Sunny red", "Spring &green", "N&eutural"};

} // namespace

cdialprop4::cdialprop4(const ViewSettings& view, QWidget* parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("cdialprop4"));
    setWindowTitle(QStringLiteral("Calendar display"));
    auto* box = new QGroupBox(QStringLiteral("Calendar display styles"), this);
    auto* buttons = new QVBoxLayout(box);
    for (int style = 0; style < vantrel::notepad::kCalendarStyleCount; ++style) {
        auto* button = new QRadioButton(QString::fromLatin1(kStyleCaptions[style]), box);
        button->setObjectName(QStringLiteral("calendarStyle%1").arg(style));
        m_group->addButton(button, style);
        buttons->addWidget(button);
        m_buttons[static_cast<size_t>(style)] = button;
    }
    styleButton(vantrel::notepad::shownCalendarStyle(view.monthStyle))->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch(1);
}

QRadioButton* cdialprop4::styleButton(int style) const
{
    return style >= 0 && style < vantrel::notepad::kCalendarStyleCount
               ? m_buttons[static_cast<size_t>(style)]
               : nullptr;
}

int cdialprop4::checkedStyle() const
{
    return m_group->checkedId();
}

bool cdialprop4::apply(ViewSettings& view) const
{
    const int style = checkedStyle();
    const bool changed = style != view.monthStyle;
    view.monthStyle = style;
    return changed;
}
