// Large blocks straight from the system's pages, for level maps and hour-long
// recordings. Touching fresh memory page by page is what made a first level
// switch or a growing array stall: a block written whole at once (a level's
// map) asks for huge pages, one fault per 2 MB instead of one per 4 KB; a
// block that grows a little at a time (a recording) reserves address room to
// grow into, so it never moves or copies, and its pages come in as reached.
#pragma once
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include "QelExport.h"

namespace qel {

enum class PageUse {
    Gradual,  // written a little at a time, and grown with GrowPages
    Whole     // written all at once: huge pages where the system has them
};

// A zero-filled block of at least `bytes` bytes, or nullptr when refused.
QEL_API void* MapPages(std::size_t bytes, PageUse use);

// Grows a Gradual block to `newBytes`, its contents kept; the address changes
// only past a gigabyte. nullptr when refused, the block then left as it was.
QEL_API void* GrowPages(void* block, std::size_t oldBytes, std::size_t newBytes);

// Maps in the block's first `bytes` now, in one go, where they are about to
// be written: much cheaper than a fault per page.
QEL_API void PreparePages(void* block, std::size_t bytes);

// Gives a block back; `bytes` is the size it was mapped or last grown to. A
// few Whole blocks are kept for later MapPages calls, which spares the next
// level's pictures the page faults of fresh memory.
QEL_API void UnmapPages(void* block, std::size_t bytes, PageUse use);

// An allocator for containers of large blocks written whole (pixels): blocks
// from `PageBytes` on come from pages as `PageUse::Whole`, smaller ones from
// the heap. Elements made without a value are left as the memory holds them
// (fresh pages are zero already), so that sizing a block does not touch it.
template <class T>
struct PageAllocator {
    using value_type = T;
    static constexpr std::size_t PageBytes = std::size_t(256) << 10;

    PageAllocator() = default;
    template <class U>
    PageAllocator(const PageAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n * sizeof(T) < PageBytes) return std::allocator<T>().allocate(n);
        void* block = MapPages(n * sizeof(T), PageUse::Whole);
        if (!block) throw std::bad_alloc();
        return static_cast<T*>(block);
    }

    template <class U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < PageBytes)
            std::allocator<T>().deallocate(p, n);
        else
            UnmapPages(p, n * sizeof(T), PageUse::Whole);
    }

    template <class U>
    bool operator==(const PageAllocator<U>&) const { return true; }
};

}  // namespace qel
