#include "platform/SdlLargeBlocks.h"

#include <SDL.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/PageMemory.h"

namespace qel {

namespace {

constexpr std::size_t LargeBytes = std::size_t(1) << 20;

// The large blocks handed out, with their sizes: anything else is the C
// library's, including blocks SDL took before the routing.
std::mutex largeLock;
std::unordered_map<void*, std::size_t>& Large() {
    static auto* blocks = new std::unordered_map<void*, std::size_t>;  // outlives every static
    return *blocks;
}

void* NewLarge(std::size_t bytes) {
    void* block = MapPages(bytes, PageUse::Whole);  // zero-filled, perhaps a picture's given back
    if (block == nullptr) return nullptr;
    std::lock_guard hold(largeLock);
    Large().emplace(block, bytes);
    return block;
}

// The size of one of our large blocks, 0 for the C library's; `forget` drops it.
std::size_t LargeSize(void* block, bool forget) {
    if (block == nullptr) return 0;
    std::lock_guard hold(largeLock);
    auto found = Large().find(block);
    if (found == Large().end()) return 0;
    const std::size_t bytes = found->second;
    if (forget) Large().erase(found);
    return bytes;
}

void* SdlMalloc(std::size_t bytes) { return bytes >= LargeBytes ? NewLarge(bytes) : std::malloc(bytes); }

void* SdlCalloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return count * size >= LargeBytes ? NewLarge(count * size) : std::calloc(count, size);
}

void SdlFree(void* block) {
    if (const std::size_t bytes = LargeSize(block, true))
        UnmapPages(block, bytes, PageUse::Whole);
    else
        std::free(block);
}

void* SdlRealloc(void* block, std::size_t bytes) {
    const std::size_t large = LargeSize(block, false);
    if (large == 0 && bytes < LargeBytes) return std::realloc(block, bytes);
    if (large != 0 && bytes <= large && bytes >= LargeBytes) return block;
    void* moved = SdlMalloc(bytes);
    if (moved == nullptr) return nullptr;
    if (block != nullptr) {
        const std::size_t had = large != 0 ? large : malloc_usable_size(block);
        std::memcpy(moved, block, std::min(had, bytes));
        SdlFree(block);
    }
    return moved;
}

}  // namespace

// Under AddressSanitizer SDL's blocks stay where the sanitizer watches them.
#if defined(__SANITIZE_ADDRESS__)
#define QEL_WATCHED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_WATCHED_HEAP 1
#endif
#endif

void RouteSdlLargeBlocks() {
#ifdef QEL_WATCHED_HEAP
    return;
#endif
    static std::once_flag routed;
    std::call_once(routed, [] { SDL_SetMemoryFunctions(SdlMalloc, SdlCalloc, SdlRealloc, SdlFree); });
}

}  // namespace qel
