#include <cmath>
#include <string>

#include "CollisionFixture.h"
#include "logic/Alarm.h"
#include "logic/LogicTablesInternal.h"

namespace {

using CollisionMap = CollisionTest;

// A wall at x running down from y1 to y2: its normal (-1, 0) faces a sprite
// coming from the left.
CollisionSegment WallFacingLeft(float x, float y1, float y2, int id = 1, unsigned char type = 0) {
    return CollisionSegment(x, y1, x, y2, id, type, 0);
}
// A floor at y running from x2 back to x1: its normal (0, -1) faces a sprite
// coming from above.
CollisionSegment FloorFacingUp(float x1, float x2, float y, int id = 0, unsigned char type = 0) {
    return CollisionSegment(x2, y, x1, y, id, type, 0);
}

TEST_F(CollisionMap, BoxModeStopsOneSampleBeforeTheFirstTouch) {
    // Box right edge at 131; the wall at 131 + gap. Samples come once per pixel
    // of travel, so the factor is (gap - 1) / speed, 0 at or below speed 1.
    const float speeds[] = {0, 0.5f, 1, 4, 17};
    const int gaps[] = {0, 1, 3, 4, 5, 17, 18};
    for (float speed : speeds)
        for (int gap : gaps) {
            Map& map = NewMap(640, 480);
            const float wallX = 131.0f + float(gap);
            map.AddCollisionData(WallFacingLeft(wallX, 50, 250));
            Sprite* s = Add("mover", BoxActor, &map, 100, 100);
            s->CheckCollisionWithMap(true);
            Aim(s, 1, 0, speed);
            Step(s);
            const bool reaches = float(gap) <= speed;
            const float expected = !reaches ? 1.5f : speed <= 1.0f ? 0.0f : std::max(0.0f, float(gap - 1) / speed);
            const std::string at = "speed " + std::to_string(speed) + " gap " + std::to_string(gap);
            EXPECT_FLOAT_EQ(s->CollisionFactor(), expected) << at;
            EXPECT_EQ(s->CollisionWithMap(), reaches) << at;
            EXPECT_EQ(sprites::CollisionWithMap(*s, 1), reaches) << at;
            EXPECT_LE(s->mapX + 31.0f, wallX) << at;  // never inside the wall
            level.DisplayList(0).del();
            maps.clear();
        }
}

TEST_F(CollisionMap, BoxModeIgnoresSegmentsBehindTheMotionAndAlwaysStopsAtCircles) {
    Map& map = NewMap(640, 480);
    map.AddCollisionData(WallFacingLeft(133, 50, 250));
    map.AddCollisionData(CollisionCircle(400, 116, 10, 5, 0));
    Sprite* s = Add("mover", BoxActor, &map, 100, 100);
    s->CheckCollisionWithMap(true);

    Aim(s, -1, 0, 4);  // moving away from a wall 2 pixels to the right
    Step(s);
    EXPECT_FLOAT_EQ(s->CollisionFactor(), 1.5f);
    EXPECT_FLOAT_EQ(s->mapX, 96.0f);

    s->MapPosition(355, 100, false);  // circle reached at the 4th of 10 samples
    Aim(s, 1, 0, 10);
    Step(s);
    EXPECT_FLOAT_EQ(s->CollisionFactor(), 0.0f);
    EXPECT_TRUE(sprites::CollisionWithMap(*s, 5));
    EXPECT_FLOAT_EQ(s->mapX, 355.0f);
}

// A 640 x 480 bitmap in a 4000 x 2000 world: floors beyond the bitmap but
// inside the world hold a falling sprite, as floors inside the bitmap do;
// floors beyond the world's edge are met by nothing.
TEST_F(CollisionMap, FloorsBeyondASmallBitmapHoldInsideTheWorldOnly) {
    const struct {
        const char* what;
        float x;
        bool holds;
    } rows[] = {
        {"inside the bitmap", 300, true},
        {"beyond the bitmap", 3000, true},
        {"at the world's far end", 3950, true},
        {"beyond the world", 4300, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Map& map = NewMap(640, 480);
        map.AddCollisionData(FloorFacingUp(row.x - 100, row.x + 100, 300));
        Sprite* s = Add("faller", BoxActor, &map, row.x, 200);
        s->CheckCollisionWithMap(true);
        for (int frame = 0; frame < 30; ++frame) {
            Aim(s, 0, 1, 8);
            Step(s);
        }
        EXPECT_EQ(s->CollisionWithMap(), row.holds);
        if (row.holds)
            EXPECT_LE(s->mapY + 32.0f, 300.0f);
        else
            EXPECT_GT(s->mapY, 300.0f);
        level.DisplayList(0).del();
        maps.clear();
    }
}

TEST_F(CollisionMap, RecordOnlyShapesAndGhostSpritesPassThrough) {
    struct Row {
        const char* what;
        unsigned char type;
        bool ghost;
        float factor;
    } rows[] = {
        {"solid floor", 0x02, false, 0.25f},
        {"floor with bit 0", 0x03, false, 1.5f},
        {"ghost sprite", 0x02, true, 1.5f},
    };
    for (const Row& row : rows) {
        Map& map = NewMap(640, 480);
        map.AddCollisionData(FloorFacingUp(50, 250, 133, 0, row.type));
        Sprite* s = Add("faller", BoxActor, &map, 100, 100);
        s->CheckCollisionWithMap(true);
        s->GhostCollisionWithMap(row.ghost);
        Aim(s, 0, 1, 4);
        Step(s);
        EXPECT_FLOAT_EQ(s->CollisionFactor(), row.factor) << row.what;
        EXPECT_TRUE(sprites::CollisionWithMap(*s, 0)) << row.what;
        EXPECT_TRUE(sprites::MapCollisionDataFlagBit(*s, 2)) << row.what;  // every row has bit 1
        EXPECT_FALSE(sprites::MapCollisionDataFlagBit(*s, 3)) << row.what;
        level.DisplayList(0).del();
        maps.clear();
    }
}

TEST_F(CollisionMap, FastSpritesDoNotTunnelThroughThinWalls) {
    for (bool byBox : {true, false}) {
        Map& map = NewMap(640, 480);
        map.AddCollisionData(WallFacingLeft(150, 50, 250));
        Sprite* s = Add("bullet", byBox ? BoxActor : ShapeActor, &map, 100, 100, byBox);
        s->CheckCollisionWithMap(true);
        Aim(s, 1, 0, 60);
        Step(s);
        EXPECT_LT(s->CollisionFactor(), 1.0f) << (byBox ? "box" : "shapes");
        EXPECT_LE(s->mapX + 31.0f, 150.0f) << (byBox ? "box" : "shapes");
        EXPECT_GE(s->mapX + 31.0f, 150.0f - 60.0f / 30.0f - 1.0f) << (byBox ? "box" : "shapes");
        level.DisplayList(0).del();
        maps.clear();
    }
}

// The player's way of landing: the feet (id 1) reach a floor (id 0).
TEST_F(CollisionMap, ShapeModeLandsWalksIntoWallsSlopesAndCircles) {
    struct Row {
        const char* what;
        float dx, dy;
        int ownId, mapId;
        float nx, ny;  // the normal the bounce will use
    } rows[] = {
        {"landing on a floor", 0, 1, FeetId, FloorId, 0, -1},
        {"walking into a wall", 1, 0, SideId, WallId, -1, 0},
        {"falling onto a slope", 0, 1, FeetId, 6, std::sqrt(0.5f), -std::sqrt(0.5f)},
    };
    for (const Row& row : rows) {
        Map& map = NewMap(640, 480);
        map.AddCollisionData(FloorFacingUp(50, 250, 140));
        map.AddCollisionData(WallFacingLeft(140, 50, 250));
        // A slope going down to the right under x 300..400, normal up and right.
        map.AddCollisionData(CollisionSegment(400, 200, 300, 100, 6, 0, 0));
        const float x = row.what[0] == 'f' ? 330.0f : 100.0f;
        const float y = row.what[0] == 'f' ? 95.0f : 100.0f;
        Sprite* s = Add("player", ShapeActor, &map, x, y, false);
        s->CheckCollisionWithMap(true);
        Aim(s, row.dx, row.dy, 12);
        const float before = row.dx != 0 ? s->mapX : s->mapY;
        Step(s);
        const float moved = (row.dx != 0 ? s->mapX : s->mapY) - before;
        EXPECT_LT(s->CollisionFactor(), 1.0f) << row.what;
        EXPECT_NEAR(moved, s->CollisionFactor() * 12.0f, 1e-4f) << row.what;
        EXPECT_TRUE(sprites::Collision(*s, row.ownId)) << row.what;
        EXPECT_TRUE(sprites::CollisionWithMap(*s, row.mapId)) << row.what;
        EXPECT_NEAR(s->LastHitSegment().NormalX(), row.nx, 1e-5f) << row.what;
        EXPECT_NEAR(s->LastHitSegment().NormalY(), row.ny, 1e-5f) << row.what;
        level.DisplayList(0).del();
        maps.clear();
    }
}

TEST_F(CollisionMap, ShapeModeStopsAtTheFloorWithoutPassingIt) {
    for (float speed : {1.0f, 3.0f, 8.0f, 25.0f}) {
        for (float gap : {0.5f, 2.0f, 7.0f}) {
            Map& map = NewMap(640, 480);
            map.AddCollisionData(FloorFacingUp(50, 250, 131.0f + gap));
            Sprite* s = Add("player", ShapeActor, &map, 100, 100, false);
            s->CheckCollisionWithMap(true);
            Aim(s, 0, 1, speed);
            Step(s);
            const std::string at = "speed " + std::to_string(speed) + " gap " + std::to_string(gap);
            if (gap <= speed) {
                EXPECT_LT(s->CollisionFactor(), 1.0f) << at;
            }
            EXPECT_LE(s->mapY + 31.0f, 131.0f + gap) << at;
            level.DisplayList(0).del();
            maps.clear();
        }
    }
}

TEST_F(CollisionMap, ShapeModeAgainstACircleTakesItsTangent) {
    Map& map = NewMap(640, 480);
    map.AddCollisionData(CollisionCircle(116, 150, 10, 8, 0));
    Sprite* s = Add("player", ShapeActor, &map, 100, 100, false);
    s->CheckCollisionWithMap(true);
    Aim(s, 0, 1, 12);
    Step(s);
    EXPECT_LT(s->CollisionFactor(), 1.0f);
    EXPECT_TRUE(sprites::Collision(*s, FeetId));
    EXPECT_TRUE(sprites::CollisionWithMap(*s, 8));
    // The tangent's normal opposes the fall.
    EXPECT_LT(s->LastHitSegment().NormalY(), 0.0f);
    EXPECT_LE(s->mapY + 31.0f, 140.0f + 1e-3f);
}

// A circle falling onto a floor: a record-only floor, or a ghost, keeps the
// move whole but still names the surface struck.
TEST_F(CollisionMap, ShapeModeRecordOnlyHitsStillNameTheSurface) {
    struct Row {
        const char* what;
        unsigned char type;
        bool ghost;
        bool stops;
    } rows[] = {
        {"solid floor", 0, false, true},
        {"floor with bit 0", 1, false, false},
        {"ghost sprite", 0, true, false},
    };
    for (const Row& row : rows) {
        Map& map = NewMap(640, 480);
        map.AddCollisionData(FloorFacingUp(50, 250, 140, FloorId, row.type));
        Sprite* s = Add("ball", CircleActor, &map, 100, 100, false);
        s->CheckCollisionWithMap(true);
        s->GhostCollisionWithMap(row.ghost);
        Aim(s, 0, 1, 12);
        Step(s);
        EXPECT_EQ(s->CollisionFactor() < 1.0f, row.stops) << row.what;
        EXPECT_TRUE(sprites::Collision(*s, BallId)) << row.what;
        EXPECT_TRUE(sprites::CollisionWithMap(*s, FloorId)) << row.what;
        EXPECT_FLOAT_EQ(s->LastHitSegment().NormalX(), 0.0f) << row.what;
        EXPECT_FLOAT_EQ(s->LastHitSegment().NormalY(), -1.0f) << row.what;
        level.DisplayList(0).del();
        maps.clear();
    }
}

TEST_F(CollisionMap, TheCombinedSwitchesAreTheSeparateFlags) {
    const struct Row {
        const char* what;
        void (*set)(Sprite&);
        bool ghostMap, ghostSprite, ghost, sameList;
    } rows[] = {
        {"ghost on", [](Sprite& s) { s.GhostCollision(true); }, true, true, true, false},
        {"ghost off",
         [](Sprite& s) {
             s.GhostCollision(true);
             s.GhostCollision(false);
         },
         false, false, false, false},
        {"map ghost only", [](Sprite& s) { s.GhostCollisionWithMap(true); }, true, false, true, false},
        {"sprite ghost only", [](Sprite& s) { s.GhostCollisionWithSprite(true); }, false, true, true, false},
        {"same type", [](Sprite& s) { s.CheckSameType(true); }, false, false, false, true},
        {"same list", [](Sprite& s) { s.CheckSameDisplayList(true); }, false, false, false, true},
    };
    for (const Row& row : rows) {
        Sprite s;
        row.set(s);
        EXPECT_EQ(s.GhostCollisionWithMap(), row.ghostMap) << row.what;
        EXPECT_EQ(s.GhostCollisionWithSprite(), row.ghostSprite) << row.what;
        EXPECT_EQ(s.GhostCollision(), row.ghost) << row.what;
        EXPECT_EQ(s.CheckSameType(), row.sameList) << row.what;
        EXPECT_EQ(s.CheckSameDisplayList(), row.sameList) << row.what;
    }
    // A ghost passes through a solid floor.
    Map& map = NewMap(640, 480);
    map.AddCollisionData(FloorFacingUp(50, 250, 140, FloorId, 0));
    Sprite* s = Add("ball", CircleActor, &map, 100, 100, false);
    s->CheckCollisionWithMap(true);
    s->GhostCollision(true);
    Aim(s, 0, 1, 12);
    Step(s);
    EXPECT_GT(s->CollisionFactor(), 1.0f);
    EXPECT_TRUE(sprites::CollisionWithMap(*s, FloorId));
}

TEST_F(CollisionMap, HitListsHoldEachShapeOnceAndAtMostFifteen) {
    Map& map = NewMap(640, 480);
    // One segment lying on the cell border x = 128, met from two cells.
    map.AddCollisionData(CollisionSegment(128, 40, 128, 300, 1, 0, 0));
    Sprite* s = Add("mover", BoxActor, &map, 90, 100);
    s->CheckCollisionWithMap(true);
    s->GhostCollisionWithMap(true);
    Aim(s, 1, 0, 10);
    Step(s);
    EXPECT_EQ(s->mapShapesHit.Size(), 1u);

    // Twenty short floors under a wide fall, all recorded only: fifteen listed.
    Map& wide = NewMap(640, 480);
    for (int i = 0; i < 20; ++i) wide.AddCollisionData(FloorFacingUp(100.0f + float(i), 101.0f + float(i), 140, i));
    Sprite* faller = Add("faller", BoxActor, &wide, 100, 100);
    faller->CheckCollisionWithMap(true);
    faller->GhostCollisionWithMap(true);
    Aim(faller, 0, 1, 20);
    Step(faller);
    EXPECT_EQ(faller->mapShapesHit.Size(), 15u);
}

TEST_F(CollisionMap, NoMapNoGridAndTheMapEdgesAreSafe) {
    Sprite* lost = Add("lost", ShapeActor, nullptr, 10, 10, false);
    lost->CheckCollisionWithMap(true);
    Aim(lost, 1, 1, 30);
    Step(lost);
    EXPECT_FLOAT_EQ(lost->CollisionFactor(), 1.5f);

    auto gridless = std::make_unique<Map>();
    Sprite* plain = Add("plain", BoxActor, gridless.get(), 10, 10);
    plain->CheckCollisionWithMap(true);
    Aim(plain, 1, 0, 5);
    Step(plain);
    EXPECT_FLOAT_EQ(plain->CollisionFactor(), 1.5f);
    EXPECT_FALSE(sprites::LookAheadCollisionWithMap(*plain, sprites::RIGHT, 7, -1));

    // Beyond every edge of a map with shapes along its borders.
    Map& map = NewMap(300, 200);
    map.AddCollisionData(WallFacingLeft(299, 0, 199));
    map.AddCollisionData(FloorFacingUp(0, 299, 199));
    const struct {
        float x, y, dx, dy;
    } places[] = {
        {-500, -500, -1, -1}, {1e6f, 1e6f, 1, 1}, {280, 100, 1, 0},
        {100, 185, 0, 1},     {-40, 100, 1, 0},   {290, 190, 1, 1},
    };
    for (bool byBox : {true, false})
        for (const auto& p : places) {
            Sprite* s = Add("edge", byBox ? BoxActor : ShapeActor, &map, p.x, p.y, byBox);
            s->CheckCollisionWithMap(true);
            Aim(s, p.dx, p.dy, 40);
            Step(s);
            for (unsigned code = 0; code < 4; ++code) sprites::LookAheadCollisionWithMap(*s, code, 7, -1);
        }
    // A negative speed (the setter refuses one, a restored record may hold
    // one) samples the move once instead of looping for ever.
    Sprite* backwards = Add("backwards", BoxActor, &map, 250, 100);
    backwards->CheckCollisionWithMap(true);
    Aim(backwards, 1, 0, 0);
    backwards->speed = -60;
    backwards->GetTranslation();
    Step(backwards);
    EXPECT_FLOAT_EQ(backwards->CollisionFactor(), 1.5f);
}

TEST_F(CollisionMap, QueriesReportUnknownIdsAndBits) {
    Map& map = NewMap(640, 480);
    map.AddCollisionData(FloorFacingUp(50, 250, 200, 0));
    Sprite* s = Add("player", ShapeActor, &map, 100, 100, false);
    ClearUserErrors();
    EXPECT_FALSE(sprites::CollisionWithMap(*s, 0));  // known, not touched
    EXPECT_EQ(LastError(), "");
    EXPECT_FALSE(sprites::CollisionWithMap(*s, 42));
    EXPECT_EQ(LastError(), "The collision ID number 42 is not implemented in the map map0.");
    EXPECT_FALSE(sprites::Collision(*s, FeetId));
    EXPECT_EQ(LastError(), "");
    EXPECT_FALSE(sprites::Collision(*s, 42));
    EXPECT_EQ(LastError(), "The collision ID number 42 of the current sprite is not implemented.");
    for (unsigned n : {1u, 9u}) {
        EXPECT_FALSE(sprites::OwnerCollisionDataFlagBit(*s, n));
        EXPECT_EQ(LastError(),
                  "The range allowed to test a bit value from the collision data attribute is between 2 and 8.");
        EXPECT_FALSE(sprites::SpriteCollisionDataFlagBit(*s, n));
        EXPECT_NE(LastError(), "");
    }
    Sprite* lost = Add("lost", ShapeActor, nullptr, 0, 0, false);
    EXPECT_FALSE(sprites::CollisionWithMap(*lost, 0));
    EXPECT_NE(LastError(), "");
}

int alarmRuns = 0;
void CountRun(void*) { ++alarmRuns; }

// A sprite walking through a once-only zone fires it once per entry, judged by
// its frame's box at its map position before it moves.
TEST_F(CollisionMap, SpritesFireTheAlarmsTheyEnter) {
    FArray = NewVoidPointers(1);
    maxFIndex = 0;
    FArray[0] = reinterpret_cast<void*>(&CountRun);
    alarmRuns = 0;
    {
        Map& map = NewMap(640, 480);
        Alarm zone;
        zone.AddCollisionData(CollisionCircle(200, 116, 5, 1, 0));
        zone.GetBehavior().AddFunction(0, true);
        zone.ExecuteOnce(true);
        Sprite* s = Add("walker", BoxActor, &map, 150, 100);
        s->alarms.Add(&zone);
        std::string runs;
        for (int frame = 0; frame < 16; ++frame) {
            Aim(s, frame < 8 ? 1.0f : -1.0f, 0, 10);  // right for 8 frames, then back
            Step(s);
            runs += char('0' + alarmRuns);
        }
        // Touching while the box spans x 195..205: frames 2 to 5 going right, 10 to 13 coming back.
        EXPECT_EQ(runs, "0011111111122222");
        s->alarms.Clear();
    }
    FreeVoidPointers(FArray);
    FArray = nullptr;
    maxFIndex = -1;
}

}  // namespace
