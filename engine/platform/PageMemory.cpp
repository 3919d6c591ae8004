#include "platform/PageMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace qel {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;
// Address room a growing block keeps after it; only what it uses is backed.
constexpr std::size_t GrowthRoom = std::size_t(1) << 30;

std::size_t PageSize() {
    static const std::size_t size = std::size_t(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundUp(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit * unit; }

std::size_t Length(std::size_t bytes) { return RoundUp(bytes, PageSize()); }

// What a Gradual block of that length holds mapped: its room, or itself once past it.
std::size_t Reserved(std::size_t length) { return length > GrowthRoom ? length : GrowthRoom; }

void* MapAnonymous(std::size_t length, int protection, int flags) {
    void* block = mmap(nullptr, length, protection, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void* MapGradual(std::size_t length) {
    if (length > GrowthRoom) return MapAnonymous(length, PROT_READ | PROT_WRITE, 0);
    void* block = MapAnonymous(GrowthRoom, PROT_NONE, MAP_NORESERVE);
    if (block && mprotect(block, length, PROT_READ | PROT_WRITE) != 0) {
        munmap(block, GrowthRoom);
        return nullptr;
    }
    return block;
}

// Huge pages need a block aligned on their size: map more and trim both ends.
void* MapWhole(std::size_t length) {
    if (length < HugePage) return MapAnonymous(length, PROT_READ | PROT_WRITE, 0);
    const std::size_t mapped = length + HugePage;
    void* raw = MapAnonymous(mapped, PROT_READ | PROT_WRITE, 0);
    if (!raw) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = RoundUp(start, HugePage);
    if (aligned > start) munmap(raw, aligned - start);
    const std::size_t tail = mapped - (aligned - start) - length;
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(block, length, MADV_HUGEPAGE);  // only advice: refusal is harmless
#endif
    return block;
}

}  // namespace

void* MapPages(std::size_t bytes, PageUse use) {
    if (bytes == 0 || bytes > SIZE_MAX / 4) return nullptr;
    return use == PageUse::Gradual ? MapGradual(Length(bytes)) : MapWhole(Length(bytes));
}

void* GrowPages(void* block, std::size_t oldBytes, std::size_t newBytes) {
    if (!block || newBytes < oldBytes || newBytes > SIZE_MAX / 4) return nullptr;
    const std::size_t oldLength = Length(oldBytes);
    const std::size_t newLength = Length(newBytes);
    if (newLength == oldLength) return block;
    if (newLength <= GrowthRoom) {
        void* added = static_cast<char*>(block) + oldLength;
        return mprotect(added, newLength - oldLength, PROT_READ | PROT_WRITE) == 0 ? block : nullptr;
    }
    // Past its room the block moves as one mapping; the system moves its
    // pages, not its bytes.
    const std::size_t reserved = Reserved(oldLength);
    if (reserved > oldLength &&
        mprotect(static_cast<char*>(block) + oldLength, reserved - oldLength, PROT_READ | PROT_WRITE) != 0)
        return nullptr;
    void* moved = mremap(block, reserved, newLength, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}

void PreparePages(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (block && bytes) madvise(block, Length(bytes), MADV_POPULATE_WRITE);  // older systems: faults as before
#else
    (void)block;
    (void)bytes;
#endif
}

void UnmapPages(void* block, std::size_t bytes, PageUse use) {
    if (!block || !bytes) return;
    const std::size_t length = Length(bytes);
    munmap(block, use == PageUse::Gradual ? Reserved(length) : length);
}

}  // namespace qel
