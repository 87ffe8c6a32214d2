// What the mail parts need of the workspace they live in.
#pragma once

#include <QString>

class QWidget;

namespace vantrel::mail {

class MailHost
{
public:
    virtual ~MailHost() = default;

    // Owner of the notices.
    virtual QWidget* hostWidget() = 0;
    // The tab in front (0 "Email Folders", 1 "Read email", ...).
    virtual int currentTab() = 0;
    // The read box is shown on "Email Folders".
    virtual bool previewOn() const = 0;
    // "Display a grid in the message list control".
    virtual bool gridOn() const = 0;
    // An outgoing message is open.
    virtual bool composing() const = 0;
    // Stops the open outgoing message (the user agreed to leave it when logging off).
    virtual void stopComposing() {}
    // Replaces the whole content of the read box (1002), as rich text or plain text. Rich
    // text is RTF whose characters are its bytes one for one (Latin-1): loaded as 8-bit RTF,
    // bytes above 127 are read by the document's code page. False when the box could not
    // load the text (no box, or rich text that is not RTF); the caller tells the user.
    virtual bool showReadText(const QString& text, bool rich) = 0;
    // The selected e-mail name and address boxes (1004, 1005).
    virtual void setSenderFields(const QString& name, const QString& address) = 0;
    // The mark-as-read wait (timer 2761, 12 000 ms): restarted after a read, stopped before
    // an unsent message is opened for editing.
    virtual void restartReadTimer() = 0;
    virtual void stopReadTimer() = 0;
};

} // namespace vantrel::mail
