// The player at rest against the map it stands on, measured from the generated
// pictures: the figure's lowest drawn row meets the drawn top of the floor
// that holds it, whatever height the player logic leaves its collision box at
// over the floor's line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "BuiltLevelFixture.h"
#include "LevelMasks.h"
#include "Picture.h"
#include "logic/GameKeys.h"

namespace {

constexpr std::uint32_t ActorKey = 0xFF00DC;  // 0xDC00FF as the tables give it
constexpr int Platform = 1;                   // PlyrOnWhatSM's standing state
constexpr int MostApart = 2;                  // pixels the feet may float above or sink into the floor

// The columns of the figure's lowest drawn row, and that row.
struct Feet {
    int row = -1;
    std::vector<int> columns;
};

Feet FeetOf(const gametest::Picture& figure) {
    Feet feet;
    for (int y = figure.height - 1; y >= 0 && feet.row < 0; --y)
        for (int x = 0; x < figure.width; ++x)
            if (figure.At(x, y) != ActorKey) feet.row = y, feet.columns.push_back(x);
    return feet;
}

struct Place {
    float x, y;
};

int LevelIndex(const std::string& name) {
    for (int k = 0; k < nolt::LevelCount; ++k)
        if (nolt::LevelRecordOf(k).name == name) return k;
    return -1;
}

}  // namespace

class StandingArtTest : public gametest::BuiltLevelTest {
protected:
    void SetUp() override {
        BuiltLevelTest::SetUp();
        feet = FeetOf(gametest::Picture::Read(gametest::AssetsFolder + "Actors/protag.bmp"));
        ASSERT_GE(feet.row, 0) << "no player picture";
    }

    // Builds the level, drops the player from `drop` when given, and answers
    // the player once it has stood still for a while; null when it never stands.
    Sprite* RestingPlayer(const std::string& level, std::optional<Place> drop = {}) {
        const int k = LevelIndex(level);
        if (k < 0 || Build(k) == nullptr) return nullptr;
        Sprite* p = FindQuietly(built, "protag");
        if (p == nullptr) return nullptr;
        if (drop) {
            p->MapPositionX(drop->x, false);
            p->MapPositionY(drop->y, false);
        }
        int still = 0;
        for (int n = 0; n < 240 && still < 30; ++n) {
            const float before = p->MapPositionY();
            Frame();
            const bool standing = p->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) == Platform;
            still = standing && p->MapPositionY() == before ? still + 1 : 0;
        }
        return still >= 30 ? p : nullptr;
    }

    // Rows of sky between the figure's lowest drawn row and the top of what the
    // map draws under its feet (negative when the feet are drawn over the
    // floor), looked for from a few rows over the feet to well below them.
    int DrawnGap(const nolt::LevelRecord& level, Sprite* p) {
        const SolidMask& mask = gametest::MaskOf(level);
        const int left = int(std::floor(p->MapPositionX())), top = int(std::floor(p->MapPositionY()));
        const int lowest = top + feet.row;
        int floorTop = lowest + 40;
        for (int column : feet.columns)
            for (int y = lowest - 2 * MostApart - 4; y < floorTop; ++y)
                if (mask.At(left + column, y) != SolidMask::Open) floorTop = y;
        return floorTop - lowest - 1;
    }

    Feet feet;
};

TEST_F(StandingArtTest, ThePlayerStandsOnTheDrawnFloorAtEveryLevelsStart) {
    int levels = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const nolt::LevelRecord& level = nolt::LevelRecordOf(k);
        if (level.name.rfind("Level_", 0) != 0 || level.name == "Level_40") continue;
        SCOPED_TRACE(level.name);
        ++levels;
        Sprite* p = RestingPlayer(level.name);
        ASSERT_NE(p, nullptr) << "never comes to rest";
        const int gap = DrawnGap(level, p);
        EXPECT_LE(gap, MostApart) << "floats over the floor";
        EXPECT_GE(gap, -MostApart) << "sinks into the floor";
        Leave();
        ClearReports();
    }
    EXPECT_EQ(levels, 34);
}

// The shelf over Level_5's ground (its highest floor, a plank with nothing
// under it), landed on from a range of heights: the landings leave the box at
// every height over the line that the player logic allows.
TEST_F(StandingArtTest, ThePlayerStandsOnTheDrawnShelfOfLevel5FromAnyDrop) {
    const nolt::LevelRecord& level = *gametest::LevelNamed("Level_5");
    const nolt::SegmentRecord& shelf = *std::min_element(
        level.segments.begin(), level.segments.end(), [](const nolt::SegmentRecord& a, const nolt::SegmentRecord& b) {
            const bool floorA = a.y1 == a.y2 && a.x2 < a.x1, floorB = b.y1 == b.y2 && b.x2 < b.x1;
            return floorA != floorB ? floorA : a.y1 < b.y1;
        });
    ASSERT_TRUE(shelf.y1 == shelf.y2 && shelf.x2 < shelf.x1) << "no floor";
    std::vector<float> heights;
    for (int n = 0; n < 30; ++n) {
        const float drop = 12.0f + 2.7f * float(n);
        SCOPED_TRACE(drop);
        Sprite* p = RestingPlayer(level.name, Place{shelf.x2 + 15, shelf.y1 - gametest::BoxBottom - drop});
        ASSERT_NE(p, nullptr) << "never comes to rest";
        const float height = shelf.y1 - (p->MapPositionY() + gametest::BoxBottom);
        ASSERT_LT(height, 16.0f) << "not on the shelf";
        heights.push_back(height);
        const int gap = DrawnGap(level, p);
        EXPECT_LE(gap, MostApart) << "floats over the shelf, box " << height << " over its line";
        EXPECT_GE(gap, -MostApart) << "sinks into the shelf, box " << height << " over its line";
        Leave();
        ClearReports();
    }
    // Both ways of coming to rest: one nudge up after the landing, or two.
    EXPECT_LT(*std::min_element(heights.begin(), heights.end()), 7.5f);
    EXPECT_GT(*std::max_element(heights.begin(), heights.end()), 9.0f);
}
