#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "platform/ByteBlock.h"

namespace {

using qel::ByteBlock;

constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;

// Whether any page of [at, at + size) is still mapped in this process.
bool StillMapped(const void* at, std::size_t size) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    auto* start = static_cast<std::uint8_t*>(const_cast<void*>(at));
    for (std::size_t offset = 0; offset < size; offset += page)
        if (mincore(start + offset, page, &resident) == 0 || errno != ENOMEM) return true;
    return false;
}

// Every size is zero-filled and writable to its last byte; large ones are
// mappings of their own, starting on a huge page, where huge pages are had.
TEST(ByteBlock, EverySizeIsZeroedWritableAndMappedFromTheThreshold) {
    const std::size_t sizes[] = {1, 4095, ByteBlock::MappedFrom - 1, ByteBlock::MappedFrom, 13440000};
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        ByteBlock block(size);
        ASSERT_NE(block.data(), nullptr);
        ASSERT_EQ(block.size(), size);
        EXPECT_TRUE(std::all_of(block.data(), block.data() + size, [](std::uint8_t b) { return b == 0; }));
        block.data()[0] = 1;
        block.data()[size - 1] = 2;
        EXPECT_EQ(block.data()[size - 1], 2);
        EXPECT_EQ(block.Mapped(), size >= ByteBlock::MappedFrom && ByteBlock::HugePages());
        if (block.Mapped()) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % HugePage, 0u);
        }
    }
    EXPECT_EQ(ByteBlock().data(), nullptr);
    EXPECT_EQ(ByteBlock(0).size(), 0u);
}

// A large block's memory goes back to the system when the block is freed, or
// replaced by another through assignment; a moved block keeps its bytes.
TEST(ByteBlock, LargeBlocksAreGivenBackWhenFreedOrReplaced) {
    if (!ByteBlock::HugePages()) GTEST_SKIP() << "no huge pages here: large blocks stay on the heap";
    const std::size_t size = 3 * ByteBlock::MappedFrom;
    const std::uint8_t* first = nullptr;
    {
        ByteBlock block(size);
        first = block.data();
        std::fill(block.data(), block.data() + size, std::uint8_t(7));
        ByteBlock moved(std::move(block));
        EXPECT_EQ(block.data(), nullptr);
        EXPECT_EQ(block.size(), 0u);
        ASSERT_EQ(moved.data(), first);
        EXPECT_EQ(moved.data()[size - 1], 7);
        EXPECT_TRUE(StillMapped(first, size));

        moved = ByteBlock(size);
        EXPECT_NE(moved.data(), first);
        EXPECT_FALSE(StillMapped(first, size));
        first = moved.data();
    }
    EXPECT_FALSE(StillMapped(first, size));
}

// A process that gets no huge pages keeps its large blocks on the heap, as
// its small ones: mapped afresh in small pages at every level they would cost
// a page fault per 4 KB.
TEST(ByteBlock, WithoutHugePagesLargeBlocksStayOnTheHeap) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
        ByteBlock block(4 * ByteBlock::MappedFrom);
        _exit(ByteBlock::HugePages() ? 3 : block.Mapped() ? 1 : block.data() ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
