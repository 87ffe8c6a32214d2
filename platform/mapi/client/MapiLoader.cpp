#include "vntmapi/MapiLoader.h"

#include <dlfcn.h>

namespace vntmapi {

namespace {

template<typename F>
bool resolve(void* handle, const char* name, F& target, std::string* missing)
{
    void* symbol = resolveEntryPoint(handle, name);
    if (!symbol) {
        if (missing->empty()) {
            *missing = name;
        }
        return false;
    }
    target = reinterpret_cast<F>(symbol);
    return true;
}

} // namespace

std::string undecoratedName(const std::string& name)
{
    const std::string::size_type at = name.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == name.size() ||
        name.find_first_not_of("0123456789", at + 1) != std::string::npos) {
        return name;
    }
    return name.substr(0, at);
}

void* resolveEntryPoint(void* handle, const char* name)
{
    if (void* symbol = dlsym(handle, name)) {
        return symbol;
    }
    const std::string plain = undecoratedName(name);
    return plain == name ? nullptr : dlsym(handle, plain.c_str());
}

MapiLibrary::~MapiLibrary()
{
    unload();
}

bool MapiLibrary::load(const std::string& path, std::string* error)
{
    unload();
    // RTLD_LOCAL keeps the library's own symbols from leaking into the program's namespace.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "cannot load library";
        }
        return false;
    }
    std::string missing;
    bool ok = true;
    ok &= resolve(m_handle, "MAPIInitialize", m_api.MAPIInitialize, &missing);
    ok &= resolve(m_handle, "MAPIAdminProfiles", m_api.MAPIAdminProfiles, &missing);
    ok &= resolve(m_handle, "MAPILogonEx", m_api.MAPILogonEx, &missing);
    ok &= resolve(m_handle, "MAPIUninitialize", m_api.MAPIUninitialize, &missing);
    ok &= resolve(m_handle, "MAPIFreeBuffer", m_api.MAPIFreeBuffer, &missing);
    ok &= resolve(m_handle, "MAPIAllocateBuffer", m_api.MAPIAllocateBuffer, &missing);
    ok &= resolve(m_handle, "MAPIAllocateMore", m_api.MAPIAllocateMore, &missing);
    ok &= resolve(m_handle, "RTFSync", m_api.RTFSync, &missing);
    ok &= resolve(m_handle, "WrapCompressedRTFStream", m_api.WrapCompressedRTFStream, &missing);
    ok &= resolve(m_handle, "FreePadrlist@4", m_api.FreePadrlist, &missing);
    ok &= resolve(m_handle, "UlRelease@4", m_api.UlRelease, &missing);
    ok &= resolve(m_handle, "ScCreateConversationIndex@16", m_api.ScCreateConversationIndex,
                  &missing);
    if (!ok) {
        if (error) {
            *error = "missing entry point " + missing;
        }
        unload();
    }
    return ok;
}

void MapiLibrary::unload()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
    m_api = EntryPoints{};
}

} // namespace vntmapi
