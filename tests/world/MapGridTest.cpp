#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>
#include "WorldFixture.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"
#include "world/MapPTR.h"

namespace {

using MapGrid = GridOverTheBitmapFixture;

using MapGridOverTheWorld = WorldFixture;

std::vector<int> CellIds(Map& map, int i, int j) {
    std::vector<int> ids;
    List* cell = map.Cell(i, j);
    for (node* n = cell->Head(); !n->EOList(); n = n->Next()) {
        const auto* s = static_cast<const CollisionData*>(n);
        ids.push_back(s->Type() == 0 ? static_cast<const CollisionSegment*>(s)->Id()
                                     : static_cast<const CollisionCircle*>(s)->Id() + 100000);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Exact touch tests in double, independent of the clipping loop under test.
bool SegmentTouches(double x1, double y1, double x2, double y2, double l, double t, double r, double b) {
    if (std::max(x1, x2) < l || std::min(x1, x2) > r || std::max(y1, y2) < t || std::min(y1, y2) > b) return false;
    const double cx[4] = {l, r, r, l}, cy[4] = {t, t, b, b};
    int pos = 0, neg = 0;
    for (int k = 0; k < 4; ++k) {
        const double side = (x2 - x1) * (cy[k] - y1) - (y2 - y1) * (cx[k] - x1);
        pos += side > 0;
        neg += side < 0;
    }
    return !(pos == 4 || neg == 4);
}

bool CircleTouches(double cx, double cy, double rad, double l, double t, double r, double b) {
    const double nx = std::clamp(cx, l, r), ny = std::clamp(cy, t, b);
    return (cx - nx) * (cx - nx) + (cy - ny) * (cy - ny) <= rad * rad;
}

TEST_F(MapGrid, CellSizeAndCounts) {
    const struct {
        int w, h;
        unsigned size;
        unsigned cell;
        int cols, rows;
    } cases[] = {
        {1000, 300, 10, 64, 16, 5},  {1000, 300, 129, 130, 8, 3}, {1000, 300, 128, 128, 8, 3},
        {1024, 256, 128, 128, 9, 3}, {50, 50, 128, 128, 1, 1},    {128, 127, 128, 128, 2, 1},
    };
    for (const auto& c : cases) {
        Map map("m", Bitmap("grid.bmp", c.w, c.h).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        map.SpacePartitionGridSize(c.size);
        EXPECT_EQ(map.SpacePartitionGridSize(), c.cell) << c.w << "x" << c.h << " size " << c.size;
        EXPECT_EQ(map.GridColumns(), c.cols) << c.w << "x" << c.h << " size " << c.size;
        EXPECT_EQ(map.GridRows(), c.rows) << c.w << "x" << c.h << " size " << c.size;
    }
}

// A still map smaller than its level's world keeps the floors that lie beyond
// its bitmap: the grid spans the world; what lies beyond the world stays out.
TEST_F(MapGridOverTheWorld, TheGridSpansTheLargerOfBitmapAndWorld) {
    const struct {
        int w, h;
        float worldW, worldH;
        int cols, rows;
        unsigned coveredW, coveredH;
    } cases[] = {
        {1000, 300, 5000, 480, 40, 4, 5000, 480},  // wider world
        {300, 1000, 640, 2000, 6, 16, 640, 2000},  // taller world
        {1000, 300, 640, 200, 8, 3, 1000, 300},    // world inside the bitmap
        {640, 480, 640, 480, 6, 4, 640, 480},      // the same size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.worldW << "x" << c.worldH);
        LevelViewPort() = ViewPort(c.worldW, c.worldH, 0, 0, 64, 48);
        Map map("m", Bitmap("grid.bmp", c.w, c.h).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        map.SpacePartitionGridSize(128);
        EXPECT_EQ(map.GridColumns(), c.cols);
        EXPECT_EQ(map.GridRows(), c.rows);
        EXPECT_EQ(map.CollisionWidth(), c.coveredW);
        EXPECT_EQ(map.CollisionHeight(), c.coveredH);
    }

    LevelViewPort() = ViewPort(5000, 480, 0, 0, 64, 48);
    Map map("m", Bitmap("grid.bmp", 2000, 480).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(128);
    map.AddCollisionData(CollisionSegment(4990, 400, 2000, 400, 1, 0, 0));  // a floor across the whole world
    map.AddCollisionData(CollisionSegment(5200, 100, 5300, 100, 2, 0, 0));  // beyond the world's edge
    EXPECT_EQ(CellIds(map, 3000 / 128, 3), std::vector<int>{1});
    EXPECT_EQ(CellIds(map, 4990 / 128, 3), std::vector<int>{1});
    for (int i = 0; i < map.GridColumns(); ++i)
        for (int j = 0; j < map.GridRows(); ++j) {
            const std::vector<int> ids = CellIds(map, i, j);
            EXPECT_EQ(std::count(ids.begin(), ids.end(), 2), 0) << i << "," << j;
        }
}

TEST_F(MapGrid, ShapesSitInTheCellsTheyTouch) {
    Map map("m", Bitmap("grid.bmp", 512, 512).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(128);
    map.AddCollisionData(CollisionSegment(128, 10, 128, 100, 1, 0, 0));  // on a border
    map.AddCollisionData(CollisionSegment(10, 300, 400, 300, 2, 0, 0));  // long floor
    // (0,0) to (200,200) exactly, through the corner (128,128).
    map.AddCollisionData(CollisionSegment(0, 0, 0.5f, 0.5f, 400, 400, 3, 0, 0));
    map.AddCollisionData(CollisionCircle(128, 128, 0, 4, 0));         // radius 0 on a corner
    map.AddCollisionData(CollisionCircle(250, 60, 5, 5, 0));          // misses cell (2, 0) by 1
    map.AddCollisionData(CollisionSegment(40, 40, 40, 40, 6, 0, 0));  // zero length: nowhere
    struct {
        int id;
        std::vector<std::pair<int, int>> cells;
    } const expected[] = {
        {1, {{0, 0}, {1, 0}}},
        {2, {{0, 2}, {1, 2}, {2, 2}, {3, 2}}},
        {3, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
        {100004, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {100005, {{1, 0}}},
    };
    for (const auto& e : expected) {
        for (int i = 0; i < map.GridColumns(); ++i)
            for (int j = 0; j < map.GridRows(); ++j) {
                const std::vector<int> ids = CellIds(map, i, j);
                const bool want = std::find(e.cells.begin(), e.cells.end(), std::make_pair(i, j)) != e.cells.end();
                EXPECT_EQ(std::count(ids.begin(), ids.end(), e.id), want ? 1 : 0)
                    << "shape " << e.id << " cell " << i << "," << j;
            }
    }
    EXPECT_EQ(map.Shapes().Count(), 5);
}

TEST_F(MapGrid, RemovalByIdAndKind) {
    Map map("m", Bitmap("grid.bmp", 256, 256).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(128);
    map.AddCollisionData(CollisionSegment(10, 10, 200, 10, 5, 0, 0));
    map.AddCollisionData(CollisionCircle(20, 20, 4, 5, 0));
    map.RemoveCollisionData(5, 3);  // no such kind
    EXPECT_EQ(map.Shapes().Count(), 2);
    map.RemoveCollisionData(5, 1);
    EXPECT_EQ(map.Shapes().Count(), 1);
    EXPECT_EQ(CellIds(map, 0, 0), std::vector<int>{100005});
    EXPECT_EQ(CellIds(map, 1, 0), std::vector<int>{});
    map.RemoveCollisionData(5, 0);
    EXPECT_EQ(map.Shapes().Count(), 0);
    EXPECT_TRUE(CellIds(map, 0, 0).empty());
}

TEST_F(MapGrid, EveryShapeInExactlyTheCellsItCrossesBeforeAndAfterAResize) {
    Map map("m", Bitmap("grid.bmp", 700, 500).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(128);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-40.0f, 760.0f), len(-200.0f, 200.0f), rad(0.0f, 90.0f);
    struct Shape {
        bool circle;
        float a, b, c, d;
        int id;
    };
    std::vector<Shape> all;
    for (int n = 0; n < 300; ++n) {
        Shape s{n % 3 == 0, coord(rng), coord(rng), 0, 0, n % 40};
        if (s.circle) {
            s.c = rad(rng);
            map.AddCollisionData(CollisionCircle(s.a, s.b, s.c, s.id, 0));
        } else {
            s.c = s.a + len(rng);
            s.d = s.b + len(rng);
            map.AddCollisionData(CollisionSegment(s.a, s.b, s.c, s.d, s.id, 0, 0));
        }
        all.push_back(s);
    }
    // Remove some by id and kind, then check, rebuild, resize, check each time.
    map.RemoveCollisionData(3, 1);
    map.RemoveCollisionData(6, 2);
    map.RemoveCollisionData(9, 0);
    auto kept = [](const Shape& s) { return !(s.id == 9 || (s.id == 3 && !s.circle) || (s.id == 6 && s.circle)); };
    auto check = [&](const char* when) {
        const double size = map.SpacePartitionGridSize();
        for (int i = 0; i < map.GridColumns(); ++i)
            for (int j = 0; j < map.GridRows(); ++j) {
                const double l = i * size, t = j * size, r = l + size, b = t + size;
                std::vector<int> want;
                for (const Shape& s : all) {
                    if (!kept(s)) continue;
                    // The map stores the segment's end as origin + direction x magnitude.
                    const CollisionSegment seg(s.a, s.b, s.c, s.d, 0, 0, 0);
                    const bool touches = s.circle ? CircleTouches(s.a, s.b, s.c, l, t, r, b)
                                                  : SegmentTouches(s.a, s.b, seg.EndX(), seg.EndY(), l, t, r, b);
                    if (touches) want.push_back(s.circle ? s.id + 100000 : s.id);
                }
                std::sort(want.begin(), want.end());
                ASSERT_EQ(CellIds(map, i, j), want) << when << ": cell " << i << "," << j;
            }
    };
    check("after adding and removing");
    map.InitCollision();
    check("after InitCollision");
    map.SpacePartitionGridSize(200);
    EXPECT_EQ(map.GridColumns(), 4);
    check("after a resize");
}

TEST_F(MapGrid, DestroyedShapesAreAnnouncedBeforeTheyGo) {
    // What a sprite holds: pointers to the grid's copies of the shapes it hit.
    static std::vector<const CollisionData*> hitList;
    Map::SetShapeDestroyedHook([](const CollisionData* shape) {
        hitList.erase(std::remove(hitList.begin(), hitList.end(), shape), hitList.end());
    });
    {
        Map map("m", Bitmap("grid.bmp", 256, 256).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        map.SpacePartitionGridSize(128);
        map.AddCollisionData(CollisionSegment(10, 10, 200, 10, 7, 0, 0));
        map.AddCollisionData(CollisionSegment(10, 50, 200, 50, 8, 0, 0));
        hitList.push_back(static_cast<const CollisionData*>(map.Cell(0, 0)->Head()));          // id 8
        hitList.push_back(static_cast<const CollisionData*>(map.Cell(0, 0)->Head()->Next()));  // id 7
        map.RemoveCollisionData(7, 0);
        ASSERT_EQ(hitList.size(), 1u);
        EXPECT_EQ(static_cast<const CollisionSegment*>(hitList[0])->Id(), 8);
    }
    EXPECT_TRUE(hitList.empty()) << "the map's destruction announced its cell copies too";
    Map::SetShapeDestroyedHook(nullptr);
}

TEST_F(MapGrid, ThePlaceholderTakesCallsWithoutAGrid) {
    Map* dummy = MapPTR();
    ASSERT_NE(dummy, nullptr);
    EXPECT_FALSE(dummy->HasGrid());
    MapPTR()->AddCollisionData(CollisionSegment(0, 0, 10, 10, 1, 0, 0));
    EXPECT_EQ(MapPTR()->Cell(0, 0), nullptr);
    MapPTR()->RemoveCollisionData(1, 0);
    MapPTR()->DisplayMap();
    MapPTR()->Visible(false);
    EXPECT_FALSE(dummy->Visible());
    dummy->Visible(true);
}

}  // namespace
