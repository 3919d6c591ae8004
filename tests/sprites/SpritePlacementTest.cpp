#include <climits>

#include "SpriteFixture.h"
#include "logic/Alarm.h"
#include "world/Map.h"

TEST_F(SpriteTest, PositionSettersOverMapsAndPegs) {
    Map shifted;
    shifted.WorldPositionX(100);
    shifted.WorldPositionY(50);
    LevelViewPort().WorldXPos(30);
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.CenterX = 5;
    f.CenterY = 7;
    struct Case {
        Map* map;
        bool peg;
        float worldOffsetX, worldOffsetY, centreX, centreY;
    } cases[] = {
        {nullptr, false, 0, 0, 0, 0},
        {&shifted, false, 100, 50, 0, 0},
        {&shifted, true, 100, 50, 5, 7},
        {nullptr, true, 0, 0, 5, 7},
    };
    for (const Case& c : cases) {
        Sprite s;
        s.ActorIndex(Walker);
        if (c.map) s.BelongToMapPtr(c.map);
        s.PegRegistered(c.peg);
        s.MapPosition(40, 60, false);
        EXPECT_FLOAT_EQ(s.MapPositionX(), 40);
        EXPECT_FLOAT_EQ(s.LeftPosition(), 40 - c.centreX);
        EXPECT_FLOAT_EQ(s.WorldPositionY(), 60 + c.worldOffsetY);
        EXPECT_EQ(s.ViewportX(), static_cast<int>(40 + c.worldOffsetX - 30));
        s.WorldPosition(500, 400, false);
        EXPECT_FLOAT_EQ(s.MapPositionX(), 500 - c.worldOffsetX);
        // A displacement shows only after the next frame's translation, and
        // the speed comes back afterwards.
        s.Speed(2);
        s.MapPositionX(s.MapPositionX() + 10, true);
        EXPECT_FLOAT_EQ(s.MapPositionX(), 500 - c.worldOffsetX);
        s.GetTranslation();
        s.UpdateTranslation();
        s.UpdateSprite();
        s.EndDisplacement();
        EXPECT_FLOAT_EQ(s.MapPositionX(), 510 - c.worldOffsetX);
        EXPECT_FLOAT_EQ(s.Speed(), 2);
    }
}

TEST_F(SpriteTest, ASpriteFarOffTheWorldIsOutOfViewAtTheInt32Limits) {
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.CenterX = 5;
    f.CenterY = 7;
    struct Case {
        float x, y;
        int viewportX, viewportY;  // peg registered
    } cases[] = {
        {1e30f, 1e30f, INT_MAX, INT_MAX},
        {-1e30f, -1e30f, INT_MIN + 5, INT_MIN + 7},
        {1e30f, 10, INT_MAX, 10},
    };
    for (const Case& c : cases) {
        Sprite s;
        s.ActorIndex(Walker);
        s.PegRegistered(true);
        s.MapPosition(c.x, c.y, false);
        EXPECT_FALSE(s.InViewport());
        EXPECT_EQ(s.ViewportX(), c.viewportX);
        EXPECT_EQ(s.ViewportY(), c.viewportY);
        s.DisplaySprite();
    }
}

TEST_F(SpriteTest, HotSpotsOfARegistrationPointFarOffStopAtTheInt32Limits) {
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.HotSpots[0] = QelPoint{10, -10};
    f.CenterX = -1e30f;  // a registration point the actor table got wrong
    f.CenterY = 1e30f;
    Sprite s;
    s.ActorIndex(Walker);
    s.PegRegistered(true);
    EXPECT_FLOAT_EQ(s.HotSpotX(0), static_cast<float>(INT_MAX));
    EXPECT_FLOAT_EQ(s.HotSpotY(0), static_cast<float>(INT_MIN));
    const QelPoint p = s.HotSpot(0);
    EXPECT_EQ(p.x, INT_MAX);
    EXPECT_EQ(p.y, INT_MIN);
}

TEST_F(SpriteTest, ClampedMovesStopAtTheLimitFromBothSides) {
    struct Case {
        float start;
        bool inc;
        float dx, limit, expected;
    } cases[] = {{95, true, 10, 100, 100}, {120, true, 10, 100, 100}, {50, true, 10, 100, 60},
                 {15, false, 10, 10, 10},  {5, false, 10, 10, 10},    {50, false, 10, 10, 40}};
    for (const Case& c : cases) {
        for (bool displacement : {false, true}) {
            Sprite s;
            s.MapPositionX(c.start, false);
            if (c.inc)
                s.MapPositionXInc(c.dx, c.limit, displacement);
            else
                s.MapPositionXDec(c.dx, c.limit, displacement);
            if (displacement) {
                s.GetTranslation();
                s.UpdateSprite();
            }
            // A displaced move starting beyond the limit is cut to land on it too.
            if (!displacement || (c.inc ? c.start <= c.limit : c.start >= c.limit)) {
                EXPECT_FLOAT_EQ(s.LeftPosition(), c.expected) << c.start << (displacement ? " displaced" : "");
            }
        }
    }
}

TEST_F(SpriteTest, PropertyMisuseReportsExactly) {
    Sprite s;
    s.AlarmMaximum(-5);
    EXPECT_EQ(s.AlarmMaximum(), 0);
    s.BelongToMapPtr(nullptr);
    EXPECT_EQ(LastError(), "void Sprite::BelongToMap(Map *) | Cannot set a NULL map.");
    s.Name("walker");
    s.BelongToMap("nowhere");
    EXPECT_EQ(LastError(),
              "void Sprite::BelongToMap(const char *) | The map name \"nowhere\" that the sprite \"walker\" belongs "
              "to, does not exist.");
    s.Visible("nobody", false);
    EXPECT_EQ(LastError(), "void Sprite::Visible(const char *,bool) | Sprite name: nobody not found.");
    EXPECT_FALSE(s.SameHFlip(nullptr));
    EXPECT_EQ(LastError(), "bool Sprite::SameHFlip(Sprite *) | Cannot get the flip direction of a null sprite.");
    s.MainCharacter(true);
    s.Unused(false);
    EXPECT_EQ(pMainCharacter, &s);
    pMainCharacter = nullptr;
}

TEST_F(SpriteTest, MainCharacterTeleportMovesViewOrBox) {
    ViewPort& view = LevelViewPort();
    view.ViewPortScrollingBB(200, 100, 240, 280);
    Sprite* hero = Add("hero");
    hero->MainCharacter(true);
    hero->MapPosition(300, 200, false);
    // Inside the view: the box follows the sprite.
    hero->MainCharWorldPosition(350, 200);
    EXPECT_FLOAT_EQ(view.WorldXPos(), 0);
    EXPECT_FLOAT_EQ(view.BBViewPortXPos(), 250);
    // Far right, beyond the world: clamped to the world, the view moves.
    hero->MainCharWorldPosition(5000, 200);
    EXPECT_FLOAT_EQ(hero->LeftPosition() + 31, 2000);
    EXPECT_FLOAT_EQ(view.WorldXPos(), 1360);
    EXPECT_EQ(hero->ViewportX(), static_cast<int>(hero->LeftPosition() - 1360));
}

TEST_F(SpriteTest, AlarmsComeFromTheMapAndForgetARemovedSprite) {
    Map* standard = new Map();
    standard->Name("ground");
    level.Add(standard);
    Alarm* gate = new Alarm();
    gate->Name("gate");
    standard->Alarms().add(gate);
    Sprite* s = Add("walker");
    s->BelongToMap("ground");
    EXPECT_EQ(s->BelongToMapPtr(), standard);
    EXPECT_FALSE(s->AddAlarm("nowhere"));
    EXPECT_TRUE(s->AddAlarm("gate"));
    s->AlarmMaximum(0);
    EXPECT_TRUE(s->AddAlarm("gate"));  // the maximum limits nothing
    EXPECT_EQ(s->AlarmCount(), 2);
    gate->TriggerSprite(s);
    s->BelongToMap("ground");  // the same map again drops the alarms
    EXPECT_EQ(s->AlarmCount(), 0);
    s->AddAlarm("gate");
    s->RemoveFrom(level.DisplayList(0));
    EXPECT_EQ(gate->TriggerSprite(), nullptr);
}
