// A model of the player's movement on a level's records (walk, jump, steer
// in the air, fall, land only on floors that face up, stopped by walls that
// face it), and the graph of standing places it can reach: the levels' tests
// ask it whether and how a goal is reached. It jumps a little lower and runs
// a little slower than the real player (LevelReachTest checks that).
#pragma once
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <queue>
#include <stdexcept>
#include <string>
#include <vector>

#include "levels/LevelData.h"

namespace reach {

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

inline const SpriteRecord& SpriteOf(const LevelRecord& level, const char* name) {
    for (const SpriteRecord& s : level.sprites)
        if (s.name == name) return s;
    throw std::runtime_error(level.name + " has no " + name);
}

// A line whose ends differ by at most two pixels across.
inline bool Flat(const SegmentRecord& s) { return std::abs(s.y2 - s.y1) <= 2 && s.x1 != s.x2; }
inline bool Upright(const SegmentRecord& s) { return std::abs(s.x2 - s.x1) <= 2 && s.y1 != s.y2; }
inline float Left(const SegmentRecord& s) { return std::min(s.x1, s.x2); }
inline float Right(const SegmentRecord& s) { return std::max(s.x1, s.x2); }
inline float Top(const SegmentRecord& s) { return std::min(s.y1, s.y2); }
inline float Lowest(const SegmentRecord& s) { return std::max(s.y1, s.y2); }
// The normal (-dy, dx) points up for a line running right to left.
inline bool FacesUp(const SegmentRecord& s) { return s.x2 < s.x1; }
inline bool FacesDown(const SegmentRecord& s) { return s.x2 > s.x1; }
inline bool FacesLeft(const SegmentRecord& s) { return s.y2 > s.y1; }
inline bool FacesRight(const SegmentRecord& s) { return s.y2 < s.y1; }

inline float HeightAt(const SegmentRecord& s, float x) {
    const float t = std::clamp((x - s.x1) / (s.x2 - s.x1), 0.0f, 1.0f);
    return s.y1 + (s.y2 - s.y1) * t;
}

class ReachModel {
public:
    // `jumpSpeed`: a lower one models a player who keeps clear of its
    // longest jumps.
    explicit ReachModel(const LevelRecord& level, float jumpSpeed = JumpSpeed)
        : level(level), goal(SpriteOf(level, "goal")), worldHeight(float(level.worldHeight)), jump(jumpSpeed) {
        for (const SegmentRecord& f : level.segments) cornered.push_back({Cornered(f, Left(f)), Cornered(f, Right(f))});
    }

    // A way off a floor: walk to `x`, then (a jump, or a walk off the edge
    // when `jump` is false) steer `first` until frame `after`, then `then`.
    struct Flight {
        float x;
        bool jump;
        int first, then, after;
        bool walkOnly = false;  // the goal is touched standing at x
    };

    // A standing place: a floor and a stretch of it between walls.
    using Key = std::pair<std::size_t, int>;
    static constexpr Key Dropped{SIZE_MAX, 0};

    // How a standing place was first reached: from where, by which flight,
    // landing at which x.
    struct Arrival {
        Key from;
        Flight flight;
        float landX;
    };

    struct Search {
        std::map<Key, Arrival> cameFrom;
        std::map<Key, std::vector<Key>> next;  // the places one flight from each
        std::map<Key, Flight> touching;        // places from which the goal is touched
        std::optional<Key> first;              // the first of them found
        bool touchedDropping = false;
    };

    // The places a player dropped at (x, y) reaches, breadth first; stops at
    // the first one from which the goal is touched unless `wholeGraph`.
    Search Explore(float x, float y, bool wholeGraph = false) {
        Search out;
        std::queue<Key> open;
        auto done = [&] { return out.first.has_value() && !wholeGraph; };
        auto touch = [&](const Key& at, const Flight& f) {
            out.touching.emplace(at, f);
            if (!out.first) out.first = at;
        };
        auto fly = [&](const Key& from, const Flight& f, float sx, float sy, float vx, float vy) {
            bool touched = false;
            const auto at = Fly(sx, sy, vx, vy, f.first, f.then, f.after, touched);
            if (touched) from == Dropped ? void(out.touchedDropping = true) : touch(from, f);
            if (!at) return;
            const Key key{at->floor, RegionOf(at->floor, at->x)};
            if (from != Dropped) out.next[from].push_back(key);
            if (out.cameFrom.emplace(key, Arrival{from, f, at->x}).second) open.push(key);
        };
        // Where the player already stands counts, however little of it is underfoot.
        landOverlap = 0;
        fly(Dropped, {x, false, 0, 0, 0}, x, y, 0, 0);
        landOverlap = LandOverlap;
        if (out.touchedDropping && !wholeGraph) return out;
        while (!open.empty() && !done()) {
            const Key node = open.front();
            open.pop();
            const auto [floor, region] = node;
            const auto [from, to] = Region(floor, region);
            auto standY = [&](float sx) { return HeightAt(level.segments[floor], sx + 15) - BoxFeet - standFeet; };
            for (float sx = from; sx <= to && !done(); sx += std::max(1.0f, std::min(12.0f, to - from))) {
                if (Touches(sx, standY(sx))) touch(node, Flight{sx, false, 0, 0, 0, true});
                for (int d1 : {1, -1, 0})
                    for (int d2 : {1, -1, 0})
                        for (int after : {6, 14, 22, 30, 38})
                            if (!done()) fly(node, {sx, true, d1, d2, after}, sx, standY(sx), float(d1) * run, -jump);
            }
            // Walking off either end of the region.
            for (int dir : {1, -1}) {
                const float sx = dir < 0 ? from : to;
                for (int d2 : {1, -1, 0})
                    for (int after : {4, 12, 20})
                        if (!done()) fly(node, {sx, false, dir, d2, after}, sx, standY(sx), float(dir) * run, 0);
            }
        }
        return out;
    }

    // True when the goal is touched by a player dropped at (x, y).
    bool GoalFrom(float x, float y) { return FirstFlight(x, y).has_value(); }

    // The first move of a way from a player dropped at (x, y) to the goal.
    std::optional<Flight> FirstFlight(float x, float y) {
        const Search search = Explore(x, y);
        if (search.touchedDropping) return Flight{x, false, 0, 0, 0, true};
        if (!search.first) return std::nullopt;
        Flight flight = search.touching.at(*search.first);
        for (Key key = *search.first; search.cameFrom.at(key).from != Dropped; key = search.cameFrom.at(key).from)
            flight = search.cameFrom.at(key).flight;
        return flight;
    }

    // A shortest way from a player dropped at (x, y) to the goal: the places
    // it stands on, each with the flight that reached it, and the move that
    // touches the goal from the last. No places when the goal is out of
    // reach or touched on the drop.
    struct Way {
        std::vector<std::pair<Key, Arrival>> places;
        Flight touch{};
    };

    Way Route(float x, float y) {
        const Search search = Explore(x, y);
        Way out;
        if (!search.first) return out;
        out.touch = search.touching.at(*search.first);
        for (Key key = *search.first; key != Dropped; key = search.cameFrom.at(key).from)
            out.places.push_back({key, search.cameFrom.at(key)});
        std::reverse(out.places.begin(), out.places.end());
        return out;
    }

    // The stretch a standing place covers: the leftmost and rightmost x of
    // the player's picture standing there.
    std::pair<float, float> Stretch(const Key& key) const { return Region(key.first, key.second); }

    // The height of the floor of a standing place, at x.
    float FloorAt(const Key& key, float x) const { return HeightAt(level.segments[key.first], x + 15); }

    // True when a wall, not the floor's end, bounds a standing place on that
    // side (dir -1 the left, 1 the right).
    bool Walled(const Key& key, int dir) const {
        const auto [from, to] = Region(key.first, key.second);
        const SegmentRecord& f = level.segments[key.first];
        return dir < 0 ? from > Left(f) - BoxRight + 1 : to < Right(f) - BoxLeft - 1;
    }

    // Where a player walking off one end of a standing place lands, its
    // speed halved as it leaves the floor; no value when it falls out of the world.
    std::optional<std::pair<Key, float>> WalkOff(const Key& key, int dir) {
        const auto [from, to] = Region(key.first, key.second);
        const SegmentRecord& f = level.segments[key.first];
        const float sx = dir < 0 ? from : to;
        bool touched = false;
        const auto at = Fly(sx, HeightAt(f, sx + 15) - BoxFeet - standFeet, float(dir) * run / 2, 0, 0, 0, 0, touched);
        if (!at) return std::nullopt;
        return std::make_pair(Key{at->floor, RegionOf(at->floor, at->x)}, at->x);
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

    // A player held by a wall stands a few pixels nearer it than a walk
    // takes it: a place between two regions belongs to the nearer one, never
    // to the far side of the wall.
    int RegionOf(std::size_t floor, float x) const {
        const auto regions = Regions(floor);
        for (std::size_t i = 0; i + 1 < regions.size(); ++i)
            if (x <= (regions[i].second + regions[i + 1].first) / 2) return int(i);
        return int(regions.size()) - 1;
    }

    std::pair<float, float> Region(std::size_t floor, int region) const {
        const auto regions = Regions(floor);
        if (regions.empty()) return {1, 0};
        return regions[std::size_t(std::clamp(region, 0, int(regions.size()) - 1))];
    }

    // A floor's end where a wall runs down from it is the corner of a body:
    // a player coming down over it lands however little of it is underfoot,
    // instead of slipping down inside the body.
    bool Cornered(const SegmentRecord& f, float end) const {
        if (!Flat(f)) return false;
        for (const SegmentRecord& s : level.segments)
            if (s.id == 1 && Upright(s) && std::abs(s.x1 - end) <= 1 && std::abs(Top(s) - Top(f)) <= 2) return true;
        return false;
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
                        if ((vx > 0 && edge <= s.x1 && edge + vx >= s.x1) ||
                            (vx < 0 && edge >= s.x1 && edge + vx <= s.x1)) {
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
                if (!Flat(s) || x + BoxRight < Left(s) + (cornered[i].first ? 0 : landOverlap) ||
                    x + BoxLeft > Right(s) - (cornered[i].second ? 0 : landOverlap))
                    continue;
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
    float jump, run = RunSpeed, standFeet = 1, landOverlap = LandOverlap;
    std::vector<std::pair<bool, bool>> cornered;  // per segment: its left and right ends are a body's corners
};

}  // namespace reach
