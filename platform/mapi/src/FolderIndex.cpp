#include "FolderIndex.h"

#include "Contacts.h"
#include "Maildir.h"
#include "Message.h"

namespace vntmapi {

std::vector<PropList> contentsRows(const MsgStore& store, const std::string& folder)
{
    std::vector<PropList> rows;
    if (folder == kSubtreeFolder) {
        return rows;
    }
    if (folder == kContactsFolder) {
        return contactRows(store);
    }
    for (const MessageFile& file : listMessages(store.folderDirectory(folder))) {
        PropList row;
        if (contentsRow(store, folder, file, &row)) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

bool contentsRow(const MsgStore& store, const std::string& folder, const MessageFile& file,
                 PropList* row)
{
    MessageSummary summary;
    if (!readMessage(file, &summary, nullptr)) {
        return false;
    }
    *row = messageProperties(store, folder, file, summary);
    return true;
}

} // namespace vntmapi
