// Every playing level can be finished: a model of the player's movement
// (walk, jump, steer in the air, fall, land only on floors that face up,
// stopped by walls that face it) walks the graph of floors the player can
// reach from the start and from the place a fall sends it back to, and must
// touch the goal. The model jumps a little lower and runs a little slower
// than the real player, which a test checks against the game's own movement
// logic; on the built levels the real player lands on its start floor and
// walks into the first wall that faces it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include "BuiltLevelFixture.h"
#include "levels/LevelData.h"
#include "logic/GameKeys.h"

namespace {

using nolt::LevelRecord;
using nolt::SegmentRecord;
using nolt::SpriteRecord;

// The model's movement, per frame: a jump starts at -JumpSpeed, gravity adds
// Gravity, the air steering and the walk move RunSpeed pixels.
constexpr float JumpSpeed = 11.85f, Gravity = 0.5f, RunSpeed = 4.0f;
// The player's box inside its 32 x 32 picture: its sides, top and feet.
constexpr float BoxLeft = 1, BoxRight = 30, BoxTop = 2, BoxFeet = 29;
constexpr float GoalSide = 70;
constexpr float WallGap = 5;
constexpr float LandOverlap = 6;

const SpriteRecord& SpriteOf(const LevelRecord& level, const char* name) {
    for (const SpriteRecord& s : level.sprites)
        if (s.name == name) return s;
    throw std::runtime_error(level.name + " has no " + name);
}

// A line whose ends differ by at most two pixels across.
bool Flat(const SegmentRecord& s) { return std::abs(s.y2 - s.y1) <= 2 && s.x1 != s.x2; }
bool Upright(const SegmentRecord& s) { return std::abs(s.x2 - s.x1) <= 2 && s.y1 != s.y2; }
float Left(const SegmentRecord& s) { return std::min(s.x1, s.x2); }
float Right(const SegmentRecord& s) { return std::max(s.x1, s.x2); }
float Top(const SegmentRecord& s) { return std::min(s.y1, s.y2); }
float Lowest(const SegmentRecord& s) { return std::max(s.y1, s.y2); }
// The normal (-dy, dx) points up for a line running right to left.
bool FacesUp(const SegmentRecord& s) { return s.x2 < s.x1; }
bool FacesDown(const SegmentRecord& s) { return s.x2 > s.x1; }
bool FacesLeft(const SegmentRecord& s) { return s.y2 > s.y1; }
bool FacesRight(const SegmentRecord& s) { return s.y2 < s.y1; }

float HeightAt(const SegmentRecord& s, float x) {
    const float t = std::clamp((x - s.x1) / (s.x2 - s.x1), 0.0f, 1.0f);
    return s.y1 + (s.y2 - s.y1) * t;
}

class ReachModel {
public:
    explicit ReachModel(const LevelRecord& level)
        : level(level), goal(SpriteOf(level, "goal")), worldHeight(float(level.worldHeight)) {}

    // A way off a floor: walk to `x`, then (a jump, or a walk off the edge
    // when `jump` is false) steer `first` until frame `after`, then `then`.
    struct Flight {
        float x;
        bool jump;
        int first, then, after;
        bool walkOnly = false;  // the goal is touched standing at x
    };

    // True when the goal is touched by a player dropped at (x, y).
    bool GoalFrom(float x, float y) { return FirstFlight(x, y).has_value(); }

    // The first move of a way from a player dropped at (x, y) to the goal.
    std::optional<Flight> FirstFlight(float x, float y) {
        using Key = std::pair<std::size_t, int>;
        std::map<Key, std::pair<Key, Flight>> cameFrom;
        std::queue<Key> open;
        const Key root{SIZE_MAX, 0};
        std::optional<std::pair<Key, Flight>> found;
        // Back from the node the goal was touched from to the node the drop
        // landed on: the flight taken from there.
        auto first = [&](Key key, Flight flight) {
            for (auto at = cameFrom.at(key); at.first != root; at = cameFrom.at(key)) {
                flight = at.second;
                key = at.first;
            }
            return flight;
        };
        auto fly = [&](const Key& from, const Flight& f, float sx, float sy, float vx, float vy) {
            bool touched = false;
            const auto at = Fly(sx, sy, vx, vy, f.first, f.then, f.after, touched);
            if (touched && !found) found = {{from, f}};
            if (!at) return;
            const Key key{at->floor, RegionOf(at->floor, at->x)};
            if (cameFrom.emplace(key, std::make_pair(from, f)).second) open.push(key);
        };
        // Where the player already stands counts, however little of it is underfoot.
        landOverlap = 0;
        fly(root, {x, false, 0, 0, 0}, x, y, 0, 0);
        landOverlap = LandOverlap;
        if (found) return Flight{x, false, 0, 0, 0, true};  // touched while dropping
        while (!open.empty() && !found) {
            const Key node = open.front();
            open.pop();
            const auto [floor, region] = node;
            const auto [from, to] = Region(floor, region);
            auto standY = [&](float sx) { return HeightAt(level.segments[floor], sx + 15) - BoxFeet - standFeet; };
            for (float sx = from; sx <= to && !found; sx += std::max(1.0f, std::min(12.0f, to - from))) {
                if (Touches(sx, standY(sx))) found = {{node, Flight{sx, false, 0, 0, 0, true}}};
                for (int d1 : {1, -1, 0})
                    for (int d2 : {1, -1, 0})
                        for (int after : {6, 14, 22, 30, 38})
                            if (!found) fly(node, {sx, true, d1, d2, after}, sx, standY(sx), float(d1) * run, -jump);
            }
            // Walking off either end of the region.
            for (int dir : {1, -1}) {
                const float sx = dir < 0 ? from : to;
                for (int d2 : {1, -1, 0})
                    for (int after : {4, 12, 20})
                        if (!found) fly(node, {sx, false, dir, d2, after}, sx, standY(sx), float(dir) * run, 0);
            }
        }
        if (!found) return std::nullopt;
        return first(found->first, found->second);
    }

    // The floor a player dropped at (x, y) lands on, if any.
    std::optional<std::size_t> LandingFloor(float x, float y) {
        bool touched = false;
        const auto at = Fly(x, y, 0, 0, 0, 0, 0, touched);
        return at ? std::optional<std::size_t>(at->floor) : std::nullopt;
    }

    // Where a player dropped at (x, y) and walking right stops at a wall, if
    // a wall cuts the floor it lands on before the floor ends.
    std::optional<float> WallStop(float x, float y) {
        bool touched = false;
        const auto at = Fly(x, y, 0, 0, 0, 0, 0, touched);
        if (!at) return std::nullopt;
        const auto [from, to] = Region(at->floor, RegionOf(at->floor, at->x));
        if (to >= Right(level.segments[at->floor]) - BoxLeft - 1) return std::nullopt;
        return to;
    }

private:
    struct Landing {
        std::size_t floor;
        float x;
    };

    bool Touches(float x, float y) const {
        return x + BoxRight >= goal.startX && x + BoxLeft <= goal.startX + GoalSide - 1 && y + BoxFeet >= goal.startY &&
               y + BoxTop <= goal.startY + GoalSide - 1;
    }

    bool Blocks(const SegmentRecord& s, float y, float vx) const {
        if (s.id != 1 || !Upright(s)) return false;
        if (!(vx > 0 ? FacesLeft(s) : FacesRight(s))) return false;
        return Top(s) < y + BoxFeet && Lowest(s) > y + BoxTop;
    }

    // Standing places on a floor, cut where a wall stands across the player's box.
    std::vector<std::pair<float, float>> Regions(std::size_t floor) const {
        const SegmentRecord& f = level.segments[floor];
        const float y = std::min(f.y1, f.y2) - BoxFeet - 1;
        std::vector<float> cuts;
        for (const SegmentRecord& s : level.segments)
            if (s.id == 1 && Upright(s) && Top(s) < y + BoxFeet && Lowest(s) > y + BoxTop && s.x1 > Left(f) - 30 &&
                s.x1 < Right(f) + 30)
                cuts.push_back(s.x1);
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::pair<float, float>> out;
        float from = Left(f) - BoxRight + 1;
        const float end = Right(f) - BoxLeft - 1;
        for (float c : cuts) {
            // The player keeps a few pixels off a wall it walks to.
            if (c - BoxRight - WallGap >= from) out.push_back({from, std::min(end, c - BoxRight - WallGap)});
            from = std::max(from, c - BoxLeft + WallGap);
        }
        if (from <= end) out.push_back({from, end});
        return out;
    }

    int RegionOf(std::size_t floor, float x) const {
        const auto regions = Regions(floor);
        for (std::size_t i = 0; i < regions.size(); ++i)
            if (x <= regions[i].second + 1) return int(i);
        return int(regions.size()) - 1;
    }

    std::pair<float, float> Region(std::size_t floor, int region) const {
        const auto regions = Regions(floor);
        if (regions.empty()) return {1, 0};
        return regions[std::size_t(std::clamp(region, 0, int(regions.size()) - 1))];
    }

    // One flight: steering `first` (-1, 0 or 1; 0 keeps the momentum) until
    // frame `after`, then `then`. Answers the floor it lands on.
    std::optional<Landing> Fly(float x, float y, float vx, float vy, int first, int then, int after, bool& touched) {
        for (int frame = 0; frame < 600; ++frame) {
            const int steer = frame < after ? first : then;
            if (steer != 0) vx = float(steer) * run;
            vy += Gravity;
            if (vx != 0)
                for (const SegmentRecord& s : level.segments)
                    if (Blocks(s, y, vx)) {
                        const float edge = vx > 0 ? x + BoxRight : x + BoxLeft;
                        if ((vx > 0 && edge <= s.x1 && edge + vx >= s.x1) || (vx < 0 && edge >= s.x1 && edge + vx <= s.x1)) {
                            x = vx > 0 ? s.x1 - BoxRight - 1 : s.x1 - BoxLeft + 1;
                            vx = 0;
                        }
                    }
            x += vx;
            std::optional<Landing> landed;
            float landY = 0;
            for (std::size_t i = 0; i < level.segments.size(); ++i) {
                const SegmentRecord& s = level.segments[i];
                // A landing needs the feet well over the floor, not on its very end.
                if (!Flat(s) || x + BoxRight < Left(s) + landOverlap || x + BoxLeft > Right(s) - landOverlap) continue;
                const float at = HeightAt(s, std::clamp(x + 15, Left(s), Right(s)));
                if (vy > 0 && s.id == 0 && FacesUp(s) && y + BoxFeet <= at && y + BoxFeet + vy >= at &&
                    (!landed || at < landY))
                    landed = Landing{i, x}, landY = at;
                if (vy < 0 && FacesDown(s) && y + BoxTop >= at && y + BoxTop + vy <= at) vy = 0;
            }
            if (landed) {
                if (Touches(x, landY - BoxFeet - 1)) touched = true;
                return landed;
            }
            y += vy;
            if (Touches(x, y)) touched = true;
            if (y > worldHeight) return std::nullopt;
        }
        return std::nullopt;
    }

    const LevelRecord& level;
    const SpriteRecord& goal;
    const float worldHeight;
    float jump = JumpSpeed, run = RunSpeed, standFeet = 1, landOverlap = LandOverlap;
};

bool IsPlaying(const LevelRecord& level) {
    return level.name.rfind("Level_", 0) == 0 && level.name != "Level_40";
}

TEST(LevelReach, EveryPlayingLevelsGoalIsReachedFromTheStartAndAfterAFall) {
    int playing = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (!IsPlaying(level) || level.name == "Level_31") continue;
        ++playing;
        const SpriteRecord& player = SpriteOf(level, "protag");
        ReachModel model(level);
        EXPECT_TRUE(model.GoalFrom(player.startX, player.startY)) << level.name << ": goal out of reach from the start";
        // A fall out of the world puts the player back here.
        EXPECT_TRUE(model.GoalFrom(57, float(level.worldHeight) - 184)) << level.name << ": goal out of reach after a fall";
    }
    EXPECT_EQ(playing, 33);
}

TEST(LevelReach, TheLongFloorOfLevel31LeadsToItsGoal) {
    // Its floor runs past its bitmap; the whole width is walked to the goal.
    const LevelRecord& level = nolt::LevelRecordOf(34);
    ASSERT_EQ(level.name, "Level_31");
    EXPECT_TRUE(ReachModel(level).GoalFrom(57, 296));
}

TEST(LevelReach, FloorsUnderTheStartAndTheGoalFaceUp) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (!IsPlaying(level)) continue;
        const SpriteRecord& player = SpriteOf(level, "protag");
        const SpriteRecord& goal = SpriteOf(level, "goal");
        ReachModel model(level);
        const auto start = model.LandingFloor(player.startX, player.startY);
        ASSERT_TRUE(start.has_value()) << level.name << ": the player falls through the start";
        EXPECT_TRUE(FacesUp(level.segments[*start])) << level.name;
        // Dropped from the goal's middle, the player lands on the goal's floor.
        const auto under = model.LandingFloor(goal.startX + GoalSide / 2 - 16, goal.startY);
        ASSERT_TRUE(under.has_value()) << level.name << ": nothing under the goal";
        const SegmentRecord& floor = level.segments[*under];
        EXPECT_TRUE(FacesUp(floor)) << level.name;
        EXPECT_LT(Top(floor) - (goal.startY + GoalSide), 32) << level.name << ": the goal floats out of reach";
    }
}

}  // namespace

// The model is no better a jumper than the player: the game's movement logic,
// on a flat floor, jumps at least as high and as far and walks as fast.
class LevelReachModelTest : public gametest::LevelTest {};

TEST_F(LevelReachModelTest, TheRealPlayerJumpsHigherAndFartherThanTheModel) {
    MakeMap({{640, 400, 0, 400, 0}, {5, 400, 5, 0, 1}, {635, 0, 635, 400, 1}});
    Sprite* p = AddPlayer(40, 360);
    for (int n = 0; n < 60; ++n) Frame();
    const float restX = p->WorldPositionX(), restY = p->WorldPositionY();

    // The model's flight from a standstill, holding right.
    float modelApex = 0, modelRange = 0;
    {
        float y = 0, vy = -JumpSpeed, x = 0;
        for (int frame = 0; frame < 200; ++frame) {
            vy += Gravity;
            y += vy;
            x += RunSpeed;
            modelApex = std::min(modelApex, y);
            if (y >= 0) break;
            modelRange = x;
        }
    }
    Frame({key::Up, key::Right});
    float apex = 0, range = 0;
    for (int n = 0; n < 200; ++n) {
        Frame({key::Right});
        apex = std::min(apex, p->WorldPositionY() - restY);
        if (p->WorldPositionY() - restY >= 0) break;
        range = p->WorldPositionX() - restX;
    }
    EXPECT_LE(apex, modelApex - 3) << "the model jumps higher than the player";
    EXPECT_GE(range, modelRange + 8) << "the model jumps farther than the player";

    // Walking: at least the model's pace.
    for (int n = 0; n < 30; ++n) Frame();
    const float from = p->WorldPositionX();
    for (int n = 0; n < 20; ++n) Frame({key::Right});
    EXPECT_GE(p->WorldPositionX() - from, 20 * RunSpeed);
}

// The real player on the built levels: it lands on its start floor and stays
// there, and walking right it stops at the first wall that faces it.
class LevelOnFootTest : public gametest::BuiltLevelTest {
protected:
    static constexpr int Platform = 1;  // PlyrOnWhatSM's standing state

    Sprite* Player() {
        std::vector<Sprite*> found = Named(built, "protag");
        return found.empty() ? nullptr : found.front();
    }

    bool Standing(Sprite* p) { return p->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) == Platform; }

    int FramesToStand(Sprite* p) {
        for (int n = 1; n <= 180; ++n) {
            Frame();
            if (Standing(p)) return n;
        }
        return -1;
    }
};

TEST_F(LevelOnFootTest, ThePlayerLandsOnItsStartFloorAndStaysThere) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& record = nolt::LevelRecordOf(k);
        if (!IsPlaying(record)) continue;
        SCOPED_TRACE(record.name);
        ASSERT_NE(Build(k), nullptr);
        Sprite* p = Player();
        ASSERT_NE(p, nullptr);
        ASSERT_GT(FramesToStand(p), 0) << "never stands";
        const float y = p->WorldPositionY();
        for (int n = 0; n < 60; ++n) Frame();
        EXPECT_TRUE(Standing(p));
        EXPECT_NEAR(p->WorldPositionY(), y, 2.0f) << "sinks or is sent back";
        const auto floor = ReachModel(record).LandingFloor(SpriteOf(record, "protag").startX, SpriteOf(record, "protag").startY);
        ASSERT_TRUE(floor.has_value());
        EXPECT_NEAR(y + BoxFeet, Top(record.segments[*floor]), 8.0f) << "stands on another floor";
        Leave();
        ClearReports();
    }
}

TEST_F(LevelOnFootTest, WalkingRightThePlayerStopsAtTheFirstWallFacingIt) {
    int walled = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& record = nolt::LevelRecordOf(k);
        // Level_31's floor runs past its bitmap, where the map's grid ends.
        if (!IsPlaying(record) || record.name == "Level_31") continue;
        const SpriteRecord& start = SpriteOf(record, "protag");
        const auto stop = ReachModel(record).WallStop(start.startX, start.startY);
        if (!stop) continue;
        ++walled;
        SCOPED_TRACE(record.name);
        ASSERT_NE(Build(k), nullptr);
        Sprite* p = Player();
        ASSERT_NE(p, nullptr);
        ASSERT_GT(FramesToStand(p), 0);
        const float y = p->WorldPositionY();
        const int frames = int((*stop - p->WorldPositionX()) / RunSpeed) + 60;
        for (int n = 0; n < frames; ++n) Frame({key::Right});
        EXPECT_LE(p->WorldPositionX(), *stop + 4) << "walked through the wall";
        EXPECT_GE(p->WorldPositionX(), *stop - 8) << "stopped short of the wall";
        EXPECT_NEAR(p->WorldPositionY(), y, 2.0f);
        Leave();
        ClearReports();
    }
    EXPECT_GE(walled, 5);
}
