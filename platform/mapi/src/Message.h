// A message of a Maildir store, opened read-only: its properties come from one parse of the
// file when it is opened.
#pragma once

#include "Maildir.h"
#include "MsgStore.h"

namespace vntmapi {

// The properties a contents table row shows for a message.
PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary);

// Opens the message `baseName` of `folder`, whatever its current flags.
HRESULT openMessage(MsgStore* store, const std::string& folder, const std::string& baseName,
                    IMessage** message);

class Message : public PropObject<IMessage>
{
public:
    // Holds a reference to `store` for its lifetime.
    Message(MsgStore* store, PropList props);
    ~Message() override;

    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN* lppUnk) override;
    HRESULT GetAttachmentTable(ULONG ulFlags, IMAPITable** lppTable) override;
    HRESULT OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags,
                       IAttach** lppAttach) override;
    HRESULT CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum,
                         IAttach** lppAttach) override;
    HRESULT DeleteAttach(ULONG ulAttachmentNum, ULONG ulUIParam, IMAPIProgress* lpProgress,
                         ULONG ulFlags) override;
    HRESULT GetRecipientTable(ULONG ulFlags, IMAPITable** lppTable) override;
    HRESULT ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) override;
    HRESULT SubmitMessage(ULONG ulFlags) override;
    HRESULT SetReadFlag(ULONG ulFlags) override;

protected:
    PropList properties() const override { return m_props; }

private:
    MsgStore* m_store;
    PropList m_props;
};

} // namespace vntmapi
