#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>
#include "platform/PageMemory.h"

namespace {

bool AllZero(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

// Blocks come zero-filled in both uses and of every size around the page and
// huge-page boundaries; a whole block asking for huge pages is aligned on them.
TEST(PageMemory, BlocksComeZeroFilledAndWritable) {
    for (qel::PageUse use : {qel::PageUse::Gradual, qel::PageUse::Whole}) {
        for (std::size_t bytes : {std::size_t(1), std::size_t(4096), std::size_t(4097), std::size_t(2) << 20,
                                  (std::size_t(3) << 20) + 5}) {
            auto* block = static_cast<unsigned char*>(qel::MapPages(bytes, use));
            ASSERT_NE(block, nullptr) << bytes;
            EXPECT_TRUE(AllZero(block, bytes)) << bytes;
            std::memset(block, 0xA5, bytes);
            if (use == qel::PageUse::Whole && bytes >= (std::size_t(2) << 20))
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (std::size_t(2) << 20), 0u) << bytes;
            qel::UnmapPages(block, bytes, use);
        }
    }
    EXPECT_EQ(qel::MapPages(0, qel::PageUse::Gradual), nullptr);
}

// A whole block given back serves a later request it holds without wasting
// half of it, and comes back zero-filled like fresh pages.
TEST(PageMemory, WholeBlocksGivenBackAreReusedCleared) {
    const std::size_t large = std::size_t(3) << 20;
    auto* block = static_cast<unsigned char*>(qel::MapPages(large, qel::PageUse::Whole));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, large);
    qel::UnmapPages(block, large, qel::PageUse::Whole);

    auto* small = static_cast<unsigned char*>(qel::MapPages(large / 4, qel::PageUse::Whole));
    ASSERT_NE(small, nullptr);
    EXPECT_NE(small, block);
    auto* again = static_cast<unsigned char*>(qel::MapPages(large - 4096, qel::PageUse::Whole));
    EXPECT_EQ(again, block);
    EXPECT_TRUE(AllZero(again, large - 4096));
    std::memset(again, 0x5A, large - 4096);
    qel::UnmapPages(again, large - 4096, qel::PageUse::Whole);  // given back by the size asked for
    auto* third = static_cast<unsigned char*>(qel::MapPages(large, qel::PageUse::Whole));
    EXPECT_EQ(third, block);
    EXPECT_TRUE(AllZero(third, large));
    qel::UnmapPages(third, large, qel::PageUse::Whole);
    qel::UnmapPages(small, large / 4, qel::PageUse::Whole);
}

// A growing block keeps its bytes and its address while it has room, and
// keeps its bytes when it outgrows the room and moves; its new part is zero.
TEST(PageMemory, GrowingKeepsTheContents) {
    std::size_t bytes = 5000;
    auto* block = static_cast<unsigned char*>(qel::MapPages(bytes, qel::PageUse::Gradual));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < bytes; ++i) block[i] = static_cast<unsigned char>(i * 13);

    const std::size_t roomy = std::size_t(64) << 20;
    auto* grown = static_cast<unsigned char*>(qel::GrowPages(block, bytes, roomy));
    EXPECT_EQ(grown, block);
    ASSERT_NE(grown, nullptr);
    EXPECT_TRUE(AllZero(grown + bytes, 8192));
    grown[roomy - 1] = 7;

    const std::size_t past = (std::size_t(1) << 30) + 12345;  // only the written pages are backed
    auto* moved = static_cast<unsigned char*>(qel::GrowPages(grown, roomy, past));
    ASSERT_NE(moved, nullptr);
    for (std::size_t i = 0; i < bytes; ++i) ASSERT_EQ(moved[i], static_cast<unsigned char>(i * 13)) << i;
    EXPECT_EQ(moved[roomy - 1], 7);
    EXPECT_EQ(moved[past - 1], 0);
    moved[past - 1] = 9;
    EXPECT_EQ(qel::GrowPages(moved, past, 10), nullptr) << "a block does not shrink";
    qel::UnmapPages(moved, past, qel::PageUse::Gradual);
}

// Pixel buffers through the allocator: small ones from the heap, large ones
// from pages, and sizing a fresh large one leaves it as the pages hold it.
TEST(PageMemory, AllocatorServesSmallAndLargeVectors) {
    std::vector<std::uint8_t, qel::PageAllocator<std::uint8_t>> small(100, 3);
    EXPECT_EQ(small[99], 3);
    std::vector<std::uint8_t, qel::PageAllocator<std::uint8_t>> large;
    large.resize(qel::PageAllocator<std::uint8_t>::PageBytes * 4);
    EXPECT_TRUE(AllZero(large.data(), large.size()));
    large.assign(large.size(), 1);
    EXPECT_EQ(large.back(), 1);
}

}  // namespace
