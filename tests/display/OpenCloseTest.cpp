#include <cstdint>
#include <string>
#include <vector>

#include "EffectsFixture.h"
#include "display/OpenClose.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0;

class OpenCloseTest : public EffectsFixture {
protected:
    // Each frame the back buffer is redrawn (black) before the wipe steps.
    void Step(OpenClose& wipe) {
        back->Fill(nullptr, kBlack);
        wipe.Update();
    }
    int Covered() const {
        int n = 0;
        for (int y = 0; y < back->Height(); ++y)
            for (int x = 0; x < back->Width(); ++x) n += Pixel(x, y) == kWhite;
        return n;
    }
    int Area() const { return back->Width() * back->Height(); }
};

TEST_F(OpenCloseTest, LeftRightCloseMovesItsBarsHoldsTheClosedScreenThenStops) {
    UseDisplay(640, 480);
    OpenClose wipe;
    wipe.LeftRightClose(0xFFFFFF, 10, 5);
    EXPECT_FLOAT_EQ(wipe.Step(), 32.0f);
    for (int update = 1; update <= 17; ++update) {
        SCOPED_TRACE(update);
        Step(wipe);
        if (update == 3) {
            EXPECT_EQ(Pixel(95, 200), kWhite);
            EXPECT_EQ(Pixel(96, 200), kBlack);
            EXPECT_EQ(Pixel(640 - 96, 479), kWhite);
            EXPECT_EQ(Pixel(640 - 97, 0), kBlack);
            EXPECT_EQ(Covered(), 2 * 96 * 480);
        }
        if (update >= 10 && update <= 16) {
            EXPECT_EQ(Covered(), Area());
        }
        EXPECT_EQ(wipe.IsRunning(), update < 17);
    }
    EXPECT_EQ(Covered(), 0) << "the stopping update draws nothing";
    EXPECT_EQ(wipe.Kind(), OpenClose::Idle);
}

TEST_F(OpenCloseTest, EachKindCoversWhatItsGeometryGives) {
    // 40 x 30 display, 4 frames: bar steps 5 (x) and 3.75 (y); circle radius 25.
    struct Probe {
        int x, y;
        bool covered;
    };
    struct Case {
        const char* what;
        void (*start)(OpenClose&);
        int updates;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"LeftRightOpen",
         [](OpenClose& w) { w.LeftRightOpen(kWhite, 4); },
         1,
         {{14, 5, true}, {15, 5, false}, {24, 29, false}, {25, 29, true}}},
        {"TopBottomClose",
         [](OpenClose& w) { w.TopBottomClose(kWhite, 4, 0); },
         2,
         {{0, 6, true}, {39, 7, false}, {0, 22, false}, {5, 23, true}}},
        {"TopBottomOpen",
         [](OpenClose& w) { w.TopBottomOpen(kWhite, 4); },
         1,
         {{0, 10, true}, {0, 11, false}, {0, 17, false}, {0, 18, true}}},
        {"RectClose",
         [](OpenClose& w) { w.RectClose(kWhite, 4, 0); },
         2,
         {{9, 7, true}, {10, 7, false}, {29, 21, false}, {30, 21, true}, {29, 22, true}}},
        {"RectOpen",
         [](OpenClose& w) { w.RectOpen(kWhite, 4); },
         1,
         {{14, 15, true}, {15, 11, false}, {24, 17, false}, {25, 17, true}, {20, 18, true}}},
        {"CircleOpen",
         [](OpenClose& w) { w.CircleOpen(kWhite, 4); },
         2,
         {{20, 15, false}, {0, 0, true}, {39, 29, true}, {20, 3, false}}},
        {"CircleClose",
         [](OpenClose& w) { w.CircleClose(kWhite, 4, 0); },
         1,
         {{20, 15, false}, {0, 0, true}, {39, 0, true}, {20, 1, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseDisplay(40, 30);
        OpenClose wipe;
        c.start(wipe);
        for (int i = 0; i < c.updates; ++i) Step(wipe);
        for (const Probe& p : c.probes) EXPECT_EQ(Pixel(p.x, p.y) == kWhite, p.covered) << p.x << "," << p.y;
    }
}

TEST_F(OpenCloseTest, CircleCloseUsesHalfTheScreenDiagonal) {
    UseDisplay(640, 480);
    OpenClose wipe;
    wipe.CircleClose(kWhite, 8, 1);
    EXPECT_FLOAT_EQ(wipe.Radius(), 400.0f);
    EXPECT_FLOAT_EQ(wipe.Step(), 50.0f);
    // Update 1: the circle (centre (320, 240), radius 350) with ox 80, oy 160.
    Step(wipe);
    EXPECT_EQ(Pixel(0, 0), kWhite);
    EXPECT_EQ(Pixel(320, 240), kBlack);
    // Radius 350 about (320, 240): past the sides, short of the corners.
    EXPECT_EQ(Pixel(0, 240), kBlack);
    EXPECT_EQ(Pixel(639, 240), kBlack);
    EXPECT_EQ(Pixel(320, 0), kBlack);
    EXPECT_EQ(Pixel(639, 479), kWhite);
    for (int update = 2; update <= 7; ++update) Step(wipe);
    EXPECT_LT(Covered(), Area());
    Step(wipe);  // counter = frames: the whole screen
    EXPECT_EQ(Covered(), Area());
}

TEST_F(OpenCloseTest, ZeroFramesFillOrSkipAsTheirStepsGive) {
    struct Case {
        const char* what;
        void (*start)(OpenClose&);
        std::vector<int> covered;  // per update, in pixels of 40 x 30; -1 = stopped
    };
    const int all = 40 * 30;
    const Case cases[] = {
        {"RectClose", [](OpenClose& w) { w.RectClose(kWhite, 0, 2); }, {all, all, all, -1}},
        {"CircleClose", [](OpenClose& w) { w.CircleClose(kWhite, 0, 2); }, {all, all, all, -1}},
        {"LeftRightClose", [](OpenClose& w) { w.LeftRightClose(kWhite, 0, 2); }, {0, 0, 0, -1}},
        {"TopBottomClose", [](OpenClose& w) { w.TopBottomClose(kWhite, 0, 2); }, {0, 0, 0, -1}},
        {"LeftRightOpen", [](OpenClose& w) { w.LeftRightOpen(kWhite, 0); }, {all, -1}},
        {"TopBottomOpen", [](OpenClose& w) { w.TopBottomOpen(kWhite, 0); }, {all, -1}},
        {"RectOpen", [](OpenClose& w) { w.RectOpen(kWhite, 0); }, {all, -1}},
        {"CircleOpen", [](OpenClose& w) { w.CircleOpen(kWhite, 0); }, {all, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseDisplay(40, 30);
        OpenClose wipe;
        c.start(wipe);
        for (std::size_t i = 0; i < c.covered.size(); ++i) {
            Step(wipe);
            if (c.covered[i] < 0) {
                EXPECT_FALSE(wipe.IsRunning()) << i + 1;
                EXPECT_EQ(Covered(), 0);
            } else {
                EXPECT_TRUE(wipe.IsRunning()) << i + 1;
                EXPECT_EQ(Covered(), c.covered[i]) << i + 1;
            }
        }
    }
}

TEST_F(OpenCloseTest, StartingWhileAWipeRunsIsRefusedAndTheWipeGoesOn) {
    UseDisplay(40, 30);
    struct Case {
        const char* effect;
        const char* target;
        void (*start)(OpenClose&);
    };
    const Case cases[] = {
        {"LeftRightClose", "void OpenClose::LeftRightClose(COLORREF,int,int)",
         [](OpenClose& w) { w.LeftRightClose(1, 2, 3); }},
        {"LeftRightOpen", "void OpenClose::LeftRightOpen(COLORREF,int)", [](OpenClose& w) { w.LeftRightOpen(1, 2); }},
        {"TopBottomClose", "void OpenClose::TopBottomClose(COLORREF,int,int)",
         [](OpenClose& w) { w.TopBottomClose(1, 2, 3); }},
        {"TopBottomOpen", "void OpenClose::TopBottomOpen(COLORREF,int)", [](OpenClose& w) { w.TopBottomOpen(1, 2); }},
        {"RectClose", "void OpenClose::RectClose(COLORREF,int,int)", [](OpenClose& w) { w.RectClose(1, 2, 3); }},
        {"RectOpen", "void OpenClose::RectOpen(COLORREF,int)", [](OpenClose& w) { w.RectOpen(1, 2); }},
        {"CircleClose", "void OpenClose::CircleClose(COLORREF,int,int)", [](OpenClose& w) { w.CircleClose(1, 2, 3); }},
        {"CircleOpen", "void OpenClose::CircleOpen(COLORREF,int)", [](OpenClose& w) { w.CircleOpen(1, 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        OpenClose wipe;
        wipe.LeftRightClose(kWhite, 4, 0);
        Step(wipe);
        const std::vector<unsigned char> before = SaveBytes(wipe);
        c.start(wipe);
        EXPECT_STREQ(_UE.TargetFunction, c.target);
        EXPECT_EQ(std::string(_UE.ErrorMessage),
                  std::string("The effect ") + c.effect + " can't be set because another OpenClose effect is running.");
        EXPECT_EQ(SaveBytes(wipe, "after.bin"), before);
        Step(wipe);
        EXPECT_EQ(Pixel(9, 0), kWhite) << "the running wipe reached its second step";
    }
}

TEST_F(OpenCloseTest, ASavedWipeResumesAndCorruptRecordsAreRefused) {
    UseDisplay(40, 30);
    OpenClose wipe;
    wipe.RectClose(0x123456, 6, 2);
    Step(wipe);
    Step(wipe);
    const std::vector<unsigned char> bytes = SaveBytes(wipe);
    ASSERT_EQ(bytes.size(), 37u);
    OpenClose loaded;
    ASSERT_TRUE(LoadBytes(loaded, bytes));
    EXPECT_EQ(SaveBytes(loaded, "again.bin"), bytes);
    for (int update = 3; update <= 10; ++update) {
        Step(wipe);
        const std::vector<std::uint32_t> expected = [&] {
            std::vector<std::uint32_t> v;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) v.push_back(Pixel(x, y));
            return v;
        }();
        Step(loaded);
        for (int y = 0, i = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x, ++i) ASSERT_EQ(Pixel(x, y), expected[std::size_t(i)]) << update;
        EXPECT_EQ(loaded.IsRunning(), wipe.IsRunning()) << update;
    }
    EXPECT_FALSE(loaded.IsRunning());

    std::vector<unsigned char> unknownKind = bytes, idleRunning = bytes;
    PutI32(unknownKind, 4, 8);
    PutI32(idleRunning, 4, -1);
    for (const auto& bad : {unknownKind, idleRunning, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 20)}) {
        OpenClose target;
        target.CircleOpen(kWhite, 3);
        const std::vector<unsigned char> before = SaveBytes(target, "before.bin");
        EXPECT_FALSE(LoadBytes(target, bad));
        EXPECT_EQ(SaveBytes(target, "after.bin"), before);
    }
}

}  // namespace
