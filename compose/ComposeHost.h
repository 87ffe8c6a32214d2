// What the composition parts need of the workspace: the "Send Email" tab's boxes (outgoing
// body 1000, subject 1067, To 1064, Cc 1065, Bcc 1066), the read box, and the outgoing format.
#pragma once

#include <QString>

class QWidget;

namespace vantrel::compose {

class ComposeHost
{
public:
    static constexpr int kOutgoingBox = 1000;
    static constexpr int kReadBox = 1002;
    static constexpr int kToBox = 1064;
    static constexpr int kCcBox = 1065;
    static constexpr int kBccBox = 1066;
    static constexpr int kSubjectBox = 1067;

    virtual ~ComposeHost() = default;

    // Owner of the notices and the dialogs.
    virtual QWidget* hostWidget() = 0;

    // 0 plain text, 1 rich text.
    virtual int outgoingFormat() const = 0;
    virtual void setOutgoingFormat(int format) = 0;
    // Gives the outgoing body the wrap mode and starting format of `format`; the text stays.
    virtual void applyOutgoingFormat(int format) = 0;

    // Text of a text box (1000 to 1003) as plain text or RTF, and replacing it.
    virtual void streamTextOut(int controlId, QString& text, int rich) = 0;
    virtual void streamTextIn(int controlId, bool atSelection, const QString& text, int rich) = 0;
    // A box's whole text, whatever is selected in it (what a message is written from).
    virtual void wholeTextOut(int controlId, QString& text, int rich) = 0;
    virtual void clearOutgoingBody() = 0;

    // The recipient boxes by recipient type (1 To, 2 Cc, 3 Bcc).
    virtual QString recipientText(int recipientType) = 0;
    virtual void setRecipientText(int recipientType, const QString& text) = 0;
    // Replaces a recipient box's content with RTF, puts the caret at the end and makes the
    // typing colour red; false when the box is missing or the text could not be read.
    virtual bool setRecipientRtf(int recipientType, const QByteArray& rtf) = 0;

    virtual QString subjectText() = 0;
    virtual void setSubjectText(const QString& text) = 0;

    // Selects "Send Email" as a click on its tab would and focuses `controlId`.
    virtual void showSendEmail(int controlId) = 0;
};

} // namespace vantrel::compose
