// The row a contents table shows for a message, built from its summary.
#pragma once

#include "EntryId.h"
#include "Maildir.h"
#include "MsgStore.h"

namespace vntmapi {

// Builds the rows of one folder: the folder's ids are made once and shared by each row. The
// message list's columns come first, the sort key leading, because tables find values by
// walking the row.
class SummaryRowBuilder
{
public:
    SummaryRowBuilder(const MsgStore& store, const std::string& folder);

    // The row of message `name`: its values point into `summary` and this builder, valid until
    // the next call. A folder's rows are packed from these without a Prop each.
    const std::vector<PropRef>& values(std::string_view name, const MessageSummary& summary);
    PropList operator()(const MessageFile& file, const MessageSummary& summary);

    // The properties of a message attached to another one: those of a row without ids.
    static PropList attachedMessage(MessageSummary summary);

private:
    static void addListColumns(const MessageSummary& summary, std::vector<PropRef>* row);
    static void addOtherColumns(const MessageSummary& summary, std::vector<PropRef>* row);
    void addReceivedBy(const MessageSummary& summary, bool sentByOwner,
                       std::vector<PropRef>* row) const;

    MessageIdMaker m_ids;
    std::string m_parentId;
    // Messages that arrived here were received by the store's owner unless they say whom.
    std::string m_ownerName;
    std::string m_ownerAddress;
    std::vector<PropRef> m_values;
};

// The row of one message, as a folder's contents table gives it.
PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary);

} // namespace vntmapi
