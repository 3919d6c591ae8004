#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>
#include "foundation/Array.h"
#include "foundation/MemoryPool.h"
#include "foundation/String.h"

namespace {

std::string Joined(const Array<String>& a) {
    std::string all;
    for (unsigned int i = 0; i < a.Size(); ++i) all += std::string(a[i]) + ",";
    return all;
}

std::string Numbers(int from, int to) {
    std::string all;
    for (int i = from; i < to; ++i) all += std::to_string(i) + ",";
    return all;
}

TEST(Array, GrowsPastTenAndTwentyKeepingTheOrder) {
    Array<String> a;
    EXPECT_EQ(a.Size(), 0u);
    for (int i = 0; i < 25; ++i) a.Add(String(std::to_string(i).c_str()));
    EXPECT_EQ(a.Size(), 25u);
    EXPECT_EQ(Joined(a), Numbers(0, 25));
}

TEST(Array, AddingItsOwnElementWhileGrowingIsSafe) {
    Array<String> a;
    for (int i = 0; i < 10; ++i) a.Add(String(std::to_string(i).c_str()));
    a.Add(a[3]);
    EXPECT_EQ(a.Size(), 11u);
    EXPECT_STREQ(a[10], "3");
}

// Growing moves the elements across: arrays held in an array keep their
// contents, and copies of the whole stay independent.
TEST(Array, ArraysOfArraysKeepTheirElementsThroughGrowth) {
    Array<Array<String>> frames;
    for (int f = 0; f < 300; ++f) {
        Array<String> held;
        for (int k = 0; k < f % 4; ++k) held.Add(String(std::to_string(f + k).c_str()));
        frames.Add(held);
    }
    Array<Array<String>> copy(frames);
    frames[0].Add(String("late"));
    ASSERT_EQ(copy.Size(), 300u);
    for (unsigned int f = 0; f < 300; ++f) {
        std::string want;
        for (unsigned int k = 0; k < f % 4; ++k) want += std::to_string(f + k) + ",";
        EXPECT_EQ(Joined(copy[f]), want) << f;
    }
    EXPECT_EQ(Joined(frames[0]), "late,");
}

TEST(Array, CopiesAreDeep) {
    Array<String> original;
    for (int i = 0; i < 12; ++i) original.Add(String(std::to_string(i).c_str()));
    Array<String> copy(original);
    Array<String> assigned;
    assigned.Add(String("old"));
    assigned = original;
    copy[0] = String("changed");
    assigned.Add(String("more"));
    EXPECT_EQ(Joined(original), Numbers(0, 12));
    EXPECT_EQ(Joined(copy), "changed," + Numbers(1, 12));
    EXPECT_EQ(Joined(assigned), Numbers(0, 12) + "more,");
    Array<String>& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.Size(), 13u);
}

TEST(Array, ClearAndFreeEmptyItForReuse) {
    Array<String> a;
    for (int i = 0; i < 15; ++i) a.Add(String("x"));
    a.Clear();
    EXPECT_EQ(a.Size(), 0u);
    a.Add(String("after clear"));
    EXPECT_EQ(Joined(a), "after clear,");
    a.Free();
    EXPECT_EQ(a.Size(), 0u);
    Array<String> copyOfFreed(a);
    EXPECT_EQ(copyOfFreed.Size(), 0u);
    for (int i = 0; i < 11; ++i) a.Add(String(std::to_string(i).c_str()));
    EXPECT_EQ(Joined(a), Numbers(0, 11));
    copyOfFreed.Add(String("y"));
    EXPECT_EQ(Joined(copyOfFreed), "y,");
}

// Arrays of plain values or of arrays grow by copying their bytes as one
// block: the elements, an element added from the array itself at the moment
// it grows, copies and a reuse after Clear must all hold, also when large.
TEST(Array, LargeArraysKeepEveryElementThroughGrowthByBytes) {
    Array<unsigned char> bytes;
    Array<Array<unsigned char>> frames;
    // Capacities the growth reaches, so that the last Add of each moves the block.
    const auto reached = [](unsigned int atLeast) {
        unsigned int capacity = 10;
        while (capacity < atLeast) capacity += capacity / 2;
        return capacity;
    };
    const unsigned int full = reached(64u << 10);  // over 64 KB of bytes
    const unsigned int frameCount = reached(1u << 12);
    for (unsigned int i = 0; i < full; ++i) bytes.Add(static_cast<unsigned char>(i * 7));
    bytes.Add(bytes[5]);
    for (unsigned int f = 0; f < frameCount; ++f) {
        Array<unsigned char> held;
        for (unsigned int k = 0; k < f % 3; ++k) held.Add(static_cast<unsigned char>(f + k));
        frames.Add(held);
    }
    frames.Add(frames[2]);
    Array<Array<unsigned char>> copy(frames);
    frames[2].Add(99);

    ASSERT_EQ(bytes.Size(), full + 1);
    for (unsigned int i = 0; i < full; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7)) << i;
    EXPECT_EQ(bytes[full], static_cast<unsigned char>(35));
    ASSERT_EQ(copy.Size(), frameCount + 1);
    for (unsigned int f = 0; f < frameCount; ++f) {
        ASSERT_EQ(copy[f].Size(), f % 3) << f;
        for (unsigned int k = 0; k < f % 3; ++k) ASSERT_EQ(copy[f][k], static_cast<unsigned char>(f + k));
    }
    EXPECT_EQ(copy[frameCount].Size(), 2u);
    EXPECT_EQ(frames[2].Size(), 3u);
    EXPECT_EQ(copy[2].Size(), 2u);

    bytes.Clear();
    bytes.Add(1);
    EXPECT_EQ(bytes.Size(), 1u);
    EXPECT_EQ(bytes[0], 1);
}

bool Aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t) == 0; }

TEST(MemoryPool, LastFreedIsFirstReused) {
    MemoryPool pool(24, 4, false);
    void* a = pool.Alloc();
    void* b = pool.Alloc();
    void* c = pool.Alloc();
    // A fresh chunk hands out ascending blocks, each rounded up to the alignment.
    EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 32);
    EXPECT_EQ(static_cast<char*>(c) - static_cast<char*>(b), 32);
    pool.Free(b);
    pool.Free(a);
    EXPECT_EQ(pool.Alloc(), a);
    EXPECT_EQ(pool.Alloc(), b);
    pool.Free(nullptr);
    EXPECT_NE(pool.Alloc(), nullptr);
}

// A pool made at start-up with room for many objects costs the pages its
// blocks are used in, not the whole chunk.
TEST(MemoryPool, AChunksBlocksCostNoMemoryUntilUsed) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    constexpr unsigned int Blocks = 1024;
    MemoryPool pool(unsigned(page), Blocks, false);
    auto* first = static_cast<char*>(pool.Alloc());
    ASSERT_NE(first, nullptr);
    // The chunk's pages well past the first block, page-aligned.
    const auto start = (reinterpret_cast<std::uintptr_t>(first) + 16 * page) / page * page;
    const std::size_t pages = Blocks / 2;
    std::vector<unsigned char> resident(pages);
    ASSERT_EQ(mincore(reinterpret_cast<void*>(start), pages * page, resident.data()), 0);
    EXPECT_EQ(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }), 0);
    pool.Free(first);
}

TEST(MemoryPool, FixedPoolRunsOutAfterItsChunk) {
    MemoryPool pool(8, 3, true);
    void* blocks[3] = {pool.Alloc(), pool.Alloc(), pool.Alloc()};
    for (void* p : blocks) EXPECT_NE(p, nullptr);
    EXPECT_EQ(pool.Alloc(), nullptr);
    pool.Free(blocks[1]);
    EXPECT_EQ(pool.Alloc(), blocks[1]);
    EXPECT_EQ(pool.Alloc(), nullptr);
}

TEST(MemoryPool, BlocksAcrossChunksAreDistinctAlignedAndUsable) {
    struct Case {
        unsigned int blockSize;
        unsigned int perChunk;
    };
    for (Case c : {Case{0, 0}, Case{1, 1}, Case{3, 5}, Case{sizeof(double) * 5, 128}}) {
        MemoryPool pool(c.blockSize, c.perChunk, false);
        std::set<char*> seen;
        std::size_t usable = c.blockSize < sizeof(void*) ? sizeof(void*) : c.blockSize;
        for (int i = 0; i < 300; ++i) {
            auto* p = static_cast<char*>(pool.Alloc());
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(Aligned(p)) << c.blockSize;
            // Fill the whole block: AddressSanitizer sees any overlap or overrun.
            for (std::size_t k = 0; k < usable; ++k) p[k] = static_cast<char>(i);
            seen.insert(p);
        }
        EXPECT_EQ(seen.size(), 300u) << c.blockSize;
        for (char* p : seen) EXPECT_EQ(p[0], p[usable - 1]);
    }
}

// The way pooled classes use a pool: class-level new and delete.
struct Pooled {
    double position[2] = {1.5, -2.5};
    void* owner = nullptr;
    static MemoryPool& Pool() {
        static MemoryPool& pool = *new MemoryPool(sizeof(Pooled), 128, false);
        return pool;
    }
    static void* operator new(std::size_t) { return Pool().Alloc(); }
    static void operator delete(void* p) { Pool().Free(p); }
};

TEST(MemoryPool, BacksClassLevelAllocation) {
    std::vector<Pooled*> objects;
    for (int i = 0; i < 200; ++i) objects.push_back(new Pooled);
    for (Pooled* p : objects) EXPECT_EQ(p->position[1], -2.5);
    Pooled* last = objects.back();
    delete last;
    objects.pop_back();
    Pooled* again = new Pooled;
    EXPECT_EQ(again, last);
    objects.push_back(again);
    for (Pooled* p : objects) delete p;
}

}  // namespace
