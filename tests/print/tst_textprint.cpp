#include "PrintFixture.h"
#include "ScriptedPrompter.h"
#include "core/CommandRouter.h"
#include "print/PrintController.h"
#include "print/PrintedText.h"

#include <QDialog>
#include <QPrintPreviewWidget>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using namespace printtest;
using namespace vantrel::print;

namespace {

// Numbered lines, each different, so a lost or repeated line shows.
QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(u"Line %1 of the printed text"_s.arg(i, 5, 10, QChar(u'0')));
    return lines.join(u'\n');
}

// Paragraphs that wrap at the margins.
QString paragraphs(int count)
{
    QStringList text;
    for (int i = 0; i < count; ++i)
        text.append(u"Paragraph %1: "_s.arg(i) +
                    u"support staff write words that wrap across the printed page "_s.repeated(4));
    return text.join(u'\n');
}

} // namespace

class TestTextPrint : public QObject
{
    Q_OBJECT

    QTemporaryDir m_out;
    int m_run = 0;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<PrintController> m_print;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    CommandRouter m_router;

    QTextEdit* box(int id = PrintHost::kOutgoingBox) { return m_workspace->textBox(id); }

    // Prints `text` from the outgoing box to a new PDF, the print dialog accepted.
    QString print(const QString& text)
    {
        const QString path = m_out.filePath(u"text%1.pdf"_s.arg(++m_run));
        printToPdf(m_print->printer(), path);
        box()->setPlainText(text);
        m_prompter->dialogResult(QDialog::Accepted);
        m_router.execute(PrintController::kPrintOutgoing);
        return path;
    }

private Q_SLOTS:
    void init()
    {
        if (!havePdfTools())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are needed");
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_settings = std::make_unique<Settings>();
        m_workspace = std::make_unique<Workspace>();
        m_print = std::make_unique<PrintController>(m_settings->doc, *m_workspace);
        m_print->bindCommands(m_router);
    }
    void cleanup()
    {
        m_print.reset();
        m_workspace.reset();
        m_settings.reset();
        m_prompter.reset();
    }

    void pagesHoldTheTextInOrder_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pages");
        // DejaVu Sans Mono 12 pt at 10 inches of text height: 51 lines a page.
        QTest::newRow("one line") << 1 << 1;
        QTest::newRow("one full page") << 51 << 1;
        QTest::newRow("one line more") << 52 << 2;
        QTest::newRow("long text") << 400 << 8;
    }
    void pagesHoldTheTextInOrder()
    {
        QFETCH(int, lines);
        QFETCH(int, pages);
        const QString text = numberedLines(lines);
        const QString pdf = print(text);
        QCOMPARE(pdfPageCount(pdf), pages);

        QPrinter& printer = m_print->printer();
        const PrintedText expected(*box()->document(), &printer,
                                   textRectDevice(m_print->margins(), pageMetrics(printer)));
        QCOMPARE(expected.pages().size(), pages);
        const QStringList printed = pdfPages(pdf);
        QStringList all;
        for (int page = 0; page < pages; ++page) {
            QCOMPARE(textLines(printed.value(page)), textLines(expected.pageText(page)));
            all += textLines(printed.value(page));
        }
        QCOMPARE(all, text.split(u'\n'));
    }

    void marginsOnPaper_data()
    {
        QTest::addColumn<QList<int>>("margins"); // left, right, top, bottom in twips
        QTest::addColumn<QList<int>>("used");
        QTest::newRow("half inch")
            << QList<int>{720, 720, 720, 720} << QList<int>{720, 720, 720, 720};
        QTest::newRow("wide") << QList<int>{2880, 1440, 2160, 1800}
                              << QList<int>{2880, 1440, 2160, 1800};
        QTest::newRow("too small")
            << QList<int>{0, 710, 711, 100} << QList<int>{720, 720, 711, 720};
    }
    void marginsOnPaper()
    {
        QFETCH(QList<int>, margins);
        QFETCH(QList<int>, used);
        m_settings->setMargins(margins[0], margins[1], margins[2], margins[3]);
        const Words words = pdfWords(print(paragraphs(40)));
        QVERIFY(words.pages.size() >= 2);
        const QList<QRectF>& page = words.pages.first();
        QRectF inked;
        for (const QRectF& word : page)
            inked = inked.isNull() ? word : inked.united(word);
        // Twips to points: / 20. Glyphs sit a little inside their line and cell.
        const QRectF area(
            QPointF(used[0] / 20.0, used[2] / 20.0),
            QPointF(words.sheet.width() - used[1] / 20.0, words.sheet.height() - used[3] / 20.0));
        QVERIFY2(qAbs(inked.left() - area.left()) < 2, qPrintable(u"%1"_s.arg(inked.left())));
        QVERIFY2(qAbs(inked.top() - area.top()) < 4, qPrintable(u"%1"_s.arg(inked.top())));
        QVERIFY(inked.right() <= area.right() && inked.right() > area.right() - 60);
        QVERIFY(inked.bottom() <= area.bottom() && inked.bottom() > area.bottom() - 30);
    }

    void longTextsStopAt500Pages()
    {
        // Two lines a page: 1200 lines would take 600 pages.
        box()->setPlainText(numberedLines(1200));
        QPrinter& printer = m_print->printer();
        printToPdf(printer, m_out.filePath(u"unused.pdf"_s));
        const int lineHeight = qCeil(QFontMetricsF(box()->font(), &printer).height());
        const PrintedText text(*box()->document(), &printer, QRect(600, 600, 9000, 2 * lineHeight));
        const auto& pages = text.pages();
        QCOMPARE(pages.size(), vantrel::print::kMaxPages);
        QCOMPARE(pages.first().first, 0);
        for (qsizetype i = 1; i < pages.size(); ++i)
            QCOMPARE(pages.at(i).first, pages.at(i - 1).last + 1);
        QCOMPARE(text.pageText(499), numberedLines(1000).section(u'\n', 998) + u'\n');
    }

    void printRangeOfPages()
    {
        const QString path = m_out.filePath(u"range.pdf"_s);
        printToPdf(m_print->printer(), path);
        box()->setPlainText(numberedLines(200));
        m_prompter->dialogScript([this](QDialog&) {
            m_print->printer().setPrintRange(QPrinter::PageRange);
            m_print->printer().setFromTo(2, 3);
            return int(QDialog::Accepted);
        });
        m_router.execute(PrintController::kPrintOutgoing);
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(textLines(pages.first()).first(), u"Line 00052 of the printed text"_s);
    }

    void commandsAndNotices_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("lines"); // in every box; -1: the workspace has no boxes
        QTest::addColumn<QString>("notice");
        QTest::addColumn<int>("pages"); // shown in the preview; -1: no preview
        QTest::addColumn<int>("mode");
        const int single = QPrintPreviewWidget::SinglePageView;
        QTest::newRow("print empty") << int(PrintController::kPrintNotepad) << 0
                                     << u"Information: No text to print!"_s << -1 << single;
        QTest::newRow("print missing box") << int(PrintController::kPrintTopic) << -1
                                           << u"Information: No text to print!"_s << -1 << single;
        QTest::newRow("preview empty")
            << int(PrintController::kPreviewMessage) << 0
            << u"Information: No text to print preview!"_s << -1 << single;
        QTest::newRow("preview missing box")
            << int(PrintController::kPreviewOutgoing) << -1
            << u"Warning!: Problems setting the outgoing email rich text control"_s << 0 << single;
        QTest::newRow("preview one page")
            << int(PrintController::kPreviewNotepad) << 3 << QString() << 1 << single;
        QTest::newRow("preview three pages side by side")
            << int(PrintController::kPreviewTopic) << 120 << QString() << 3
            << int(QPrintPreviewWidget::FacingPagesView);
    }
    void commandsAndNotices()
    {
        QFETCH(int, command);
        QFETCH(int, lines);
        QFETCH(QString, notice);
        QFETCH(int, pages);
        QFETCH(int, mode);
        printToPdf(m_print->printer(), m_out.filePath(u"preview.pdf"_s));
        for (int id = PrintHost::kOutgoingBox; id <= PrintHost::kNotepadBox; ++id) {
            if (lines < 0)
                m_workspace->removeBox(id);
            else
                box(id)->setPlainText(lines ? numberedLines(lines) : QString());
        }
        int shown = -1;
        int viewMode = -1;
        m_prompter->dialogScript([&](QDialog& dialog) {
            auto* preview = dialog.findChild<QPrintPreviewWidget*>();
            preview->updatePreview();
            shown = preview->pageCount();
            viewMode = preview->viewMode();
            return int(QDialog::Rejected);
        });
        QVERIFY(m_router.execute(command));
        QStringList notices;
        for (const ScriptedPrompter::Notice& n : m_prompter->notices()) {
            if (n.kind == ScriptedPrompter::Notice::Warning)
                notices.append(n.title + u": "_s + n.text);
        }
        QCOMPARE(notices, notice.isEmpty() ? QStringList() : QStringList{notice});
        QCOMPARE(shown, pages);
        if (pages >= 0)
            QCOMPARE(viewMode, mode);
    }

    void recordCommandsNeedAnOpenTable()
    {
        const QList<int> records = {PrintController::kPrintJob, PrintController::kPrintKnowledge,
                                    PrintController::kPreviewJob,
                                    PrintController::kPreviewKnowledge};
        for (int id : records)
            QVERIFY(!m_router.state(id).enabled);
        m_workspace->open = true;
        for (int id : records)
            QVERIFY(m_router.state(id).enabled);
        QVERIFY(m_router.state(PrintController::kPrintNotepad).enabled);
        QVERIFY(m_router.state(PrintController::kPrintSetup).enabled);
    }
};

QTEST_MAIN(TestTextPrint)
#include "tst_textprint.moc"
