// A message attached to another one (ATTACH_EMBEDDED_MSG), opened through its attachment's
// PR_ATTACH_DATA_OBJ. It lives in the attachment's bytes and has no file of its own:
// SaveChanges renders it back into the attachment, which reaches the disk only when the
// attachment and then the message holding it are saved.
#pragma once

#include "Message.h"

namespace vntmapi {

class Attachment;

class EmbeddedMessage : public Message
{
public:
    // Opens the message in `bytes` of `attachment` (an empty one when `bytes` is empty),
    // holding a reference to the attachment for its lifetime. Changes are refused unless
    // `writable`.
    static IMessage* open(Attachment* attachment, MsgStore* store, const std::vector<BYTE>& bytes,
                          bool writable);

    ~EmbeddedMessage() override;

    HRESULT SaveChanges(ULONG ulFlags) override;
    HRESULT SubmitMessage(ULONG ulFlags) override;

private:
    EmbeddedMessage(Attachment* attachment, MsgStore* store, MessageParts parts,
                    std::vector<BYTE> bytes);

    Attachment* m_attachment;
    std::vector<BYTE> m_bytes; // as last read or saved: its other headers are kept
};

} // namespace vntmapi
