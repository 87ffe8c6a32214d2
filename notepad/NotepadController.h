#pragma once

#include "NotepadHost.h"

#include <QDate>
#include <QString>

namespace vantrel::notepad {

// The notepad of the "Note Pad and Calendar" tab, kept in one rich text file in the
// program directory, and its month calendar.
class NotepadController
{
public:
    static constexpr int kNoTextToLoad = 20043;
    static constexpr int kUnableToWrite = 20045;
    static constexpr int kBadTimeValue = 20061;
    static constexpr int kNoTextToSave = 20107;

    // `notepadPath` is the notepad file.
    NotepadController(NotepadHost& host, QString notepadPath);

    // What a notepad starts with when its file cannot be read.
    static QString builtInText();

    // Fills the notepad from its file, or with the built-in text, which is saved at once
    // so that the file exists from then on. Clears the notepad's modified mark.
    void LoadNotepad();
    // Writes the whole notepad, whatever is selected, as rich text; true when written.
    bool SaveNotepad();
    // Saves the notepad when it changed since it was loaded or saved.
    void SaveNotepadIfModified();

    // Colours the month calendar in `style`; returns the style used (0 for a style
    // outside 0..5).
    int ApplyCalendarStyle(int style);
    // A day was picked on the calendar: with Shift held, how far it lies from today goes
    // to the start of the notepad. The insertion cannot be undone.
    void OnCalendarSelect(const QDate& selected, Qt::KeyboardModifiers modifiers);

private:
    NotepadHost& m_host;
    QString m_path;
};

} // namespace vantrel::notepad
