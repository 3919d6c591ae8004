#include <cmath>

#include "SpriteFixture.h"
#include "world/Map.h"

namespace {

// One frame of motion as the frame step runs it, with the collision factor
// the collision tests would have left.
void Frame(Sprite& s, float factor = 1.5f) {
    s.UpdateAnimation();
    s.GetTranslation();
    s.ResetCollisionState(true);
    s.CollisionFactor(factor);
    s.UpdateTranslation();
    s.UpdateSprite();
    s.EndDisplacement();
}

}  // namespace

TEST_F(SpriteTest, DirectionFromVectorsAndAngles) {
    struct Case {
        float fromX, fromY, dx, dy;
        unsigned smooth;
        float x, y;
    } cases[] = {
        {0, 0, 3, 4, 0, 0.6f, 0.8f},
        {1, 0, -1, 0, 1, 0, -1},  // opposite: the sum is nudged upward
        {0.6f, 0.8f, 0, 0, 5, 0, 0},
    };
    for (const Case& c : cases) {
        Sprite s;
        s.VectorDirection(c.fromX, c.fromY, 0);
        s.VectorDirection(c.dx, c.dy, c.smooth);
        EXPECT_NEAR(s.DirectionX(), c.x, 1e-6);
        EXPECT_NEAR(s.DirectionY(), c.y, 1e-6);
    }
    Sprite a, b;
    a.VectorDirection(1, 0, 0);
    b.VectorDirection(1, 0, 0);
    a.VectorDirection(0, 1, 25);
    b.VectorDirection(0, 1, 10);
    EXPECT_EQ(a.DirectionX(), b.DirectionX());

    // The last: a direction loaded as NaN answers 0.
    struct Angle {
        float x, y, angle;
    } angles[] = {{0, -1, 90},        {0, 1, 270},           {-1, 0, 180}, {1, 0, 0},
                  {1.0000001f, 0, 0}, {-1.0000001f, 0, 180}, {NAN, 0, 0}};
    for (const Angle& c : angles) {
        Sprite s;
        s.directionX = c.x;
        s.directionY = c.y;
        EXPECT_EQ(s.VectorAngle(), c.angle);
        s.VectorAngle(45, 10);  // no NaN reaches the turn either
        EXPECT_FALSE(std::isnan(s.DirectionX()));
    }
    Sprite s;
    s.VectorAngle(90, 0);
    EXPECT_NEAR(s.DirectionX(), 0, 1e-7);
    EXPECT_EQ(s.DirectionY(), -1);
    for (int a = 0; a < 360; a += 15) {
        s.VectorAngle(static_cast<float>(a), 0);
        EXPECT_EQ(s.VectorAngle(), static_cast<float>(a));
    }
    s.VectorAngle(359.5f, 0);
    EXPECT_EQ(LastError(),
              "void Sprite::VectorAngle(float,float) | The angle value must be in the range of [0...359].");
    s.VectorAngle(10, 181);
    EXPECT_EQ(LastError(),
              "void Sprite::VectorAngle(float,float) | The smooth angle value must be in the range of [0...180].");
    // Turning by at most the smooth angle, the short way round.
    s.VectorAngle(350, 0);
    s.VectorAngle(20, 15);
    EXPECT_EQ(s.VectorAngle(), 5);
}

TEST_F(SpriteTest, GravityArcFromRestAndTheStepCap) {
    Sprite s;
    s.MapPosition(100, 50, false);
    s.Gravity(true, 50);
    for (int t = 1; t <= 30; ++t) {
        s.GravityFactor();
        s.mapX += s.TranslationX();
        s.mapY += s.TranslationY();
        EXPECT_NEAR(s.mapY, 50 + 0.25f * t * t, 1e-3) << "frame " << t;
        EXPECT_FLOAT_EQ(s.mapX, 100);
    }
    Sprite fast;
    fast.Speed(600);
    fast.VectorDirection(1, 0, 0);
    fast.Gravity(true, 10);
    fast.GravityFactor();
    EXPECT_FLOAT_EQ(fast.TranslationX(), 500);
    fast.Gravity(true, 100.5f);
    EXPECT_EQ(LastError(), "void Sprite::Gravity(bool,int) | Gravity must be a percentage range.");
}

TEST_F(SpriteTest, BounceOffASlantedSegment) {
    // A floor rising to the right: its normal is (1, 1) / sqrt 2, so a sprite
    // running right is sent straight up.
    Sprite s;
    s.Speed(4);
    s.VectorDirection(1, 0, 0);
    s.CollisionType(false);
    s.Reflection(true);
    s.LastHitSegment(CollisionSegment(0, 10, 10, 0, 0, 0, 0));
    s.GetTranslation();
    s.CollisionFactor(0.5f);
    s.UpdateTranslation();
    EXPECT_FLOAT_EQ(s.TranslationX(), 2);
    s.UpdateSprite();
    EXPECT_NEAR(s.DirectionX(), 0, 1e-6);
    EXPECT_NEAR(s.DirectionY(), -1, 1e-6);

    // Falling from rest under gravity g: the impact speed is sqrt(2 g h).
    Sprite fall;
    fall.Gravity(true, 50);
    fall.Reflection(true);
    fall.CollisionType(false);
    fall.GravityFriction(1);
    fall.LastHitSegment(CollisionSegment(10, 0, 0, 0, 0, 0, 0));  // normal (0, -1)
    for (int i = 0; i < 6; ++i) {
        fall.GetTranslation();
        fall.UpdateSprite();
    }
    fall.GetTranslation();
    fall.CollisionFactor(1.0f);
    fall.UpdateSprite();  // lands here
    const float impact = fall.Speed();
    EXPECT_NEAR(impact, std::sqrt(2 * 0.5f * fall.TopPosition()), 1e-4);
    fall.GravityFactor();  // the new arc rises with the impact speed less the loss
    EXPECT_NEAR(fall.TranslationY(), -(impact - 1) + 0.25f, 1e-3);

    Sprite flat;
    flat.VectorDirection(1, 0, 0);
    flat.reflect(-1, 0);
    EXPECT_FLOAT_EQ(flat.DirectionX(), -1);
    flat.reflect(0, 1);
    EXPECT_FLOAT_EQ(flat.DirectionX(), -1);

    // Without gravity left (g = 0) the bounce stays finite.
    Sprite still;
    still.Speed(3);
    still.VectorDirection(0, 1, 0);
    still.Gravity(true, 0);
    still.mapY = 7;
    still.CollisionFactor(0.2f);
    still.UpdateSprite();
    EXPECT_TRUE(std::isfinite(still.Speed()));
    EXPECT_FLOAT_EQ(still.Speed(), 3);
}

TEST_F(SpriteTest, BounceWithoutReflectionRestartsTheArcAtRest) {
    Sprite s;
    s.Speed(2);
    s.VectorDirection(0, 1, 0);
    s.Gravity(true, 50);
    for (int i = 0; i < 3; ++i) Frame(s);
    Frame(s, 1.0f);  // a factor of exactly 1 still bounces
    EXPECT_GT(s.Speed(), 2);
    s.GravityFactor();
    // Start speed 0: the next arc starts from rest at the impact point.
    EXPECT_NEAR(s.TranslationY(), 0.25f, 1e-5);
}

TEST_F(SpriteTest, CannedFactorsDriveDirectionAndFlips) {
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.CannedX = 3;
    f.CannedY = 0;
    f.HasHFlip = true;
    Sprite s;
    s.ActorIndex(Walker);
    s.Canned(true);
    s.Speed(2);
    struct Case {
        unsigned code;
        float tx;
        int flip;
    } cases[] = {{1, 6, 0}, {2, -6, 1}, {4, -6, 1}, {3, 6, 0}};
    for (const Case& c : cases) {
        s.CannedDirection(c.code);
        EXPECT_EQ(s.CannedDirection(), c.code);
        s.GetTranslation();
        EXPECT_FLOAT_EQ(s.TranslationX(), c.tx);
        EXPECT_EQ(s.HFlip(), c.flip);
    }
    s.CannedHDirection(false);
    s.GetTranslation();
    EXPECT_EQ(s.DirectionX(), 0);
    EXPECT_EQ(s.TranslationX(), 0);
    s.CannedDirection(5);
    EXPECT_EQ(LastError(), "void Sprite::CannedDirection(int) | Direction 5 not found.");

    // A one-frame displacement on a canned sprite gives only the frame's
    // speed: the canned step still chooses the way (3 x 15 to the right).
    s.CannedHDirection(true);
    s.CannedDirection(1);
    s.MapPosition(10, 10, false);
    s.MapPositionX(25, true);
    Frame(s);
    EXPECT_FLOAT_EQ(s.LeftPosition(), 55);
    EXPECT_FLOAT_EQ(s.Speed(), 2);
}

TEST_F(SpriteTest, AOneFrameDisplacementIsSlowedByFrictionAndOverriddenByGravity) {
    const struct {
        const char* what;
        float friction;
        bool gravity;
        float x, y;
    } cases[] = {
        {"plain", 0, false, 60, 10},
        {"friction 0.5 a frame", 50, false, 59.5f, 10},
        {"gravity from rest", 0, true, 10, 10.25f},  // the arc, not the displacement
    };
    for (const auto& c : cases) {
        Sprite s;
        s.ActorIndex(Walker);
        s.Speed(2);
        s.Friction(c.friction);
        s.MapPosition(10, 10, false);
        if (c.gravity) s.Gravity(true, 50);
        s.MapPositionX(60, true);
        Frame(s);
        EXPECT_FLOAT_EQ(s.LeftPosition(), c.x) << c.what;
        EXPECT_FLOAT_EQ(s.TopPosition(), c.y) << c.what;
        EXPECT_FLOAT_EQ(s.Speed(), 2) << c.what;
        EXPECT_FALSE(s.DisplacementPending()) << c.what;
    }
    // A collision that cuts the move scales the displaced move like any other.
    Sprite s;
    s.ActorIndex(Walker);
    s.MapPosition(10, 10, false);
    s.MapPositionX(50, true);
    Frame(s, 0.25f);
    EXPECT_FLOAT_EQ(s.LeftPosition(), 20);
}

TEST_F(SpriteTest, SpeedChangesAndComparisons) {
    struct Case {
        bool inc;
        float d, bound, expected;
    } cases[] = {{false, 5, -2, 0}, {true, 5, 6, 6}, {true, -5, 6, -2}, {false, 1, 0, 2}};
    for (const Case& c : cases) {
        Sprite s;
        s.Speed(3);
        if (c.inc)
            s.SpeedXInc(c.d, c.bound);
        else
            s.SpeedYDec(c.d, c.bound);
        EXPECT_FLOAT_EQ(s.Speed(), c.expected);
    }
    Sprite s;
    s.SpeedX(4);
    EXPECT_EQ(s.SpeedY(), 4);
    EXPECT_TRUE(s.SpeedGreaterEqual(4) && !s.SpeedGreater(4) && s.SpeedLessEqual(4) && !s.SpeedLess(4));
    s.Speed(-1);
    EXPECT_EQ(LastError(), "void  Sprite::Speed(float) | The speed of a sprite must be positive.");
    EXPECT_EQ(s.Speed(), 4);
    s.Friction(101);
    EXPECT_EQ(LastError(), "void Sprite::Friction(float) | The friction must be a percentage range.");
}

TEST_F(SpriteTest, FollowByNameReportsUnderItsOwnSignature) {
    Sprite* a = Add("a");
    Add("b");
    const struct {
        const char* target;
        unsigned int myHot, targetHot, smooth;
        const char* message;
    } cases[] = {
        {"nobody", 0, 0, 0, "Cannot follow a NULL sprite."},
        {"b", 5, 0, 0, "The hot point 5 of the current sprite, is greater than the maximum of hot points allowed."},
        {"b", 0, 7, 0, "The hot point 7 of the current sprite, is greater than the maximum of hot points allowed."},
        {"b", 0, 0, 11, "The smooth factor mustn\x92t be greater than 10."},
    };
    for (const auto& c : cases) {
        a->Follow(String(c.target), c.myHot, c.targetHot, c.smooth);
        EXPECT_EQ(
            LastError(),
            std::string("void Sprite::Follow(const char *,unsigned int,unsigned int,unsigned int) | ") + c.message);
    }
}

TEST_F(SpriteTest, FollowAndRelativePositions) {
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.HotSpots[1] = {4, 6};
    f.CenterX = 16;
    f.CenterY = 16;
    f.hFCenterX = 2;
    f.hFCenterY = 16;
    f.HasHFlip = true;
    Sprite a, b;
    a.ActorIndex(Walker);
    b.ActorIndex(Walker);
    b.MapPosition(30, 40, false);
    a.Follow(&b, 1, 1, 0);
    EXPECT_FLOAT_EQ(a.DirectionX(), 0.6f);
    EXPECT_FLOAT_EQ(a.DirectionY(), 0.8f);
    EXPECT_FLOAT_EQ(a.Distance(&b), 50);
    EXPECT_TRUE(a.Right(&b) && a.Down(&b) && !a.Left(&b) && !a.Up(&b));
    a.Follow(&b, 0, 0, 11);
    EXPECT_EQ(LastError(),
              "void Sprite::Follow(Sprite *,unsigned int,unsigned int,unsigned int) | The smooth "
              "factor mustn\x92t be greater than 10.");
    a.Follow(nullptr, 0, 0, 0);
    EXPECT_EQ(LastError(),
              "void Sprite::Follow(Sprite *,unsigned int,unsigned int,unsigned int) | Cannot follow a "
              "NULL sprite.");
    EXPECT_EQ(a.Distance(nullptr), 0);
    EXPECT_EQ(LastError(), "float Sprite::Distance(Sprite *) | Cannot get the distance to a null sprite.");
    EXPECT_FALSE(a.Up(nullptr));
    EXPECT_EQ(LastError(), "bool  Sprite::Up(Sprite *) | Cannot get the relative position of a null sprite.");

    // The caller's flips choose both registration points.
    b.MapPosition(0, 0, false);
    a.VectorDirection(-1, 0, 0);
    a.FlipSet();
    ASSERT_EQ(a.HFlip(), 1);
    EXPECT_FLOAT_EQ(a.DifferenceX(&b), 0);
    EXPECT_TRUE(a.Left(&b) && a.Right(&b) && a.Up(&b) && a.Down(&b));
}

TEST_F(SpriteTest, MainCharacterScrollsTheViewAndPushesTheBox) {
    ViewPort& view = LevelViewPort();
    view.ViewPortScrollingBB(200, 100, 240, 280);
    view.MaxInflateBBRight(200);
    Sprite* hero = Add("hero");
    hero->MainCharacter(true);
    hero->MapPosition(300, 200, false);
    hero->Speed(8);
    hero->VectorDirection(1, 0, 0);
    // Inside the box the sprite walks and the view stays.
    for (int i = 0; i < 13; ++i) {
        Frame(*hero);
        view.Commit();
    }
    EXPECT_FLOAT_EQ(view.WorldXPos(), 0);
    EXPECT_FLOAT_EQ(hero->LeftPosition(), 404);
    // At the box's right edge every step scrolls the view by exactly the step.
    for (int i = 0; i < 10; ++i) {
        const float before = view.WorldXPos();
        Frame(*hero);
        view.Commit();
        EXPECT_FLOAT_EQ(view.WorldXPos() - before, 8);
    }
    // At the world's end the box inflates and the sprite stops at the edge.
    for (int i = 0; i < 400; ++i) {
        Frame(*hero);
        view.Commit();
    }
    EXPECT_FLOAT_EQ(view.WorldXPos(), 2000 - 640);
    EXPECT_FLOAT_EQ(hero->LeftPosition() + hero->Width(), 2000);
    EXPECT_GT(view.BBViewPortRightPos(), 440);
    // Walking back shrinks the box to its initial copy.
    hero->VectorDirection(-1, 0, 0);
    for (int i = 0; i < 60; ++i) {
        Frame(*hero);
        view.Commit();
    }
    EXPECT_FLOAT_EQ(view.BBViewPortRightPos(), view.InitialBBClone().right);
}

// In a networked level each peer has its own main character, so every
// network player's sprite is kept in the world as the main character is:
// all peers then move it alike. Elsewhere only the main character is kept in.
TEST_F(SpriteTest, NetworkPlayersStayInTheWorldLikeTheMainCharacter) {
    struct Case {
        const char* what;
        bool networkedLevel;
        bool networkPlayer;
        bool keptIn;
    };
    const Case cases[] = {
        {"a network player in a networked level", true, true, true},
        {"a sprite of no player in a networked level", true, false, false},
        {"a network player's sprite in a level played alone", false, true, false},
    };
    for (const Case& c : cases) {
        level.NetworkLevel = c.networkedLevel;
        Sprite* hero = Add("hero");
        Sprite* mate = Add("mate");
        hero->MainCharacter(true);
        mate->networkPlayer = mate->networkActive = c.networkPlayer;
        for (Sprite* s : {hero, mate}) {
            s->MapPosition(1900, 200, false);
            s->Speed(8);
            s->VectorDirection(1, 0, 0);
        }
        for (int i = 0; i < 40; ++i) {
            Frame(*hero);
            Frame(*mate);
            LevelViewPort().Commit();
        }
        if (c.keptIn)
            EXPECT_FLOAT_EQ(mate->LeftPosition(), hero->LeftPosition()) << c.what;
        else
            EXPECT_GT(mate->LeftPosition(), 2000) << c.what;
        hero->MainCharacter(false);
        level.DisplayList(0).del();
        level.NetworkLevel = false;
    }
}
