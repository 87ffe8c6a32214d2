// Shared by the printing tests: a workspace with real text boxes, a settings document in a
// temporary folder, and the text and word positions of a printed PDF read back with
// poppler's pdftotext and pdfinfo.
#pragma once

#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "print/PrintHost.h"

#include <QHash>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QWidget>
#include <functional>

namespace printtest {

using vantrel::print::RecordPrintForm;

// The four text boxes of the workspace and, when a test gives one, the record form source.
class Workspace : public vantrel::print::PrintHost
{
public:
    Workspace()
    {
        for (int id = kOutgoingBox; id <= kNotepadBox; ++id) {
            auto* box = new QTextEdit(&m_window);
            box->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
            m_boxes.insert(id, box);
        }
    }

    QWidget* hostWidget() override { return &m_window; }
    QTextEdit* textBox(int boxId) override { return m_boxes.value(boxId); }
    bool databaseOpen() const override { return open; }
    RecordPrintForm recordForm(int printMode) override
    {
        return formSource ? formSource(printMode) : RecordPrintForm{};
    }

    void removeBox(int boxId) { delete m_boxes.take(boxId); }

    bool open = false;
    std::function<RecordPrintForm(int)> formSource;

private:
    QWidget m_window;
    QHash<int, QTextEdit*> m_boxes;
};

// A loaded settings document over a fresh file.
struct Settings
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    CSupportDoc doc{store, dir.path() + QStringLiteral("/")};

    Settings() { doc.LoadSettings(); }
    void setMargins(int left, int right, int top, int bottom)
    {
        doc.setIntSetting(LeftMargin, left);
        doc.setIntSetting(RightMargin, right);
        doc.setIntSetting(TopMargin, top);
        doc.setIntSetting(BottomMargin, bottom);
    }
};

// Prints to `path` as a Letter-sized PDF.
inline void printToPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Portrait);
}

inline bool havePdfTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

inline QString runTool(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page, laid out as on paper.
inline QStringList pdfPages(const QString& path)
{
    QStringList pages =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")})
            .split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

inline int pdfPageCount(const QString& path)
{
    static const QRegularExpression pages(QStringLiteral(R"(Pages:\s+(\d+))"));
    return pages.match(runTool(QStringLiteral("pdfinfo"), {path})).captured(1).toInt();
}

// The non-blank lines of a page's text, without their indentation.
inline QStringList textLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    return lines;
}

// Every word of the PDF with its box in points, by page (from 0), and the sheet's size.
struct Words
{
    QSizeF sheet;
    QList<QList<QRectF>> pages;
};

inline Words pdfWords(const QString& path)
{
    static const QRegularExpression page(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)">)re"));
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">)re"));
    const QString xhtml =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    Words words;
    for (const QString& chunk : xhtml.split(QStringLiteral("</page>"))) {
        const QRegularExpressionMatch sheet = page.match(chunk);
        if (!sheet.hasMatch())
            continue;
        words.sheet = QSizeF(sheet.captured(1).toDouble(), sheet.captured(2).toDouble());
        QList<QRectF> boxes;
        for (auto it = word.globalMatch(chunk); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            boxes.append(QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
        }
        words.pages.append(boxes);
    }
    return words;
}

} // namespace printtest
