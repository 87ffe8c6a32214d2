// The life of the outgoing message: Compose, Send (new messages, replies and forwards), Stop
// with its save-or-delete question, Save, Post, and clearing the outgoing body.
#pragma once

#include "compose/FolderChooser.h"

class CommandRouter;

namespace vantrel::compose {

class AddressBook;
class OutgoingState;
class Recipients;

class OutgoingLifecycle
{
public:
    static constexpr int kCmdCompose = 1200;
    static constexpr int kCmdPost = 1201;
    static constexpr int kCmdStop = 1203;
    static constexpr int kCmdSave = 1206;
    static constexpr int kCmdSend = 1207;
    static constexpr int kCmdClearBody = 32884;

    // What StartOrSendNew does.
    enum StartKind { StartComposing = 0, CreateAndSend = 2, SendComposed = 3 };
    // Results of SaveToFolder.
    enum SaveResult { NotDone = 1, Saved = 2, FailedAfterReplace = 3, NoRecipients = 4 };

    OutgoingLifecycle(OutgoingState& state, AddressBook& book, Recipients& recipients);

    void bindCommands(CommandRouter& router);

    void OnCompose();
    void OnSend();
    void OnStop();
    void OnSave() { SaveToFolder(FolderPurpose::Save); }
    void OnPost();
    void OnClearBody();

    bool StartOrSendNew(int kind);
    bool SendReplyMessage();
    bool SendForwardMessage();
    bool SubmitOutgoing();
    int SaveToFolder(FolderPurpose purpose);

private:
    enum class PropsKind { NewMessage, Reply };
    bool sendSequence(PropsKind props);
    bool recipientsForSend();
    bool takeBackRecipients();
    bool attachForSave();
    bool setSaveProps(bool post);
    bool SetPostProps();
    bool selectedFolderIsImap() const;
    void fillEmptyBody(const QString& text);
    QWidget* view() const;

    OutgoingState& m_state;
    AddressBook& m_book;
    Recipients& m_recipients;
};

} // namespace vantrel::compose
