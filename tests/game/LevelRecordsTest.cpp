// The level records as data: segment counts by id, and every playing level's
// start and goal standing over a floor the player can land on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "levels/LevelData.h"

namespace {

using nolt::LevelRecord;
using nolt::LevelRecordOf;
using nolt::SegmentRecord;
using nolt::SpriteRecord;

const LevelRecord& Named(const std::string& name) {
    for (int k = 0; k < nolt::LevelCount; ++k)
        if (LevelRecordOf(k).name == name) return LevelRecordOf(k);
    throw std::runtime_error("no level " + name);
}

const SpriteRecord* SpriteOf(const LevelRecord& level, const char* name) {
    for (const SpriteRecord& s : level.sprites)
        if (s.name == name) return &s;
    return nullptr;
}

// The nearest floor (id 0) at or below y under the span [left, right].
const SegmentRecord* FloorUnder(const LevelRecord& level, float left, float right, float y) {
    const SegmentRecord* best = nullptr;
    for (const SegmentRecord& s : level.segments) {
        if (s.id != 0 || s.y1 != s.y2) continue;
        const float l = std::min(s.x1, s.x2), r = std::max(s.x1, s.x2);
        if (r <= left || l >= right || s.y1 < y) continue;
        if (!best || s.y1 < best->y1) best = &s;
    }
    return best;
}

TEST(LevelRecords, SegmentCountsByIdAsDesigned) {
    struct Case {
        const char* level;
        int walls, floors;
    };
    const Case cases[] = {
        {"Menu", 0, 0},
        {"Level_1", 4, 3},
        {"Level_2", 3, 3},
        {"Level_3", 6, 4},
        {"Level_4", 6, 6},
        {"Level_5", 4, 4},
        {"Level_6", 2, 6},
        {"Level_7", 8, 4},
        {"Level_8", 3, 8},
        {"Level_9", 27, 36},
        {"Level_10", 3, 1},
        {"In_Media_Res", 0, 0},
        {"Level_11", 3, 5},
        {"Level_12", 2, 5},
        {"Level_13", 2, 6},
        {"Level_14", 0, 6},
        {"Level_15", 3, 8},
        {"Level_16", 4, 9},
        {"Level_17", 4, 12},
        {"Level_18", 2, 10},
        {"Level_19", 31, 45},
        {"Level_20", 2, 1},
        {"Deus_Ex_Machina", 0, 0},
        {"Level_21", 2, 7},
        {"Level_22", 2, 7},
        {"Level_23", 7, 11},
        {"Level_24", 2, 9},
        {"Level_25", 5, 9},
        {"Level_26", 6, 12},
        {"Level_27", 2, 9},
        {"Level_28", 2, 12},
        {"Level_29", 2, 7},
        {"Level_30", 2, 1},
        {"Dies_Tenebrosa_Sicut_Nox", 0, 0},
        {"Level_31", 2, 1},
        {"Level_32", 4, 31},
        {"Level_33", 4, 38},
        {"Level_34", 12, 60},
        {"Level_40", 0, 0},
    };
    ASSERT_EQ(std::size(cases), std::size_t(nolt::LevelCount));
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = LevelRecordOf(k);
        EXPECT_EQ(level.name, cases[k].level) << "level " << k;
        const auto walls = std::count_if(level.segments.begin(), level.segments.end(),
                                         [](const SegmentRecord& s) { return s.id == 1; });
        EXPECT_EQ(walls, cases[k].walls) << level.name;
        EXPECT_EQ(std::ptrdiff_t(level.segments.size()) - walls, cases[k].floors) << level.name;
        for (const SegmentRecord& s : level.segments) {
            EXPECT_TRUE(s.id == 0 || s.id == 1) << level.name;
            EXPECT_EQ(s.type, 0) << level.name;
            EXPECT_EQ(s.extra, 0) << level.name;
            EXPECT_TRUE(s.x1 == std::round(s.x1) && s.y1 == std::round(s.y1) && s.x2 == std::round(s.x2) &&
                        s.y2 == std::round(s.y2))
                << level.name << ": end points are whole pixels";
        }
    }
}

TEST(LevelRecords, UprightFloorLinesAndSlantedLinesWhereTheLevelsHaveThem) {
    // Vertical lines tagged as floors, and lines slanted by one or two pixels
    // (by id); every other line is exactly horizontal or vertical.
    struct Case {
        const char* level;
        int uprightFloors, slantedWalls, slantedFloors;
    };
    const Case cases[] = {
        {"Level_2", 1, 0, 0},  {"Level_7", 0, 1, 0},  {"Level_9", 2, 0, 0},  {"Level_11", 0, 0, 1},
        {"Level_17", 0, 1, 0}, {"Level_19", 0, 0, 2}, {"Level_21", 0, 0, 1}, {"Level_23", 0, 0, 1},
        {"Level_25", 0, 0, 1}, {"Level_26", 0, 0, 1}, {"Level_28", 0, 0, 1}, {"Level_32", 1, 0, 1},
        {"Level_33", 0, 0, 1}, {"Level_34", 1, 1, 1},
    };
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = LevelRecordOf(k);
        Case expected{level.name.c_str(), 0, 0, 0};
        for (const Case& c : cases)
            if (level.name == c.level) expected = c;
        Case found{level.name.c_str(), 0, 0, 0};
        for (const SegmentRecord& s : level.segments) {
            const float dx = std::abs(s.x2 - s.x1), dy = std::abs(s.y2 - s.y1);
            if (dx == 0 && dy > 0 && s.id == 0) ++found.uprightFloors;
            if (dx > 0 && dy > 0) {
                EXPECT_LE(std::min(dx, dy), 2) << level.name << ": slanted by more than two pixels";
                ++(s.id == 1 ? found.slantedWalls : found.slantedFloors);
            }
        }
        EXPECT_EQ(found.uprightFloors, expected.uprightFloors) << level.name;
        EXPECT_EQ(found.slantedWalls, expected.slantedWalls) << level.name;
        EXPECT_EQ(found.slantedFloors, expected.slantedFloors) << level.name;
    }
}

TEST(LevelRecords, SegmentsStayInTheWorldButWhereTheLevelsReachPast) {
    // How far past the world's right and bottom edges a level's lines reach.
    struct Case {
        const char* level;
        float right, bottom;
    };
    const Case cases[] = {{"Level_11", 1099, 480}, {"Level_26", 640, 939},  {"Level_31", 5003, 480},
                          {"Level_32", 7003, 480}, {"Level_33", 7003, 480}, {"Level_34", 6403, 480}};
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = LevelRecordOf(k);
        Case limit{level.name.c_str(), float(level.worldWidth), float(level.worldHeight)};
        for (const Case& c : cases)
            if (level.name == c.level) limit = c;
        float right = 0, bottom = 0;
        for (const SegmentRecord& s : level.segments) {
            EXPECT_GE(std::min({s.x1, s.x2, s.y1, s.y2}), 0) << level.name;
            right = std::max({right, s.x1, s.x2});
            bottom = std::max({bottom, s.y1, s.y2});
        }
        EXPECT_LE(right, limit.right) << level.name;
        EXPECT_LE(bottom, limit.bottom) << level.name;
        if (limit.right > float(level.worldWidth)) {
            EXPECT_EQ(right, limit.right) << level.name;
        }
        if (limit.bottom > float(level.worldHeight)) {
            EXPECT_EQ(bottom, limit.bottom) << level.name;
        }
    }
}

TEST(LevelRecords, LinesAddedInBothDirectionsComeInPairs) {
    // 26 lines of Level_9 and the left wall of Level_10 are added twice in a row.
    const std::pair<const char*, int> cases[] = {{"Level_9", 26}, {"Level_10", 1}};
    for (auto [name, expected] : cases) {
        const LevelRecord& level = Named(name);
        int pairs = 0;
        for (std::size_t i = 0; i + 1 < level.segments.size(); ++i) {
            const SegmentRecord &a = level.segments[i], &b = level.segments[i + 1];
            if (a.x1 == b.x2 && a.y1 == b.y2 && a.x2 == b.x1 && a.y2 == b.y1 && a.id == b.id) ++pairs, ++i;
        }
        EXPECT_EQ(pairs, expected) << name;
    }
}

TEST(LevelRecords, PlayersAndGoalsStandOverFloors) {
    // The player (32 x 32) falls onto a floor from its start; the goal (70 x 70)
    // stands within a few pixels of one, so a player on that floor touches it.
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = LevelRecordOf(k);
        const SpriteRecord* player = SpriteOf(level, "protag");
        const SpriteRecord* goal = SpriteOf(level, "goal");
        if (!player || level.name == "Level_40") continue;  // the finale's goal is out of reach on purpose
        const SegmentRecord* floor = FloorUnder(level, player->startX, player->startX + 32, player->startY + 32);
        ASSERT_NE(floor, nullptr) << level.name << ": nothing under the player";
        EXPECT_LT(floor->y1, float(level.worldHeight)) << level.name;
        const SegmentRecord* goalFloor = FloorUnder(level, goal->startX, goal->startX + 70, goal->startY + 60);
        ASSERT_NE(goalFloor, nullptr) << level.name << ": nothing under the goal";
        EXPECT_LT(goalFloor->y1 - (goal->startY + 70), 32) << level.name << ": goal out of the player's reach";
    }
}

TEST(LevelRecords, StandardSpritesAndTheirLevelChanges) {
    struct Case {
        const char* level;
        const char* sprite;
        float x, y;
        int displayList;
        std::size_t behaviors;
    };
    const Case cases[] = {
        {"Level_1", "protag", 57, 296, 0, 2},        {"Level_2", "protag", 57, 296, 0, 3},
        {"Level_2", "goal", 552, 322, 2, 1},         {"Level_21", "protag", 26, 395, 0, 3},
        {"Level_21", "mainChar", 18, 378, 0, 1},     {"Level_29", "protag", 52, 720, 0, 3},
        {"Level_31", "protag", 57, 296, 3, 2},       {"Level_31", "newGradient", 0, 0, 1, 0},
        {"Level_32", "protag", 57, 296, 0, 2},       {"Level_40", "protag", 304, 224, 2, 0},
        {"Level_40", "masterReveal", -16, -1, 1, 1}, {"Menu", "decider", 228, 342, 0, 2},
    };
    for (const Case& c : cases) {
        const SpriteRecord* s = SpriteOf(Named(c.level), c.sprite);
        ASSERT_NE(s, nullptr) << c.level << " " << c.sprite;
        EXPECT_EQ(s->startX, c.x) << c.level << " " << c.sprite;
        EXPECT_EQ(s->startY, c.y) << c.level << " " << c.sprite;
        EXPECT_EQ(s->displayList, c.displayList) << c.level << " " << c.sprite;
        EXPECT_EQ(s->behaviors.size(), c.behaviors) << c.level << " " << c.sprite;
    }
    EXPECT_FALSE(SpriteOf(Named("Level_1"), "goal")->ghostOnSprites);
    EXPECT_TRUE(SpriteOf(Named("Level_2"), "goal")->ghostOnSprites);
}

}  // namespace
