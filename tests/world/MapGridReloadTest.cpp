// A map's collision grid after a save and a load: the same cell counts and the
// same presence of a grid, so that saving again gives the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "WorldFixture.h"
#include "foundation/File.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"

namespace {

using MapGridReload = GridOverTheBitmapFixture;

std::vector<unsigned char> SaveToFile(node* map, const std::string& path) {
    {
        File f(path.c_str(), File::Writing);
        f.Write(map);
    }
    return TempDir::ReadAll(path);
}

// A map "grid" on "g.bmp" saved by itself, and the same record with other
// grid counts, loaded back: whether the load is accepted, and the map.
class SavedGrid {
public:
    SavedGrid(Map& map, std::string path) : path(std::move(path)) {
        {
            File f(this->path.c_str(), File::Writing);
            map.Save(f);
        }
        bytes = TempDir::ReadAll(this->path);
        while (rowsAt + 4 < bytes.size() && std::memcmp(&bytes[rowsAt], "grid", 4) != 0) ++rowsAt;
        // After the name: the file name "g.bmp" (length and 5 bytes), the master flag, height, width.
        rowsAt += 4 + 4 + 5 + 1 + 4 + 4;
    }
    bool Found() const { return rowsAt < bytes.size(); }
    bool LoadWithCounts(std::int32_t rows, std::int32_t columns, Map& back) const {
        std::vector<unsigned char> changed = bytes;
        std::memcpy(&changed[rowsAt], &rows, 4);
        std::memcpy(&changed[rowsAt + 4], &columns, 4);
        TempDir::WriteAll(path, changed);
        File f(path.c_str(), File::Reading);
        back.Load(f);
        return !f.HasError();
    }

private:
    std::string path;
    std::vector<unsigned char> bytes;
    std::size_t rowsAt = 0;
};

TEST_F(MapGridReload, CellCountsAndGridSurviveASaveAndLoad) {
    struct Case {
        int w, h;
        unsigned int cellSize;  // 0: the grid is never laid out
        int columns, rows;
        bool grid;
    };
    for (const Case& c : {Case{128, 48, 0, 1, 1, false}, Case{300, 200, 0, 1, 1, false}, Case{128, 48, 128, 2, 1, true},
                          Case{300, 200, 64, 5, 4, true}, Case{16, 8, 64, 1, 1, true}}) {
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
    const SavedGrid saved(map, dir.File("counts.map"));
    ASSERT_TRUE(saved.Found());
    struct Case {
        std::int32_t rows, columns;
        bool accepted;
    };
    for (const Case& c :
         {Case{4, 5, true}, Case{1, 1, true}, Case{3, 5, false}, Case{4, 9, false}, Case{-1, 1, false}}) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.columns);
        Map back;
        EXPECT_EQ(saved.LoadWithCounts(c.rows, c.columns, back), c.accepted);
    }
}

// A grid laid over a world wider than the bitmap comes back as it was; a save
// whose grid covered only the bitmap still loads, with that grid.
TEST_F(MapGridReload, GridsOverTheWorldOrOverTheBitmapBothLoad) {
    LevelViewPort() = ViewPort(1000, 200, 0, 0, 64, 48);
    Map map("grid", Bitmap("g.bmp", 300, 200).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(64);
    map.AddCollisionData(CollisionSegment(900, 100, 800, 100, 3, 0, 0));
    ASSERT_EQ(map.GridColumns(), 16);
    const SavedGrid saved(map, dir.File("wide.map"));
    ASSERT_TRUE(saved.Found());
    struct Case {
        std::int32_t rows, columns;
        bool shapeInGrid;
    };
    for (const Case& c : {Case{4, 16, true}, Case{4, 5, false}}) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.columns);
        Map back;
        ASSERT_TRUE(saved.LoadWithCounts(c.rows, c.columns, back));
        EXPECT_EQ(back.GridColumns(), c.columns);
        List* cell = back.Cell(850 / 64, 100 / 64);
        EXPECT_EQ(cell != nullptr && cell->Count() == 1, c.shapeInGrid);
    }
}

}  // namespace
