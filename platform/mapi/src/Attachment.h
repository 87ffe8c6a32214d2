// An attachment of a message, opened or created through IMessage: a copy of the attachment
// that SaveChanges hands back to the message, which writes it with its own SaveChanges.
#pragma once

#include "MimeContent.h"
#include "PropObject.h"

namespace vntmapi {

class Message;

class Attachment : public PropObject<IAttach>
{
public:
    // Holds a reference to `message`. `hasData` is false for a new attachment.
    Attachment(Message* message, ULONG number, AttachmentData data, bool hasData);
    ~Attachment() override;

    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray,
                     LPSPropProblemArray* lppProblems) override;
    HRESULT DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) override;
    HRESULT SaveChanges(ULONG ulFlags) override;
    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN* lppUnk) override;

    // The SaveChanges of the message opened from PR_ATTACH_DATA_OBJ: `bytes` are now this
    // attachment's data, an attached message whose properties are `props`.
    void takeAttachedMessage(const std::vector<BYTE>& bytes, const PropList& props);

protected:
    PropList properties() const override;
    PropList propertiesFor(const SPropTagArray& tags) const override;

private:
    HRESULT openAttachedMessage(const IID& iid, ULONG flags, LPUNKNOWN* message);

    Message* m_message;
    ULONG m_number;
    AttachmentData m_data;
    bool m_hasData;
};

// The row of an attachment table, and that table's columns.
PropList attachmentRow(ULONG number, const AttachmentData& attachment);
std::vector<ULONG> attachmentColumns();

// A new attachment's properties before the caller sets any.
AttachmentData newAttachmentData();

} // namespace vntmapi
