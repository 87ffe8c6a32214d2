// The row a contents table shows for a message, built from its summary.
#pragma once

#include "Maildir.h"
#include "MsgStore.h"

namespace vntmapi {

// Builds the rows of one folder: the folder's ids are made once and copied into each row. The
// message list's columns come first, the sort key leading, because tables find values by
// walking the row.
class SummaryRowBuilder
{
public:
    SummaryRowBuilder(const MsgStore& store, const std::string& folder);

    PropList operator()(const MessageFile& file, MessageSummary summary);

    // The properties of a message attached to another one: those of a row without ids.
    static PropList attachedMessage(MessageSummary summary);

private:
    static void addListColumns(MessageSummary& summary, PropList* row);
    static void addOtherColumns(MessageSummary& summary, PropList* row);
    void addReceivedBy(MessageSummary& summary, bool sentByOwner, PropList* row) const;

    EntryRef m_ref;
    Prop m_parentId;
    // Messages that arrived here were received by the store's owner unless they say whom.
    std::string m_ownerName;
    std::string m_ownerAddress;
};

// The row of one message, as a folder's contents table gives it.
PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary);

} // namespace vntmapi
