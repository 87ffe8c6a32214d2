#include "TextStreams.h"

#include "CTextBox.h"
#include "PlainText.h"
#include "core/MessageHelpers.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <utility>

namespace {

constexpr int kNoEditControl = 20080;
constexpr int kStreamError = 20081;
constexpr int kNoTextToTransfer = 20031;

const QString kRtfMark = QStringLiteral("{\\rtf");

QString withoutCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

TextStreams::TextStreams(QWidget* view, ControlFinder find)
    : m_view(view)
    , m_find(std::move(find))
{}

QTextEdit* TextStreams::box(int controlId) const
{
    auto* edit = qobject_cast<QTextEdit*>(m_find(controlId));
    if (!edit)
        ShowViewMessage(m_view, kNoEditControl, TitleInformation);
    return edit;
}

void TextStreams::StreamTextOut(int controlId, QString& text, int rich) const
{
    QTextEdit* edit = box(controlId);
    if (!edit)
        return;
    const QTextCursor cursor = edit->textCursor();
    if (rich)
        text = cursor.hasSelection() ? vnt::rtf::writeRtf(cursor)
                                     : vnt::rtf::writeRtf(*edit->document());
    else
        text = cursor.hasSelection() ? boxPlainText(cursor) : boxPlainText(*edit->document());
}

void TextStreams::WholeTextOut(int controlId, QString& text, int rich) const
{
    if (QTextEdit* edit = box(controlId))
        text = rich ? vnt::rtf::writeRtf(*edit->document()) : boxPlainText(*edit->document());
}

void TextStreams::StreamTextIn(int controlId, bool atSelection, const QString& text, int rich) const
{
    QTextEdit* edit = box(controlId);
    if (!edit)
        return;
    const bool isRtf = rich && text.startsWith(kRtfMark);
    bool ok = true;
    if (atSelection) {
        QTextCursor cursor = edit->textCursor();
        if (isRtf)
            ok = vnt::rtf::insertRtf(text, cursor);
        else
            cursor.insertText(withoutCrLf(text));
        edit->setTextCursor(cursor);
    } else if (isRtf) {
        ok = vnt::rtf::readRtf(QStringView(text), edit->document());
    } else if (auto* textBox = qobject_cast<CTextBox*>(edit); textBox && !rich) {
        textBox->ReplacePlainText(withoutCrLf(text));
    } else {
        edit->setPlainText(withoutCrLf(text));
    }
    if (!ok)
        ShowViewMessage(m_view, kStreamError, TitleInformation);
}

void TextStreams::TransferToOutgoing(const QString& text, int rich) const
{
    StreamTextIn(kOutgoingBox, true, text, rich);
}

void TextStreams::TransferTopic(int outgoingFormat) const
{
    // Rich text of an empty box is still a document header, so emptiness is judged on
    // the plain text.
    QString plain;
    StreamTextOut(kTopicBox, plain, 0);
    QString text = plain;
    if (!plain.isEmpty() && outgoingFormat)
        StreamTextOut(kTopicBox, text, outgoingFormat);
    if (plain.isEmpty()) {
        ShowViewMessage(m_view, kNoTextToTransfer, TitleInformation);
        return;
    }
    TransferToOutgoing(text, outgoingFormat);
}

void TextStreams::CopyMessage(int outgoingFormat) const
{
    QString text;
    StreamTextOut(kReadBox, text, outgoingFormat);
    TransferToOutgoing(text, outgoingFormat);
}

void TextStreams::CopySelectedText(int tab, int outgoingFormat) const
{
    const int source = sourceBoxForTab(tab);
    if (source == 0)
        return;
    QString text;
    StreamTextOut(source, text, outgoingFormat);
    TransferToOutgoing(text, outgoingFormat);
}

int TextStreams::sourceBoxForTab(int tab)
{
    switch (tab) {
    case 0:
    case 1:
    case 3:
    case 4:
    case 5:
        return kReadBox;
    case 2:
    case 6:
        return kTopicBox;
    case 7:
        return kNotepadBox;
    default:
        return 0;
    }
}
