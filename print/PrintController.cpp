#include "print/PrintController.h"

#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/ProgressFeedback.h"
#include "core/Prompter.h"
#include "print/PrintHost.h"
#include "print/PrintedText.h"
#include "print/RecordPrintLayout.h"

#include <QFile>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

namespace vantrel::print {

namespace {

constexpr int kProgressPrinting = 25697;
constexpr int kProgressPreview = 25698;

int textLength(const QTextEdit* box)
{
    return box ? box->document()->characterCount() - 1 : 0;
}

// The pages of `count` that the printer's print range asks for, counted from 0.
std::pair<int, int> printedPages(const QPrinter& printer, int count)
{
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() < 1)
        return {0, count - 1};
    const int from = std::min(printer.fromPage(), count) - 1;
    const int to = printer.toPage() < 1 ? count - 1 : std::min(printer.toPage(), count) - 1;
    return {from, std::max(from, to)};
}

} // namespace

PrintController::PrintController(const CSupportDoc& doc, PrintHost& host)
    : m_doc(doc)
    , m_host(host)
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    // Pages are laid out from the sheet's corner; the margins are the program's own.
    m_printer->setFullPage(true);
}

PrintController::~PrintController() = default;

void PrintController::bindCommands(CommandRouter& router)
{
    const auto recordsOpen = [this] {
        return CommandState{m_host.databaseOpen(), false};
    };
    const std::pair<int, int> prints[] = {{kPrintOutgoing, PrintHost::kOutgoingBox},
                                          {kPrintMessage, PrintHost::kMessageBox},
                                          {kPrintTopic, PrintHost::kTopicBox},
                                          {kPrintNotepad, PrintHost::kNotepadBox}};
    for (const auto& [id, box] : prints)
        router.bind(id, [this, box] { PrintText(box); });
    const std::pair<int, int> previews[] = {{kPreviewOutgoing, PrintHost::kOutgoingBox},
                                            {kPreviewMessage, PrintHost::kMessageBox},
                                            {kPreviewTopic, PrintHost::kTopicBox},
                                            {kPreviewNotepad, PrintHost::kNotepadBox}};
    for (const auto& [id, box] : previews)
        router.bind(id, [this, box] { PreviewText(box); });
    router.bind(
        kPrintJob, [this] { PrintRecord(JobRecord); }, recordsOpen);
    router.bind(
        kPrintKnowledge, [this] { PrintRecord(KnowledgeRecord); }, recordsOpen);
    router.bind(
        kPreviewJob, [this] { PreviewRecord(JobRecord); }, recordsOpen);
    router.bind(
        kPreviewKnowledge, [this] { PreviewRecord(KnowledgeRecord); }, recordsOpen);
    router.bind(kPrintSetup, [this] { PrintSetup(); });
    router.bind(kPrint, [this] { PrintCurrent(); });
}

Margins PrintController::margins() const
{
    return {m_doc.intSetting(LeftMargin), m_doc.intSetting(RightMargin),
            m_doc.intSetting(TopMargin), m_doc.intSetting(BottomMargin)};
}

void PrintController::selectTarget(int boxId)
{
    const bool known = boxId >= PrintHost::kOutgoingBox && boxId <= PrintHost::kNotepadBox;
    m_target = known ? boxId : PrintHost::kOutgoingBox;
}

void PrintController::PrintText(int boxId)
{
    if (textLength(m_host.textBox(boxId)) < 1) {
        ShowViewMessage(m_host.hostWidget(), kMsgNoTextToPrint, TitleInformation);
        return;
    }
    selectTarget(boxId);
    m_mode = TextJob;
    runPrint();
}

void PrintController::PreviewText(int boxId)
{
    const QTextEdit* box = m_host.textBox(boxId);
    if (!box) {
        // The preview still opens, without pages.
        ShowViewMessage(m_host.hostWidget(), kMsgNoPreviewBox, TitleWarning);
    } else if (textLength(box) < 1) {
        ShowViewMessage(m_host.hostWidget(), kMsgNoTextToPreview, TitleInformation);
        return;
    }
    selectTarget(boxId);
    m_mode = TextJob;
    runPreview();
}

void PrintController::PrintRecord(int mode)
{
    m_mode = mode == KnowledgeRecord ? KnowledgeRecord : JobRecord;
    runPrint();
}

void PrintController::PreviewRecord(int mode)
{
    m_mode = mode == KnowledgeRecord ? KnowledgeRecord : JobRecord;
    runPreview();
}

void PrintController::PrintCurrent()
{
    if (m_mode == TextJob)
        PrintText(m_target);
    else
        PrintRecord(m_mode);
}

void PrintController::PrintSetup()
{
    QPageSetupDialog dialog(m_printer.get(), m_host.hostWidget());
    Prompter::current().runDialog(dialog);
}

void PrintController::runPrint()
{
    const int pages = countPages(*m_printer);
    QPrintDialog dialog(m_printer.get(), m_host.hostWidget());
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, std::max(1, pages));
    if (Prompter::current().runDialog(dialog) == QDialog::Accepted)
        paintJob(*m_printer);
}

void PrintController::runPreview()
{
    // A range chosen for an earlier print would hide pages from the preview.
    m_printer->setPrintRange(QPrinter::AllPages);
    m_printer->setFromTo(0, 0);
    const int pages = countPages(*m_printer);
    QPrintPreviewDialog dialog(m_printer.get(), m_host.hostWidget());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter* printer) {
                         m_previewing = true;
                         paintJob(*printer);
                         m_previewing = false;
                     });
    if (auto* view = dialog.findChild<QPrintPreviewWidget*>()) {
        view->setViewMode(pages > 1 ? QPrintPreviewWidget::FacingPagesView
                                    : QPrintPreviewWidget::SinglePageView);
    }
    Prompter::current().runDialog(dialog);
}

int PrintController::countPages(QPrinter& printer) const
{
    if (m_mode != TextJob)
        return 1;
    const QTextEdit* box = m_host.textBox(m_target);
    if (!box)
        return 0;
    const PrintedText text(*box->document(), &printer,
                           textRectDevice(margins(), pageMetrics(printer)));
    return static_cast<int>(text.pages().size());
}

int PrintController::paintJob(QPrinter& printer) const
{
    return m_mode == TextJob ? paintText(printer) : paintRecord(printer);
}

// Only a job printed to a file can be cancelled part way: the printer's engine here cannot
// abort (QPrinter::abort() does nothing), so whatever pages were drawn would be printed. A
// cancelled file is removed. A preview has no Cancel either: cut short it would look complete.
bool PrintController::canCancel(const QPrinter& printer) const
{
    return !m_previewing && printer.outputFormat() == QPrinter::PdfFormat &&
           !printer.outputFileName().isEmpty();
}

int PrintController::paintText(QPrinter& printer) const
{
    const QTextEdit* box = m_host.textBox(m_target);
    if (!box)
        return 0;
    // Started before the pages are measured: that is part of the wait.
    ProgressFeedback feedback(m_host.hostWidget(),
                              m_previewing ? kProgressPreview : kProgressPrinting,
                              canCancel(printer) ? ProgressFeedback::Cancel::Offered
                                                 : ProgressFeedback::Cancel::NotOffered);
    const PrintedText text(*box->document(), &printer,
                           textRectDevice(margins(), pageMetrics(printer)));
    if (text.pages().isEmpty())
        return 0;
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const auto [from, to] = printedPages(printer, static_cast<int>(text.pages().size()));
    for (int page = from; page <= to; ++page) {
        if (!feedback.step(page - from + 1, to - from + 1))
            break;
        if (page > from)
            printer.newPage();
        text.renderPage(painter, page);
    }
    painter.end();
    if (feedback.cancelled()) {
        QFile::remove(printer.outputFileName());
        return 0;
    }
    return to - from + 1;
}

int PrintController::paintRecord(QPrinter& printer) const
{
    const PageMetrics page = pageMetrics(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    // Record forms are measured from the printable area's corner.
    painter.translate(page.offsetLeft, page.offsetTop);
    RecordPrintLayout::draw(painter, recordGeometry(margins(), page), m_host.recordForm(m_mode));
    return 1;
}

} // namespace vantrel::print
