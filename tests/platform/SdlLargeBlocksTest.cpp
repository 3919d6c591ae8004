#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/SdlLargeBlocks.h"

namespace {

constexpr std::size_t Large = std::size_t(3) << 20;

bool AllZero(const void* block, std::size_t bytes) {
    const auto* p = static_cast<const std::uint8_t*>(block);
    for (std::size_t i = 0; i < bytes; ++i)
        if (p[i] != 0) return false;
    return true;
}

// SDL's blocks keep their contents across every move between the C library
// and the engine's pages, blocks from before the routing are freed where they
// came from, and a cleared block comes back cleared even when it is reused.
TEST(SdlLargeBlocks, BlocksKeepTheirContentsWhereverTheyLive) {
    void* before = SDL_malloc(64);
    std::memset(before, 7, 64);
    qel::RouteSdlLargeBlocks();
    qel::RouteSdlLargeBlocks();  // once is enough; again changes nothing

    auto* grown = static_cast<std::uint8_t*>(SDL_realloc(before, Large));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(grown[0], 7);
    EXPECT_EQ(grown[63], 7);
    grown[Large - 1] = 9;
    auto* bigger = static_cast<std::uint8_t*>(SDL_realloc(grown, 2 * Large));
    ASSERT_NE(bigger, nullptr);
    EXPECT_EQ(bigger[0], 7);
    EXPECT_EQ(bigger[Large - 1], 9);
    auto* shrunk = static_cast<std::uint8_t*>(SDL_realloc(bigger, 32));
    ASSERT_NE(shrunk, nullptr);
    EXPECT_EQ(shrunk[31], 7);
    SDL_free(shrunk);

    for (int round = 0; round < 3; ++round) {
        auto* dirty = static_cast<std::uint8_t*>(SDL_malloc(Large));
        ASSERT_NE(dirty, nullptr);
        std::memset(dirty, 0xAB, Large);
        SDL_free(dirty);
        void* cleared = SDL_calloc(Large / 4, 4);
        ASSERT_NE(cleared, nullptr);
        EXPECT_TRUE(AllZero(cleared, Large)) << "round " << round;
        SDL_free(cleared);
    }
    SDL_free(nullptr);
}

}  // namespace
