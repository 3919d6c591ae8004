#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "TempDir.h"
#include "foundation/File.h"
#include "world/ViewPort.h"

namespace {

TEST(ViewPort, ScrollIsClampedAndTwoPhase) {
    const struct {
        float startX, dx, applied;
    } cases[] = {
        {300, 100, 60},     // world 1000, view 640: maximum 360
        {300, -400, -300},  // clamped at 0
        {360, 1, 0},        // at the maximum (equality included)
        {360, -10, -10},   {0, 0, 0},
    };
    for (const auto& c : cases) {
        ViewPort v(1000, 480, c.startX, 0, 640, 480);
        const ScrollDelta d = v.Scroll(c.dx, 0);
        EXPECT_FLOAT_EQ(d.x, c.applied) << c.startX << " " << c.dx;
        EXPECT_FLOAT_EQ(v.NextDeltaScroll().x, c.applied);
        // Readers see nothing of it until the frame's end.
        EXPECT_FLOAT_EQ(v.WorldXPos(), c.startX);
        EXPECT_FLOAT_EQ(v.CurrentDeltaScroll().x, 0);
        v.Commit();
        EXPECT_FLOAT_EQ(v.WorldXPos(), c.startX + c.applied);
        EXPECT_FLOAT_EQ(v.WorldRightPos(), c.startX + c.applied + 640);
        EXPECT_FLOAT_EQ(v.CurrentDeltaScroll().x, c.applied);
    }
}

TEST(ViewPort, OffsetMovesAtOnceWithAnUpperClampOnly) {
    ViewPort v(1000, 480, 10, 0, 640, 480);
    EXPECT_FLOAT_EQ(v.Offset(-50, 0, false).x, -50);
    EXPECT_FLOAT_EQ(v.WorldXPos(), -40);
    EXPECT_FLOAT_EQ(v.Offset(1000, 0, false).x, 400);
    EXPECT_FLOAT_EQ(v.WorldXPos(), 360);
    v.Commit();  // the next rectangle followed the offset
    EXPECT_FLOAT_EQ(v.WorldXPos(), 360);

    static float movedX = 0;
    ViewPort::SetMainCharacterMover([](float dx, float) { movedX += dx; });
    v.Offset(-20, 0, true);
    v.Offset(-5, 0, false);
    EXPECT_FLOAT_EQ(movedX, -20);
    ViewPort::SetMainCharacterMover(nullptr);
}

TEST(ViewPort, InflationPerSide) {
    // Each row: side, the three inflations asked, the answers, and where the side ends.
    ViewPort v(1000, 480, 0, 0, 640, 480);
    v.ViewPortScrollingBB(100, 50, 200, 100);  // left 100, top 50, right 300, bottom 150
    v.MaxInflateBBRight(32);
    v.MaxInflateBBLeft(32);
    v.MaxInflateBBTop(32);
    v.MaxInflateBBBottom(32);
    const float asks[3] = {20, 20, -100};
    const float answers[3] = {20, 12, -64};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(v.InflateBBRight(asks[i]), answers[i]);
        EXPECT_FLOAT_EQ(v.InflateBBLeft(asks[i]), answers[i]);
        EXPECT_FLOAT_EQ(v.InflateBBTop(asks[i]), answers[i]);
        EXPECT_FLOAT_EQ(v.InflateBBBottom(asks[i]), answers[i]);
    }
    // Every side ends 32 inward: left and top moved the other way.
    EXPECT_FLOAT_EQ(v.BBViewPortRightPos(), 268);
    EXPECT_FLOAT_EQ(v.BBViewPortXPos(), 132);
    EXPECT_FLOAT_EQ(v.BBViewPortYPos(), 82);
    EXPECT_FLOAT_EQ(v.BBViewPortBottomPos(), 118);

    v.RestoreBB();  // the box comes back, the inflations stay
    EXPECT_FLOAT_EQ(v.BBViewPortRightPos(), 300);
    EXPECT_FLOAT_EQ(v.InflateBBRight(-1), 0) << "still at -32";
    v.ViewPortScrollingBB(100, 50, 200, 100);  // resets the inflations, keeps the maxima
    EXPECT_FLOAT_EQ(v.InflateBBRight(40), 32);
    EXPECT_FLOAT_EQ(v.MaxInflateBBRight(), 32);
}

TEST(ViewPort, BoxInWorldCoordinates) {
    ViewPort v(2000, 1000, 100, 40, 640, 480);
    v.ViewPortScrollingBB(10, 20, 100, 50);
    EXPECT_FLOAT_EQ(v.BBWorldXPos(), 110);
    EXPECT_FLOAT_EQ(v.BBWorldYPos(), 60);
    // The right and bottom add to the world rectangle's right and bottom.
    EXPECT_FLOAT_EQ(v.BBWorldRightPos(), 740 + 110);
    EXPECT_FLOAT_EQ(v.BBWorldBottomPos(), 520 + 70);
    const FRECT r = v.BBWorldRect();
    EXPECT_FLOAT_EQ(r.right, 210);
    EXPECT_FLOAT_EQ(r.bottom, 110);
    v.OffsetVPSBB(5, -5);
    EXPECT_FLOAT_EQ(v.InitialBBClone().left, 15);
    EXPECT_FLOAT_EQ(v.BBViewPortYPos(), 15);

    ViewPort w(1000, 1000, 10.9f, -3.5f, 100.6f, 50);
    const QelRect i = w.IntWorldRect();
    EXPECT_EQ(i.left, 10);
    EXPECT_EQ(i.top, -3);
    EXPECT_EQ(i.right, 110);
    EXPECT_EQ(i.bottom, 47);
}

TEST(ViewPort, RecordRoundTripsAt144Bytes) {
    TempDir dir;
    ViewPort v(1234, 567, 12, 34, 320, 200);
    v.ViewPortScrollingBB(1, 2, 3, 4);
    v.MaxInflateBBLeft(7);
    v.InflateBBLeft(3);
    v.Scroll(5, 6);
    const std::string a = dir.File("a.bin"), b = dir.File("b.bin");
    {
        File f(a.c_str(), File::Writing);
        v.Save(f);
    }
    ASSERT_EQ(TempDir::ReadAll(a).size(), 144u);
    ViewPort loaded(640, 480, 0, 0, 640, 480);
    {
        File f(a.c_str(), File::Reading);
        loaded.Load(f);
    }
    {
        File f(b.c_str(), File::Writing);
        loaded.Save(f);
    }
    EXPECT_EQ(TempDir::ReadAll(a), TempDir::ReadAll(b));
    EXPECT_FLOAT_EQ(loaded.NextDeltaScroll().y, 6);
}

// Every field at its place: each value set differs from its neighbours', so
// two fields stored in each other's places fail.
TEST(ViewPort, RecordHoldsEachFieldAtItsOffset) {
    TempDir dir;
    ViewPort v(1234, 567, 12, 34, 320, 200);
    v.ViewPortScrollingBB(1, 2, 3, 4);  // box {top 2, left 1, bottom 6, right 4}
    v.MaxInflateBBRight(11);
    v.MaxInflateBBLeft(7);
    v.MaxInflateBBTop(13);
    v.MaxInflateBBBottom(17);
    v.InflateBBRight(2);
    v.InflateBBLeft(3);
    v.InflateBBTop(5);
    v.InflateBBBottom(4);
    v.Scroll(5, 6);
    v.Commit();
    v.Scroll(8, 9);
    const std::string file = dir.File("v.bin");
    {
        File f(file.c_str(), File::Writing);
        v.Save(f);
    }
    const std::vector<unsigned char> b = TempDir::ReadAll(file);
    ASSERT_EQ(b.size(), 144u);
    struct FloatAt {
        std::size_t offset;
        float value;
        const char* field;
    };
    const FloatAt fields[] = {
        {0, 1234, "world width"},
        {4, 567, "world height"},
        {8, 914, "maximum world x"},
        {12, 367, "maximum world y"},
        {16, 40, "world rectangle top"},
        {20, 17, "world rectangle left"},
        {24, 240, "world rectangle bottom"},
        {28, 337, "world rectangle right"},
        {32, 49, "next world rectangle top"},
        {36, 25, "next world rectangle left"},
        {40, 249, "next world rectangle bottom"},
        {44, 345, "next world rectangle right"},
        {48, -3, "box top"},
        {52, -2, "box left"},
        {56, 10, "box bottom"},
        {60, 6, "box right"},
        {64, 0, "viewport top"},
        {68, 0, "viewport left"},
        {72, 200, "viewport bottom"},
        {76, 320, "viewport right"},
        {80, 5, "current delta x"},
        {84, 6, "current delta y"},
        {88, 8, "next delta x"},
        {92, 9, "next delta y"},
        {96, 2, "initial box top"},
        {100, 1, "initial box left"},
        {104, 6, "initial box bottom"},
        {108, 4, "initial box right"},
        {112, 11, "maximum inflation right"},
        {116, 7, "maximum inflation left"},
        {120, 13, "maximum inflation top"},
        {124, 17, "maximum inflation bottom"},
        {128, 2, "inflation right"},
        {132, 3, "inflation left"},
        {136, 5, "inflation top"},
        {140, 4, "inflation bottom"},
    };
    for (const FloatAt& f : fields) {
        const std::uint32_t bits =
            b[f.offset] | b[f.offset + 1] << 8 | b[f.offset + 2] << 16 | std::uint32_t(b[f.offset + 3]) << 24;
        float value;
        std::memcpy(&value, &bits, 4);
        EXPECT_FLOAT_EQ(value, f.value) << f.field << " at " << f.offset;
    }
}

}  // namespace
