#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>
#include "world/WrappingAlgorithmeInternal.h"

namespace {

int Mod(long long v, int p) {
    long long m = v % p;
    return int(m < 0 ? m + p : m);
}

// Renders the pieces into a window of pixel ids (-1 = not drawn) and checks that
// each piece stays inside the bitmap and the window and overlaps no other.
std::vector<int> Render(const WrappingAlgorithme& w, int W, int H, int ww, int wh) {
    std::vector<int> window(size_t(ww * wh), -1);
    for (std::uint32_t i = 0; i < w.PieceCount(); ++i) {
        const QelRect s = w.SourceList()[i], d = w.DestinationList()[i];
        EXPECT_EQ(s.right - s.left, d.right - d.left);
        EXPECT_EQ(s.bottom - s.top, d.bottom - d.top);
        EXPECT_LT(s.left, s.right);
        EXPECT_LT(s.top, s.bottom);
        EXPECT_TRUE(s.left >= 0 && s.top >= 0 && s.right <= W && s.bottom <= H) << "piece " << i;
        EXPECT_TRUE(d.left >= 0 && d.top >= 0 && d.right <= ww && d.bottom <= wh) << "piece " << i;
        if (::testing::Test::HasFailure()) return window;
        for (int y = 0; y < d.bottom - d.top; ++y)
            for (int x = 0; x < d.right - d.left; ++x) {
                int& px = window[size_t((d.top + y) * ww + d.left + x)];
                EXPECT_EQ(px, -1) << "pieces overlap";
                px = (s.top + y) * W + s.left + x;
            }
    }
    return window;
}

std::vector<int> Expected(int W, int H, int ww, int wh, int ox, int oy) {
    std::vector<int> window(size_t(ww * wh), -1);
    const int pw = ww < W ? W : ww, ph = wh < H ? H : wh;
    for (int r = 0; r < H; ++r)
        for (int c = 0; c < W; ++c) {
            const int x = Mod((long long)ox + c, pw), y = Mod((long long)oy + r, ph);
            if (x < ww && y < wh) window[size_t(y * ww + x)] = r * W + c;
        }
    return window;
}

WrappingAlgorithme Make(int W, int H, int ww, int wh, int ox, int oy) {
    WrappingAlgorithme w;
    w.SetUp(QelRect{0, 0, W, H}, QelRect{0, 0, ww, wh}, false, 0, 0, 0.0f, 0.0f);
    w.SetOffset(ox, oy, 0.0f, 0.0f);
    return w;
}

TEST(WrappingAlgorithme, BitmapShownOnceAroundTheWindowEdge) {
    // Window 100 x 50 over a 40 x 20 bitmap at offset 90: two pieces.
    const WrappingAlgorithme w = Make(40, 20, 100, 50, 90, 0);
    EXPECT_EQ(w.Case(), 2);
    ASSERT_EQ(w.PieceCount(), 2u);
    const std::vector<int> got = Render(w, 40, 20, 100, 50);
    EXPECT_EQ(got[90], 0);  // bitmap column 0 at window column 90
    EXPECT_EQ(got[99], 9);
    EXPECT_EQ(got[0], 10);  // bitmap column 10 at window column 0
    EXPECT_EQ(got[29], 39);
    EXPECT_EQ(got[30], -1);
    EXPECT_EQ(got, Expected(40, 20, 100, 50, 90, 0));
}

TEST(WrappingAlgorithme, BitmapRepeatsAcrossANarrowerWindow) {
    // Window 100 x 50 over 400 x 300 at offset -350: columns 350..399, then 0..49.
    const WrappingAlgorithme w = Make(400, 300, 100, 50, -350, 0);
    EXPECT_EQ(w.Case(), 1);
    ASSERT_EQ(w.PieceCount(), 2u);
    const std::vector<int> got = Render(w, 400, 300, 100, 50);
    EXPECT_EQ(got[0], 350);
    EXPECT_EQ(got[49], 399);
    EXPECT_EQ(got[50], 0);
    EXPECT_EQ(got[99], 49);
    EXPECT_EQ(got, Expected(400, 300, 100, 50, -350, 0));
}

TEST(WrappingAlgorithme, EveryWindowPixelMatchesTheWrapRule) {
    std::mt19937 rng(12345);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int seenCases[5] = {};
    for (int n = 0; n < 3000; ++n) {
        const int W = pick(1, 12), H = pick(1, 12), ww = pick(1, 12), wh = pick(1, 12);
        const int ox = pick(-40, 40), oy = pick(-40, 40);
        const WrappingAlgorithme w = Make(W, H, ww, wh, ox, oy);
        ++seenCases[w.Case()];
        ASSERT_EQ(Render(w, W, H, ww, wh), Expected(W, H, ww, wh, ox, oy))
            << "bitmap " << W << "x" << H << " window " << ww << "x" << wh << " offset " << ox << "," << oy;
    }
    for (int c = 1; c <= 4; ++c) EXPECT_GT(seenCases[c], 100) << "case " << c;
}

TEST(WrappingAlgorithme, WindowFollowsTheViewportUnlessFixed) {
    for (bool fixed : {false, true}) {
        WrappingAlgorithme w;
        // Set up with the viewport at (10, 5); the window's origin is (30, 40).
        w.SetUp(QelRect{0, 0, 40, 20}, QelRect{0, 0, 100, 50}, fixed, 30, 40, 10.7f, 5.2f);
        w.SetOffset(0, 0, 100.0f, 60.0f);
        ASSERT_EQ(w.PieceCount(), 1u);
        const QelRect d = w.DestinationList()[0];
        if (fixed) {
            EXPECT_EQ(d.left, 20);
            EXPECT_EQ(d.top, 35);
        } else {
            EXPECT_EQ(d.left, -70);
            EXPECT_EQ(d.top, -20);
        }
    }
}

TEST(WrappingAlgorithme, RecordRoundTripsAndRejectsCorruptOnes) {
    const WrappingAlgorithme w = Make(7, 5, 3, 9, -4, 6);
    std::uint8_t bytes[WrappingAlgorithme::kRecordSize];
    w.ToBytes(bytes);
    WrappingAlgorithme loaded;
    ASSERT_TRUE(loaded.FromBytes(bytes));
    std::uint8_t again[WrappingAlgorithme::kRecordSize];
    loaded.ToBytes(again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
    EXPECT_EQ(bytes[257], w.Case());
    EXPECT_EQ(bytes[260], w.PieceCount());

    struct Corruption {
        const char* what;
        size_t offset;
        std::uint8_t value;
    } const corruptions[] = {
        {"piece count 5", 260, 5}, {"piece count huge", 263, 0x80}, {"case 0", 257, 0},
        {"case 5", 257, 5},        {"zero period width", 212, 0},   {"zero period height", 220, 0},
    };
    for (const Corruption& c : corruptions) {
        std::uint8_t bad[WrappingAlgorithme::kRecordSize];
        std::memcpy(bad, bytes, sizeof bad);
        if (c.offset == 212 || c.offset == 220)
            std::memset(bad + c.offset, 0, 4);
        else
            bad[c.offset] = c.value;
        WrappingAlgorithme target = loaded;
        EXPECT_FALSE(target.FromBytes(bad)) << c.what;
        std::uint8_t after[WrappingAlgorithme::kRecordSize];
        target.ToBytes(after);
        EXPECT_EQ(std::memcmp(after, bytes, sizeof bytes), 0) << c.what << ": object changed";
    }
}

}  // namespace

namespace {

// Offsets and viewport positions at the ends of the int32 range (a far-off
// viewport, a hostile saved record) keep the arithmetic defined.
TEST(WrappingAlgorithme, ExtremeCoordinatesStayDefined) {
    WrappingAlgorithme w;
    w.SetUp(QelRect{0, 0, 40, 20}, QelRect{0, 0, 100, 50}, false, 30, 40, 0.0f, 0.0f);
    w.SetOffset(INT32_MIN, INT32_MAX, -3e9f, 3e9f);
    EXPECT_LE(w.PieceCount(), 4u);

    std::uint8_t bytes[WrappingAlgorithme::kRecordSize];
    Make(7, 5, 3, 9, -4, 6).ToBytes(bytes);
    for (size_t at : {size_t(192), size_t(200), size_t(224), size_t(32), size_t(40)}) {  // E, origin, C
        std::uint8_t bad[WrappingAlgorithme::kRecordSize];
        std::memcpy(bad, bytes, sizeof bad);
        const std::uint8_t big[4] = {0xF0, 0xFF, 0xFF, 0x7F};
        std::memcpy(bad + at, big, 4);
        WrappingAlgorithme loaded;
        if (!loaded.FromBytes(bad)) continue;
        loaded.SetOffset(3, 4, 0.0f, 0.0f);
        EXPECT_LE(loaded.PieceCount(), 4u) << at;
    }
}

}  // namespace
