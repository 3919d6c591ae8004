#include "platform/PageMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

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

// Whole blocks given back are kept for the next ones: a level's maps and the
// pictures they are made from go as the next level's come, and memory the
// process has touched costs nothing to map in again.
constexpr std::size_t KeptBlocks = 4;
constexpr std::size_t KeptBytes = std::size_t(96) << 20;

struct Block {
    void* at;
    std::size_t length;
};

std::mutex keptLock;
std::vector<Block>& Kept() {
    static auto* blocks = new std::vector<Block>;  // outlives every static
    return *blocks;
}
// Kept blocks handed out again, with their mapped lengths.
std::unordered_map<void*, std::size_t>& Lent() {
    static auto* blocks = new std::unordered_map<void*, std::size_t>;
    return *blocks;
}

// The smallest kept block that holds `length` without wasting more than it
// holds, or null.
void* TakeKept(std::size_t length) {
    std::lock_guard hold(keptLock);
    std::vector<Block>& kept = Kept();
    auto best = kept.end();
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if (it->length >= length && it->length / 2 <= length && (best == kept.end() || it->length < best->length))
            best = it;
    if (best == kept.end()) return nullptr;
    void* block = best->at;
    Lent().emplace(block, best->length);
    kept.erase(best);
    return block;
}

// Keeps a block given back; the oldest kept ones go when there are too many.
void KeepWhole(void* block, std::size_t length) {
    std::vector<Block> gone;
    {
        std::lock_guard hold(keptLock);
        if (auto lent = Lent().find(block); lent != Lent().end()) {
            length = lent->second;
            Lent().erase(lent);
        }
        std::vector<Block>& kept = Kept();
        kept.push_back({block, length});
        std::size_t total = 0;
        for (const Block& b : kept) total += b.length;
        while (!kept.empty() && (kept.size() > KeptBlocks || total > KeptBytes)) {
            total -= kept.front().length;
            gone.push_back(kept.front());
            kept.erase(kept.begin());
        }
    }
    for (const Block& b : gone) munmap(b.at, b.length);
}

}  // namespace

void* MapPages(std::size_t bytes, PageUse use) {
    if (bytes == 0 || bytes > SIZE_MAX / 4) return nullptr;
    if (use == PageUse::Gradual) return MapGradual(Length(bytes));
    if (void* kept = TakeKept(Length(bytes))) {
        std::memset(kept, 0, bytes);
        return kept;
    }
    return MapWhole(Length(bytes));
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
    if (use == PageUse::Gradual)
        munmap(block, Reserved(length));
    else
        KeepWhole(block, length);
}

}  // namespace qel
