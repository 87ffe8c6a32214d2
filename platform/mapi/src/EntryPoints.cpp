// The exported entry points other than memory management.
#include "RtfStream.h"
#include "RtfSync.h"
#include "Session.h"
#include "vntmapi/MapiEntryPoints.h"

#include <cstring>
#include <gmime/gmime.h>
#include <mutex>

namespace {

std::mutex g_initMutex;
int g_initCount = 0;
std::once_flag g_mimeOnce;

bool initialized()
{
    std::lock_guard lock(g_initMutex);
    return g_initCount > 0;
}

// Conversation index: a 22-byte header (time and a new GUID) for a new conversation, or the
// parent's index plus a 5-byte block holding the time since the conversation began.
std::uint64_t fileTimeNow()
{
    return static_cast<std::uint64_t>(g_get_real_time()) * 10 + 116444736000000000ULL;
}

void putBigEndian(std::uint64_t value, int bytes, BYTE* out)
{
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<BYTE>(value & 0xFF);
        value >>= 8;
    }
}

std::uint64_t getBigEndian(const BYTE* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | in[i];
    }
    return value;
}

void writeHeaderBlock(BYTE* out)
{
    putBigEndian(fileTimeNow() >> 16, 6, out);
    for (int i = 0; i < 4; ++i) {
        putBigEndian(g_random_int(), 4, out + 6 + 4 * i);
    }
}

void writeChildBlock(const BYTE* parent, BYTE* out)
{
    const std::uint64_t start = getBigEndian(parent, 6) << 16;
    const std::uint64_t now = fileTimeNow();
    const std::uint64_t delta = now > start ? now - start : 0;
    std::uint64_t block = 0;
    if ((delta >> 49) == 0) {
        block = ((delta >> 18) & 0x7FFFFFFF) << 8;
    } else {
        block = (1ULL << 39) | (((delta >> 23) & 0x7FFFFFFF) << 8);
    }
    block |= g_random_int() & 0xFF;
    putBigEndian(block, 5, out);
}

} // namespace

extern "C" {

HRESULT MAPIInitialize(void*)
{
    // GMime cannot be initialised again after g_mime_shutdown() in the same process, and the
    // program may initialise and uninitialise at every logon: set it up once, never shut down.
    std::call_once(g_mimeOnce, [] { g_mime_init(); });
    std::lock_guard lock(g_initMutex);
    ++g_initCount;
    return S_OK;
}

void MAPIUninitialize()
{
    std::lock_guard lock(g_initMutex);
    if (g_initCount > 0) {
        --g_initCount;
    }
}

HRESULT MAPIAdminProfiles(ULONG, IProfAdmin** lppProfAdmin)
{
    if (!lppProfAdmin) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (!initialized()) {
        return MAPI_E_NOT_INITIALIZED;
    }
    *lppProfAdmin = new vntmapi::ProfAdmin;
    return S_OK;
}

HRESULT MAPILogonEx(ULONG_PTR ulUIParam, const char* lpszProfileName, const char*, ULONG ulFlags,
                    IMAPISession** lppSession)
{
    if (!lppSession) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppSession = nullptr;
    if (!initialized()) {
        return MAPI_E_NOT_INITIALIZED;
    }
    // Profiles need no password; the mail server may (MAPI_PASSWORD_UI, see Credentials.h).
    vntmapi::Profile profile;
    const HRESULT hr = vntmapi::findProfile(lpszProfileName, ulFlags, &profile);
    if (FAILED(hr)) {
        return hr;
    }
    *lppSession = new vntmapi::Session(std::move(profile), ulUIParam, ulFlags);
    return S_OK;
}

HRESULT RTFSync(IMessage* lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated)
{
    return vntmapi::rtfSync(lpMessage, ulFlags, lpfMessageUpdated);
}

HRESULT WrapCompressedRTFStream(IStream* lpCompressedRTFStream, ULONG ulFlags,
                                IStream** lppUncompressedRTFStream)
{
    if (!lpCompressedRTFStream || !lppUncompressedRTFStream) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppUncompressedRTFStream = nullptr;
    if (ulFlags & MAPI_MODIFY) {
        *lppUncompressedRTFStream =
            vntmapi::newRtfWriter(lpCompressedRTFStream, ulFlags & STORE_UNCOMPRESSED_RTF);
        return S_OK;
    }
    return vntmapi::openRtfReader(lpCompressedRTFStream, lppUncompressedRTFStream);
}

SCODE ScCreateConversationIndex(ULONG cbParent, LPBYTE lpbParent, ULONG* lpcbConvIndex,
                                LPBYTE* lppbConvIndex)
{
    constexpr ULONG kHeader = 22;
    constexpr ULONG kChild = 5;
    if (!lpcbConvIndex || !lppbConvIndex || (cbParent > 0 && !lpbParent)) {
        return MAPI_E_INVALID_PARAMETER;
    }
    // A parent too short to hold a header starts a new conversation.
    const ULONG keep = cbParent >= kHeader ? cbParent : 0;
    const ULONG size = keep ? keep + kChild : kHeader;
    void* buffer = nullptr;
    if (MAPIAllocateBuffer(size, &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* out = static_cast<BYTE*>(buffer);
    if (keep) {
        std::memcpy(out, lpbParent, keep);
        writeChildBlock(lpbParent, out + keep);
    } else {
        writeHeaderBlock(out);
    }
    *lpcbConvIndex = size;
    *lppbConvIndex = out;
    return S_OK;
}

} // extern "C"
