#include "FolderRoles.h"

#include "Maildir.h"

#include <algorithm>
#include <glib.h>

namespace vntmapi {

namespace {

struct Role
{
    std::string StoreConfig::*field;
    // The first is what a new store gets; the others are the names other programs use, most
    // likely first (Dovecot's defaults, mutt's, Thunderbird's, Apple Mail's).
    std::vector<const char*> names;
};

const std::vector<Role>& roles()
{
    static const std::vector<Role> all = {
        {&StoreConfig::outbox, {"Outbox"}},
        {&StoreConfig::sentItems, {"Sent Items", "Sent", "Sent Messages", "Sent Mail"}},
        {&StoreConfig::deletedItems, {"Deleted Items", "Trash", "Deleted Messages", "Bin"}},
        {&StoreConfig::drafts, {"Drafts", "Draft"}},
    };
    return all;
}

// A top-level folder whose name is `name` in any case.
std::string findTopLevel(const std::vector<std::string>& folders, const char* name)
{
    const std::string wanted = "." + encodeFolderName(name);
    const auto found = std::find_if(folders.begin(), folders.end(), [&](const std::string& f) {
        return g_ascii_strcasecmp(f.c_str(), wanted.c_str()) == 0;
    });
    return found == folders.end() ? std::string() : *found;
}

bool makeFolder(const std::string& root, const std::string& folder)
{
    const std::string dir = folderDirectory(root, folder);
    if (!makeMaildir(dir)) {
        return false;
    }
    // Dovecot and Courier look for the marker; mbsync does without.
    gchar* marker = g_build_filename(dir.c_str(), "maildirfolder", nullptr);
    const bool made = g_file_set_contents(marker, "", 0, nullptr);
    g_free(marker);
    return made;
}

} // namespace

void resolveFolderRoles(StoreConfig* config, bool create)
{
    const std::vector<std::string> folders = listFolders(config->path);
    for (const Role& role : roles()) {
        std::string& folder = config->*role.field;
        if (folder.empty()) {
            for (const char* name : role.names) {
                folder = findTopLevel(folders, name);
                if (!folder.empty()) {
                    break;
                }
            }
        }
        // A role no folder plays yet gets one of its own: without an Outbox nothing can be
        // sent, without Sent Items no copy kept. Other clients then see it as a folder.
        if (folder.empty()) {
            folder = "." + encodeFolderName(role.names.front());
        }
        if (create && !isDirectory(folderDirectory(config->path, folder))) {
            makeFolder(config->path, folder);
        }
    }
}

} // namespace vntmapi
