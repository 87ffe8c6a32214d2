// The commands the workspace view carries out itself: the tab keys, the preview switch,
// the edit commands on the focused control and the transfers to the outgoing message.

#include "CSupportView.h"
#include "CTextBox.h"
#include "TextFormatCommands.h"
#include "core/CommandRouter.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

constexpr int kViewFirstTab = 32836; // "View Email Folders" .. "View Note pad and Calendar"
constexpr int kPreviewSwitch = 32832;
constexpr int kCopySelectedText = 32780;
constexpr int kTransferTopicButton = 1013;
constexpr int kCopyMessageButton = 1008;

enum EditCommandId {
    EditUndo = 57643,
    EditCut = 57635,
    EditCopy = 57634,
    EditPaste = 57637,
    EditClear = 57632,
    EditSelectAll = 57642,
};

void clearSelection(QWidget* target)
{
    if (auto* line = qobject_cast<QLineEdit*>(target)) {
        if (line->hasSelectedText())
            line->del();
    } else if (auto* text = qobject_cast<QTextEdit*>(target)) {
        text->textCursor().removeSelectedText();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(target)) {
        plain->textCursor().removeSelectedText();
    }
}

const char* slotFor(int commandId)
{
    switch (commandId) {
    case EditUndo:
        return "undo";
    case EditCut:
        return "cut";
    case EditCopy:
        return "copy";
    case EditPaste:
        return "paste";
    case EditSelectAll:
        return "selectAll";
    default:
        return nullptr;
    }
}

} // namespace

void CSupportView::bindCommands(CommandRouter& router)
{
    for (int tab = 0; tab < WorkspaceTab::Count; ++tab)
        router.bind(kViewFirstTab + tab, [this, tab] { SelectTab(tab); });
    router.bind(
        kPreviewSwitch, [this] { OnPreviewSwitch(); },
        [this] {
            return CommandState{true, previewOn()};
        });
    if (QAction* preview = router.action(kPreviewSwitch))
        preview->setCheckable(true);
    for (int id : {EditUndo, EditCut, EditCopy, EditPaste, EditClear, EditSelectAll})
        router.bind(id, [this, id] { EditCommand(id); });
    router.bind(kCopySelectedText,
                [this] { m_streams.CopySelectedText(currentTab(), OutgoingFormat()); });

    if (auto* transfer = qobject_cast<QPushButton*>(control(kTransferTopicButton)))
        connect(transfer, &QPushButton::clicked, this,
                [this] { m_streams.TransferTopic(OutgoingFormat()); });
    if (auto* copy = qobject_cast<QPushButton*>(control(kCopyMessageButton)))
        connect(copy, &QPushButton::clicked, this,
                [this] { m_streams.CopyMessage(OutgoingFormat()); });
    bindTextFormatCommands(router, *this, m_doc);
    bindPreferences(router);
}

void CSupportView::EditCommand(int commandId)
{
    QWidget* target = QApplication::focusWidget();
    if (!target || !isAncestorOf(target))
        return;
    // The text boxes' focus sits on their viewport's parent, the box itself.
    if (auto* box = qobject_cast<QTextEdit*>(target->parentWidget()))
        target = box;
    if (commandId == EditClear) {
        clearSelection(target);
        return;
    }
    const char* slot = slotFor(commandId);
    if (!slot)
        return;
    // A paste into a text box comes back through its pasted() signal.
    QMetaObject::invokeMethod(target, slot);
}

void CSupportView::afterPaste(QWidget* target)
{
    // Pasted formatting does not survive in the boxes while outgoing text is plain.
    const int id = target->property("controlId").toInt();
    if (OutgoingFormat() != 0 || id < TextStreams::kOutgoingBox || id > TextStreams::kNotepadBox)
        return;
    if (auto* box = qobject_cast<CTextBox*>(target))
        box->ReapplyPlainFormat();
}
