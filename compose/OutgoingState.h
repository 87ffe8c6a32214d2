// The one outgoing message that may exist at a time: its mode, the message and the folder it
// was made in, the folder the chooser opened, the recipient lists, the message options and the
// texts of the message being answered; and the four operations that create and end it.
#pragma once

#include "compose/AdrList.h"
#include "vntmapi/MapiInterfaces.h"

#include <QString>
#include <array>

namespace vantrel::mail {
class MailController;
}

namespace vantrel::compose {

class ComposeHost;

enum class OutgoingMode { None = 0, Composing = 1, Replying = 2, ReplyingAll = 3, Forwarding = 4 };

// Importance 0 low, 1 normal, 2 high; sensitivity 0 none, 1 personal, 2 private,
// 3 confidential.
struct MessageOptions
{
    int importance = 1;
    int sensitivity = 0;
    bool readReceipt = false;
};

class OutgoingState
{
public:
    OutgoingState(mail::MailController& mail, ComposeHost& host);
    OutgoingState(const OutgoingState&) = delete;
    OutgoingState& operator=(const OutgoingState&) = delete;
    ~OutgoingState();

    mail::MailController& mail() { return m_mail; }
    ComposeHost& host() { return m_host; }
    const vntmapi::EntryPoints& api() const;

    OutgoingMode mode() const { return m_mode; }
    void setMode(OutgoingMode mode) { m_mode = mode; }
    bool isLoggedOn() const;

    IMessage* message() const { return m_message.get(); }
    MapiPtr<IMessage> messageRef() const { return m_message; }
    IMAPIFolder* folder() const { return m_folder.get(); }
    void setMessage(MapiPtr<IMessage> message) { m_message = std::move(message); }
    void setFolder(MapiPtr<IMAPIFolder> folder) { m_folder = std::move(folder); }
    MapiPtr<IMAPIFolder>& chosenFolder() { return m_chosenFolder; }

    // The recipients not yet attached to the message, and the two lists of name checking.
    AdrList& pending() { return m_pending; }
    AdrList& candidates() { return m_candidates; }
    AdrList& checked() { return m_checked; }

    MessageOptions& options() { return m_options; }
    // What the reply builder keeps of the message being answered or forwarded.
    std::array<QString, 6>& answeredTexts() { return m_answered; }

    // Frees the pending list and releases the message and its folder; `clearBody` empties the
    // outgoing body; `resetFields` empties the recipient and subject boxes and resets the
    // options and the answered texts.
    void ClearOutgoing(bool resetFields, bool clearBody);
    // ClearOutgoing with the fields reset, then no outgoing message mode.
    void StopOutgoing(bool clearBody);
    // Opens the default store's Outbox as the outgoing folder.
    bool OpenOutbox();
    // Creates a message in the outgoing folder as the outgoing message.
    bool CreateOutgoingMessage();
    // Where the outgoing message is saved (a draft reopened for editing, a send that failed
    // after saving), so that it can be deleted once the user let it go or a copy replaced it.
    struct SavedCopy
    {
        MapiPtr<IMAPIFolder> folder;
        QByteArray entryId;
        void remove();
    };
    SavedCopy savedCopy() const;
    // At logoff: every object and list, before the stores go.
    void releaseAll();

private:
    mail::MailController& m_mail;
    ComposeHost& m_host;
    OutgoingMode m_mode = OutgoingMode::None;
    MapiPtr<IMessage> m_message;
    MapiPtr<IMAPIFolder> m_folder;
    MapiPtr<IMAPIFolder> m_chosenFolder;
    AdrList m_pending;
    AdrList m_candidates;
    AdrList m_checked;
    MessageOptions m_options;
    std::array<QString, 6> m_answered;
};

} // namespace vantrel::compose
