// A bot that plays a level as a player would: it reads the level's collision
// segments, the player's and the goal's positions, plans a route of walks,
// jumps and drops from floor to floor with the player's movement rules, and
// presses the movement keys to follow it, planning again at every landing.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "logic/GameDeclarations.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"

// The level's sprite of that name, or null when missing (the game's own
// FindSprite ends the program on a missing name).
inline Sprite* LevelSprite(const char* name) {
    if (gNode == nullptr) return nullptr;
    for (int list = 0; list < GameNode::DisplayListCount; ++list)
        for (node* p = gNode->DisplayList(list).Head(); !p->EOList(); p = p->Next())
            if (std::strcmp(static_cast<Sprite*>(p)->Name(), name) == 0) return static_cast<Sprite*>(p);
    return nullptr;
}

class PlayerBot {
public:
    // One frame: looks at the level and sets the keys for it. `Keys` has
    // Set(key, down) and Tap(key).
    template <class Keys>
    void Step(Keys& keys) {
        Sprite* player = LevelSprite("protag");
        Sprite* goalSprite = LevelSprite("goal");
        if (player == nullptr || goalSprite == nullptr) return;
        if (!read) ReadLevel(*goalSprite);
        ++frames;
        const float x = player->WorldPositionX(), y = player->WorldPositionY();
        const bool standing = player->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) == PlatformState;
        // Wedged where the player neither stands nor falls: jump out of it,
        // one way and then the other.
        stillFrames = std::fabs(x - stillX) < 0.25f && std::fabs(y - stillY) < 0.25f ? stillFrames + 1 : 0;
        stillX = x, stillY = y;
        if (stillFrames > 30) {
            if (stillFrames % 20 == 0) keys.Tap(KeyUp);
            const int away = (stillFrames / 60) % 2 ? 1 : -1;
            keys.Set(KeyLeft, away < 0);
            keys.Set(KeyRight, away > 0);
            walking = away;
            plan.reset();
            airFrames = -1;
            wasStanding = false;
            return;
        }
        int steer = 0;
        if (standing) {
            if (!wasStanding || !plan) Replan(x, y);
            airFrames = -1;
            steer = plan ? GroundSteer(x, keys) : Explore(x);
        } else {
            if (airFrames >= 0) ++airFrames;
            steer = AirSteer(x);
        }
        wasStanding = standing;
        walking = steer;
        keys.Set(KeyLeft, steer < 0);
        keys.Set(KeyRight, steer > 0);
    }

private:
    static constexpr unsigned char KeyLeft = 0xCB, KeyRight = 0xCD, KeyUp = 0xC8;
    static constexpr int PlatformState = 1;
    // The player's movement (pixels, per frame) and its box in its picture.
    static constexpr float JumpSpeed = 11.5f * 1.05f, Gravity = 0.5f, RunSpeed = 4.25f;
    static constexpr float BoxLeft = 1, BoxRight = 30, BoxTop = 2, BoxFeet = 29;

    struct Line {
        float x1, y1, x2, y2;
        float Left() const { return std::min(x1, x2); }
        float Right() const { return std::max(x1, x2); }
        float Top() const { return std::min(y1, y2); }
        float Lowest() const { return std::max(y1, y2); }
        float HeightAt(float x) const {
            const float t = std::clamp((x - x1) / (x2 - x1), 0.0f, 1.0f);
            return y1 + (y2 - y1) * t;
        }
    };
    struct Wall {
        Line line;
        bool facesLeft;  // stops a player moving right
    };
    // Where a flight starts and how it steers: `first` until frame `after`, then `then`.
    struct Move {
        float x = 0;
        bool jump = false;
        int first = 0, then = 0, after = 0;
    };
    struct Place {
        std::size_t floor;
        int region;
        bool operator<(const Place& o) const { return floor != o.floor ? floor < o.floor : region < o.region; }
    };
    struct Landing {
        Place at;
        float x;
    };

    void ReadLevel(Sprite& goalSprite) {
        read = true;
        goalLeft = goalSprite.WorldPositionX();
        goalTop = goalSprite.WorldPositionY();
        goalRight = goalLeft + float(goalSprite.Width()) - 1;
        goalBottom = goalTop + float(goalSprite.Height()) - 1;
        worldHeight = float(gNode->WorldHeight());
        for (node* m = gNode->Maps().Head(); !m->EOList(); m = m->Next()) {
            Map* map = static_cast<Map*>(m);
            const float wx = map->WorldPositionX(), wy = map->WorldPositionY();
            for (node* n = map->Shapes().Head(); !n->EOList(); n = n->Next()) {
                const auto* shape = static_cast<CollisionData*>(n);
                if (shape->Type() != CollisionData::SegmentKind) continue;
                const auto* s = static_cast<const CollisionSegment*>(shape);
                const Line l{s->OriginX() + wx, s->OriginY() + wy, s->EndX() + wx, s->EndY() + wy};
                const bool flat = std::fabs(l.y2 - l.y1) <= 2 && l.x1 != l.x2;
                const bool upright = std::fabs(l.x2 - l.x1) <= 2 && l.y1 != l.y2;
                if (flat && s->Id() == 0 && l.x2 < l.x1) floors.push_back(l);
                if (flat && l.x2 > l.x1) ceilings.push_back(l);
                if (upright && s->Id() == 1) walls.push_back(Wall{l, l.y2 > l.y1});
            }
        }
    }

    bool Touches(float x, float y) const {
        return x + BoxRight >= goalLeft && x + BoxLeft <= goalRight && y + BoxFeet >= goalTop &&
               y + BoxTop <= goalBottom;
    }

    // Standing places on a floor, cut where a wall stands across the player's box.
    std::vector<std::pair<float, float>> Regions(std::size_t floor) const {
        const Line& f = floors[floor];
        const float y = f.Top() - BoxFeet - 1;
        std::vector<float> cuts;
        for (const Wall& w : walls)
            if (w.line.Top() < y + BoxFeet && w.line.Lowest() > y + BoxTop && w.line.x1 > f.Left() - 30 &&
                w.line.x1 < f.Right() + 30)
                cuts.push_back(w.line.x1);
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::pair<float, float>> out;
        float from = f.Left() - BoxRight + 1;
        const float end = f.Right() - BoxLeft - 1;
        for (float c : cuts) {
            if (c - BoxRight - 1 >= from) out.push_back({from, std::min(end, c - BoxRight - 1)});
            from = std::max(from, c - BoxLeft + 1);
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

    std::optional<Landing> Fly(float x, float y, float vx, float vy, const Move& m, bool& touched) const {
        for (int frame = 0; frame < 600; ++frame) {
            const int steer = frame < m.after ? m.first : m.then;
            if (steer != 0) vx = float(steer) * RunSpeed;
            vy += Gravity;
            for (const Wall& w : walls) {
                if (vx == 0 || (vx > 0) != w.facesLeft) continue;
                if (!(w.line.Top() < y + BoxFeet && w.line.Lowest() > y + BoxTop)) continue;
                const float edge = vx > 0 ? x + BoxRight : x + BoxLeft;
                if ((vx > 0 && edge <= w.line.x1 && edge + vx >= w.line.x1) ||
                    (vx < 0 && edge >= w.line.x1 && edge + vx <= w.line.x1)) {
                    x = vx > 0 ? w.line.x1 - BoxRight - 1 : w.line.x1 - BoxLeft + 1;
                    vx = 0;
                }
            }
            x += vx;
            std::optional<Landing> landed;
            float landY = 0;
            if (vy > 0)
                for (std::size_t i = 0; i < floors.size(); ++i) {
                    const Line& s = floors[i];
                    if (x + BoxRight < s.Left() || x + BoxLeft > s.Right()) continue;
                    const float at = s.HeightAt(std::clamp(x + 15, s.Left(), s.Right()));
                    if (y + BoxFeet <= at && y + BoxFeet + vy >= at && (!landed || at < landY))
                        landed = Landing{Place{i, RegionOf(i, x)}, x}, landY = at;
                }
            // A landing on a floor's very edge may go either way: no route
            // is built on it.
            if (landed) {
                const Line& s = floors[landed->at.floor];
                if (x + 15 < s.Left() + 2 || x + 15 > s.Right() - 2) return std::nullopt;
            }
            if (vy < 0)
                for (const Line& s : ceilings) {
                    if (x + BoxRight < s.Left() || x + BoxLeft > s.Right()) continue;
                    const float at = s.HeightAt(std::clamp(x + 15, s.Left(), s.Right()));
                    if (y + BoxTop >= at && y + BoxTop + vy <= at) vy = 0;
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

    // Every flight from one standing place: jumps along it and walks off its ends.
    std::vector<std::pair<Move, std::optional<Landing>>> Moves(const Place& p, bool& touchedAt, Move& winning) const {
        std::vector<std::pair<Move, std::optional<Landing>>> out;
        const auto regions = Regions(p.floor);
        if (regions.empty()) return out;
        const auto [from, to] = regions[std::size_t(std::clamp(p.region, 0, int(regions.size()) - 1))];
        const Line& f = floors[p.floor];
        const float step = std::max(1.0f, std::min(24.0f, to - from));
        for (float sx = from; sx <= to + 0.5f; sx += step) {
            const float sy = f.HeightAt(sx + 15) - BoxFeet - 1;
            if (Touches(sx, sy)) {
                touchedAt = true;
                winning = Move{sx, false, 0, 0, 0};
                return out;
            }
            for (int first : {-1, 0, 1})
                for (int then : {-1, 0, 1})
                    for (int after : {6, 14, 22, 30, 38}) {
                        const Move m{sx, true, first, then, after};
                        bool touched = false;
                        out.push_back({m, Fly(sx, sy, float(first) * RunSpeed, -JumpSpeed, m, touched)});
                        if (touched) {
                            touchedAt = true;
                            winning = m;
                            return out;
                        }
                    }
        }
        for (int dir : {-1, 1}) {
            const float sx = dir < 0 ? from : to;
            const float sy = f.HeightAt(sx + 15) - BoxFeet - 1;
            for (int then : {-1, 0, 1})
                for (int after : {4, 12, 20}) {
                    const Move m{sx, false, dir, then, after};
                    bool touched = false;
                    out.push_back({m, Fly(sx, sy, float(dir) * RunSpeed, 0, m, touched)});
                    if (touched) {
                        touchedAt = true;
                        winning = m;
                        return out;
                    }
                }
        }
        return out;
    }

    // The first move of a shortest route from where the player stands to the goal.
    void Replan(float x, float y) {
        plan.reset();
        // The floor nearest under the feet (standing lifts the player a little).
        std::optional<Place> start;
        float nearest = 16;
        for (std::size_t i = 0; i < floors.size(); ++i) {
            const Line& f = floors[i];
            if (x + BoxRight < f.Left() || x + BoxLeft > f.Right()) continue;
            const float gap = std::fabs(f.HeightAt(std::clamp(x + 15, f.Left(), f.Right())) - (y + BoxFeet));
            if (gap < nearest) nearest = gap, start = Place{i, RegionOf(i, x)};
        }
        if (!start) return;
        std::map<Place, std::pair<Place, Move>> cameFrom;
        std::queue<Place> open;
        open.push(*start);
        cameFrom[*start] = {*start, Move{}};
        while (!open.empty()) {
            const Place p = open.front();
            open.pop();
            bool touched = false;
            Move winning;
            for (const auto& [move, landing] : Moves(p, touched, winning)) {
                if (!landing || cameFrom.count(landing->at)) continue;
                cameFrom[landing->at] = {p, move};
                open.push(landing->at);
            }
            if (!touched) continue;
            // Back to the first move taken from the start.
            Place at = p;
            Move first = winning;
            while (!(at.floor == start->floor && at.region == start->region)) {
                first = cameFrom[at].second;
                at = cameFrom[at].first;
            }
            plan = first;
            return;
        }
    }

    // On the ground: walk to the move's place, then jump or walk off.
    template <class Keys>
    int GroundSteer(float x, Keys& keys) {
        const float dx = plan->x - x;
        // A wall short of the place: the move starts where the player stands.
        blockedFrames = std::fabs(x - lastX) < 0.5f ? blockedFrames + 1 : 0;
        lastX = x;
        if (std::fabs(dx) > 2.5f && blockedFrames < 8) return dx > 0 ? 1 : -1;
        // A jump keeps the walk's momentum when no key steers it: one frame
        // standing still first, so that a jump planned straight up goes up.
        if (plan->jump && plan->first == 0 && walking != 0) return 0;
        blockedFrames = 0;
        flight = *plan;
        airFrames = 0;
        if (plan->jump) keys.Tap(KeyUp);
        return plan->first;
    }

    int AirSteer(float) const {
        if (airFrames < 0) return 0;
        const int steer = airFrames < flight.after ? flight.first : flight.then;
        return steer;
    }

    // No route known from here: wander toward the goal, turning now and then.
    int Explore(float x) {
        if (frames % 240 == 0) exploreDir = -exploreDir;
        if (exploreDir == 0) exploreDir = (goalLeft + goalRight) / 2 > x + 15 ? 1 : -1;
        return exploreDir;
    }

    bool read = false;
    std::vector<Line> floors, ceilings;
    std::vector<Wall> walls;
    float goalLeft = 0, goalTop = 0, goalRight = 0, goalBottom = 0, worldHeight = 0;
    std::optional<Move> plan;
    Move flight;
    int walking = 0;  // the direction steered in the last frame
    int airFrames = -1, frames = 0, exploreDir = 0, blockedFrames = 0, stillFrames = 0;
    float stillX = 0, stillY = 0;
    float lastX = -1e9f;
    bool wasStanding = false;
};
