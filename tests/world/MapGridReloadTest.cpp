// A map's collision grid after a save and a load: the same cell counts and the
// same presence of a grid, so that saving again gives the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "WorldFixture.h"
#include "foundation/File.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"

namespace {

using MapGridReload = WorldFixture;

std::vector<unsigned char> SaveToFile(node* map, const std::string& path) {
    {
        File f(path.c_str(), File::Writing);
        f.Write(map);
    }
    return TempDir::ReadAll(path);
}

TEST_F(MapGridReload, CellCountsAndGridSurviveASaveAndLoad) {
    struct Case {
        int w, h;
        unsigned int cellSize;  // 0: the grid is never laid out
        int columns, rows;
        bool grid;
    };
    for (const Case& c : {Case{128, 48, 0, 1, 1, false}, Case{300, 200, 0, 1, 1, false},
                          Case{128, 48, 128, 2, 1, true}, Case{300, 200, 64, 5, 4, true},
                          Case{16, 8, 64, 1, 1, true}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " cell " << c.cellSize);
        Map map("grid", Bitmap("g.bmp", c.w, c.h).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        if (c.cellSize != 0) map.SpacePartitionGridSize(c.cellSize);
        map.AddCollisionData(CollisionSegment(1, 1, 9, 9, 3, 0, 0));
        const std::vector<unsigned char> first = SaveToFile(&map, dir.File("first.map"));
        node* loaded = nullptr;
        {
            File f(dir.File("first.map").c_str(), File::Reading);
            f.Read(loaded);
            f.Claim(loaded);
            ASSERT_FALSE(f.HasError());
        }
        auto* back = dynamic_cast<Map*>(loaded);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->GridColumns(), c.columns);
        EXPECT_EQ(back->GridRows(), c.rows);
        EXPECT_EQ(back->HasGrid(), c.grid);
        EXPECT_EQ(back->Shapes().Count(), 1);
        EXPECT_EQ(SaveToFile(back, dir.File("second.map")), first);
        delete back;
    }
}

TEST_F(MapGridReload, CountsThatTheMapCannotHaveAreRefused) {
    Map map("grid", Bitmap("g.bmp", 300, 200).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(64);
    const std::string path = dir.File("counts.map");
    {
        File f(path.c_str(), File::Writing);
        map.Save(f);
    }
    const std::vector<unsigned char> good = TempDir::ReadAll(path);
    std::size_t at = 0;
    while (at + 4 < good.size() && std::memcmp(&good[at], "grid", 4) != 0) ++at;
    ASSERT_LT(at + 4, good.size());
    // After the name: the file name "g.bmp" (length and 5 bytes), the master flag, height, width.
    const std::size_t rowsAt = at + 4 + 4 + 5 + 1 + 4 + 4;
    struct Case {
        std::int32_t rows, columns;
        bool accepted;
    };
    for (const Case& c : {Case{4, 5, true}, Case{1, 1, true}, Case{3, 5, false}, Case{4, 9, false},
                          Case{-1, 1, false}}) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.columns);
        std::vector<unsigned char> bytes = good;
        std::memcpy(&bytes[rowsAt], &c.rows, 4);
        std::memcpy(&bytes[rowsAt + 4], &c.columns, 4);
        TempDir::WriteAll(path, bytes);
        Map back;
        File f(path.c_str(), File::Reading);
        back.Load(f);
        EXPECT_EQ(!f.HasError(), c.accepted);
    }
}

}  // namespace
