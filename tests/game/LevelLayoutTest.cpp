// Level design as a player meets it, read from the records with the reach
// model: no two levels of a world are one layout over again, and in the long
// levels a missed jump costs only the crossing it was made on.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ReachModel.h"
#include "levels/LevelData.h"

namespace {

using nolt::LevelRecord;
using nolt::SegmentRecord;
using reach::ReachModel;
using Key = ReachModel::Key;

// Levels four screens wide or more are long.
constexpr float LongLevel = 4 * 640;
// A fall lands no farther from where it began than one screen.
constexpr float FallReach = 640;
// Height and breadth below which a move counts as level, or straight up.
constexpr float Level = 30, Straight = 40;
// A jump that rises 110 pixels at most: a player plans its way without
// stretching every jump to the limit, so it takes a staircase step by step.
constexpr float ComfortableJump = 10.5f;

// The world of a playing level by its number: 1 to 10 the first, 11 to 20
// the second, 21 to 30 the third, 31 to 34 the fourth; 0 for any other level.
int WorldOf(const LevelRecord& level) {
    if (level.name.rfind("Level_", 0) != 0) return 0;
    const int n = std::stoi(level.name.substr(6));
    return n > 34 ? 0 : (n - 1) / 10 + 1;
}

const nolt::SpriteRecord& Player(const LevelRecord& level) { return reach::SpriteOf(level, "protag"); }

bool Touching(const SegmentRecord& a, const SegmentRecord& b) {
    return reach::Left(a) <= reach::Right(b) + 2 && reach::Left(b) <= reach::Right(a) + 2;
}

// A move as a player feels it, from one landing to the next (the walk to
// the take-off included): up, level or down ('U', 'L', 'D'), and on the way
// the route was going, back the other way, or straight ('S', 'T', '0'). The
// route's ends are '<' and '>'.
using Move = std::string;

class Rhythm {
public:
    Move Next(float dx, float dy) {
        Move m{dy < -Level ? 'U' : dy > Level ? 'D' : 'L'};
        if (std::abs(dx) < Straight) return m + '0';
        const int now = dx > 0 ? 1 : -1;
        m += way == 0 || now == way ? 'S' : 'T';
        way = now;
        return m;
    }

private:
    int way = 0;
};

// A level's layout template: which move follows which along the shortest
// way from its start to its goal with comfortable jumps. Sizes and counts
// drop out, so a module repeated, grown or mirrored is the same template;
// what differs is the rhythm of climbs, crossings, drops and turns the
// player is asked for.
std::set<std::pair<Move, Move>> TemplateOf(const LevelRecord& level) {
    // Level_1's lines are given, and its block rises 131 pixels: its one
    // way asks for the full jump.
    ReachModel model(level, level.name == "Level_1" ? reach::JumpSpeed : ComfortableJump);
    const ReachModel::Way way = model.Route(Player(level).startX, Player(level).startY);
    EXPECT_FALSE(way.places.empty()) << level.name << " asks for a jump near the limit on every way";
    std::vector<Move> moves{"<"};
    Rhythm rhythm;
    for (std::size_t i = 1; i < way.places.size(); ++i) {
        const auto& [from, before] = way.places[i - 1];
        const auto& [to, arrival] = way.places[i];
        const float dy = model.FloorAt(to, arrival.landX) - model.FloorAt(from, arrival.flight.x);
        // Walking from one floor onto the next that touches it is no move.
        if (std::abs(dy) <= 2 && from.first != to.first &&
            Touching(level.segments[from.first], level.segments[to.first]))
            continue;
        moves.push_back(rhythm.Next(arrival.landX - before.landX, dy));
    }
    if (!way.places.empty() && !way.touch.walkOnly) {
        // The last move reaches for the goal, standing a floor's height above its bottom.
        const auto& [last, arrival] = way.places.back();
        const auto& goal = reach::SpriteOf(level, "goal");
        const float dy = goal.startY + reach::GoalSide + 2 - model.FloorAt(last, way.touch.x);
        moves.push_back(rhythm.Next(goal.startX + reach::GoalSide / 2 - 16 - arrival.landX, dy));
    }
    moves.push_back(">");
    std::set<std::pair<Move, Move>> out;
    for (std::size_t i = 1; i < moves.size(); ++i) out.insert({moves[i - 1], moves[i]});
    return out;
}

std::string Spelled(const std::set<std::pair<Move, Move>>& pairs) {
    std::string out;
    for (const auto& [a, b] : pairs) out += a + "-" + b + " ";
    return out;
}

// Every world: each of its levels asks for a rhythm of its own, the short
// runs of the first worlds as much as the towers and crossings of the later.
TEST(LevelLayout, NoTwoLevelsOfAWorldShareALayoutTemplate) {
    std::map<int, std::vector<std::pair<std::string, std::set<std::pair<Move, Move>>>>> worlds;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (WorldOf(level) == 0) continue;
        worlds[WorldOf(level)].push_back({level.name, TemplateOf(level)});
    }
    ASSERT_EQ(worlds.size(), 4u);
    for (int world : {1, 2, 3}) EXPECT_EQ(worlds[world].size(), 10u) << "world " << world;
    for (const auto& [world, levels] : worlds)
        for (std::size_t i = 0; i < levels.size(); ++i)
            for (std::size_t j = i + 1; j < levels.size(); ++j)
                EXPECT_NE(levels[i].second, levels[j].second)
                    << levels[i].first << " and " << levels[j].first << " share " << Spelled(levels[i].second);
}

// The places from which the goal is reached: those it is touched from, and
// every place one flight leads from to one of them.
std::set<Key> Finishing(const ReachModel::Search& search) {
    std::set<Key> out;
    for (const auto& [key, flight] : search.touching) out.insert(key);
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [from, to] : search.next)
            if (!out.count(from))
                for (const Key& k : to)
                    if (out.count(k)) {
                        out.insert(from);
                        grew = true;
                        break;
                    }
    }
    return out;
}

TEST(LevelLayout, AFallInALongLevelLandsWhereTheRestIsStillReachable) {
    int long_ = 0, edges = 0;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        if (WorldOf(level) == 0 || float(level.worldWidth) < LongLevel) continue;
        ++long_;
        SCOPED_TRACE(level.name);
        ReachModel model(level);
        const ReachModel::Search search = model.Explore(Player(level).startX, Player(level).startY, true);
        const std::set<Key> finishing = Finishing(search);
        // Off every end of every floor of the course (as high as the start
        // or higher: not the basins a fall lands in), a walk over the edge, or
        // a jump that falls short of the far side, comes down nearby on a
        // floor the goal is still reached from.
        float startFloor = 0;
        for (const auto& [key, arrival] : search.cameFrom)
            if (arrival.from == ReachModel::Dropped) startFloor = model.FloorAt(key, arrival.landX);
        for (const auto& [key, arrival] : search.cameFrom)
            for (int dir : {-1, 1}) {
                if (model.Walled(key, dir) || model.FloorAt(key, arrival.landX) > startFloor + 2) continue;
                ++edges;
                const auto [from, to] = model.Stretch(key);
                const float edge = dir < 0 ? from : to;
                const auto landing = model.WalkOff(key, dir);
                ASSERT_TRUE(landing.has_value()) << "a fall off x " << edge << " leaves the world";
                const auto& [where, x] = *landing;
                EXPECT_LE(std::abs(x - edge), FallReach) << "a fall off x " << edge << " lands at x " << x;
                const bool onward =
                    finishing.count(where) > 0 || model.GoalFrom(x, model.FloorAt(where, x) - reach::BoxFeet - 1);
                EXPECT_TRUE(onward) << "a fall off x " << edge << " lands at x " << x << " out of the goal's reach";
            }
    }
    EXPECT_EQ(long_, 4);
    EXPECT_GT(edges, 50);
}

}  // namespace
