// MAPI memory: a buffer from MAPIAllocateBuffer owns every block later attached to it with
// MAPIAllocateMore, and MAPIFreeBuffer on it releases the whole chain.
#include "vntmapi/MapiEntryPoints.h"

#include <cstdlib>
#include <mutex>

namespace {

constexpr std::uint32_t kRootMagic = 0x564E5452; // live root block
constexpr std::uint32_t kMoreMagic = 0x564E544D; // live block attached to a root

struct alignas(16) BlockHeader
{
    BlockHeader* root;
    BlockHeader* next;
    std::uint32_t magic;
};

std::mutex g_chainMutex;

BlockHeader* headerOf(void* buffer)
{
    return static_cast<BlockHeader*>(buffer) - 1;
}

BlockHeader* newBlock(ULONG size, std::uint32_t magic)
{
    void* raw = std::malloc(sizeof(BlockHeader) + size);
    if (!raw) {
        return nullptr;
    }
    auto* header = new (raw) BlockHeader{nullptr, nullptr, magic};
    header->root = header;
    return header;
}

} // namespace

extern "C" {

SCODE MAPIAllocateBuffer(ULONG cbSize, void** lppBuffer)
{
    if (!lppBuffer) {
        return MAPI_E_INVALID_PARAMETER;
    }
    BlockHeader* header = newBlock(cbSize, kRootMagic);
    *lppBuffer = header ? header + 1 : nullptr;
    return header ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

SCODE MAPIAllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer)
{
    if (!lppBuffer || !lpObject) {
        return MAPI_E_INVALID_PARAMETER;
    }
    BlockHeader* parent = headerOf(lpObject);
    if (parent->magic != kRootMagic && parent->magic != kMoreMagic) {
        return MAPI_E_INVALID_PARAMETER;
    }
    BlockHeader* block = newBlock(cbSize, kMoreMagic);
    if (!block) {
        *lppBuffer = nullptr;
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    std::lock_guard lock(g_chainMutex);
    BlockHeader* root = parent->root;
    block->root = root;
    block->next = root->next;
    root->next = block;
    *lppBuffer = block + 1;
    return S_OK;
}

ULONG MAPIFreeBuffer(void* lpBuffer)
{
    if (!lpBuffer) {
        return S_OK;
    }
    BlockHeader* root = headerOf(lpBuffer);
    if (root->magic == kMoreMagic) {
        return S_OK; // freed together with its root
    }
    if (root->magic != kRootMagic) {
        return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    }
    BlockHeader* block = nullptr;
    {
        std::lock_guard lock(g_chainMutex);
        block = root->next;
        root->magic = 0;
    }
    while (block) {
        BlockHeader* next = block->next;
        block->magic = 0;
        std::free(block);
        block = next;
    }
    std::free(root);
    return S_OK;
}

void FreePadrlist(LPADRLIST lpAdrList)
{
    if (!lpAdrList) {
        return;
    }
    for (ULONG i = 0; i < lpAdrList->cEntries; ++i) {
        MAPIFreeBuffer(lpAdrList->aEntries[i].rgPropVals);
    }
    MAPIFreeBuffer(lpAdrList);
}

ULONG UlRelease(LPUNKNOWN lpUnknown)
{
    return lpUnknown ? lpUnknown->Release() : 0;
}

} // extern "C"
