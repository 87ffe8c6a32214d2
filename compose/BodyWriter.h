// Writing the outgoing message: its body as plain text or rich text (chosen by the default
// store's capabilities), the property sets of a new message, a reply and the sender, and the
// message options.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <QByteArray>
#include <QString>

namespace vantrel::compose {

class OutgoingState;

// Who the session sends as.
struct SenderIdentity
{
    QByteArray entryId;
    QString name;
    QString address;
    bool complete = false; // both the name and the address came back as strings
    HRESULT result = S_OK;
};

// The logged-on identity, its entry opened with `openFlags`.
SenderIdentity ReadIdentity(OutgoingState& state, ULONG openFlags);

// Writes the body of the outgoing body box into the outgoing message in the outgoing format,
// then saves the message. False when there is no message, the body is empty, or a write or
// the save fails.
bool WriteOutgoingBody(OutgoingState& state);

// The logged-on identity as sender and as the one sent for; a missing name or address goes as
// "Unknown". False when the properties could not be set (only running out of memory is told).
bool SetSenderProps(OutgoingState& state);

// Subject, class "IPM.Note", Sent Items, rich-text flag, conversation topic and a new
// conversation index; then saves and writes the body. False when any of these fails.
bool SetNewMessageProps(OutgoingState& state);

// Subject, Sent Items and rich-text flag (the reply has its class, topic and index already);
// then saves and writes the body as SetNewMessageProps does.
bool SetReplyProps(OutgoingState& state);

// Importance, sensitivity and read receipt of state.options() on the outgoing message; a
// failure is told (20027).
bool SetMessageOptions(OutgoingState& state);

} // namespace vantrel::compose
