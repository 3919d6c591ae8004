#include "levels/CrossingLayout.h"
#include <algorithm>
#include <cmath>
#include "levels/LevelLayout.h"

namespace nolt {
namespace {

float Whole(float v) { return std::round(v); }

// Level ground before each crossing, to land and take a run.
constexpr float RunUp = 130;
// How far a basin reaches under the ground on each side of its break.
constexpr float BasinReach = 40;
// A bridge stands a jump above the ground and leaves it this far from each rim.
constexpr float BridgeRise = 90, BridgeInset = 45;

struct Planned {
    Crossing kind;
    float t;     // where along the level: 0 the start, 1 the goal
    int stones;  // stepping stones of a chasm
};

// Sizes grow with t; every one stays inside what a jump clears.
float GapWidth(float t) { return Whole(100 + 55 * t); }
float StoneWidth(float t) { return Whole(64 - 14 * t); }
float StoneGap(float t) { return Whole(80 + 40 * t); }
float BridgePit(float t) { return Whole(290 + 70 * t); }
float BlockWidth(float t) { return Whole(110 + 30 * t); }
float BlockHeight(float t) { return Whole(60 + 40 * t); }

float Width(const Planned& p) {
    switch (p.kind) {
        case Crossing::Gap: return GapWidth(p.t);
        case Crossing::Stones: return float(p.stones) * StoneWidth(p.t) + float(p.stones + 1) * StoneGap(p.t);
        case Crossing::Bridge: return BridgePit(p.t);
        case Crossing::Block: return BlockWidth(p.t);
    }
    return 0;
}

int FloorsOf(const Planned& p) {
    switch (p.kind) {
        case Crossing::Gap: return 2;  // the ground past it and its basin
        case Crossing::Stones: return 2 + p.stones;
        case Crossing::Bridge: return 3;
        case Crossing::Block: return 1;
    }
    return 0;
}

int WallsOf(const Planned& p) { return p.kind == Crossing::Block ? 2 : 0; }

// The crossings in the pattern's order while floors, walls and room last;
// a kind that no longer fits is left out of the rest of the course.
std::vector<Planned> Plan(const CrossingShape& s, int floors, int walls, float room) {
    std::vector<Planned> out;
    const float allFloors = float(std::max(1, floors)), allRoom = std::max(1.0f, room);
    std::vector<bool> spent(s.pattern.size(), false);
    for (std::size_t i = 0; std::count(spent.begin(), spent.end(), false) > 0; ++i) {
        const std::size_t k = i % s.pattern.size();
        if (spent[k]) continue;
        // Sizes grow with what the course has used of its floors or its room.
        const float t = std::max(1 - float(floors) / allFloors, 1 - room / allRoom);
        const Planned p{s.pattern[k], std::min(1.0f, t), 2 + int(i / s.pattern.size()) % 2};
        if (FloorsOf(p) > floors || WallsOf(p) > walls || Width(p) + RunUp > room) {
            spent[k] = true;
            continue;
        }
        floors -= FloorsOf(p);
        walls -= WallsOf(p);
        room -= Width(p) + RunUp;
        out.push_back(p);
    }
    return out;
}

void AddBasin(std::vector<SegmentRecord>& out, float left, float right, float g) {
    out.push_back(FloorLine(left - BasinReach, right + BasinReach, g + BasinDepth));
}

// Floors left over cut the ground after the first break into pieces that
// touch: the longest piece is halved each time.
void SplitGround(std::vector<SegmentRecord>& out, int pieces, float g, float firstBreak) {
    for (int i = 0; i < pieces; ++i) {
        SegmentRecord* longest = nullptr;
        for (SegmentRecord& line : out)
            if (line.id == 0 && line.y1 == g && line.y2 == g && line.x2 >= firstBreak &&
                (!longest || line.x1 - line.x2 > longest->x1 - longest->x2))
                longest = &line;
        if (!longest || longest->x1 - longest->x2 < 40) return;
        const float middle = Whole((longest->x1 + longest->x2) / 2);
        const SegmentRecord right = FloorLine(middle, longest->x1, g);
        longest->x1 = middle;
        out.push_back(right);
    }
}

}  // namespace

std::vector<SegmentRecord> CrossingLayout(const CrossingShape& s) {
    std::vector<SegmentRecord> out;
    const float g = s.groundY;
    out.push_back(WallFacingRight(2, 0, g + 17));
    out.push_back(WallFacingLeft(s.rightWallX, 0, g + 17));

    const float from = Whole(s.startX + 150), to = Whole(s.goalX - 60);
    const std::vector<Planned> plan = Plan(s, s.floors - 1, s.walls - 2, to - from);
    float used = 0;
    int floorsUsed = 1;
    for (const Planned& p : plan) used += Width(p) + RunUp, floorsUsed += FloorsOf(p);
    const float slack = std::max(0.0f, (to - from - used) / float(plan.size() + 1));

    float x = Whole(from + slack + RunUp);
    float groundStart = 0, firstBreak = s.goalX;
    for (const Planned& p : plan) {
        const float w = Width(p);
        switch (p.kind) {
            case Crossing::Gap:
                out.push_back(FloorLine(groundStart, x, g));
                AddBasin(out, x, x + w, g);
                break;
            case Crossing::Stones:
                out.push_back(FloorLine(groundStart, x, g));
                for (int i = 0; i < p.stones; ++i) {
                    const float left = x + StoneGap(p.t) + float(i) * (StoneWidth(p.t) + StoneGap(p.t));
                    const float lift = i % 2 == 0 ? 45.0f : 85.0f;
                    out.push_back(FloorLine(left, left + StoneWidth(p.t), g - lift));
                }
                AddBasin(out, x, x + w, g);
                break;
            case Crossing::Bridge:
                out.push_back(FloorLine(groundStart, x, g));
                out.push_back(FloorLine(x + BridgeInset, x + w - BridgeInset, g - BridgeRise));
                AddBasin(out, x, x + w, g);
                break;
            case Crossing::Block: {
                const float h = BlockHeight(p.t);
                out.push_back(WallFacingLeft(x, g - h, g));
                out.push_back(FloorLine(x, x + w, g - h));
                out.push_back(WallFacingRight(x + w, g - h, g));
                break;
            }
        }
        if (p.kind != Crossing::Block) {
            firstBreak = std::min(firstBreak, x);
            groundStart = x + w;
        }
        x = Whole(x + w + RunUp + slack);
    }
    out.push_back(FloorLine(groundStart, float(s.worldWidth), g));
    SplitGround(out, s.floors - floorsUsed, g, firstBreak);
    return out;
}

}  // namespace nolt
