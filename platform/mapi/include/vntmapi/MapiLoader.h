// Loads the mail library by path and resolves its twelve entry points by name, as the program
// does at logon.
#pragma once

#include "MapiEntryPoints.h"

#include <string>

namespace vntmapi {

struct EntryPoints
{
    LPMAPIINITIALIZE MAPIInitialize = nullptr;
    LPMAPIADMINPROFILES MAPIAdminProfiles = nullptr;
    LPMAPILOGONEX MAPILogonEx = nullptr;
    LPMAPIUNINITIALIZE MAPIUninitialize = nullptr;
    LPMAPIFREEBUFFER MAPIFreeBuffer = nullptr;
    LPMAPIALLOCATEBUFFER MAPIAllocateBuffer = nullptr;
    LPMAPIALLOCATEMORE MAPIAllocateMore = nullptr;
    LPRTFSYNC RTFSync = nullptr;
    LPWRAPCOMPRESSEDRTFSTREAM WrapCompressedRTFStream = nullptr;
    LPFREEPADRLIST FreePadrlist = nullptr;
    LPULRELEASE UlRelease = nullptr;
    LPSCCREATECONVERSATIONINDEX ScCreateConversationIndex = nullptr;
};

class MapiLibrary
{
public:
    MapiLibrary() = default;
    MapiLibrary(const MapiLibrary&) = delete;
    MapiLibrary& operator=(const MapiLibrary&) = delete;
    ~MapiLibrary();

    // Fails (false, with a reason) when the file cannot be loaded or any entry point is missing.
    bool load(const std::string& path, std::string* error = nullptr);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }
    const EntryPoints& api() const { return m_api; }

private:
    void* m_handle = nullptr;
    EntryPoints m_api;
};

} // namespace vntmapi
