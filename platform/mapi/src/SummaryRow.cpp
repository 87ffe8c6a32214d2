#include "SummaryRow.h"

#include <glib.h>

namespace vntmapi {

namespace {

void addText(PropList* row, ULONG tag, std::string value)
{
    if (!value.empty()) {
        row->push_back(stringProp(tag, std::move(value)));
    }
}

} // namespace

SummaryRowBuilder::SummaryRowBuilder(const MsgStore& store, const std::string& folder)
    : m_ref(folderRef(store.config().key, folder))
    , m_parentId(binaryProp(PR_PARENT_ENTRYID, store.folderId(folder)))
{
    m_ref.kind = EntryKind::Message;
    const StoreConfig& config = store.config();
    // What waits to leave, has left or is being written was not received by anyone.
    if (folder != config.outbox && folder != config.sentItems && folder != config.drafts) {
        m_ownerName = config.identityName;
        m_ownerAddress = config.identityAddress;
    }
}

void SummaryRowBuilder::addReceivedBy(MessageSummary& s, bool sentByOwner, PropList* row) const
{
    if (s.receivedByAddress.empty() && !m_ownerAddress.empty() && !sentByOwner) {
        s.receivedByAddress = m_ownerAddress;
    }
    if (s.receivedByAddress.empty()) {
        return;
    }
    if (s.receivedByName.empty()) {
        const bool owner =
            g_ascii_strcasecmp(s.receivedByAddress.c_str(), m_ownerAddress.c_str()) == 0;
        s.receivedByName = owner && !m_ownerName.empty() ? m_ownerName : s.receivedByAddress;
    }
    row->push_back(stringProp(PR_RECEIVED_BY_NAME, s.receivedByName));
    row->push_back(stringProp(PR_RECEIVED_BY_EMAIL_ADDRESS, s.receivedByAddress));
    row->push_back(stringProp(PR_RCVD_REPRESENTING_NAME, std::move(s.receivedByName)));
    row->push_back(stringProp(PR_RCVD_REPRESENTING_EMAIL_ADDRESS, std::move(s.receivedByAddress)));
}

PropList SummaryRowBuilder::operator()(const MessageFile& file, MessageSummary s)
{
    m_ref.message = file.baseName;
    const bool sentByOwner = !m_ownerAddress.empty() &&
                             g_ascii_strcasecmp(s.fromAddress.c_str(), m_ownerAddress.c_str()) == 0;
    PropList row;
    row.reserve(22);
    row.push_back(timeProp(PR_MESSAGE_DELIVERY_TIME, s.deliveryTime));
    row.push_back(binaryProp(PR_ENTRYID, encodeEntryId(m_ref)));
    addListColumns(s, &row);
    row.push_back(m_parentId);
    addOtherColumns(s, &row);
    addReceivedBy(s, sentByOwner, &row);
    return row;
}

void SummaryRowBuilder::addListColumns(MessageSummary& s, PropList* row)
{
    row->push_back(stringProp(PR_SUBJECT, std::move(s.subject)));
    addText(row, PR_SENT_REPRESENTING_NAME, std::move(s.fromName));
    row->push_back(longProp(PR_MESSAGE_FLAGS, s.flags));
    row->push_back(longProp(PR_IMPORTANCE, s.importance));
    row->push_back(boolProp(PR_HASATTACH, s.hasAttachments));
    row->push_back(longProp(PR_MESSAGE_SIZE, s.size));
}

void SummaryRowBuilder::addOtherColumns(MessageSummary& s, PropList* row)
{
    row->push_back(longProp(PR_OBJECT_TYPE, MAPI_MESSAGE));
    row->push_back(stringProp(PR_MESSAGE_CLASS, std::move(s.messageClass)));
    addText(row, PR_SENT_REPRESENTING_EMAIL_ADDRESS, std::move(s.fromAddress));
    addText(row, PR_SENDER_NAME, std::move(s.senderName));
    addText(row, PR_SENDER_EMAIL_ADDRESS, std::move(s.senderAddress));
    row->push_back(stringProp(PR_DISPLAY_TO, std::move(s.displayTo)));
    row->push_back(stringProp(PR_DISPLAY_CC, std::move(s.displayCc)));
    if (s.submitTime != 0) {
        row->push_back(timeProp(PR_CLIENT_SUBMIT_TIME, s.submitTime));
    }
    // Always present, so that filtering on "normal" or "no receipt" finds them.
    row->push_back(longProp(PR_SENSITIVITY, s.sensitivity));
    row->push_back(boolProp(PR_READ_RECEIPT_REQUESTED, s.readReceipt));
    row->push_back(timeProp(PR_CREATION_TIME, s.deliveryTime));
    addText(row, PR_REPLY_RECIPIENT_NAMES, std::move(s.replyToNames));
}

PropList SummaryRowBuilder::attachedMessage(MessageSummary s)
{
    // No file, no folder, no owner: its times are those it was sent at, its receiver the one
    // its own headers name.
    s.deliveryTime = s.submitTime;
    PropList row;
    if (s.deliveryTime != 0) {
        row.push_back(timeProp(PR_MESSAGE_DELIVERY_TIME, s.deliveryTime));
    }
    addListColumns(s, &row);
    addOtherColumns(s, &row);
    if (s.deliveryTime == 0) {
        removeProp(&row, PR_CREATION_TIME);
    }
    if (!s.receivedByAddress.empty()) {
        const std::string name =
            s.receivedByName.empty() ? s.receivedByAddress : std::move(s.receivedByName);
        row.push_back(stringProp(PR_RECEIVED_BY_NAME, name));
        row.push_back(stringProp(PR_RECEIVED_BY_EMAIL_ADDRESS, s.receivedByAddress));
        row.push_back(stringProp(PR_RCVD_REPRESENTING_NAME, name));
        row.push_back(stringProp(PR_RCVD_REPRESENTING_EMAIL_ADDRESS, s.receivedByAddress));
    }
    return row;
}

PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary)
{
    return SummaryRowBuilder(store, folder)(file, summary);
}

} // namespace vntmapi
