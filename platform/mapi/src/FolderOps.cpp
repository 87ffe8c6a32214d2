// Creating and emptying Maildir++ folders.
#include "Contacts.h"
#include "Folder.h"

#include <glib.h>
#include <glib/gstdio.h>

namespace vntmapi {

namespace {

// IMAP's modified UTF-7 (RFC 3501 5.1.3), the form Dovecot gives non-ASCII folder names on disk.
std::string encodeFolderName(const std::string& name)
{
    std::string out;
    glong units = 0;
    gunichar2* utf16 = g_utf8_to_utf16(name.c_str(), -1, nullptr, &units, nullptr);
    if (!utf16) {
        return {};
    }
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    for (glong i = 0; i < units;) {
        const gunichar2 c = utf16[i];
        if (c >= 0x20 && c < 0x7F) {
            out += c == '&' ? std::string("&-") : std::string(1, static_cast<char>(c));
            ++i;
            continue;
        }
        std::string bytes;
        for (; i < units && (utf16[i] < 0x20 || utf16[i] >= 0x7F); ++i) {
            bytes += static_cast<char>(utf16[i] >> 8);
            bytes += static_cast<char>(utf16[i] & 0xFF);
        }
        out += '&';
        unsigned bits = 0;
        int count = 0;
        for (const unsigned char b : bytes) {
            bits = (bits << 8) | b;
            count += 8;
            while (count >= 6) {
                count -= 6;
                out += kAlphabet[(bits >> count) & 0x3F];
            }
        }
        if (count > 0) {
            out += kAlphabet[(bits << (6 - count)) & 0x3F];
        }
        out += '-';
    }
    g_free(utf16);
    return out;
}

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

bool makeMaildirFolder(const std::string& dir)
{
    for (const char* sub : {"cur", "new", "tmp"}) {
        gchar* path = g_build_filename(dir.c_str(), sub, nullptr);
        const int made = g_mkdir_with_parents(path, 0700);
        g_free(path);
        if (made != 0) {
            return false;
        }
    }
    gchar* marker = g_build_filename(dir.c_str(), "maildirfolder", nullptr);
    const bool written = g_file_set_contents(marker, "", 0, nullptr);
    g_free(marker);
    return written;
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
    if (g_file_test(dir.c_str(), G_FILE_TEST_IS_DIR)) {
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
        complete = g_unlink(file.path.c_str()) == 0 && complete;
    }
    return complete ? S_OK : MAPI_W_PARTIAL_COMPLETION;
}

} // namespace vntmapi
