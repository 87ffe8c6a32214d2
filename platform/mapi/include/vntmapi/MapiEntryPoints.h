// The twelve functions the mail library exports by these plain C names, and the pointer types
// the program resolves them into after loading the library at run time.
#pragma once

#include "MapiInterfaces.h"

struct MAPIINIT_0
{
    ULONG ulVersion;
    ULONG ulFlags;
};

using LPMAPIINITIALIZE = HRESULT (*)(void* lpMapiInit);
using LPMAPIUNINITIALIZE = void (*)();
using LPMAPIADMINPROFILES = HRESULT (*)(ULONG ulFlags, IProfAdmin** lppProfAdmin);
using LPMAPILOGONEX = HRESULT (*)(ULONG_PTR ulUIParam, const char* lpszProfileName,
                                  const char* lpszPassword, ULONG ulFlags,
                                  IMAPISession** lppSession);
using LPMAPIALLOCATEBUFFER = SCODE (*)(ULONG cbSize, void** lppBuffer);
using LPMAPIALLOCATEMORE = SCODE (*)(ULONG cbSize, void* lpObject, void** lppBuffer);
using LPMAPIFREEBUFFER = ULONG (*)(void* lpBuffer);
using LPRTFSYNC = HRESULT (*)(IMessage* lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated);
using LPWRAPCOMPRESSEDRTFSTREAM = HRESULT (*)(IStream* lpCompressedRTFStream, ULONG ulFlags,
                                              IStream** lppUncompressedRTFStream);
using LPFREEPADRLIST = void (*)(LPADRLIST lpAdrList);
using LPULRELEASE = ULONG (*)(LPUNKNOWN lpUnknown);
using LPSCCREATECONVERSATIONINDEX = SCODE (*)(ULONG cbParent, LPBYTE lpbParent,
                                              ULONG* lpcbConvIndex, LPBYTE* lppbConvIndex);

// Flags of WrapCompressedRTFStream.
constexpr ULONG MAPI_MODIFY_RTF = MAPI_MODIFY;
constexpr ULONG STORE_UNCOMPRESSED_RTF_STREAM = 0x8000;

// Only the entry points leave the library; everything else is built with hidden visibility.
#define VNTMAPI_EXPORT __attribute__((visibility("default")))

extern "C" {
VNTMAPI_EXPORT HRESULT MAPIInitialize(void* lpMapiInit);
VNTMAPI_EXPORT void MAPIUninitialize();
VNTMAPI_EXPORT HRESULT MAPIAdminProfiles(ULONG ulFlags, IProfAdmin** lppProfAdmin);
VNTMAPI_EXPORT HRESULT MAPILogonEx(ULONG_PTR ulUIParam, const char* lpszProfileName,
                                   const char* lpszPassword, ULONG ulFlags,
                                   IMAPISession** lppSession);
VNTMAPI_EXPORT SCODE MAPIAllocateBuffer(ULONG cbSize, void** lppBuffer);
VNTMAPI_EXPORT SCODE MAPIAllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer);
VNTMAPI_EXPORT ULONG MAPIFreeBuffer(void* lpBuffer);
VNTMAPI_EXPORT HRESULT RTFSync(IMessage* lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated);
VNTMAPI_EXPORT HRESULT WrapCompressedRTFStream(IStream* lpCompressedRTFStream, ULONG ulFlags,
                                               IStream** lppUncompressedRTFStream);
VNTMAPI_EXPORT void FreePadrlist(LPADRLIST lpAdrList);
VNTMAPI_EXPORT ULONG UlRelease(LPUNKNOWN lpUnknown);
VNTMAPI_EXPORT SCODE ScCreateConversationIndex(ULONG cbParent, LPBYTE lpbParent,
                                               ULONG* lpcbConvIndex, LPBYTE* lppbConvIndex);
}
