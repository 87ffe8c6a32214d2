// Reading the message selected in the message list: its sender, times and subject, and its
// body in the read box; in a contacts folder the contact's details instead.
#pragma once

#include "mail/ReadState.h"
#include "vntmapi/MapiLoader.h"

#include <QObject>
#include <functional>

class CSupportDoc;

namespace vantrel::mail {

class MailHost;
class MailSession;

// Where the selected item is read from.
struct ReadTarget
{
    IMsgStore* store = nullptr;     // the store of the folder shown
    IMAPITable* contents = nullptr; // that folder's contents table, in the list's order
    int row = -1;                   // the focused and selected item; -1 when there is none
    bool contactsFolder = false;
};

class MessageReader : public QObject
{
    Q_OBJECT

public:
    using ModifierSource = std::function<Qt::KeyboardModifiers()>;

    MessageReader(MailSession& session, CSupportDoc& doc, MailHost& host,
                  QObject* parent = nullptr);

    // Opens the item at `target.row` and shows it. Without a store, a contents table or a
    // selected row nothing happens. With Alt held the message's transport headers are shown
    // instead of its body. Every failure is told to the user.
    void readSelected(const ReadTarget& target);

    // What is kept of the message read last.
    const ReadState& state() const { return m_state; }
    ReadState& state() { return m_state; }

    // Where the state of the Alt key comes from; the keyboard unless set.
    void setModifierSource(ModifierSource source) { m_modifiers = std::move(source); }

Q_SIGNALS:
    // No body could be shown for the message just selected: a drag from the list ends.
    void dragStateCleared();

private:
    const vntmapi::EntryPoints& api() const;
    MapiPtr<IMessage> openSelected(const ReadTarget& target);
    void showHeaders(IMessage* message);
    bool readSummary(IMessage* message, int* inSyncState);
    void showBody(IMessage* message, int inSyncState);
    bool loadBody(IMessage* message, int inSyncState);
    void showPlain(const QString& text);
    void notify(int messageId, int titleKind);

    MailSession& m_session;
    CSupportDoc& m_doc;
    MailHost& m_host;
    ModifierSource m_modifiers;
    ReadState m_state;
};

} // namespace vantrel::mail
