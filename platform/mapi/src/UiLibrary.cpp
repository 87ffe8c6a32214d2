#include "UiLibrary.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace vnt::mapi {

namespace {

void* loadBesideThisLibrary()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&uiFunction), &self) == 0 || !self.dli_fname)
        return nullptr;
    std::string path(self.dli_fname);
    const std::string::size_type slash = path.rfind('/');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
           "libvntmapiui.so";
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

void* uiFunction(const char* name)
{
    static std::once_flag once;
    static void* library = nullptr;
    std::call_once(once, [] { library = loadBesideThisLibrary(); });
    return library ? dlsym(library, name) : nullptr;
}

} // namespace vnt::mapi
