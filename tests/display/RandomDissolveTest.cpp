#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "EffectsFixture.h"
#include "display/RandomDissolve.h"

namespace {

class RandomDissolveTest : public EffectsFixture {
protected:
    int MarkedCount(const RandomDissolve& d) const {
        int n = 0;
        for (int x = 0; x < d.Columns(); ++x)
            for (int y = 0; y < d.Rows(); ++y) n += d.Marked(x, y);
        return n;
    }
    void Step(RandomDissolve& d) {
        back->Fill(nullptr, 0);
        d.Update();
    }
    std::vector<std::uint32_t> Pixels() const {
        std::vector<std::uint32_t> v;
        for (int y = 0; y < back->Height(); ++y)
            for (int x = 0; x < back->Width(); ++x) v.push_back(Pixel(x, y));
        return v;
    }
};

TEST_F(RandomDissolveTest, TheGridAndBlocksPerFrameComeFromTheDisplay) {
    struct Case {
        int width, height, frames;
        int columns, rows, perFrame;
    };
    const Case cases[] = {
        {640, 480, 60, 128, 96, 204},                           // 12288 / 60, truncated
        {64, 48, 10, 12, 9, 10},      {64, 48, 0, 12, 9, 108},  // no frames to spread over: every block at once
        {64, 48, -3, 12, 9, 108},     {4, 4, 5, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.frames);
        displayWidth = c.width;
        displayHeight = c.height;
        RandomDissolve d;
        EXPECT_EQ(d.Columns(), c.columns);
        EXPECT_EQ(d.Rows(), c.rows);
        d.OneColor(0xFF, c.frames, 0);
        EXPECT_EQ(d.BlocksPerFrame(), c.perFrame);
    }
}

TEST_F(RandomDissolveTest, OneColorCoversEveryBlockOnceAndLeavesTheRaggedEdgeAlone) {
    // 64 x 48: 12 x 9 blocks cover 60 x 45 pixels.
    UseDisplay(64, 48);
    RandomDissolve d;
    d.OneColor(0x0000FF, 10, 300);
    int marked = 0;
    int update = 0;
    while (MarkedCount(d) < 108 && update < 300) {
        Step(d);
        ++update;
        const int now = MarkedCount(d);
        EXPECT_GE(now, marked);
        EXPECT_LE(now - marked, d.BlocksPerFrame()) << "never more than blocks per frame";
        marked = now;
    }
    ASSERT_EQ(MarkedCount(d), 108);
    EXPECT_TRUE(d.IsRunning());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(Pixel(x, y), (x < 60 && y < 45) ? 0xFF0000u : 0u) << x << "," << y;
}

TEST_F(RandomDissolveTest, EndsTheUpdateAfterItsCounterPassesFramesPlusDelay) {
    UseDisplay(64, 48);
    RandomDissolve d;
    d.OneColor(0xFFFFFF, 30, 1);  // 3 blocks per update
    for (int update = 1; update <= 32; ++update) {
        Step(d);
        EXPECT_TRUE(d.IsRunning()) << update;
    }
    EXPECT_GT(MarkedCount(d), 0);
    EXPECT_LT(MarkedCount(d), 108) << "ends with blocks still unmarked";
    Step(d);
    EXPECT_FALSE(d.IsRunning());
    EXPECT_EQ(d.Kind(), RandomDissolve::Idle);
    EXPECT_EQ(MarkedCount(d), 0);
    EXPECT_EQ(d.BlocksPerFrame(), 0);
    for (std::uint32_t p : Pixels()) ASSERT_EQ(p, 0u) << "nothing painted by the stopping update";
}

TEST_F(RandomDissolveTest, ColoursFollowTheKindAndTheDepth) {
    struct Case {
        int depth;
        bool blackAndWhite;
    };
    for (const Case& c : {Case{8, true}, Case{32, true}, Case{8, false}, Case{32, false}}) {
        SCOPED_TRACE(testing::Message() << c.depth << (c.blackAndWhite ? " black and white" : " multi colour"));
        UseDisplay(64, 48, c.depth);
        RandomDissolve d;
        if (c.blackAndWhite) {
            d.BlackAndWhite(1, 0);
        } else {
            d.MultiColor(1, 0);
        }
        Step(d);
        std::set<std::uint32_t> seen;
        for (int x = 0; x < 12; ++x)
            for (int y = 0; y < 9; ++y) {
                if (!d.Marked(x, y)) continue;
                const std::uint32_t p = Pixel(5 * x, 5 * y);
                for (int i = 0; i < 5; ++i) ASSERT_EQ(Pixel(5 * x + i, 5 * y + 4 - i), p) << "one colour per block";
                seen.insert(p);
            }
        if (c.depth == 8 && c.blackAndWhite) {
            EXPECT_EQ(seen, (std::set<std::uint32_t>{0, 255}));
        } else {
            EXPECT_GT(seen.size(), 5u);
        }
        if (c.depth == 32 && c.blackAndWhite) {
            for (std::uint32_t p : seen) EXPECT_TRUE((p & 0xFF) == ((p >> 8) & 0xFF) && (p & 0xFF) == (p >> 16)) << p;
        }
        // Every marked block is painted again with new colours each update.
        const std::vector<std::uint32_t> first = Pixels();
        Step(d);
        EXPECT_NE(Pixels(), first);
    }
}

TEST_F(RandomDissolveTest, StartersAreRefusedWhileADissolveRuns) {
    UseDisplay(64, 48);
    struct Case {
        const char* effect;
        const char* target;
        void (*start)(RandomDissolve&);
    };
    const Case cases[] = {
        {"OneColor", "void RandomDissolve::OneColor(COLORREF,int,int)", [](RandomDissolve& d) { d.OneColor(1, 2, 3); }},
        {"BlackAndWhite", "void RandomDissolve::BlackAndWhite(int,int)",
         [](RandomDissolve& d) { d.BlackAndWhite(2, 3); }},
        {"MultiColor", "void RandomDissolve::MultiColor(int,int)", [](RandomDissolve& d) { d.MultiColor(2, 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        RandomDissolve d;
        d.MultiColor(20, 0);
        Step(d);
        const std::vector<unsigned char> before = SaveBytes(d);
        c.start(d);
        EXPECT_STREQ(_UE.TargetFunction, c.target);
        EXPECT_EQ(std::string(_UE.ErrorMessage), std::string("The effect ") + c.effect +
                                                     " can't be set because another RandomDissolve effect is running.");
        EXPECT_EQ(SaveBytes(d, "after.bin"), before);
    }
}

TEST_F(RandomDissolveTest, ASavedDissolveContinuesTheSameSequence) {
    UseDisplay(64, 48);
    RandomDissolve d;
    d.BlackAndWhite(8, 2);
    Step(d);
    Step(d);
    const std::vector<unsigned char> bytes = SaveBytes(d);
    ASSERT_EQ(bytes.size(), 3u * 4 + 108 + 4 * 4 + 1 + 4 + 136);
    RandomDissolve loaded;
    ASSERT_TRUE(LoadBytes(loaded, bytes));
    EXPECT_EQ(SaveBytes(loaded, "again.bin"), bytes);
    for (int update = 3; update <= 12; ++update) {
        Step(d);
        const std::vector<std::uint32_t> expected = Pixels();
        Step(loaded);
        ASSERT_EQ(Pixels(), expected) << update;
        EXPECT_EQ(loaded.IsRunning(), d.IsRunning());
    }
    EXPECT_FALSE(loaded.IsRunning());
}

TEST_F(RandomDissolveTest, HostileRecordsAreRefusedWithoutTouchingTheDissolve) {
    UseDisplay(64, 48);
    RandomDissolve source;
    source.OneColor(0xFF, 5, 0);
    Step(source);
    const std::vector<unsigned char> good = SaveBytes(source);
    std::vector<unsigned char> negative = good, huge = good, wide = good, tooManyBlocks = good;
    PutI32(negative, 0, -12);
    PutI32(huge, 0, 0x7FFFFFFF);
    PutI32(wide, 4, 100000);  // 12 x 100000 bytes: more than the file holds
    PutI32(tooManyBlocks, 8, 109);
    const std::vector<unsigned char> cases[] = {
        negative, huge, wide, tooManyBlocks, std::vector<unsigned char>(good.begin(), good.begin() + 50), {}};
    for (const auto& bad : cases) {
        RandomDissolve target;
        target.MultiColor(4, 0);
        Step(target);
        const std::vector<unsigned char> before = SaveBytes(target, "before.bin");
        EXPECT_FALSE(LoadBytes(target, bad));
        EXPECT_EQ(SaveBytes(target, "after.bin"), before);
        for (int i = 0; i < 6; ++i) Step(target);
        EXPECT_FALSE(target.IsRunning());
    }
}

TEST_F(RandomDissolveTest, AGridFromAnotherDisplaySizePaintsOnlyWhatFits) {
    // A record from a 640 x 480 display loaded while the display is 64 x 48.
    displayWidth = 640;
    displayHeight = 480;
    RandomDissolve big;
    big.OneColor(0xFFFFFF, 1, 1);
    std::vector<unsigned char> bytes = SaveBytes(big);
    UseDisplay(64, 48);
    RandomDissolve small;
    ASSERT_TRUE(LoadBytes(small, bytes));
    EXPECT_EQ(small.Columns(), 128);
    Step(small);
    int white = 0;
    for (std::uint32_t p : Pixels()) white += p == 0xFFFFFF;
    EXPECT_GT(white, 64 * 48 / 2) << "the blocks that fit are painted, the rest clipped";
    Step(small);
    Step(small);
    Step(small);
    EXPECT_FALSE(small.IsRunning());
}

}  // namespace
