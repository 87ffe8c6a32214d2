#pragma once

// Finds a dialog function of libvntmapiui.so, which sits beside this library. The UI
// library is loaded on first use and kept; nullptr when it or the function is missing.
namespace vnt::mapi {

void* uiFunction(const char* name);

template<typename Function>
Function* uiFunctionAs(const char* name)
{
    return reinterpret_cast<Function*>(uiFunction(name));
}

} // namespace vnt::mapi
