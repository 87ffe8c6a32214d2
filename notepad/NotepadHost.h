// What the notepad needs of the workspace: the notepad box and the month calendar of the
// "Note Pad and Calendar" tab, moving text in and out of the box, and an owner for notices.
#pragma once

#include <QString>

class QCalendarWidget;
class QTextEdit;
class QWidget;

namespace vantrel::notepad {

class NotepadHost
{
public:
    static constexpr int kNotepadBox = 1003;
    static constexpr int kMonthCalendar = 1074;

    virtual ~NotepadHost() = default;

    // Owner of the notices.
    virtual QWidget* hostWidget() = 0;
    // The notepad box and the month calendar, or nullptr when the workspace lacks them.
    virtual QTextEdit* notepadBox() = 0;
    virtual QCalendarWidget* monthCalendar() = 0;
    // The box's whole text whatever is selected, and replacing its whole content (or its
    // selection); `rich` 1 for rich text.
    virtual void wholeTextOut(int controlId, QString& text, int rich) = 0;
    virtual void streamTextIn(int controlId, bool atSelection, const QString& text, int rich) = 0;
};

} // namespace vantrel::notepad
