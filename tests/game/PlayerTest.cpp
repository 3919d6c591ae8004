// The player's movement machine on a small level: falling in, landing,
// walking, jumping (also up through a one-way floor), walking off a ledge, and
// steering in the air with its key priorities and walls.
#include <cmath>
#include <string>

#include "GameFixture.h"
#include "logic/GameKeys.h"
#include "logic/PlayerMovement.h"

using namespace gametest;

namespace {

constexpr int S1FallenOffPlat = 0, S2Platform = 1, S3JumpFromFalling = 2, S4JumpFromPlatform = 3, S5Ini = 4;

// Floors run right to left and walls so that every normal faces the room.
constexpr float Ground = 400, LeftWall = 100, RightWall = 540;

float Vx(Sprite* s) { return s->DirectionX() * s->Speed(); }
float Vy(Sprite* s) { return s->DirectionY() * s->Speed(); }

void SetVelocity(Sprite* s, float vx, float vy) {
    s->VectorDirection(vx, vy, 0);
    s->Speed(std::sqrt(vx * vx + vy * vy));
}

}  // namespace

class PlayerTest : public LevelTest {
protected:
    // The room: a ground floor, two walls and a shelf (a one-way floor) above.
    void MakeRoom() {
        MakeMap({
            {640, Ground, 0, Ground, 0},
            {LeftWall, Ground, LeftWall, 0, 1},
            {RightWall, 0, RightWall, Ground, 1},
            {440, 300, 200, 300, 0},
        });
    }

    PlayerLD* Data(Sprite* s) { return dynamic_cast<PlayerLD*>(s->LocalData()); }

    // Frames until the player stands on the platform state (at most `limit`).
    int FramesToLand(Sprite* s, int limit = 120) {
        for (int n = 1; n <= limit; ++n) {
            Frame();
            if (CurrentState(s, StateMachineNo::PlyrOnWhatSM) == S2Platform) return n;
        }
        return -1;
    }
};

TEST_F(PlayerTest, StartsInIniWithASaveFallsUnderGravityAndLandsOnTheGround) {
    MakeRoom();
    Sprite* p = AddPlayer(150, 200);
    ASSERT_NE(p, nullptr);
    Frame();
    EXPECT_EQ(CurrentState(p, StateMachineNo::PlyrOnWhatSM), S5Ini);
    EXPECT_TRUE(myGame->saveRequested);
    EXPECT_EQ(std::string(myGame->saveFileName), "nolt.sav");
    EXPECT_FLOAT_EQ(Vy(p), 0.5f);
    Frame();
    EXPECT_FLOAT_EQ(Vy(p), 1.0f);
    const int frames = FramesToLand(p);
    ASSERT_GT(frames, 0);
    const float standing = p->WorldPositionY();
    // The feet stop short of the floor, but within the 7 pixels that keep the
    // player on the platform.
    EXPECT_GE(Ground - (standing + 29), 0.0f);
    EXPECT_LE(Ground - (standing + 29), 7.0f);
    for (int n = 0; n < 10; ++n) Frame();
    EXPECT_EQ(CurrentState(p, StateMachineNo::PlyrOnWhatSM), S2Platform);
    EXPECT_NEAR(p->WorldPositionY(), standing, 1.0f);
}

TEST_F(PlayerTest, OnThePlatformKeysPickTheDirectionAndTheRunSpeedWithWallsStoppingIt) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 340);
    struct Case {
        const char* what;
        float x;
        std::initializer_list<unsigned char> keys;
        float dx;
    };
    const Case cases[] = {
        {"no key", 300, {}, 0},
        {"Left", 300, {key::Left}, -1},
        {"Right", 300, {key::Right}, 1},
        {"Left and Right: Right", 300, {key::Left, key::Right}, 1},
        {"Right and A: A", 300, {key::Right, key::A}, -1},
        {"Left and D: D", 300, {key::Left, key::D}, 1},
        {"Left against the left wall", LeftWall, {key::Left}, 0},
        {"Right against the right wall", RightWall - 32, {key::Right}, 0},
        {"D against the right wall", RightWall - 32, {key::D}, 0},
        {"Right away from the left wall", LeftWall, {key::Right}, 1},
    };
    for (const Case& c : cases) {
        p->WorldPosition(c.x, 340, false);
        p->VectorDirection(0, 0, 0);
        Data(p)->jump = 3;
        Hold(c.keys);
        platform(0, p);
        EXPECT_FLOAT_EQ(p->DirectionX(), c.dx) << c.what;
        EXPECT_FLOAT_EQ(p->DirectionY(), 0) << c.what;
        EXPECT_FLOAT_EQ(p->Speed(), PlayerLD::DefaultRun) << c.what;
        EXPECT_FLOAT_EQ(Data(p)->jump, PlayerLD::DefaultJump) << c.what;
    }
    // Sunk into the floor, the player is lifted: straight up without a key.
    p->WorldPosition(300, Ground - 30, false);
    Hold({});
    platform(0, p);
    EXPECT_FLOAT_EQ(p->DirectionX(), 0);
    EXPECT_FLOAT_EQ(p->DirectionY(), -1);
}

TEST_F(PlayerTest, WalksOnTheGroundUntilAWallStopsIt) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 300);
    ASSERT_GT(FramesToLand(p), 0);
    const float startX = p->WorldPositionX();
    for (int n = 0; n < 10; ++n) Frame({key::Right});
    EXPECT_NEAR(p->WorldPositionX() - startX, 10 * 4.25f, 4.25f);
    for (int n = 0; n < 100; ++n) Frame({key::Right});
    EXPECT_EQ(CurrentState(p, StateMachineNo::PlyrOnWhatSM), S2Platform);
    EXPECT_LE(p->WorldPositionX() + 31, RightWall);
    EXPECT_GT(p->WorldPositionX() + 31, RightWall - 8);
}

TEST_F(PlayerTest, AJumpFromThePlatformStartsAtMinusJumpTimesOnePointOFive) {
    MakeRoom();
    Sprite* p = AddPlayer(150, 365);
    struct Case {
        std::initializer_list<unsigned char> keys;
        bool jumps;
    };
    const Case cases[] = {{{}, false}, {{key::Up}, true}, {{key::W}, true}, {{key::Space}, false}};
    for (const Case& c : cases) {
        Hold({});
        SetVelocity(p, 2, 0);
        Hold(c.keys);
        EXPECT_EQ(PlyrOnWhatSM_S2_To_S4_Condition(p), c.jumps);
        EXPECT_FLOAT_EQ(Vx(p), 2.0f);
        EXPECT_FLOAT_EQ(Vy(p), c.jumps ? -12.075f : 0.0f);
    }
    // Held, the key jumps once only.
    Hold({key::Up});
    EXPECT_TRUE(PlyrOnWhatSM_S2_To_S4_Condition(p));
    Hold({key::Up});
    EXPECT_FALSE(PlyrOnWhatSM_S2_To_S4_Condition(p));
    // A stronger player jumps higher.
    Hold({});
    SetVelocity(p, 0, 0);
    Data(p)->jump = 20;
    Hold({key::W});
    EXPECT_TRUE(PlyrOnWhatSM_S5_To_S3_Condition(p));
    EXPECT_FLOAT_EQ(Vy(p), -21.0f);
}

TEST_F(PlayerTest, InTheAirTheLastKeyOfTheOrderWinsAndMomentumCarriesOn) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 100);
    struct Case {
        const char* what;
        std::initializer_list<unsigned char> keys;
        float vx;
    };
    const Case cases[] = {
        {"Left and Right: left", {key::Left, key::Right}, -4.25f},
        {"A and D: left", {key::A, key::D}, -4.25f},
        {"D and Left: right", {key::D, key::Left}, 4.25f},
        {"Right", {key::Right}, 4.25f},
        {"no key keeps the velocity", {}, 1.5f},
    };
    for (const Case& c : cases) {
        p->WorldPosition(300, 100, false);
        SetVelocity(p, 1.5f, -3);
        Hold(c.keys);
        JumpFromPlatform(0, p);
        EXPECT_FLOAT_EQ(Vx(p), c.vx) << c.what;
        EXPECT_FLOAT_EQ(Vy(p), -2.5f) << c.what;
    }
    // Down (and S) dives straight down at the speed it has.
    SetVelocity(p, 3, -4);
    Hold({key::S});
    JumpFromFalling(0, p);
    EXPECT_FLOAT_EQ(p->DirectionX(), 0);
    EXPECT_FLOAT_EQ(p->DirectionY(), 1);
}

TEST_F(PlayerTest, TouchingAWallInTheAirRemovesTheHorizontalVelocity) {
    MakeRoom();
    Sprite* p = AddPlayer(LeftWall, 100);
    SetVelocity(p, -3, 4);
    Hold({key::Left});
    JumpFromFalling(0, p);
    EXPECT_FLOAT_EQ(Vx(p), 0);
    EXPECT_FLOAT_EQ(Vy(p), 5.5f);
}

TEST_F(PlayerTest, OnlyEnteringIniOrFallenOffPlatRequestsASave) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 100);
    struct Case {
        const char* state;
        void (*action)(int, void*);
        int entering;
        bool saves;
    };
    const Case cases[] = {
        {"Ini", Ini, 1, true},
        {"Ini", Ini, 0, false},
        {"FallenOffPlat", FallenOffPlat, 1, true},
        {"FallenOffPlat", FallenOffPlat, 0, false},
        {"JumpFromFalling", JumpFromFalling, 1, false},
        {"JumpFromPlatform", JumpFromPlatform, 1, false},
    };
    for (const Case& c : cases) {
        myGame->saveRequested = false;
        myGame->saveFileName = "";
        c.action(c.entering, p);
        EXPECT_EQ(myGame->saveRequested, c.saves) << c.state << " entering " << c.entering;
        EXPECT_EQ(std::string(myGame->saveFileName), c.saves ? "nolt.sav" : "") << c.state;
    }
}

TEST_F(PlayerTest, WalkingOffALedgeGoesOnAtGravityTimesTheSpeedAlmostLevel) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 100);
    p->VectorDirection(1, 0, 0);
    p->Speed(4.25f);
    EXPECT_TRUE(PlyrOnWhatSM_S2_To_S1b_Condition(p));
    EXPECT_FLOAT_EQ(p->Speed(), 2.125f);
    EXPECT_NEAR(p->DirectionX(), 1.0f, 1e-4f);
    EXPECT_NEAR(p->DirectionY(), 0.01f, 1e-4f);
    // Then each airborne frame adds gravity to the vertical velocity.
    const float vy = Vy(p);
    Hold({});
    FallenOffPlat(0, p);
    EXPECT_FLOAT_EQ(Vy(p), vy + 0.5f);
    EXPECT_NEAR(Vx(p), 2.125f, 1e-3f);

    // With a floor within 7 pixels below nothing changes.
    p->WorldPosition(300, Ground - 32 - 5, false);
    p->VectorDirection(1, 0, 0);
    p->Speed(4.25f);
    EXPECT_FALSE(PlyrOnWhatSM_S2_To_S1b_Condition(p));
    EXPECT_FLOAT_EQ(p->Speed(), 4.25f);
    EXPECT_FLOAT_EQ(p->DirectionY(), 0);
}

TEST_F(PlayerTest, JumpsUpThroughAShelfAndLandsOnIt) {
    MakeRoom();
    Sprite* p = AddPlayer(300, 365);
    ASSERT_GT(FramesToLand(p), 0);
    EXPECT_GT(p->WorldPositionY(), 300);
    myGame->saveRequested = false;
    Frame({key::Up});
    EXPECT_EQ(CurrentState(p, StateMachineNo::PlyrOnWhatSM), S4JumpFromPlatform);
    EXPECT_FALSE(myGame->saveRequested);
    const int frames = FramesToLand(p);
    ASSERT_GT(frames, 0);
    EXPECT_LE(p->WorldPositionY() + 29, 300);
    EXPECT_GE(p->WorldPositionY() + 29, 293);
}

TEST_F(PlayerTest, APlayerWithoutItsLocalDataIsReportedAndNotMoved) {
    MakeRoom();
    Sprite proto;
    proto.Name("stranger");
    proto.BelongToMap("level");
    proto.ActorIndex(PlayerActor);
    ASSERT_TRUE(level->Add(proto));
    Sprite* s = Sprite::Search("stranger");
    s->VectorDirection(1, 0, 0);
    s->Speed(2);
    Hold({key::Up});
    for (auto action : {Ini, FallenOffPlat, JumpFromFalling, JumpFromPlatform, platform}) action(1, s);
    EXPECT_FALSE(PlyrOnWhatSM_S5_To_S3_Condition(s));
    EXPECT_FLOAT_EQ(s->DirectionX(), 1);
    EXPECT_FLOAT_EQ(s->Speed(), 2);
    EXPECT_FALSE(myGame->saveRequested);
    EXPECT_NE(std::string(_UE.ErrorMessage).find("stranger"), std::string::npos) << _UE.ErrorMessage;
}
