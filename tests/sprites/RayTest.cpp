#include <string>
#include <vector>

#include "CollisionFixture.h"
#include "display/GeometricsDrawn.h"
#include "sprites/SpriteLevelInternal.h"

namespace {

// A 32 x 32 box actor whose hot point 0 is its centre and hot point 4 lies
// far below it; the map segments are added per test.
class RayTest : public WindowedCollisionTest {
protected:
    void SetUp() override {
        WindowedCollisionTest::SetUp();
        FrameElem& f = Frame(BoxActor);
        f.HotSpots[0] = QelPoint{16, 16};
        f.HotSpots[4] = QelPoint{16, 216};
        self = Add("self", BoxActor, map, 100, 100);  // H = (116, 116)
    }

    Sprite* self = nullptr;
};

struct DestCase {
    float x, y, dx, dy;
    std::int32_t ex, ey;
};

TEST_F(RayTest, TheExitPointLiesOnTheViewsEdge) {
    LevelViewPort().WorldXPos(100);
    LevelViewPort().WorldYPos(50);
    // The view runs from (100, 50) to (740, 530).
    const DestCase cases[] = {
        {200, 100, 0, 0, 200, 100},       {200, 100, 1, 1, 630, 530},  {200, 100, 1, -1, 250, 50},
        {200, 100, 1, 0, 740, 100},       {200, 100, -1, 1, 100, 200}, {200, 100, -1, -1, 150, 50},
        {200, 100, -1, 0, 100, 100},      {200, 100, 0, -1, 200, 50},  {200, 100, 0, 1, 200, 530},
        {640, 430, 1, 1, 740, 530},        // a corner resolves to the side edge
        {200.7f, 100.9f, 2, 1, 740, 370},  // results truncated
        {900, 100, 1, 0, 740, 100},        // a start outside the view still gives the edge
    };
    for (const DestCase& c : cases) {
        const QelPoint p = Sprite::RayViewportDest(c.x, c.y, c.dx, c.dy);
        EXPECT_EQ(p.x, c.ex) << c.x << "," << c.y << " d " << c.dx << "," << c.dy;
        EXPECT_EQ(p.y, c.ey) << c.x << "," << c.y << " d " << c.dx << "," << c.dy;
    }
}

struct MapRayCase {
    const char* name;
    CollisionSegment segment;
    float dx, dy;
    bool found;
};

TEST_F(RayTest, AMapRayFindsSegmentsOfItsIdThatFaceIt) {
    const MapRayCase cases[] = {
        {"wall ahead facing the sprite", CollisionSegment(300, 0, 300, 400, 5, 0, 0), 1, 0, true},
        {"wall ahead facing away", CollisionSegment(300, 400, 300, 0, 5, 0, 0), 1, 0, false},
        {"wall of another id", CollisionSegment(300, 0, 300, 400, 6, 0, 0), 1, 0, false},
        {"wall outside the band", CollisionSegment(300, 0, 300, 100, 5, 0, 0), 1, 0, false},
        {"wall behind the start", CollisionSegment(50, 0, 50, 400, 5, 0, 0), 1, 0, false},
        {"floor below, ray down", CollisionSegment(400, 300, 0, 300, 5, 0, 0), 0, 1, true},
        {"slanted ray", CollisionSegment(500, 0, 500, 599, 5, 0, 0), 2, 1, true},
        // Along the ray: judged with the normal tilted by (0.3, -0.3).
        {"parallel, ray right", CollisionSegment(200, 116, 250, 116, 5, 0, 0), 1, 0, false},
        {"parallel, ray left", CollisionSegment(20, 116, 60, 116, 5, 0, 0), -1, 0, true},
        {"parallel, ray down", CollisionSegment(116, 200, 116, 250, 5, 0, 0), 0, 1, true},
        {"parallel, ray up", CollisionSegment(116, 20, 116, 60, 5, 0, 0), 0, -1, false},
    };
    for (const MapRayCase& c : cases) {
        map->Shapes().del();
        map->AddCollisionData(c.segment);
        EXPECT_EQ(self->SpriteToMapRay(0, c.dx, c.dy, 5, false, 0), c.found) << c.name;
    }
}

TEST_F(RayTest, ASpriteRayNamesTheNearestSpriteUnlessTheMapIsNearer) {
    Sprite* far = Add("far", ShapeActor, map, 500, 100);
    Sprite* near = Add("near", ShapeActor, map, 300, 100);
    near->HFlip(true);
    near->FlipSet();  // flipped, but its unflipped shapes are the ones tested
    EXPECT_EQ(self->SpriteToSpriteRay(0, 1, 0, SideId, false, 0), near);
    EXPECT_EQ(self->SpriteToSpriteRay(0, 1, 0, TopId, false, 0), nullptr);
    // Nothing of the id in the other direction.
    EXPECT_EQ(self->SpriteToSpriteRay(0, -1, 0, SideId, false, 0), nullptr);

    map->AddCollisionData(CollisionSegment(200, 0, 200, 400, SideId, 0, 0));
    EXPECT_EQ(self->SpriteToSpriteRay(0, 1, 0, SideId, false, 0), nullptr);
    map->Shapes().del();
    // At the same distance the sprite met first in the lists wins.
    far->MapPosition(300, 100, false);
    Sprite* first = self->SpriteToSpriteRay(0, 1, 0, SideId, false, 0);
    EXPECT_TRUE(first == near || first == far);
    Sprite* expected = nullptr;
    sprites::ForEachSprite([&](Sprite* s) {
        if (s == near || s == far) expected = s;
        return expected != nullptr;
    });
    EXPECT_EQ(first, expected);
}

TEST_F(RayTest, ABadHotPointIsReportedAndHotPointFourUsed) {
    map->AddCollisionData(CollisionSegment(300, 300, 300, 350, 5, 0, 0));  // level with hot point 4 only
    EXPECT_TRUE(self->SpriteToMapRay(7, 1, 0, 5, false, 0));
    EXPECT_EQ(LastError(), "The hot point 7 of the current sprite, is greater than the maximum of hot points allowed.");
    EXPECT_FALSE(self->SpriteToMapRay(0, 1, 0, 5, false, 0));
    EXPECT_EQ(self->SpriteToSpriteRay(9, 1, 0, 5, false, 0), nullptr);
    EXPECT_EQ(std::string(_UE.TargetFunction),
              "Sprite* Sprite::SpriteToSpriteRay(unsigned int,float,float,unsigned int,bool,COLORREF)");
}

TEST_F(RayTest, AZeroDirectionFindsNothingAndDrawsNothing) {
    GeometricsDrawn drawer;
    pDraw = &drawer;
    map->AddCollisionData(CollisionSegment(116, 0, 116, 400, 5, 0, 0));
    back->Fill(nullptr, 0);
    EXPECT_FALSE(self->SpriteToMapRay(0, 0, 0, 5, true, 0xFFFFFF));
    EXPECT_EQ(self->SpriteToSpriteRay(0, 0, 0, 5, true, 0xFFFFFF), nullptr);
    bool drawn = false;
    for (int y = 0; y < back->Height(); ++y)
        for (int x = 0; x < back->Width(); ++x) drawn = drawn || back->GetRawPixel(x, y) != 0;
    EXPECT_FALSE(drawn);
    // A ray that is shown draws its centre line from the hot point.
    self->MapPosition(0, 0, false);  // H = (16, 16), inside the small back buffer
    self->SpriteToMapRay(0, 1, 0, 5, true, 0xFFFFFF);
    EXPECT_NE(back->GetRawPixel(30, 16), 0u);
    EXPECT_EQ(back->GetRawPixel(30, 20), 0u);
    pDraw = nullptr;
}

TEST_F(RayTest, TheRayStartsAtTheHotPointOfTheSpritesOwnMapAndEndsAtTheView) {
    // On a map placed further right in the world the band still ends at the
    // view's right edge, not that far beyond it.
    Map& shifted = NewMap(1000, 600, 64, 200, 0);
    self->BelongToMapPtr(&shifted);
    shifted.AddCollisionData(CollisionSegment(500, 0, 500, 400, 5, 0, 0));  // world x 700: beyond the view
    EXPECT_FALSE(self->SpriteToMapRay(0, 1, 0, 5, false, 0));
    shifted.AddCollisionData(CollisionSegment(400, 0, 400, 400, 5, 0, 0));  // world x 600: in view
    EXPECT_TRUE(self->SpriteToMapRay(0, 1, 0, 5, false, 0));
    // No map: nothing to find, and no harm.
    Sprite loose;
    loose.ActorIndex(BoxActor);
    EXPECT_FALSE(loose.SpriteToMapRay(0, 1, 0, 5, false, 0));
}

}  // namespace
