#include "SummaryRow.h"

#include <glib.h>

namespace vntmapi {

namespace {

PropRef number(ULONG tag, std::int64_t value)
{
    return {tag, value, std::string_view("", 0)};
}

PropRef text(ULONG tag, std::string_view value)
{
    return {tag, 0, value};
}

void addText(std::vector<PropRef>* row, ULONG tag, const std::string& value)
{
    if (!value.empty()) {
        row->push_back(text(tag, value));
    }
}

} // namespace

SummaryRowBuilder::SummaryRowBuilder(const MsgStore& store, const std::string& folder)
    : m_ids(store.config().key, folder)
{
    const std::vector<BYTE> parent = store.folderId(folder);
    m_parentId.assign(parent.begin(), parent.end());
    const StoreConfig& config = store.config();
    // What waits to leave, has left or is being written was not received by anyone.
    if (folder != config.outbox && folder != config.sentItems && folder != config.drafts) {
        m_ownerName = config.identityName;
        m_ownerAddress = config.identityAddress;
    }
}

void SummaryRowBuilder::addReceivedBy(const MessageSummary& s, bool sentByOwner,
                                      std::vector<PropRef>* row) const
{
    std::string_view address = s.receivedByAddress;
    if (address.empty() && !m_ownerAddress.empty() && !sentByOwner) {
        address = m_ownerAddress;
    }
    if (address.empty()) {
        return;
    }
    std::string_view name = s.receivedByName;
    if (name.empty()) {
        // Both are followed by a NUL (see PropRef).
        const bool owner = g_ascii_strcasecmp(address.data(), m_ownerAddress.c_str()) == 0;
        name = owner && !m_ownerName.empty() ? std::string_view(m_ownerName) : address;
    }
    row->push_back(text(PR_RECEIVED_BY_NAME, name));
    row->push_back(text(PR_RECEIVED_BY_EMAIL_ADDRESS, address));
    row->push_back(text(PR_RCVD_REPRESENTING_NAME, name));
    row->push_back(text(PR_RCVD_REPRESENTING_EMAIL_ADDRESS, address));
}

const std::vector<PropRef>& SummaryRowBuilder::values(std::string_view name,
                                                      const MessageSummary& s)
{
    const bool sentByOwner = !m_ownerAddress.empty() &&
                             g_ascii_strcasecmp(s.fromAddress.c_str(), m_ownerAddress.c_str()) == 0;
    m_values.clear();
    m_values.push_back(number(PR_MESSAGE_DELIVERY_TIME, static_cast<std::int64_t>(s.deliveryTime)));
    m_values.push_back(text(PR_ENTRYID, m_ids(name)));
    addListColumns(s, &m_values);
    m_values.push_back(text(PR_PARENT_ENTRYID, m_parentId));
    addOtherColumns(s, &m_values);
    addReceivedBy(s, sentByOwner, &m_values);
    return m_values;
}

PropList SummaryRowBuilder::operator()(const MessageFile& file, const MessageSummary& summary)
{
    return propsOf(values(file.baseName, summary));
}

void SummaryRowBuilder::addListColumns(const MessageSummary& s, std::vector<PropRef>* row)
{
    row->push_back(text(PR_SUBJECT, s.subject));
    addText(row, PR_SENT_REPRESENTING_NAME, s.fromName);
    row->push_back(number(PR_MESSAGE_FLAGS, s.flags));
    row->push_back(number(PR_IMPORTANCE, s.importance));
    row->push_back(number(PR_HASATTACH, s.hasAttachments ? 1 : 0));
    row->push_back(number(PR_MESSAGE_SIZE, s.size));
}

void SummaryRowBuilder::addOtherColumns(const MessageSummary& s, std::vector<PropRef>* row)
{
    row->push_back(number(PR_OBJECT_TYPE, MAPI_MESSAGE));
    row->push_back(text(PR_MESSAGE_CLASS, s.messageClass));
    addText(row, PR_SENT_REPRESENTING_EMAIL_ADDRESS, s.fromAddress);
    addText(row, PR_SENDER_NAME, s.senderName);
    addText(row, PR_SENDER_EMAIL_ADDRESS, s.senderAddress);
    row->push_back(text(PR_DISPLAY_TO, s.displayTo));
    row->push_back(text(PR_DISPLAY_CC, s.displayCc));
    if (s.submitTime != 0) {
        row->push_back(number(PR_CLIENT_SUBMIT_TIME, static_cast<std::int64_t>(s.submitTime)));
    }
    // Always present, so that filtering on "normal" or "no receipt" finds them.
    row->push_back(number(PR_SENSITIVITY, s.sensitivity));
    row->push_back(number(PR_READ_RECEIPT_REQUESTED, s.readReceipt ? 1 : 0));
    row->push_back(number(PR_CREATION_TIME, static_cast<std::int64_t>(s.deliveryTime)));
    addText(row, PR_REPLY_RECIPIENT_NAMES, s.replyToNames);
}

PropList SummaryRowBuilder::attachedMessage(MessageSummary s)
{
    // No file, no folder, no owner: its times are those it was sent at, its receiver the one
    // its own headers name.
    s.deliveryTime = s.submitTime;
    std::vector<PropRef> values;
    if (s.deliveryTime != 0) {
        values.push_back(
            number(PR_MESSAGE_DELIVERY_TIME, static_cast<std::int64_t>(s.deliveryTime)));
    }
    addListColumns(s, &values);
    addOtherColumns(s, &values);
    if (!s.receivedByAddress.empty()) {
        const std::string& name = s.receivedByName.empty() ? s.receivedByAddress : s.receivedByName;
        values.push_back(text(PR_RECEIVED_BY_NAME, name));
        values.push_back(text(PR_RECEIVED_BY_EMAIL_ADDRESS, s.receivedByAddress));
        values.push_back(text(PR_RCVD_REPRESENTING_NAME, name));
        values.push_back(text(PR_RCVD_REPRESENTING_EMAIL_ADDRESS, s.receivedByAddress));
    }
    PropList row = propsOf(values);
    if (s.deliveryTime == 0) {
        removeProp(&row, PR_CREATION_TIME);
    }
    return row;
}

PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary)
{
    return SummaryRowBuilder(store, folder)(file, summary);
}

} // namespace vntmapi
