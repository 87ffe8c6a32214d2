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

private:
    EntryRef m_ref;
    Prop m_parentId;
};

// The row of one message, as a folder's contents table gives it.
PropList messageProperties(const MsgStore& store, const std::string& folder,
                           const MessageFile& file, const MessageSummary& summary);

} // namespace vntmapi
