#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include "TempDir.h"
#include "foundation/File.h"
#include "foundation/List.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/PolygonEdge.h"

namespace {

TEST(CollisionShape, SegmentConstructionFromEndPoints) {
    const struct {
        float x1, y1, x2, y2;
        float dirX, dirY, magX, magY, normalX, normalY;
    } cases[] = {
        {0, 0, 100, 0, 1, 0, 100, 100, 0, 1},
        {0, 0, 0, 50, 0, 1, 50, 50, -1, 0},
        {0, 0, 3, 4, 0.6f, 0.8f, 5, 5, -0.8f, 0.6f},
        {10, 10, 10, 10, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const CollisionSegment s(c.x1, c.y1, c.x2, c.y2, 7, 3, 9);
        EXPECT_FLOAT_EQ(s.DirectionX(), c.dirX);
        EXPECT_FLOAT_EQ(s.DirectionY(), c.dirY);
        EXPECT_FLOAT_EQ(s.MagnitudeX(), c.magX);
        EXPECT_FLOAT_EQ(s.MagnitudeY(), c.magY);
        EXPECT_FLOAT_EQ(s.NormalX(), c.normalX);
        EXPECT_FLOAT_EQ(s.NormalY(), c.normalY);
        EXPECT_FLOAT_EQ(s.EndX(), c.x2);
        EXPECT_FLOAT_EQ(s.EndY(), c.y2);
        EXPECT_EQ(s.Id(), 7);
        EXPECT_EQ(s.TypeByte(), 3);
        EXPECT_EQ(s.Tag(), 9);
        EXPECT_EQ(s.ContactX(), 200.0f);
        EXPECT_EQ(s.HitTime(), 1.5f);
        EXPECT_FALSE(s.EndInside());
    }
    // A zero segment at the origin is false; any contact value makes it true.
    CollisionSegment zero(0, 0, 0, 0, 1, 0, 0);
    EXPECT_FALSE(static_cast<bool>(zero));
    EXPECT_TRUE(static_cast<bool>(CollisionSegment(10, 10, 10, 10, 0, 0, 0)));  // origin set
    zero.ContactX(0.5f);
    EXPECT_TRUE(static_cast<bool>(zero));
}

TEST(CollisionShape, OppositeDirectionTwiceGivesTheOriginal) {
    const CollisionSegment s(2, 30, 30, 34, 5, 2, 11);
    const CollisionSegment o = CollisionSegment::OppositeSegmentDirection(s);
    EXPECT_FLOAT_EQ(o.OriginX(), 30);
    EXPECT_FLOAT_EQ(o.OriginY(), 34);
    EXPECT_FLOAT_EQ(o.NormalX(), -s.NormalX());
    EXPECT_FLOAT_EQ(o.NormalY(), -s.NormalY());
    EXPECT_EQ(o.Id(), 5);
    EXPECT_EQ(o.TypeByte(), 2);
    EXPECT_EQ(o.Tag(), 11);
    const CollisionSegment back = CollisionSegment::OppositeSegmentDirection(o);
    EXPECT_FLOAT_EQ(back.OriginX(), s.OriginX());
    EXPECT_FLOAT_EQ(back.OriginY(), s.OriginY());
    EXPECT_EQ(back.DirectionX(), s.DirectionX());
    EXPECT_EQ(back.DirectionY(), s.DirectionY());
    EXPECT_EQ(back.NormalX(), s.NormalX());
    EXPECT_EQ(back.MagnitudeX(), s.MagnitudeX());
}

TEST(CollisionShape, CopiesCarryValuesButNoListLinks) {
    List list;
    auto* a = new CollisionSegment(0, 0, 5, 5, 1, 0, 0);
    list.add(a);
    list.add(new CollisionSegment(1, 1, 2, 2, 2, 0, 0));
    CollisionSegment copy(*a);
    EXPECT_EQ(copy.Next(), nullptr);
    EXPECT_EQ(copy.Id(), 1);
    CollisionSegment other(9, 9, 10, 10, 3, 0, 0);
    *a = other;  // assigning a listed shape keeps it in its list
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(a->Id(), 3);
    EXPECT_FALSE(a->EndInside());
    EXPECT_EQ(list.Head()->Next(), a);
}

template <class Shape>
std::vector<unsigned char> SaveBytes(const TempDir& dir, Shape& shape, const char* name) {
    const std::string path = dir.File(name);
    {
        File f(path.c_str(), File::Writing);
        shape.Save(f);
    }
    return TempDir::ReadAll(path);
}

TEST(CollisionShape, RecordsRoundTripAtTheirSizes) {
    TempDir dir;
    CollisionSegment s(1.5f, -2, 30, 40, 42, 0x81, -7);
    s.ContactX(0.25f);
    s.HitTime(0.75f);
    s.EndInside(true);
    const auto segBytes = SaveBytes(dir, s, "seg.bin");
    ASSERT_EQ(segBytes.size(), 54u);
    EXPECT_EQ(segBytes[24], 42);    // id after six floats
    EXPECT_EQ(segBytes[48], 0x81);  // type byte after five more floats
    EXPECT_EQ(segBytes[49], 1);     // end inside
    EXPECT_EQ(segBytes[50], 0xF9);  // the tag comes last
    CollisionSegment loaded;
    {
        File f(dir.File("seg.bin").c_str(), File::Reading);
        loaded.Load(f);
        EXPECT_FALSE(f.HasError());
    }
    EXPECT_EQ(SaveBytes(dir, loaded, "seg2.bin"), segBytes);
    EXPECT_EQ(loaded.Tag(), -7);

    CollisionCircle c(3, 4, 5, 6, 0x42);
    c.HitTime(0.5f);
    const auto circleBytes = SaveBytes(dir, c, "circle.bin");
    ASSERT_EQ(circleBytes.size(), 29u);
    EXPECT_EQ(circleBytes[12], 6);
    EXPECT_EQ(circleBytes[28], 0x42);
    CollisionCircle back(0, 0, 0, 0, 0);
    {
        File f(dir.File("circle.bin").c_str(), File::Reading);
        back.Load(f);
    }
    EXPECT_EQ(SaveBytes(dir, back, "circle2.bin"), circleBytes);
}

TEST(CollisionShape, ShapesComeBackThroughTheClassRegistry) {
    TempDir dir;
    List shapes;
    shapes.add(new CollisionCircle(1, 2, 3, 4, 5));
    shapes.add(new CollisionSegment(0, 0, 10, 0, 8, 1, 2));
    const std::string path = dir.File("list.bin");
    {
        File f(path.c_str(), File::Writing);
        shapes.Save(f);
    }
    List loaded;
    File f(path.c_str(), File::Reading);
    loaded.Load(f);
    ASSERT_EQ(loaded.Count(), 2);
    auto* first = dynamic_cast<CollisionData*>(loaded.Head());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Type(), 0);
    EXPECT_EQ(static_cast<CollisionSegment*>(first)->Id(), 8);
    EXPECT_EQ(static_cast<CollisionData*>(first->Next())->Type(), 1);
}

// Own segment (0,10)-(20,10) moving down by 4 in 4 steps over a long floor g below.
TEST(CollisionShape, SegmentApproachingAFloor) {
    const struct {
        float gap;
        bool hit;
        float time;
    } cases[] = {
        {0, false, 0}, {1, true, 0}, {2, true, 0.25f}, {3, true, 0.5f}, {5, true, 1.0f}, {6, false, 0},
    };
    for (const auto& c : cases) {
        CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
        CollisionSegment floor(-100, 10 + c.gap, 100, 10 + c.gap, 2, 0, 0);
        EXPECT_EQ(own.DetectCollision(&floor, 0, 0, 0, 0, 0, 4, 4), c.hit) << "gap " << c.gap;
        if (c.hit) {
            EXPECT_FLOAT_EQ(own.HitTime(), c.time) << "gap " << c.gap;
            EXPECT_FALSE(floor.EndInside());
        } else {
            EXPECT_EQ(own.HitTime(), 1.5f) << "a miss leaves the hit time alone";
        }
    }
    // A short target lies wholly inside the swept area.
    CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
    CollisionSegment shortOne(8, 12, 12, 12, 2, 0, 0);
    ASSERT_TRUE(own.DetectCollision(&shortOne, 0, 0, 0, 0, 0, 4, 4));
    EXPECT_FLOAT_EQ(own.HitTime(), 0.25f);
    EXPECT_TRUE(shortOne.EndInside());
    // Offsets move both shapes: the same pair drawn 100 to the right and 3 lower.
    CollisionSegment moved(0, 10, 20, 10, 1, 0, 0);
    CollisionSegment floor3(-100, 13, 100, 13, 2, 0, 0);
    ASSERT_TRUE(moved.DetectCollision(&floor3, 100, 3, 100, 3, 0, 4, 4));
    EXPECT_FLOAT_EQ(moved.HitTime(), 0.5f);
}

TEST(CollisionShape, SegmentMovingAlongItselfIsWidened) {
    const struct {
        float wallX;
        bool hit;
        float time;
    } cases[] = {
        {20.5f, true, 0}, {22, true, 0.25f}, {23, true, 0.5f}, {24, true, 1.0f}, {25, false, 0},
    };
    for (const auto& c : cases) {
        CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
        CollisionSegment wall(c.wallX, 0, c.wallX, 20, 2, 0, 0);
        EXPECT_EQ(own.DetectCollision(&wall, 0, 0, 0, 0, 4, 0, 4), c.hit) << "wall " << c.wallX;
        if (c.hit) {
            EXPECT_FLOAT_EQ(own.HitTime(), c.time) << "wall " << c.wallX;
        }
    }
    CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
    CollisionSegment floor(-100, 11, 100, 11, 2, 0, 0);
    EXPECT_FALSE(own.DetectCollision(&floor, 0, 0, 0, 0, 0, 0, 4)) << "zero motion";
}

TEST(CollisionShape, CyrusBeckClipping) {
    // The square (0,0)-(10,10) with outward normals, corners in order.
    List square;
    square.add(new PolygonEdge(0, 10, 0, 10));  // bottom edge, normal down
    square.add(new PolygonEdge(10, 0, 10, 0));  // right edge
    square.add(new PolygonEdge(0, 0, 0, -10));  // top edge
    square.add(new PolygonEdge(0, 0, -10, 0));  // left edge
    const struct {
        const char* what;
        float x1, y1, x2, y2;
        bool inside, endInside;
    } cases[] = {
        {"inside", 2, 2, 8, 8, true, true},
        {"crossing", -5, 5, 15, 5, true, false},
        {"one end inside", 5, 5, 15, 5, true, true},
        {"left of it", -5, -5, -1, 20, false, false},
        {"right of it", 11, -5, 11, 20, false, false},
        {"above it", -5, -1, 20, -1, false, false},
        {"below it", -5, 11, 20, 11, false, false},
        {"on an edge line", -5, 0, 20, 0, false, false},
        {"through a corner", -5, 5, 5, -5, true, false},
    };
    for (const auto& c : cases) {
        CollisionSegment s(c.x1, c.y1, c.x2, c.y2, 0, 0, 0);
        EXPECT_EQ(CollisionSegment::LineClippingConvexeShape(s, square), c.inside) << c.what;
        EXPECT_EQ(s.EndInside(), c.endInside) << c.what;
    }
    double tE = 0.0, tL = 1.0;
    EXPECT_FALSE(CollisionSegment::ChopCandidateInterval(tE, tL, 0.0, 0.0));
    EXPECT_TRUE(CollisionSegment::ChopCandidateInterval(tE, tL, 1.0, 0.0));
    EXPECT_TRUE(CollisionSegment::ChopCandidateInterval(tE, tL, 1.0, 2.0));
    EXPECT_EQ(tL, 0.5);
    EXPECT_FALSE(CollisionSegment::ChopCandidateInterval(tE, tL, -3.0, -4.0));  // t 0.75 > tL
}

TEST(CollisionShape, CirclesAgainstCircles) {
    // Contact exactly at the end of the move: sampled at t = 1, hit time 0.9.
    CollisionCircle mover(0, 0, 5, 1, 0), target(20, 0, 5, 2, 0);
    ASSERT_TRUE(mover.DetectCollision(&target, 0, 0, 0, 0, 10, 0, 10));
    EXPECT_FLOAT_EQ(mover.HitTime(), 0.9f);
    EXPECT_FLOAT_EQ(target.ContactX(), -1.0f);
    EXPECT_FLOAT_EQ(target.ContactY(), 0.0f);

    CollisionCircle overlapping(0, 0, 5, 1, 0), near(3, 0, 5, 2, 0);
    ASSERT_TRUE(overlapping.DetectCollision(&near, 0, 0, 0, 0, 1, 0, 10));
    EXPECT_EQ(overlapping.HitTime(), 0.0f);

    CollisionCircle receding(0, 0, 5, 1, 0), behind(-8, 0, 5, 2, 0);
    ASSERT_TRUE(receding.DetectCollision(&behind, 0, 0, 0, 0, 1, 0, 2));
    EXPECT_EQ(behind.ContactX(), 200.0f) << "moving away sets no contact";

    CollisionCircle same(0, 0, 5, 1, 0), centred(0, 0, 5, 2, 0);
    ASSERT_TRUE(same.DetectCollision(&centred, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_FALSE(std::isnan(same.HitTime()));
    EXPECT_FALSE(std::isnan(centred.ContactX()));

    CollisionCircle far(0, 0, 5, 1, 0), away(50, 0, 5, 2, 0);
    EXPECT_FALSE(far.DetectCollision(&away, 0, 0, 0, 0, 10, 0, 10));
    EXPECT_EQ(far.HitTime(), 1.5f);
}

TEST(CollisionShape, CirclesAgainstSegments) {
    // Floor (0,20)-(100,20), normal (0,1); circle radius 5.
    struct Case {
        const char* what;
        float cx, cy, vx, vy;
        bool hit;
        float time;
    } const cases[] = {
        {"falls onto the interior", 50, 5, 0, 10, true, 0.9f},
        {"falls past the end cap", 110, 5, 0, 20, false, 0},
        {"falls onto the end cap", 103, 5, 0, 20, true, 0.5f},
        {"slides parallel along it", 50, 15, 10, 0, true, 1.5f},
    };
    for (const Case& c : cases) {
        CollisionCircle circle(c.cx, c.cy, 5, 1, 0);
        CollisionSegment floor(0, 20, 100, 20, 2, 0, 0);
        EXPECT_EQ(circle.DetectCollision(&floor, 0, 0, 0, 0, c.vx, c.vy, 10), c.hit) << c.what;
        if (c.hit) {
            EXPECT_NEAR(circle.HitTime(), c.time, 1e-6) << c.what;
        }
    }
    // A zero-length segment is never touched and divides by nothing.
    CollisionCircle circle(0, 0, 5, 1, 0);
    CollisionSegment dot(1, 0, 1, 0, 2, 0, 0);
    EXPECT_FALSE(circle.DetectCollision(&dot, 0, 0, 0, 0, 1, 0, 4));

    // A moving segment against a circle: the circle's contact is set when the
    // circle lies ahead.
    CollisionSegment bar(0, 0, 20, 0, 1, 0, 0);
    CollisionCircle ball(10, 10, 2, 2, 0);
    ASSERT_TRUE(bar.DetectCollision(&ball, 0, 0, 0, 0, 0, 10, 10));
    EXPECT_FLOAT_EQ(bar.HitTime(), 0.7f);
    EXPECT_FLOAT_EQ(ball.ContactX(), -1.0f);
    EXPECT_FLOAT_EQ(ball.ContactY(), 0.0f);
    CollisionSegment zeroBar(0, 0, 0, 0, 1, 0, 0);
    EXPECT_FALSE(zeroBar.DetectCollision(&ball, 0, 0, 0, 0, 0, 1, 4));
}

TEST(CollisionShape, HostileStepCountsEnd) {
    const float hostile[] = {-3.0f, std::nanf(""), INFINITY, 1e30f};
    for (float steps : hostile) {
        CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
        CollisionSegment floor(-100, 40, 100, 40, 2, 0, 0);
        EXPECT_FALSE(own.DetectCollision(&floor, 0, 0, 0, 0, 0, 4, steps));
        CollisionCircle c(0, 0, 1, 1, 0), other(100, 0, 1, 2, 0);
        EXPECT_FALSE(c.DetectCollision(&other, 0, 0, 0, 0, 1, 0, steps));
        EXPECT_FALSE(c.DetectCollision(&floor, 0, 0, 0, 0, 1, 0, steps));
        EXPECT_FALSE(own.DetectCollision(&other, 0, 0, 0, 0, 1, 0, steps));
    }
}

}  // namespace
