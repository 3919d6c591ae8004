// Every playing level can be finished: a model of the player's movement
// (walk, jump, steer in the air, fall, land only on floors that face up,
// stopped by walls that face it) walks the graph of floors the player can
// reach from the start and from the place a fall sends it back to, and must
// touch the goal. The model jumps a little lower and runs a little slower
// than the real player, which a test checks against the game's own movement
// logic; on the built levels the real player lands on its start floor and
// walks into the first wall that faces it.
#include <gtest/gtest.h>

#include <vector>

#include "BuiltLevelFixture.h"
#include "ReachModel.h"
#include "levels/LevelData.h"
#include "logic/GameKeys.h"

using reach::BoxFeet;
using reach::Gravity;
using reach::JumpSpeed;
using reach::ReachModel;
using reach::RunSpeed;
using reach::SpriteOf;
using reach::Top;

namespace {

using nolt::LevelRecord;
using nolt::SegmentRecord;
using nolt::SpriteRecord;
using reach::FacesUp;
using reach::GoalSide;

bool IsPlaying(const LevelRecord& level) { return level.name.rfind("Level_", 0) == 0 && level.name != "Level_40"; }

TEST(LevelReach, EveryPlayingLevelsGoalIsReachedFromTheStartAndAfterAFall) {
    int playing = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (!IsPlaying(level) || level.name == "Level_31") continue;
        ++playing;
        const SpriteRecord& player = SpriteOf(level, "protag");
        ReachModel model(level);
        EXPECT_TRUE(model.GoalFrom(player.startX, player.startY)) << level.name << ": goal out of reach from the start";
        // A fall out of the world puts the player back here.
        EXPECT_TRUE(model.GoalFrom(57, float(level.worldHeight) - 184))
            << level.name << ": goal out of reach after a fall";
    }
    EXPECT_EQ(playing, 33);
}

TEST(LevelReach, TheLongFloorOfLevel31LeadsToItsGoal) {
    // Its floor runs past its bitmap; the whole width is walked to the goal.
    const LevelRecord& level = nolt::LevelRecordOf(34);
    ASSERT_EQ(level.name, "Level_31");
    EXPECT_TRUE(ReachModel(level).GoalFrom(57, 296));
}

TEST(LevelReach, FloorsUnderTheStartAndTheGoalFaceUp) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (!IsPlaying(level)) continue;
        const SpriteRecord& player = SpriteOf(level, "protag");
        const SpriteRecord& goal = SpriteOf(level, "goal");
        ReachModel model(level);
        const auto start = model.LandingFloor(player.startX, player.startY);
        ASSERT_TRUE(start.has_value()) << level.name << ": the player falls through the start";
        EXPECT_TRUE(FacesUp(level.segments[*start])) << level.name;
        // Dropped from the goal's middle, the player lands on the goal's floor.
        const auto under = model.LandingFloor(goal.startX + GoalSide / 2 - 16, goal.startY);
        ASSERT_TRUE(under.has_value()) << level.name << ": nothing under the goal";
        const SegmentRecord& floor = level.segments[*under];
        EXPECT_TRUE(FacesUp(floor)) << level.name;
        EXPECT_LT(Top(floor) - (goal.startY + GoalSide), 32) << level.name << ": the goal floats out of reach";
    }
}

// A goal shut inside a block, one too tall to jump and one low enough to
// jump onto and over: neither a walk up to its wall nor a fall past its
// corner puts the model inside it.
TEST(LevelReach, TheModelNeverGetsInsideABlock) {
    for (const float height : {200.0f, 75.0f}) {
        SCOPED_TRACE(height);
        LevelRecord level;
        level.name = "Shut";
        const float ground = 351, top = ground - height;
        level.segments = {
            {2, 0, 2, ground, 1},       {637, ground, 637, 0, 1}, {640, ground, 0, ground, 0},
            {300, top, 300, ground, 1}, {400, top, 300, top, 0},  {400, ground, 400, top, 1},
        };
        SpriteRecord player, goal;
        player.name = "protag", player.startX = 57, player.startY = ground - 40;
        goal.name = "goal", goal.startX = 315, goal.startY = ground - 73;
        level.sprites = {player, goal};
        ReachModel model(level);
        EXPECT_FALSE(model.GoalFrom(player.startX, player.startY));
        // Beside the block the player stands and walks freely.
        EXPECT_TRUE(model.LandingFloor(57, ground - 40).has_value());
    }
}

}  // namespace

// The model is no better a jumper than the player: the game's movement logic,
// on a flat floor, jumps at least as high and as far and walks as fast.
class LevelReachModelTest : public gametest::LevelTest {};

TEST_F(LevelReachModelTest, TheRealPlayerJumpsHigherAndFartherThanTheModel) {
    MakeMap({{640, 400, 0, 400, 0}, {5, 400, 5, 0, 1}, {635, 0, 635, 400, 1}});
    Sprite* p = AddPlayer(40, 360);
    for (int n = 0; n < 60; ++n) Frame();
    const float restX = p->WorldPositionX(), restY = p->WorldPositionY();

    // The model's flight from a standstill, holding right.
    float modelApex = 0, modelRange = 0;
    {
        float y = 0, vy = -JumpSpeed, x = 0;
        for (int frame = 0; frame < 200; ++frame) {
            vy += Gravity;
            y += vy;
            x += RunSpeed;
            modelApex = std::min(modelApex, y);
            if (y >= 0) break;
            modelRange = x;
        }
    }
    Frame({key::Up, key::Right});
    float apex = 0, range = 0;
    for (int n = 0; n < 200; ++n) {
        Frame({key::Right});
        apex = std::min(apex, p->WorldPositionY() - restY);
        if (p->WorldPositionY() - restY >= 0) break;
        range = p->WorldPositionX() - restX;
    }
    EXPECT_LE(apex, modelApex - 3) << "the model jumps higher than the player";
    EXPECT_GE(range, modelRange + 8) << "the model jumps farther than the player";

    // Walking: at least the model's pace.
    for (int n = 0; n < 30; ++n) Frame();
    const float from = p->WorldPositionX();
    for (int n = 0; n < 20; ++n) Frame({key::Right});
    EXPECT_GE(p->WorldPositionX() - from, 20 * RunSpeed);
}

// The game lands a player coming down over a block's corner on its top,
// however little of it is underfoot, as the model does: from any run-up, a
// jump at a block never ends inside it.
TEST_F(LevelReachModelTest, AJumpAtABlocksCornerNeverEndsInsideIt) {
    constexpr float Ground = 400, Roof = 325, Near = 300, Far = 400;
    MakeMap({{640, Ground, 0, Ground, 0},
             {5, Ground, 5, 0, 1},
             {635, 0, 635, Ground, 1},
             {Near, Roof, Near, Ground, 1},
             {Far, Roof, Near, Roof, 0},
             {Far, Ground, Far, Roof, 1}});
    Sprite* p = AddPlayer(40, 360);
    int onTop = 0;
    for (float from = 100; from <= 262; ++from) {
        p->MapPositionX(from, false);
        p->MapPositionY(Ground - 40, false);
        for (int n = 0; n < 40; ++n) Frame();
        // The run-up's speed carries the player on when the key is let go.
        Frame({key::Up, key::Right});
        for (int n = 0; n < 10; ++n) Frame({key::Right});
        for (int n = 0; n < 80; ++n) Frame();
        const float x = p->WorldPositionX(), y = p->WorldPositionY();
        onTop += y + BoxFeet < Roof;
        EXPECT_FALSE(x + reach::BoxRight > Near + 2 && x + reach::BoxLeft < Far - 2 && y + BoxFeet > Roof + 2)
            << "from x " << from << " the jump ends at (" << x << ", " << y << ")";
    }
    EXPECT_GT(onTop, 0);
}

// The real player on the built levels: it lands on its start floor and stays
// there, and walking right it stops at the first wall that faces it.
class LevelOnFootTest : public gametest::BuiltLevelTest {
protected:
    static constexpr int Platform = 1;  // PlyrOnWhatSM's standing state

    Sprite* Player() {
        std::vector<Sprite*> found = Named(built, "protag");
        return found.empty() ? nullptr : found.front();
    }

    bool Standing(Sprite* p) { return p->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) == Platform; }

    int FramesToStand(Sprite* p) {
        for (int n = 1; n <= 180; ++n) {
            Frame();
            if (Standing(p)) return n;
        }
        return -1;
    }
};

TEST_F(LevelOnFootTest, ThePlayerLandsOnItsStartFloorAndStaysThere) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& record = nolt::LevelRecordOf(k);
        if (!IsPlaying(record)) continue;
        SCOPED_TRACE(record.name);
        ASSERT_NE(Build(k), nullptr);
        Sprite* p = Player();
        ASSERT_NE(p, nullptr);
        ASSERT_GT(FramesToStand(p), 0) << "never stands";
        const float y = p->WorldPositionY();
        for (int n = 0; n < 60; ++n) Frame();
        EXPECT_TRUE(Standing(p));
        EXPECT_NEAR(p->WorldPositionY(), y, 2.0f) << "sinks or is sent back";
        const auto floor =
            ReachModel(record).LandingFloor(SpriteOf(record, "protag").startX, SpriteOf(record, "protag").startY);
        ASSERT_TRUE(floor.has_value());
        EXPECT_NEAR(y + BoxFeet, Top(record.segments[*floor]), 8.0f) << "stands on another floor";
        Leave();
        ClearReports();
    }
}

TEST_F(LevelOnFootTest, WalkingRightThePlayerStopsAtTheFirstWallFacingIt) {
    int walled = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& record = nolt::LevelRecordOf(k);
        // Level_31's floor runs past its bitmap, where the map's grid ends.
        if (!IsPlaying(record) || record.name == "Level_31") continue;
        const SpriteRecord& start = SpriteOf(record, "protag");
        const auto stop = ReachModel(record).WallStop(start.startX, start.startY);
        if (!stop) continue;
        ++walled;
        SCOPED_TRACE(record.name);
        ASSERT_NE(Build(k), nullptr);
        Sprite* p = Player();
        ASSERT_NE(p, nullptr);
        ASSERT_GT(FramesToStand(p), 0);
        const float y = p->WorldPositionY();
        const int frames = int((*stop - p->WorldPositionX()) / RunSpeed) + 60;
        for (int n = 0; n < frames; ++n) Frame({key::Right});
        EXPECT_LE(p->WorldPositionX(), *stop + 4) << "walked through the wall";
        EXPECT_GE(p->WorldPositionX(), *stop - 8) << "stopped short of the wall";
        EXPECT_NEAR(p->WorldPositionY(), y, 2.0f);
        Leave();
        ClearReports();
    }
    EXPECT_GE(walled, 5);
}
