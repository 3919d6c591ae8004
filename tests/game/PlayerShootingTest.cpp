// The player's facing and firing machine: a fresh press of a fire key fans two
// projectiles from the muzzle toward the facing side, plays a shot and changes
// the player's colour; holding the key fires once.
#include <algorithm>
#include <cmath>
#include <vector>

#include "GameFixture.h"
#include "logic/GameKeys.h"
#include "logic/PlayerShooting.h"

using namespace gametest;

class PlayerShootingTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        MakeMap({{640, 400, 0, 400, 0}});
        AddTemplate("masterProjectile", ProjectileActor, {TimerNo::projectileDelete});
        Sprite proto;
        proto.Name("protag");
        proto.BelongToMap("level");
        proto.ActorIndex(PlayerActor);
        proto.AddLocalVariable(LocalDataNo::PlayerLD);
        proto.behavior.AddStateMachine(StateMachineNo::SpriteCopySM, true);
        proto.WorldPosition(200, 150, false);
        ASSERT_TRUE(level->Add(proto));
        player = Sprite::Search("protag");
    }

    std::vector<float> ProjectileAngles() {
        std::vector<float> angles;
        for (Sprite* s : SpritesNamed("proj")) angles.push_back(std::round(s->VectorAngle()));
        std::sort(angles.begin(), angles.end());
        return angles;
    }

    // Frames with these keys (0: none); answers the frames (from 1) on which
    // new projectiles appeared.
    std::vector<int> ShotFrames(const std::vector<unsigned char>& keys) {
        std::vector<int> shots;
        int before = 0;
        for (std::size_t n = 0; n < keys.size(); ++n) {
            if (keys[n])
                Frame({keys[n]});
            else
                Frame();
            const int now = CountSprites("proj");
            if (now > before) shots.push_back(int(n) + 1);
            before = now;
        }
        return shots;
    }

    Sprite* player = nullptr;
};

TEST_F(PlayerShootingTest, OnePressFiresTwoProjectilesFannedTowardTheFacingSide) {
    struct Case {
        bool facingRight;
        unsigned char fireKey;
        std::vector<float> angles;
    };
    const Case cases[] = {
        {true, key::Space, {20, 340}},
        {true, key::C, {20, 340}},
        {false, key::Q, {160, 200}},
        {false, key::Space, {160, 200}},
    };
    for (const Case& c : cases) {
        for (Sprite* s : SpritesNamed("proj")) s->DeleteFlag(true);
        Frame();
        Frame();
        ASSERT_EQ(CountSprites("proj"), 0);
        facingRight = c.facingRight;
        Frame();  // through neutral to the facing state
        Frame();
        Frame({c.fireKey});
        Frame();
        EXPECT_EQ(CountSprites("proj"), 2) << "facing right " << c.facingRight;
        EXPECT_EQ(ProjectileAngles(), c.angles) << "facing right " << c.facingRight;
        for (Sprite* s : SpritesNamed("proj")) {
            EXPECT_FALSE(s->Unused());
            EXPECT_FLOAT_EQ(s->Speed(), 7);
        }
    }
}

TEST_F(PlayerShootingTest, ProjectilesStartAtTheMuzzleAndRemoveThemselves) {
    Frame();
    const float muzzleX = std::trunc(player->WorldPositionX() + player->HotSpotX(0));
    const float muzzleY = std::trunc(player->WorldPositionY() + player->HotSpotY(0));
    SpriteCopySM_S5_Action(1, player);
    const std::vector<Sprite*> shots = SpritesNamed("proj");
    ASSERT_EQ(shots.size(), 2u);
    for (Sprite* s : shots) {
        EXPECT_FLOAT_EQ(s->WorldPositionX(), muzzleX);
        EXPECT_FLOAT_EQ(s->WorldPositionY(), muzzleY);
    }
    // Not on the frames after entering.
    SpriteCopySM_S5_Action(0, player);
    EXPECT_EQ(CountSprites("proj"), 2);
    // The projectile timer deletes each copy after 22 frames at 60 per second.
    for (int n = 0; n < 23; ++n) Frame();
    EXPECT_EQ(CountSprites("proj"), 0);
}

// A player loaded from a save may stand beyond the int range: the shots start
// at the nearest int position, and at 0 for a NaN position.
TEST_F(PlayerShootingTest, AMuzzleBeyondTheIntRangeFiresFromTheNearestIntPosition) {
    const struct {
        float x;
        float shotX;
    } cases[] = {{3e9f, 2147483647.0f}, {-3e9f, -2147483648.0f}, {NAN, 0}};
    for (const auto& c : cases) {
        for (Sprite* s : SpritesNamed("proj")) s->DeleteFlag(true);
        Frame();
        player->WorldPosition(c.x, 150, false);
        SpriteCopySM_S5_Action(1, player);
        const std::vector<Sprite*> shots = SpritesNamed("proj");
        ASSERT_EQ(shots.size(), 2u) << c.x;
        for (Sprite* s : shots) EXPECT_FLOAT_EQ(s->WorldPositionX(), c.shotX) << c.x;
    }
}

TEST_F(PlayerShootingTest, HoldingFiresOnceAndRefiringTakesThreeFramesRightTwoLeft) {
    struct Case {
        bool facingRight;
        std::vector<unsigned char> keys;  // per frame, 0 for none
        std::vector<int> shots;
    };
    const unsigned char F = key::Space;
    const Case cases[] = {
        {true, {0, F, F, F, F, F}, {2}}, {true, {0, F, 0, 0, F}, {2, 5}}, {true, {0, F, 0, F, 0}, {2}},
        {false, {0, F, 0, F}, {2, 4}},   {false, {0, F, F, F}, {2}},
    };
    for (const Case& c : cases) {
        for (Sprite* s : SpritesNamed("proj")) s->DeleteFlag(true);
        facingRight = c.facingRight;
        Frame();
        Frame();
        EXPECT_EQ(ShotFrames(c.keys), c.shots) << "facing right " << c.facingRight;
    }
}

TEST_F(PlayerShootingTest, AShotChangesTheColourAlsoWhenMuted) {
    soundMuted = true;
    for (int shot = 0; shot < 6; ++shot) {
        const int before = playerColour;
        for (Sprite* s : SpritesNamed("proj")) s->DeleteFlag(true);
        Frame();
        Frame();
        Frame({key::Space});
        Frame();
        EXPECT_EQ(CountSprites("proj"), 2) << "shot " << shot;
        EXPECT_NE(playerColour, before) << "shot " << shot;
        EXPECT_GE(playerColour, 0);
        EXPECT_LE(playerColour, 4);
        EXPECT_EQ(player->RequestedAnimation(), playerColour);
    }
}

TEST(PlayerColourTest, ADrawOfTheCurrentColourGivesZeroOrOne) {
    struct Case {
        int current, draw, next;
    };
    const Case cases[] = {{0, 0, 1}, {3, 3, 0}, {1, 1, 0}, {4, 4, 0}, {2, 4, 4}, {0, 3, 3}, {4, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(NextPlayerColour(c.current, c.draw), c.next) << c.current << " " << c.draw;
}
