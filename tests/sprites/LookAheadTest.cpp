#include <cstring>
#include <string>

#include "CollisionFixture.h"

namespace {

using sprites::DOWN;
using sprites::LEFT;
using sprites::RIGHT;
using sprites::UP;

// A sprite in a room: its box spans 100..131 both ways. Walls (id 1) 2 pixels
// to the right and 8 to the left, a floor (id 0) 8 below and a ceiling (id 0)
// 15 above, every normal facing into the room.
class LookAhead : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        room = &NewMap(640, 480);
        room->AddCollisionData(CollisionSegment(133, 60, 133, 180, WallId, 0, 0));   // right wall, normal left
        room->AddCollisionData(CollisionSegment(92, 180, 92, 60, WallId, 0, 0));     // left wall, normal right
        room->AddCollisionData(CollisionSegment(180, 139, 60, 139, FloorId, 0, 0));  // floor, normal up
        room->AddCollisionData(CollisionSegment(60, 85, 180, 85, FloorId, 0, 0));    // ceiling, normal down
    }

    Map* room = nullptr;
};

TEST_F(LookAhead, MapProbesByDirectionDistanceAndId) {
    // Gaps: right 2, left 8, down 8, up 15. A probe reaches distance + 3.
    struct Row {
        unsigned code;
        unsigned dist;
        int id;
        bool hit;
    } rows[] = {
        {RIGHT, 0, -1, true},     {RIGHT, 1, WallId, true}, {RIGHT, 7, FloorId, false}, {LEFT, 0, -1, false},
        {LEFT, 1, WallId, false}, {LEFT, 7, WallId, true},  {LEFT, 7, FloorId, false},  {DOWN, 1, FloorId, false},
        {DOWN, 7, FloorId, true}, {DOWN, 7, -1, true},      {DOWN, 7, WallId, false},   {UP, 1, FloorId, false},
        {UP, 7, -1, false},       {UP, 0, -1, false},
    };
    for (bool byBox : {true, false}) {
        Sprite* s = Add("player", ShapeActor, room, 100, 100, byBox);
        for (const Row& row : rows)
            EXPECT_EQ(sprites::LookAheadCollisionWithMap(*s, row.code, row.dist, row.id), row.hit)
                << (byBox ? "box" : "shapes") << " code " << row.code << " dist " << row.dist << " id " << row.id;
        // Nearer the ceiling, the player's own ceiling probe (up 1, floors) finds it.
        s->MapPosition(100, 88, false);
        EXPECT_TRUE(sprites::LookAheadCollisionWithMap(*s, UP, 1, FloorId)) << (byBox ? "box" : "shapes");
        level.DisplayList(0).del();
    }
}

TEST_F(LookAhead, OneWayFloorsAreNotSeenFromBehind) {
    // A floor whose normal points down, the way the probe goes: invisible from above.
    Map& map = NewMap(640, 480);
    map.AddCollisionData(CollisionSegment(60, 134, 180, 134, FloorId, 0, 0));
    for (bool byBox : {true, false}) {
        Sprite* s = Add("player", ShapeActor, &map, 100, 100, byBox);
        EXPECT_FALSE(sprites::LookAheadCollisionWithMap(*s, DOWN, 1, FloorId)) << byBox;
        EXPECT_TRUE(sprites::TempCheckCollisionWithMap(*s, 0, -1, 0, 3, FloorId)) << byBox;  // facing the other way
        level.DisplayList(0).del();
    }
}

TEST_F(LookAhead, ProbesChangeNeitherThePositionNorAnyShape) {
    Sprite* s = Add("player", ShapeActor, room, 123.456f, 100.789f, false);
    s->MapPosition(123.456f, 100.789f, false);
    const float x = s->MapPositionX(), y = s->MapPositionY();
    const float rawX = s->mapX, rawY = s->mapY;
    // Mark the scratch values of a frame shape and of every map cell's shapes.
    auto* feet = static_cast<CollisionSegment*>(Frame(ShapeActor).Collisions.Head());
    feet->HitTime(0.125f);
    feet->EndInside(true);
    for (int i = 0; i < room->GridColumns(); ++i)
        for (int j = 0; j < room->GridRows(); ++j)
            for (node* n = room->Cell(i, j)->Head(); !n->EOList(); n = n->Next()) {
                auto* seg = static_cast<CollisionSegment*>(n);
                seg->HitTime(0.375f);
                seg->ContactX(7);
                seg->EndInside(false);
            }
    for (int call = 0; call < 10000; ++call) {
        const unsigned code = unsigned(call % 4);
        sprites::LookAheadCollisionWithMap(*s, code, unsigned(call % 9), call % 3 - 1);
        sprites::LookAheadCollisionWithSprite(*s, code, 2, nullptr);
        sprites::LookAheadCollision(*s, code, 1, 2);
    }
    EXPECT_EQ(std::memcmp(&x, &rawX, sizeof x), 0);
    EXPECT_EQ(std::memcmp(&y, &rawY, sizeof y), 0);
    const float afterX = s->MapPositionX(), afterY = s->MapPositionY();
    EXPECT_EQ(std::memcmp(&afterX, &x, sizeof x), 0);
    EXPECT_EQ(std::memcmp(&afterY, &y, sizeof y), 0);
    EXPECT_EQ(feet->HitTime(), 0.125f);
    EXPECT_TRUE(feet->EndInside());
    for (int i = 0; i < room->GridColumns(); ++i)
        for (int j = 0; j < room->GridRows(); ++j)
            for (node* n = room->Cell(i, j)->Head(); !n->EOList(); n = n->Next()) {
                auto* seg = static_cast<CollisionSegment*>(n);
                EXPECT_EQ(seg->HitTime(), 0.375f);
                EXPECT_EQ(seg->ContactX(), 7.0f);
                EXPECT_FALSE(seg->EndInside());
            }
}

TEST_F(LookAhead, BadDirectionIsReportedAndMovesNothing) {
    Sprite* s = Add("player", BoxActor, room, 100.25f, 100.5f);
    ClearUserErrors();
    EXPECT_FALSE(sprites::LookAheadCollisionWithMap(*s, 4, 10, -1));
    EXPECT_EQ(LastError(), "Ray direction must be one of four directions: RIGHT, LEFT, DOWN, UP.");
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, 7, 10, nullptr), nullptr);
    EXPECT_EQ(LastError(), "Ray direction must be one of four directions: RIGHT, LEFT, DOWN, UP.");
    EXPECT_EQ(s->mapX, 100.25f);
    EXPECT_EQ(s->mapY, 100.5f);
}

TEST_F(LookAhead, SpriteProbesFindByNameInListOrderOnAnyMap) {
    Sprite* s = Add("player", BoxActor, room, 100, 100);
    Sprite* later = Add("platform", BoxActor, room, 100, 134);  // 2 below
    level.DisplayList(0).remove(later);
    level.DisplayList(6).add(later);
    Sprite* first = Add("crate", BoxActor, room, 100, 133);  // 1 below, list 0
    Map& elsewhere = NewMap(640, 480, 64, 2000, 0);
    Sprite* remote = Add("remote", BoxActor, &elsewhere, 133, 100);  // 2 to the right, by map position
    Sprite* parked = Add("parked", BoxActor, room, 100, 65);
    parked->Unused(true);
    Sprite* cursor = Add("cursor", BoxActor, room, 60, 100);
    cursor->ZOrder(Sprite::CursorZOrder);

    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, DOWN, 1, nullptr), first);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, DOWN, 1, "platform"), later);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, DOWN, 1, "nobody"), nullptr);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, RIGHT, 0, nullptr), remote);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, UP, 7, nullptr), nullptr);    // only the parked one
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, LEFT, 7, nullptr), nullptr);  // only the cursor
    // A ghost is found like any other.
    first->GhostCollisionWithSprite(true);
    first->GhostCollisionWithMap(true);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, DOWN, 1, nullptr), first);
}

TEST_F(LookAhead, SpriteProbesInShapeModeTestTheShapes) {
    Sprite* s = Add("player", ShapeActor, room, 100, 100, false);
    // Box overlaps the probe, but its circle (radius 16 about its centre)
    // lies beyond the diagonal gap.
    Add("ball", CircleActor, room, 128, 128, true);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, RIGHT, 0, "ball"), nullptr);
    Sprite* block = Add("block", ShapeActor, room, 133, 100, false);
    EXPECT_EQ(sprites::LookAheadCollisionWithSprite(*s, RIGHT, 0, nullptr), block);
    s->CollisionType(true);  // by box: the ball's box is enough
    EXPECT_NE(sprites::LookAheadCollisionWithSprite(*s, RIGHT, 0, "ball"), nullptr);
}

TEST_F(LookAhead, CombinedProbeChoosesWhatToTest) {
    Sprite* s = Add("player", BoxActor, room, 100, 100);
    Add("block", BoxActor, room, 60, 30);  // far from every probe
    struct Row {
        unsigned code, dist, what;
        bool hit;
    } rows[] = {
        {RIGHT, 0, 0, false}, {RIGHT, 0, 1, true}, {RIGHT, 0, 2, true}, {RIGHT, 0, 3, false}, {LEFT, 0, 2, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(sprites::LookAheadCollision(*s, row.code, row.dist, row.what), row.hit)
            << row.code << " " << row.what;
    Add("near", BoxActor, room, 67, 100);  // its right edge 2 pixels left of the player's box
    EXPECT_TRUE(sprites::LookAheadCollision(*s, LEFT, 0, 0));
    EXPECT_TRUE(sprites::LookAheadCollision(*s, LEFT, 0, 2));
}

}  // namespace
