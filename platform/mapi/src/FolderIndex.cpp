#include "FolderIndex.h"

#include "Maildir.h"
#include "Message.h"

namespace vntmapi {

std::vector<PropList> contentsRows(const MsgStore& store, const std::string& folder)
{
    std::vector<PropList> rows;
    if (folder == kSubtreeFolder) {
        return rows;
    }
    for (const MessageFile& file : listMessages(store.folderDirectory(folder))) {
        MessageSummary summary;
        if (readMessage(file, &summary, nullptr)) {
            rows.push_back(messageProperties(store, folder, file, summary));
        }
    }
    return rows;
}

} // namespace vntmapi
