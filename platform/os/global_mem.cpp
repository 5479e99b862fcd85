// Global memory blocks over the C heap (rules in global_mem.h).
#include "platform/os/global_mem.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace {

struct Block {
    unsigned char* bytes;  // calloc'd, at least one byte so that a 0-byte block locks too
    std::size_t size;      // as allocated (invariant 1)
    unsigned locks;
};

// Live blocks by handle.  The handle is the address of a one-byte token allocated for it, so two
// live blocks never share a handle and a freed handle is no longer in the table.
std::mutex gMutex;
std::unordered_map<HGLOBAL, Block>& table()
{
    static auto* t = new std::unordered_map<HGLOBAL, Block>;  // never destroyed: used at exit
    return *t;
}

Block* find(HGLOBAL h)
{
    if (h == nullptr) return nullptr;
    auto it = table().find(h);
    return it == table().end() ? nullptr : &it->second;
}

}  // namespace

HGLOBAL GlobalAlloc(unsigned /*flags*/, std::size_t bytes)
{
    if (bytes > GLOBAL_MAX_BLOCK) return nullptr;
    auto* data = static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1));
    if (data == nullptr) return nullptr;
    HGLOBAL handle = std::malloc(1);
    if (handle == nullptr) {
        std::free(data);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    table().emplace(handle, Block{data, bytes, 0});
    return handle;
}

void* GlobalLock(HGLOBAL h)
{
    std::lock_guard<std::mutex> lock(gMutex);
    Block* b = find(h);
    if (b == nullptr) return nullptr;
    ++b->locks;
    return b->bytes;
}

bool GlobalUnlock(HGLOBAL h)
{
    std::lock_guard<std::mutex> lock(gMutex);
    Block* b = find(h);
    if (b == nullptr || b->locks == 0) return false;
    return --b->locks > 0;
}

std::size_t GlobalSize(HGLOBAL h)
{
    std::lock_guard<std::mutex> lock(gMutex);
    Block* b = find(h);
    return b == nullptr ? 0 : b->size;
}

HGLOBAL GlobalFree(HGLOBAL h)
{
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = h == nullptr ? table().end() : table().find(h);
    if (it == table().end()) return h;
    std::free(it->second.bytes);
    table().erase(it);
    std::free(h);
    return nullptr;
}
