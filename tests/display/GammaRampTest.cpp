#include <cstdint>
#include <vector>

#include "EffectsFixture.h"
#include "display/GammaRamp.h"

namespace {

class GammaRampTest : public EffectsFixture {
protected:
    void SetUp() override {
        EffectsFixture::SetUp();
        UseGammaControl();
    }
    // Entry i of the display's current ramp, all three channels checked equal.
    std::uint16_t Shown(int i) {
        const qel::GammaRamp& r = display->CurrentGammaRamp();
        EXPECT_EQ(r.red[i], r.green[i]);
        EXPECT_EQ(r.red[i], r.blue[i]);
        return r.red[i];
    }
    bool ShowsIdentity() {
        const qel::GammaRamp& r = display->CurrentGammaRamp();
        const qel::GammaRamp id = qel::GammaRamp::Identity();
        return r.red == id.red && r.green == id.green && r.blue == id.blue;
    }
};

TEST_F(GammaRampTest, FadeInBrightensOnceAFrameAndStopsAtTheNormalRamp) {
    // Entry 255 of the ramp set at each update; -1 marks the update that stops.
    struct Case {
        int frames;
        std::vector<int> entry255;
    };
    const Case cases[] = {
        {4, {16256, 32512, 48768, 65025, -1}},  // step 63.75: 255 * 63.75 * n
        {1, {65025, -1}},
        {0, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        GammaRamp effect;
        effect.FadeIn(c.frames);
        EXPECT_TRUE(effect.IsRunning());
        // The start sets the first step's ramp; zero frames start all black.
        EXPECT_EQ(Shown(255), c.frames == 0 ? 0 : c.entry255[0]);
        EXPECT_EQ(Shown(128), c.frames == 0 ? 0 : std::uint16_t(128 * (255.0 / c.frames)));
        for (int expected : c.entry255) {
            effect.Update();
            if (expected < 0) {
                EXPECT_FALSE(effect.IsRunning());
                EXPECT_TRUE(ShowsIdentity());
            } else {
                EXPECT_TRUE(effect.IsRunning());
                EXPECT_EQ(Shown(255), expected);
            }
        }
    }
}

TEST_F(GammaRampTest, FadeOutDarkensHoldsTheDelayAndRestoresOnlyWhenAsked) {
    struct Case {
        int frames, delay;
        bool restore;
        std::vector<int> entry255;  // after each update; -1 = stopped
        bool identityAtEnd;
    };
    const Case cases[] = {
        // step 63.75: darkens at updates 1 to 3, holds at 4 to 7, stops at 8.
        {4, 2, true, {48768, 32512, 16256, 16256, 16256, 16256, 16256, -1}, true},
        {4, 2, false, {48768, 32512, 16256, 16256, 16256, 16256, 16256, -1}, false},
        // Zero frames never darkens: identity until it stops at update delay + 2.
        {0, 3, false, {65025, 65025, 65025, 65025, -1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frames << " " << c.delay << " " << c.restore);
        GammaRamp effect;
        effect.FadeOut(c.frames, c.delay, c.restore);
        EXPECT_TRUE(ShowsIdentity()) << "a fade out starts from the normal ramp";
        for (int expected : c.entry255) {
            effect.Update();
            if (expected < 0) {
                EXPECT_FALSE(effect.IsRunning());
            } else {
                EXPECT_TRUE(effect.IsRunning());
                EXPECT_EQ(Shown(255), expected);
            }
        }
        EXPECT_EQ(ShowsIdentity(), c.identityAtEnd);
        if (!c.identityAtEnd) {
            EXPECT_EQ(Shown(255), 16256) << "left dark: the last ramp set stays";
        }
    }
}

TEST_F(GammaRampTest, FilterKeepsItsTintUntilTheUpdateAfterItsFrames) {
    GammaRamp effect;
    effect.Filter(0x0000FF, 10);
    const qel::GammaRamp& r = display->CurrentGammaRamp();
    for (int update = 1; update <= 11; ++update) {
        EXPECT_EQ(r.red[200], 200 * 255) << update;
        EXPECT_EQ(r.green[200], 0) << update;
        EXPECT_EQ(r.blue[255], 0) << update;
        effect.Update();
        EXPECT_TRUE(effect.IsRunning()) << update;
    }
    effect.Update();  // update 12
    EXPECT_FALSE(effect.IsRunning());
    EXPECT_TRUE(ShowsIdentity());

    GammaRamp mixed;
    mixed.Filter(0x204080, 1);
    EXPECT_EQ(r.red[10], 0x80 * 10);
    EXPECT_EQ(r.green[10], 0x40 * 10);
    EXPECT_EQ(r.blue[10], 0x20 * 10);
}

TEST_F(GammaRampTest, NegativeFramesNeverWrapTheRamp) {
    GammaRamp effect;
    effect.FadeIn(-5);
    EXPECT_EQ(Shown(255), 0);
    effect.Update();
    EXPECT_FALSE(effect.IsRunning());
    GammaRamp out;
    out.FadeOut(-3, 0, true);
    out.Update();
    EXPECT_TRUE(ShowsIdentity());
}

TEST_F(GammaRampTest, StartersAreRefusedWindowedOrWhileRunning) {
    struct Case {
        const char* effect;
        const char* target;
        void (*start)(GammaRamp&);
    };
    const Case cases[] = {
        {"Filter", "void GammaRamp::Filter(COLORREF,int)", [](GammaRamp& g) { g.Filter(0x00FF00, 5); }},
        {"FadeIn", "void GammaRamp::FadeIn(int)", [](GammaRamp& g) { g.FadeIn(5); }},
        {"FadeOut", "void GammaRamp::FadeOut(int,int,bool)", [](GammaRamp& g) { g.FadeOut(5, 1, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        // Running: the running fade goes on untouched.
        GammaRamp effect;
        effect.FadeIn(8);
        effect.Update();
        const std::uint16_t before = Shown(255);
        c.start(effect);
        EXPECT_STREQ(_UE.TargetFunction, c.target);
        EXPECT_EQ(std::string(_UE.ErrorMessage),
                  std::string("The effect ") + c.effect + " can't be set because another GammaRamp effect is running.");
        EXPECT_EQ(effect.Kind(), GammaRamp::FadeInKind);
        EXPECT_EQ(effect.Counter(), 1);
        EXPECT_EQ(Shown(255), before);

        // Windowed: the gamma-control test comes first, even while running.
        pGammaControl = nullptr;
        c.start(effect);
        EXPECT_EQ(std::string(_UE.ErrorMessage),
                  std::string("The effect ") + c.effect + " can't be set because full screen mode is required.");
        GammaRamp idle;
        c.start(idle);
        EXPECT_FALSE(idle.IsRunning());
        EXPECT_EQ(idle.Kind(), GammaRamp::Idle);
        pGammaControl = display.get();
    }
}

TEST_F(GammaRampTest, LosingFullScreenEndsTheFadeWithoutTouchingTheDisplay) {
    GammaRamp effect;
    effect.FadeOut(4, 0, true);
    effect.Update();
    const std::uint16_t dark = Shown(255);
    pGammaControl = nullptr;
    effect.Update();
    EXPECT_FALSE(effect.IsRunning());
    EXPECT_EQ(effect.Kind(), GammaRamp::Idle);
    EXPECT_EQ(Shown(255), dark);
}

TEST_F(GammaRampTest, ASavedFadeResumesFromItsCounter) {
    GammaRamp effect;
    effect.FadeIn(5);
    effect.Update();
    effect.Update();
    const std::vector<unsigned char> bytes = SaveBytes(effect);
    ASSERT_EQ(bytes.size(), 4u * 4 + 1 + 1536 + 4 + 1);
    EXPECT_EQ(bytes[0], 1) << "kind first";
    EXPECT_EQ(bytes[4], 2) << "then the counter";

    GammaRamp loaded;
    ASSERT_TRUE(LoadBytes(loaded, bytes));
    EXPECT_EQ(SaveBytes(loaded, "again.bin"), bytes);
    EXPECT_TRUE(loaded.IsRunning());
    for (int update = 3; update <= 5; ++update) {
        effect.Update();
        const std::uint16_t fromOriginal = Shown(255);
        loaded.Update();
        EXPECT_EQ(Shown(255), fromOriginal) << update;
    }
    loaded.Update();
    EXPECT_FALSE(loaded.IsRunning());
}

TEST_F(GammaRampTest, CorruptRecordsAreRefusedAndChangeNothing) {
    GammaRamp source;
    source.FadeOut(6, 2, false);
    const std::vector<unsigned char> good = SaveBytes(source);
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    std::vector<unsigned char> unknownKind = good, idleRunning = good, stoppedWithKind = good;
    PutI32(unknownKind, 0, 7);
    PutI32(idleRunning, 0, -1);
    stoppedWithKind[16] = 0;
    const Case cases[] = {
        {"unknown kind", unknownKind},
        {"running without a kind", idleRunning},
        {"a kind but not running", stoppedWithKind},
        {"truncated", std::vector<unsigned char>(good.begin(), good.begin() + 100)},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GammaRamp target;
        target.FadeIn(3);
        target.Update();
        const std::vector<unsigned char> before = SaveBytes(target, "before.bin");
        EXPECT_FALSE(LoadBytes(target, c.bytes));
        EXPECT_EQ(SaveBytes(target, "after.bin"), before);
        for (int i = 0; i < 5; ++i) target.Update();
        EXPECT_FALSE(target.IsRunning());
    }
}

}  // namespace
