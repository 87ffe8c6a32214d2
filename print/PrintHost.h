// What printing needs of the workspace: an owner for its dialogs and notices, the four text
// boxes it prints, whether a record table is open, and the record forms.
#pragma once

#include "print/RecordPrintForm.h"

class QTextEdit;
class QWidget;

namespace vantrel::print {

class PrintHost
{
public:
    static constexpr int kOutgoingBox = 1000;
    static constexpr int kTopicBox = 1001;
    static constexpr int kMessageBox = 1002;
    static constexpr int kNotepadBox = 1003;

    virtual ~PrintHost() = default;

    // Owner of the notices and the print dialogs.
    virtual QWidget* hostWidget() = 0;
    // The text box with id 1000..1003, or nullptr when the workspace lacks it.
    virtual QTextEdit* textBox(int boxId) = 0;
    // Whether the database or the knowledge base is open.
    virtual bool databaseOpen() const = 0;
    // The current Job (`printMode` 1) or Knowledge (2) record as a form, read from the
    // record tabs when the page is drawn.
    virtual RecordPrintForm recordForm(int printMode) = 0;
};

} // namespace vantrel::print
