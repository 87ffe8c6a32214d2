// Reply, reply all and forward: the message selected in the message list becomes a new
// outgoing message in the Outbox, with the chosen properties and (on request) the attachments
// of the answered message, a header block and the answered text in the outgoing body, the
// recipients of a reply, a conversation index and the threading headers.
#pragma once

#include "vntmapi/MapiInterfaces.h"

#include <QByteArray>
#include <QString>

class CommandRouter;
class QWidget;

namespace vantrel::mail {
class PropsRead;
}

namespace vantrel::compose {

class AddressBook;
class OutgoingState;
class Recipients;
struct RecipientRow;

// What the builder keeps of the answered message among OutgoingState::answeredTexts().
enum AnsweredText {
    AnsweredHeader = 0,
    AnsweredSenderName = 1,
    AnsweredSenderAddress = 2,
    AnsweredSubject = 3,
};

// Kinds of BuildReply.
enum ReplyKind { ReplyToSender = 2, ReplyToAll = 3 };

// Results of BuildReply.
enum ReplyResult { ReplyBuilt = 0, ReplyFailed = 1, ReplyRefused = 2 };

// The display name and address (and, when asked, the address type) of a one-off entry
// identifier, 8-bit or Unicode; false when `entry` is not a whole one-off entry.
bool DecodeOneOff(const QByteArray& entry, QString* name, QString* address,
                  QString* addressType = nullptr);

class ReplyBuilder
{
public:
    static constexpr int kCmdForward = 1202;
    static constexpr int kCmdReply = 1204;
    static constexpr int kCmdReplyAll = 1205;

    ReplyBuilder(OutgoingState& state, AddressBook& book, Recipients& recipients);
    ReplyBuilder(const ReplyBuilder&) = delete;
    ReplyBuilder& operator=(const ReplyBuilder&) = delete;

    // "&Reply", "Reply &All" and "&Forward Message", each enabled while logged on with no
    // outgoing message or one of its own kind.
    void bindCommands(CommandRouter& router);

    // The Reply and Reply all commands (`kind` a ReplyKind): the reply is built, its
    // recipients shown and "Send Email" selected. A failed build is told and the half-built
    // message stopped.
    void OnReply(int kind);
    // Builds the reply in the outgoing message (a ReplyResult). Every refusal and failure has
    // been told, except the closing "Unable to form a reply message" that OnReply adds.
    int BuildReply(int kind);
    // The Forward command: builds the forward, then lets the user choose its recipients.
    void BuildForward();
    // Fills the pending recipient list with whom a reply to `source` answers: its reply-to
    // list, else its sender (or the person the sender sent for); their names, each followed
    // by ";", are appended to `names`. False when there is no one to answer or memory ran out.
    bool BuildReplyRecipients(const mail::PropsRead& source, QString* names);

private:
    struct Answered;

    bool inContactsFolder() const;
    bool prepareOutgoing(bool fresh);
    MapiPtr<IMessage> openSelected();
    void copyFromSource(IMessage* source, bool withAttachments, bool withAuthor);
    bool readAnswered(Answered& answered);
    bool fillAnswer(const mail::PropsRead& props, bool forward);
    bool setAnswerProps(const mail::PropsRead& props, bool forward);
    int addCopyRecipients(IMessage* source, const mail::PropsRead& props);
    bool appendReplyTo(const mail::PropsRead& source, QString* names, bool* answered);
    bool appendRecipient(RecipientRow row, QString* names);
    QByteArray createOneOff(const QString& name, const QString& type, const QString& address);
    void failForward();
    QWidget* view() const;

    OutgoingState& m_state;
    AddressBook& m_book;
    Recipients& m_recipients;
    // Whether the build under way has written into the outgoing body.
    bool m_bodyWritten = false;
};

} // namespace vantrel::compose
