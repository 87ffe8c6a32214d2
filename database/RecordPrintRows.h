// The printed Job and Knowledge forms, read from the record tabs: what each row shows and in
// which order. Drawing them is the print side's part.
#pragma once

#include "print/RecordPrintForm.h"

#include <QDateTime>
#include <QStringList>
#include <functional>

class CSupportDoc;
class QPlainTextEdit;
class QWidget;

namespace vantrel::database {

// Where a form's values come from: the record controls by id, the column names of the
// table (its labels), the priority and status chosen on the Job tab and the time of printing.
struct RecordPrintSource
{
    std::function<QWidget*(int controlId)> control;
    QStringList columnNames;
    int priority = 0;
    int status = 0;
    QDateTime now;
};

// The lines of a multi-line box as it wraps them on screen.
QStringList DisplayLines(const QPlainTextEdit& box);
// The title of a printed form from `setting` (DatabasePrintHeading or KnowledgePrintHeading);
// an empty setting first takes its default heading.
QString PrintHeading(CSupportDoc& doc, int setting);

print::RecordPrintForm JobPrintForm(CSupportDoc& doc, const RecordPrintSource& source);
print::RecordPrintForm KnowledgePrintForm(CSupportDoc& doc, const RecordPrintSource& source);

} // namespace vantrel::database
