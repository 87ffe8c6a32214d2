// What the mail library hands the address dialog of libvntmapiui.so. Plain data of the public
// headers only: the dialog reads the address book through its interfaces and allocates what
// it returns with the library's own allocator.
#pragma once

#include "vntmapi/MapiEntryPoints.h"

struct VntAddressDialogCall
{
    IAddrBook* addrBook;
    ULONG_PTR uiParam;
    const ADRPARM* params;
    const ADRLIST* current; // fills the wells; may be null
    LPMAPIALLOCATEBUFFER allocateBuffer;
    LPMAPIALLOCATEMORE allocateMore;
    LPMAPIFREEBUFFER freeBuffer;
    // On OK with wells: every recipient of the wells, each entry's values in one block of
    // allocateBuffer (the list itself in another), as FreePadrlist frees them.
    LPADRLIST chosen;
};

// S_OK on OK, MAPI_E_USER_CANCEL on Cancel or when no dialog can be shown.
using VntAddressDialogFunction = HRESULT(VntAddressDialogCall* call);

inline constexpr char kAddressDialogFunction[] = "vntmapiui_address";
