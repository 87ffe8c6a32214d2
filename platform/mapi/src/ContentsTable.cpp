#include "Folder.h"
#include "FolderIndex.h"
#include "MemoryTable.h"

namespace vntmapi {

namespace {

const std::vector<ULONG> kContentsColumns = {
    PR_ENTRYID,       PR_SUBJECT,     PR_SENT_REPRESENTING_NAME, PR_MESSAGE_DELIVERY_TIME,
    PR_MESSAGE_FLAGS, PR_MESSAGE_SIZE};

} // namespace

HRESULT Folder::GetContentsTable(ULONG, IMAPITable** lppTable)
{
    if (!lppTable) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppTable = new MemoryTable(contentsRows(*m_store, m_folder), kContentsColumns);
    return S_OK;
}

} // namespace vntmapi
