// What a printed record form shows: a plain description that the database side fills from
// the record tabs and the record layout draws.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vantrel::print {

// One boxed field row: the label on the left, the value right of the value column, or, for
// a long text, the label across the page and the box's display lines below it.
struct PrintRow
{
    QString label;
    QString value;     // single-line rows
    QStringList lines; // multi-line rows: the display lines as the box shows them
    bool multiLine = false;
    bool indentValue = false; // record numbers start a little further right
    bool elide = false;       // a value too wide for its box ends in an ellipsis
};

struct RecordPrintForm
{
    QString title;
    QList<PrintRow> rows;
};

} // namespace vantrel::print
