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

// Three entry points are looked up by their decorated Windows names ("FreePadrlist@4").
// ELF symbols cannot carry such a suffix (the linker takes "@" for a version), so a name
// that is not found as given is looked up without its "@<bytes>" ending.
void* resolveEntryPoint(void* handle, const char* name);
std::string undecoratedName(const std::string& name);

class MapiLibrary
{
public:
    MapiLibrary() = default;
    MapiLibrary(const MapiLibrary&) = delete;
    MapiLibrary& operator=(const MapiLibrary&) = delete;
    ~MapiLibrary();

    // Fails (false, with a reason) when the file cannot be loaded or any entry point is missing.
    // The entry points are looked up by the names the program uses, decorated ones included.
    bool load(const std::string& path, std::string* error = nullptr);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }
    const EntryPoints& api() const { return m_api; }

private:
    void* m_handle = nullptr;
    EntryPoints m_api;
};

} // namespace vntmapi
