#include "NotepadController.h"

#include "CalendarStyles.h"
#include "DayCount.h"
#include "core/MessageHelpers.h"
#include "core/TextFiles.h"
#include "topics/TopicFileReader.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <utility>

namespace vantrel::notepad {

NotepadController::NotepadController(NotepadHost& host, QString notepadPath)
    : m_host(host)
    , m_path(std::move(notepadPath))
{}

QString NotepadController::builtInText()
{
    return QStringLiteral("Notepad - use for whatever you like");
}

void NotepadController::LoadNotepad()
{
    QString text;
    // A missing or short file is expected on a first start and needs no notice.
    const bool builtIn = !ReadTopicFile(m_host.hostWidget(), m_path, text, true, kTextBoxLimit);
    if (builtIn)
        text = builtInText();
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), kNoTextToLoad, TitleWarning);
        return;
    }
    m_host.streamTextIn(NotepadHost::kNotepadBox, false, text, 1);
    if (builtIn)
        SaveNotepad();
    if (QTextEdit* box = m_host.notepadBox())
        box->document()->setModified(false);
}

bool NotepadController::SaveNotepad()
{
    QTextEdit* box = m_host.notepadBox();
    QString text;
    // The rich text of an empty box is still a document header, so emptiness is judged
    // on the box's characters.
    if (box && !box->document()->isEmpty())
        m_host.wholeTextOut(NotepadHost::kNotepadBox, text, 1);
    if (text.isEmpty()) {
        ShowViewMessage(m_host.hostWidget(), kNoTextToSave, TitleWarning);
        return false;
    }
    if (!WriteTextFile(m_path, text)) {
        ShowViewMessage(m_host.hostWidget(), kUnableToWrite, TitleWarning);
        return false;
    }
    box->document()->setModified(false);
    return true;
}

void NotepadController::SaveNotepadIfModified()
{
    const QTextEdit* box = m_host.notepadBox();
    if (box && box->document()->isModified())
        SaveNotepad();
}

int NotepadController::ApplyCalendarStyle(int style)
{
    return notepad::ApplyCalendarStyle(m_host.monthCalendar(), style);
}

void NotepadController::OnCalendarSelect(const QDate& selected, Qt::KeyboardModifiers modifiers)
{
    const QDate today = QDate::currentDate();
    if (!today.isValid()) {
        ShowViewMessage(m_host.hostWidget(), kBadTimeValue, TitleWarning);
        return;
    }
    QTextEdit* box = m_host.notepadBox();
    if (!box || !modifiers.testFlag(Qt::ShiftModifier))
        return;
    const QString text = DayCountText(today, selected);
    QTextDocument* document = box->document();
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(0);
    if (!text.isEmpty()) {
        // An edit kept out of the undo history also drops the steps before it, which
        // would no longer fit the text.
        const bool undo = document->isUndoRedoEnabled();
        document->setUndoRedoEnabled(false);
        cursor.insertText(text);
        document->setUndoRedoEnabled(undo);
        document->setModified(true);
    }
    box->setTextCursor(cursor);
}

} // namespace vantrel::notepad
