#include <random>
#include <vector>

#include "SpriteFixture.h"
#include "sprites/SpriteLinksInternal.h"

namespace {

int soundPlays = 0;
void CountPlay(Sound*) { ++soundPlays; }

std::vector<int> Steps(Sprite& s, int n) {
    std::vector<int> frames;
    for (int i = 0; i < n; ++i) {
        s.UpdateAnimation();
        frames.push_back(s.Frame());
    }
    return frames;
}

}  // namespace

TEST_F(SpriteTest, AnimationSequenceFollowsDelaysAndLoopFrame) {
    struct Case {
        std::vector<unsigned> delays;
        int loopFrame;
        std::vector<int> expected;
    } cases[] = {
        {{2, 0, 1}, 0, {0, 0, 1, 2, 2, 0, 0, 0, 1, 2, 2, 0}},
        {{2, 0, 1}, 5, {0, 0, 1, 2, 2, 2, 2, 2}},   // beyond the end: holds the last frame
        {{2, 0, 1}, -1, {0, 0, 1, 2, 2, 2, 2, 2}},  // negative: holds too
        {{1, 1}, 1, {0, 1, 1, 1, 1}},
        {{0}, 0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SpriteList[Empty].Empty();
        SpriteElem& slot = SpriteList[Empty];
        slot.AnimationCount = 1;
        slot.Animations = new AnimationElem[1];
        slot.Animations[0].FrameCount = static_cast<int>(c.delays.size());
        slot.Animations[0].Frames = new FrameElem[c.delays.size()];
        slot.Animations[0].LoopFrame = c.loopFrame;
        for (std::size_t i = 0; i < c.delays.size(); ++i) slot.Animations[0].Frames[i].Delay = c.delays[i];
        Sprite s;
        s.ActorIndex(Empty);
        EXPECT_EQ(Steps(s, static_cast<int>(c.expected.size())), c.expected) << "loop frame " << c.loopFrame;
    }
}

TEST_F(SpriteTest, EndOfAnimationOnTheLastStepOfTheLastFrame) {
    Sprite s;
    s.ActorIndex(Walker);
    std::vector<bool> ends;
    for (int i = 0; i < 7; ++i) {
        s.UpdateAnimation();
        ends.push_back(s.EndOfAnimation(0));
    }
    EXPECT_EQ(ends, (std::vector<bool>{false, false, false, false, true, false, false}));
    EXPECT_FALSE(s.EndOfAnimation(2));
    EXPECT_EQ(LastError(), "bool Sprite::EndOfAnimation(int) | Animation 2 not found.");
}

TEST_F(SpriteTest, OneFrameAnimationReplaysItsLoopSound) {
    sprites::SetSoundPlayer(CountPlay);
    soundPlays = 0;
    AnimationElem& one = SpriteList[Walker].Animations[1];
    one.SFX = reinterpret_cast<Sound*>(&one);  // any non-null sound; the player only counts
    one.LoopSFX = 1;
    Sprite s;
    s.ActorIndex(Walker);
    s.Animation(1);
    Steps(s, 4);  // the switch plays once, then every step wraps the one frame
    EXPECT_EQ(soundPlays, 1 + 4);
    one.SoundStatus = false;
    Steps(s, 3);
    EXPECT_EQ(soundPlays, 5);
    sprites::SetSoundPlayer(nullptr);
    one.SFX = nullptr;
}

TEST_F(SpriteTest, SwitchingToADelayZeroFrameSkipsIt) {
    Sprite s;
    s.ActorIndex(Walker);
    SpriteList[Walker].Animations[0].Frames[0].Delay = 0;
    s.ActorIndex(Walker);
    s.UpdateAnimation();
    EXPECT_EQ(s.Frame(), 1);
}

TEST_F(SpriteTest, EmptySlotsAndEmptyAnimationsAreRefused) {
    Sprite s;
    s.ActorIndex(Walker);
    struct Case {
        int actor;
        const char* expected;
    } cases[] = {
        {Empty, "void Sprite::ActorIndex(int) | Animation 0 not found."},
        {NoFrames, "void Sprite::ActorIndex(int) | Animation 0 not found."},
        {-1, "void Sprite::ActorIndex(int) | Actor index must be a positive value."},
        {1001, "void Sprite::ActorIndex(int) | Actor index 1001 is greater than the maximum number of actors allowed."},
    };
    for (const Case& c : cases) {
        s.ActorIndex(c.actor);
        EXPECT_EQ(LastError(), c.expected);
        EXPECT_EQ(s.ActorIndex(), Walker);
    }
    s.Animation(5);
    EXPECT_EQ(LastError(), "void Sprite::Animation(int) | Animation 5 not found.");
    s.Frame(3);
    EXPECT_EQ(LastError(), "void Sprite::Frame(int) | Frame 3 not found.");
    EXPECT_EQ(s.HotSpotX(5), 0);
    EXPECT_EQ(LastError(),
              "float Sprite::HotSpotX(int) | The number of a hot point of a sprite must be between 0 and 4.");

    // A sprite whose actor slot went empty under it draws and animates nothing.
    Sprite orphan;
    orphan.ActorIndex(Walker);
    SpriteList[Walker].Empty();
    orphan.UpdateAnimation();
    orphan.DisplaySprite();
    EXPECT_EQ(orphan.DisplayedFrame(), nullptr);
    EXPECT_EQ(orphan.Width(), 0);
}

TEST_F(SpriteTest, ActorChangeStartsOnAnimationZero) {
    Sprite s;
    s.ActorIndex(Walker);
    s.Animation(1);
    s.UpdateAnimation();
    s.ActorIndex(Peg);
    EXPECT_EQ(s.Animation(), 0);
    EXPECT_EQ(s.RequestedAnimation(), 0);
    EXPECT_EQ(s.Frame(), 0);
}

TEST_F(SpriteTest, PegKeepsTheRegistrationPointAcrossFramesAnimationsAndFlips) {
    Sprite s;
    s.ActorIndex(Peg);
    s.PegRegistered(true);
    s.MapPosition(100, 200, false);
    std::mt19937 random(7);
    auto registration = [&s] {
        const FrameElem* f = s.DisplayedFrame();
        const bool h = s.HFlip() != 0, v = s.VFlip() != 0;
        float cx = h ? (v ? f->hvFCenterX : f->hFCenterX) : (v ? f->vFCenterX : f->CenterX);
        float cy = h ? (v ? f->hvFCenterY : f->hFCenterY) : (v ? f->vFCenterY : f->CenterY);
        return std::pair<float, float>(s.LeftPosition() + cx, s.TopPosition() + cy);
    };
    s.UpdateAnimation();
    s.PegRegistered(1);
    const auto start = registration();
    for (int i = 0; i < 80; ++i) {
        switch (random() % 4) {
            case 0: s.Animation(static_cast<int>(random() % 2)); break;
            case 1: s.VectorDirection(random() % 2 ? -1.0f : 1.0f, random() % 2 ? -1.0f : 1.0f, 0); break;
            default: break;
        }
        s.UpdateAnimation();
        s.GetTranslation();
        s.PegRegistered(1);
        s.UpdateTranslation();
        s.UpdateSprite();
        s.HandleLastFlipPR();
        const auto now = registration();
        ASSERT_FLOAT_EQ(now.first, start.first) << "step " << i;
        ASSERT_FLOAT_EQ(now.second, start.second) << "step " << i;
    }
}

TEST_F(SpriteTest, FlipsFollowDirectionWhereTheFrameHasTheVariant) {
    struct Case {
        bool hasH;
        bool autoFlip;
        bool requestedH;
        float dx;
        int expectedH;
    } cases[] = {
        {true, true, false, -1, 1}, {true, true, false, 1, 0},   {false, true, false, -1, 0},
        {false, false, true, 0, 1}, {true, false, false, -1, 0},
    };
    for (const Case& c : cases) {
        SpriteList[Walker].Animations[0].Frames[0].HasHFlip = c.hasH;
        Sprite s;
        s.ActorIndex(Walker);
        s.AutoFlip(c.autoFlip);
        s.HFlip(c.requestedH);
        s.VectorDirection(c.dx, 0, 0);
        s.FlipSet();
        EXPECT_EQ(s.HFlip(), c.expectedH);
        if (c.dx < 0 && c.autoFlip) {
            s.VectorDirection(0, 0, 0);  // stopping keeps the mirror
            s.FlipSet();
            EXPECT_EQ(s.HFlip(), c.expectedH);
        }
    }
}
