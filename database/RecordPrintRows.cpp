#include "database/RecordPrintRows.h"

#include "core/CSupportDoc.h"
#include "core/StringTable.h"
#include "database/RecordLayout.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

namespace vantrel::database {

using print::PrintRow;
using print::RecordPrintForm;

namespace {

constexpr int kDatabaseHeading = 25513;
constexpr int kKnowledgeHeading = 25514;
constexpr int kPriorityTexts = 22001;
constexpr int kStatusTexts = 23001;
constexpr int kCompleted = 4;

// Dates print with English names whatever the desktop's language.
QString dateText(const QDateTime& when, const QString& format)
{
    return QLocale::c().toString(when, format);
}

class FormReader
{
public:
    explicit FormReader(const RecordPrintSource& source)
        : m_source(source)
    {}

    QWidget* control(int id) const { return m_source.control ? m_source.control(id) : nullptr; }

    // The column's name, or `fallback` when the table gave none.
    QString label(int column, const QString& fallback) const
    {
        const QString name = m_source.columnNames.value(column);
        return name.isEmpty() ? fallback : name;
    }

    QString text(int id) const
    {
        QWidget* box = control(id);
        if (auto* line = qobject_cast<QLineEdit*>(box))
            return line->text();
        if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
            return edit->toPlainText();
        return {};
    }

    PrintRow reportDate() const
    {
        return single(QStringLiteral("Date of Report"),
                      dateText(m_source.now, QStringLiteral("dddd, MMMM dd, yyyy")));
    }

    PrintRow number(const QString& label, int id) const
    {
        PrintRow row = single(label, QString::number(text(id).trimmed().toInt()));
        row.indentValue = true;
        return row;
    }

    // A one-line text; an empty one prints a blank, a long one ends in an ellipsis.
    PrintRow shortText(int column, const QString& fallback, int id) const
    {
        const QString value = text(id);
        PrintRow row =
            single(label(column, fallback), value.isEmpty() ? QStringLiteral(" ") : value);
        row.elide = true;
        return row;
    }

    PrintRow date(int column, const QString& fallback, int id) const
    {
        const auto* picker = qobject_cast<QDateTimeEdit*>(control(id));
        const QString value =
            picker ? dateText(picker->dateTime(), QStringLiteral("HH:mm    dddd,  MMMM  dd,  yyyy"))
                   : QStringLiteral(" ");
        return single(label(column, fallback), value);
    }

    PrintRow longText(int column, const QString& fallback, int id) const
    {
        PrintRow row;
        row.label = label(column, fallback);
        row.multiLine = true;
        QWidget* box = control(id);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
            row.lines = DisplayLines(*edit);
        else if (auto* line = qobject_cast<QLineEdit*>(box))
            row.lines = QStringList{line->text()};
        return row;
    }

    static PrintRow single(const QString& label, const QString& value)
    {
        PrintRow row;
        row.label = label;
        row.value = value;
        return row;
    }

private:
    const RecordPrintSource& m_source;
};

QString codeText(int first, int code, const QString& fallback)
{
    QString text;
    return StringTable::instance().load(first + code, &text) ? text : fallback;
}

} // namespace

QStringList DisplayLines(const QPlainTextEdit& box)
{
    QStringList lines;
    const QTextDocument* document = box.document();
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(document->documentLayout());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // Blocks the box has not shown yet are laid out at its current width.
        if (layout)
            layout->ensureBlockLayout(block);
        const QString text = block.text();
        const QTextLayout* wrapped = block.layout();
        if (!wrapped || wrapped->lineCount() == 0) {
            lines.append(text);
            continue;
        }
        for (int i = 0; i < wrapped->lineCount(); ++i) {
            const QTextLine line = wrapped->lineAt(i);
            lines.append(text.mid(line.textStart(), line.textLength()));
        }
    }
    return lines;
}

QString PrintHeading(CSupportDoc& doc, int setting)
{
    QString title = doc.stringSetting(setting);
    if (title.isEmpty()) {
        title =
            setting == KnowledgePrintHeading
                ? StringTable::instance().text(kKnowledgeHeading,
                                               QStringLiteral("Knowledge base record"))
                : StringTable::instance().text(kDatabaseHeading, QStringLiteral("Database record"));
        doc.setStringSetting(setting, title);
    }
    return title;
}

RecordPrintForm JobPrintForm(CSupportDoc& doc, const RecordPrintSource& source)
{
    const FormReader read(source);
    const auto id = [](int field) {
        return JobFields()[static_cast<size_t>(field)].controlId;
    };
    RecordPrintForm form;
    form.title = PrintHeading(doc, DatabasePrintHeading);
    const PrintRow endDate =
        source.status == kCompleted
            ? read.date(EndDate, QStringLiteral("End date"), id(EndDate))
            : FormReader::single(read.label(EndDate, QStringLiteral("End date")),
                                 QStringLiteral(" "));
    form.rows = {
        read.reportDate(),
        read.number(source.columnNames.value(JobNumber), id(JobNumber)),
        read.shortText(CustomerName, QStringLiteral("Customer name"), id(CustomerName)),
        read.shortText(CustomerEmail, QStringLiteral("Customer email"), id(CustomerEmail)),
        FormReader::single(
            read.label(Priority, QStringLiteral("Priority")),
            codeText(kPriorityTexts, source.priority, QStringLiteral("Unknown Priority"))),
        read.shortText(Category, QStringLiteral("Category"), id(Category)),
        FormReader::single(read.label(Status, QStringLiteral("Status")),
                           codeText(kStatusTexts, source.status, QStringLiteral("Unknown status"))),
        read.date(StartDate, QStringLiteral("Start date"), id(StartDate)),
        endDate,
        read.shortText(Product, QStringLiteral("Product"), id(Product)),
        read.longText(Problem, QStringLiteral("Problem"), id(Problem)),
        read.longText(Solution, QStringLiteral("Solution"), id(Solution)),
        read.longText(Notes, QStringLiteral("Notes"), id(Notes)),
    };
    return form;
}

RecordPrintForm KnowledgePrintForm(CSupportDoc& doc, const RecordPrintSource& source)
{
    const FormReader read(source);
    const auto id = [](int field) {
        return KnowledgeFields()[static_cast<size_t>(field)].controlId;
    };
    RecordPrintForm form;
    form.title = PrintHeading(doc, KnowledgePrintHeading);
    form.rows = {
        read.reportDate(),
        read.number(read.label(Reference, QStringLiteral("Reference")), id(Reference)),
        FormReader::single(read.label(Type, QStringLiteral("Type")), read.text(id(Type))),
        read.longText(FactOrProblem, QStringLiteral("Fact or Problem"), id(FactOrProblem)),
        read.longText(Note1, QStringLiteral("Note 1"), id(Note1)),
        read.longText(Note2, QStringLiteral("Note 2"), id(Note2)),
        read.longText(Note3, QStringLiteral("Note 3"), id(Note3)),
    };
    return form;
}

} // namespace vantrel::database
