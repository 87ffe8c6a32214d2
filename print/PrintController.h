#pragma once

#include "print/PageGeometry.h"

#include <memory>

class CSupportDoc;
class CommandRouter;
class QPrinter;

namespace vantrel::print {

class PrintHost;

// The print and print preview commands of the workspace: text pages of the four text
// boxes between the margins of the settings, and the Job and Knowledge record forms. One
// printer is kept for the whole run, so a choice made in a print or setup dialog holds
// for the next job.
class PrintController
{
public:
    enum PrintMode { TextJob = 0, JobRecord = 1, KnowledgeRecord = 2 };

    static constexpr int kPrintOutgoing = 32868;
    static constexpr int kPrintMessage = 32866;
    static constexpr int kPrintTopic = 32869;
    static constexpr int kPrintNotepad = 32867;
    static constexpr int kPrintJob = 32871;
    static constexpr int kPrintKnowledge = 32872;
    static constexpr int kPreviewJob = 32873;
    static constexpr int kPreviewKnowledge = 32874;
    static constexpr int kPreviewMessage = 32875;
    static constexpr int kPreviewNotepad = 32876;
    static constexpr int kPreviewOutgoing = 32877;
    static constexpr int kPreviewTopic = 32878;
    static constexpr int kPrintSetup = 57606;
    static constexpr int kPrint = 57607;

    static constexpr int kMsgNoTextToPrint = 20230;
    static constexpr int kMsgNoTextToPreview = 20231;
    static constexpr int kMsgNoPreviewBox = 20232;

    PrintController(const CSupportDoc& doc, PrintHost& host);
    ~PrintController();
    PrintController(const PrintController&) = delete;
    PrintController& operator=(const PrintController&) = delete;

    void bindCommands(CommandRouter& router);

    // The command handlers.
    void PrintText(int boxId);
    void PreviewText(int boxId);
    void PrintRecord(int mode);
    void PreviewRecord(int mode);
    void PrintSetup();
    // Prints again what the last print command printed (the outgoing message at first).
    void PrintCurrent();

    int printMode() const { return m_mode; }
    int printTarget() const { return m_target; }
    QPrinter& printer() { return *m_printer; }
    // The margins of the settings, in twips.
    Margins margins() const;

    // How many pages the current job has on `printer`: a text job measures its box, a
    // record job has one page.
    int countPages(QPrinter& printer) const;
    // Draws the current job onto `printer` (the pages of its print range, or all); returns
    // the number of pages drawn, 0 when the user cancelled it. A long job shows its progress.
    int paintJob(QPrinter& printer) const;

private:
    void selectTarget(int boxId);
    void runPrint();
    void runPreview();
    bool canCancel(const QPrinter& printer) const;
    int paintText(QPrinter& printer) const;
    int paintRecord(QPrinter& printer) const;

    const CSupportDoc& m_doc;
    PrintHost& m_host;
    std::unique_ptr<QPrinter> m_printer;
    int m_mode = TextJob;
    int m_target = 1000;
    bool m_previewing = false; // pages are drawn for the preview dialog
};

} // namespace vantrel::print
