#include "LastError.h"

#include "vntmapi/MapiEntryPoints.h"

#include <cerrno>
#include <cstring>

namespace vntmapi {

HRESULT newMapiError(const LastError& error, LPMAPIERROR* result)
{
    static const char kComponent[] = "Maildir store";
    const std::size_t size = sizeof(MAPIERROR) + error.text.size() + 1 + sizeof kComponent;
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(static_cast<ULONG>(size), &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* mapiError = static_cast<LPMAPIERROR>(buffer);
    char* text = static_cast<char*>(buffer) + sizeof(MAPIERROR);
    std::memcpy(text, error.text.c_str(), error.text.size() + 1);
    char* component = text + error.text.size() + 1;
    std::memcpy(component, kComponent, sizeof kComponent);
    *mapiError = {MAPI_ERROR_VERSION, text, component, static_cast<ULONG>(error.systemError), 0};
    *result = mapiError;
    return S_OK;
}

std::string fileErrorReason(int systemError)
{
    switch (systemError) {
    case ENOSPC:
        return "the disk is full";
    case EFBIG:
        return "the message is too large for the disk";
    case EDQUOT:
        return "the disk quota is used up";
    case EROFS:
        return "the folder is on a read-only disk";
    case EACCES:
    case EPERM:
        return "the folder may not be written to (read-only or owned by another user)";
    case EBUSY:
    case ETXTBSY:
        return "it is in use by another program";
    case ENOENT:
        return "the message was moved or deleted by another program";
    case 0:
        return "the reason is not known";
    default:
        return std::strerror(systemError);
    }
}

} // namespace vntmapi
