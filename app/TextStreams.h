#pragma once

#include <QString>
#include <functional>

class QTextEdit;
class QWidget;

// Moving text into and out of the workspace's text boxes, by control id, as plain or
// rich text, and the transfer of text to the caret of the outgoing message.
class TextStreams
{
public:
    static constexpr int kOutgoingBox = 1000;
    static constexpr int kTopicBox = 1001;
    static constexpr int kReadBox = 1002;
    static constexpr int kNotepadBox = 1003;

    using ControlFinder = std::function<QWidget*(int controlId)>;

    // `view` owns the notices; `find` looks a control up by its id.
    TextStreams(QWidget* view, ControlFinder find);

    // The box's selection, or its whole text when nothing is selected; plain text has
    // "\r\n" line ends. A missing box leaves `text` unchanged.
    void StreamTextOut(int controlId, QString& text, int rich) const;
    // The box's whole text, whatever is selected.
    void WholeTextOut(int controlId, QString& text, int rich) const;
    // Replaces the selection (or inserts at the caret) or the whole content. The text
    // goes in as rich text only when `rich` is set and it begins with "{\rtf".
    void StreamTextIn(int controlId, bool atSelection, const QString& text, int rich) const;
    void TransferToOutgoing(const QString& text, int rich) const;

    // "Transfer topic to email": the topic text, refused when empty.
    void TransferTopic(int outgoingFormat) const;
    // "Copy message to outgoing email": the read message's text.
    void CopyMessage(int outgoingFormat) const;
    // "Copy selected text to the outgoing email" from the box of the tab shown.
    void CopySelectedText(int tab, int outgoingFormat) const;
    // The box whose text that command takes on `tab`, or 0 for none.
    static int sourceBoxForTab(int tab);

private:
    QTextEdit* box(int controlId) const;

    QWidget* m_view;
    ControlFinder m_find;
};
