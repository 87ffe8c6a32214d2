// The reason for an object's last failure, as GetLastError gives it out.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <string>

namespace vntmapi {

struct LastError
{
    HRESULT code = S_OK;
    std::string text;
    int systemError = 0; // errno
};

// A MAPIERROR in one MAPI buffer.
HRESULT newMapiError(const LastError& error, LPMAPIERROR* result);

// Why a file operation failed, in words a user can act on: "the disk is full", "the folder is
// read-only", "it is in use by another program" and so on.
std::string fileErrorReason(int systemError);

} // namespace vntmapi
