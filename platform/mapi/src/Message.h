// A message of a Maildir store: its properties come from one parse of the file when it is
// opened; changes stay in memory until SaveChanges writes the file again.
#pragma once

#include "Maildir.h"
#include "MimeContent.h"
#include "MsgStore.h"
#include "Recipients.h"

namespace vntmapi {

// What a message is made of besides its place: read from a file, or from the bytes of an
// attached message.
struct MessageParts
{
    PropList props;
    RecipientList recipients;
    std::vector<AttachmentData> attachments;
};

// Reads an attached message as a message file is read; it has no ids of its own.
MessageParts readAttachedMessage(const std::vector<BYTE>& bytes);

// Opens the message `baseName` of `folder`, whatever its current flags.
HRESULT openMessage(MsgStore* store, const std::string& folder, const std::string& baseName,
                    IMessage** message);

// A new, unsaved message of `folder`: SaveChanges gives it a file.
IMessage* newMessage(MsgStore* store, const std::string& folder);

// Queues a read receipt (RFC 8098) for the message in `file` when it asks for one and none has
// gone yet (the $MDNSent keyword, which renames the file: `file` follows); S_OK without one
// when it does not ask.
HRESULT queueReadReceipt(MsgStore* store, MessageFile* file);

class Message : public PropObject<IMessage>
{
public:
    // Holds a reference to `store` for its lifetime. `baseName` is empty for a new message.
    Message(MsgStore* store, std::string folder, std::string baseName, PropList props,
            RecipientList recipients, std::vector<AttachmentData> attachments);
    ~Message() override;

    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray,
                     LPSPropProblemArray* lppProblems) override;
    HRESULT DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) override;
    HRESULT SaveChanges(ULONG ulFlags) override;

    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN* lppUnk) override;
    HRESULT GetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                            ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames) override;
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                            LPSPropTagArray* lppPropTags) override;
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
    HRESULT CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps,
                   ULONG ulUIParam, IMAPIProgress* lpProgress, LPCIID lpInterface,
                   IMAPIProp* lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems) override;
    HRESULT CopyProps(LPSPropTagArray lpIncludeProps, ULONG ulUIParam, IMAPIProgress* lpProgress,
                      LPCIID lpInterface, IMAPIProp* lpDestObj, ULONG ulFlags,
                      LPSPropProblemArray* lppProblems) override;

    // An attachment's SaveChanges: replaces attachment `number`, or adds it when it was
    // created and not yet saved. MAPI_E_OBJECT_DELETED once it has been deleted.
    HRESULT storeAttachment(ULONG number, AttachmentData attachment);

    MsgStore* store() const { return m_store; }
    bool isReadOnly() const { return m_readOnly; }

protected:
    PropList properties() const override;
    PropList propertiesFor(const SPropTagArray& tags) const override;

    // From now on every change is refused with MAPI_E_NO_ACCESS: the message was opened
    // without MAPI_MODIFY.
    void setReadOnly() { m_readOnly = true; }

    // What SaveChanges writes, and what it reads back after writing.
    MessageParts parts() const;
    void replaceContent(PropList props, RecipientList recipients);

private:
    struct NumberedAttachment
    {
        ULONG number = 0;
        AttachmentData data;
    };
    struct CopyProblem
    {
        ULONG index;
        ULONG tag;
        SCODE code;
    };

    NumberedAttachment* findAttachment(ULONG number);
    // Copies `tags` into `dest`; what cannot be copied is listed in `problems`.
    void copyInto(Message* dest, const std::vector<ULONG>& tags, ULONG flags,
                  std::vector<CopyProblem>* problems) const;
    bool copyValue(Message* dest, ULONG tag, bool noReplace, SCODE* problem) const;
    HRESULT checkCopyTarget(LPCIID lpInterface, IMAPIProp* lpDestObj, ULONG ulFlags,
                            Message** dest);
    static HRESULT returnProblems(const std::vector<CopyProblem>& problems,
                                  LPSPropProblemArray* lppProblems);
    // Notes a body set since the last save, for a store that keeps the bodies in step.
    void noteBodyChange(ULONG tag);
    // On such a store: builds the body that did not change from the one that did.
    HRESULT keepBodiesInStep();

    MsgStore* m_store;
    std::string m_folder;
    std::string m_baseName;
    PropList m_props;
    RecipientList m_recipients;
    std::vector<NumberedAttachment> m_attachments;
    std::vector<ULONG> m_createdAttachments; // numbers handed out by CreateAttach, not saved
    ULONG m_nextAttachment = 0;
    bool m_readOnly = false;
    bool m_bodyChanged = false;
    bool m_rtfChanged = false;
};

} // namespace vntmapi
