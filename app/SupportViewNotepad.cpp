// The workspace as the notepad sees it: the notepad box and the month calendar of the
// "Note Pad and Calendar" tab, and the hooks through which start-up, shut-down and
// Preferences reach the notepad.

#include "CSupportView.h"
#include "CTextBox.h"
#include "core/LifecycleHooks.h"
#include "notepad/NotepadController.h"

#include <QCalendarWidget>
#include <QGuiApplication>

void CSupportView::createNotepad()
{
    using vantrel::notepad::NotepadController;
    m_notepad = std::make_unique<NotepadController>(*this, m_doc.notepadPath());
    NotepadController* notepad = m_notepad.get();
    m_hooks.loadNotepad = [notepad] {
        notepad->LoadNotepad();
    };
    m_hooks.saveNotepadIfModified = [notepad] {
        notepad->SaveNotepadIfModified();
    };
    m_workspaceHooks.applyCalendarStyle = [this, notepad](int style) {
        m_settings.monthStyle = notepad->ApplyCalendarStyle(style);
    };
    if (QCalendarWidget* calendar = monthCalendar()) {
        // The modifiers are those of the click, which Qt keeps as the keyboard's state.
        connect(calendar, &QCalendarWidget::clicked, this, [notepad](QDate date) {
            notepad->OnCalendarSelect(date, QGuiApplication::keyboardModifiers());
        });
    }
}

QTextEdit* CSupportView::notepadBox()
{
    return textBox(NotepadHost::kNotepadBox);
}

QCalendarWidget* CSupportView::monthCalendar()
{
    return qobject_cast<QCalendarWidget*>(control(NotepadHost::kMonthCalendar));
}
