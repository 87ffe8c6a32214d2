// Creating and emptying Maildir++ folders.
#include "Contacts.h"
#include "Folder.h"
#include "MessageWriter.h"

#include <glib.h>
#include <glib/gstdio.h>

namespace vntmapi {

namespace {

// Dovecot refuses "." inside a name, and "/" would leave the Maildir.
bool isValidFolderName(const std::string& name)
{
    if (name.empty() || !g_utf8_validate(name.c_str(), -1, nullptr)) {
        return false;
    }
    for (const unsigned char c : name) {
        if (c == '.' || c == '/' || c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

// A Maildir++ subfolder carries the "maildirfolder" marker (which mbsync does not need but
// Dovecot and Courier look for).
bool makeMaildirFolder(const std::string& dir)
{
    gchar* marker = g_build_filename(dir.c_str(), "maildirfolder", nullptr);
    const bool made = makeMaildir(dir) && g_file_set_contents(marker, "", 0, nullptr);
    g_free(marker);
    return made;
}

} // namespace

HRESULT Folder::CreateFolder(ULONG ulFolderType, const char* lpszFolderName, const char*, LPCIID,
                             ULONG ulFlags, IMAPIFolder** lppFolder)
{
    if (!lppFolder || !lpszFolderName) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppFolder = nullptr;
    if (ulFolderType != FOLDER_GENERIC) {
        return MAPI_E_NO_SUPPORT; // search folders are not kept
    }
    // Maildir++ folders hang below the subtree or another Maildir++ folder; the Inbox is the
    // Maildir's root and the contacts folder a vCard directory.
    if (m_folder == kInboxFolder || m_folder == kContactsFolder) {
        return MAPI_E_NO_SUPPORT;
    }
    const std::string name = lpszFolderName;
    if (!isValidFolderName(name)) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const std::string child =
        (m_folder == kSubtreeFolder ? std::string() : m_folder) + "." + encodeFolderName(name);
    const std::string dir = m_store->folderDirectory(child);
    if (isDirectory(dir)) {
        if (!(ulFlags & OPEN_IF_EXISTS)) {
            return MAPI_E_COLLISION;
        }
    } else if (!makeMaildirFolder(dir)) {
        return MAPI_E_NO_ACCESS;
    }
    *lppFolder = new Folder(m_store, child);
    return S_OK;
}

HRESULT Folder::EmptyFolder(ULONG, IMAPIProgress*, ULONG ulFlags)
{
    // Deleting subfolders is not offered: a slip would lose whole trees of mail.
    if (m_folder == kSubtreeFolder || m_folder == kContactsFolder || (ulFlags & DEL_FOLDERS)) {
        return MAPI_E_NO_SUPPORT;
    }
    bool complete = true;
    for (const MessageFile& file : listMessages(m_store->folderDirectory(m_folder))) {
        complete = removeMessageFile(file) && complete;
    }
    return complete ? S_OK : MAPI_W_PARTIAL_COMPLETION;
}

} // namespace vntmapi
