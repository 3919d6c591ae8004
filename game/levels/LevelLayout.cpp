#include "levels/LevelLayout.h"
#include <algorithm>
#include <cmath>

namespace nolt {
namespace {

// Level ground between two obstacles, enough to land and take a run.
constexpr float RunUp = 70;

float Whole(float v) { return std::round(v); }

enum class Obstacle { Pit, Chasm, Block, Fence };

// Sizes that grow with the level's difficulty; every one stays inside what a
// jump (about 140 pixels high, 190 far at the same height) clears.
struct Sizes {
    float pitWidth, stoneWidth, stoneGap, blockWidth, blockHeight, fenceHeight;
    int stones;  // stepping stones per chasm
    int steps;   // steps up one side of a block, 1: a plain block
    float tread;

    // `room`: the length of the course, which a stepped block must fit.
    Sizes(float d, int stairs, float room)
        : pitWidth(Whole(70 + 80 * d)),
          stoneWidth(Whole(70 - 20 * d)),
          stoneGap(Whole(70 + 60 * d)),
          blockWidth(Whole(90 + 30 * d)),
          blockHeight(Whole(45 + 65 * d)),
          fenceHeight(Whole(30 + 60 * d)),
          stones(1 + int(std::lround(2 * d))),
          steps(std::max(1, stairs)),
          tread(std::min(34.0f, std::floor((room - RunUp) / float(2 * std::max(1, stairs) - 1)))) {
        if (steps > 1) blockWidth = tread * float(2 * steps - 1);
    }

    int BlockWalls() const { return 2 * steps; }
    int BlockFloors() const { return 2 * steps - 1; }
    float StepHeight() const { return Whole(blockHeight * 0.5f); }

    float Width(Obstacle o) const {
        switch (o) {
            case Obstacle::Pit: return pitWidth;
            case Obstacle::Chasm: return float(stones) * stoneWidth + float(stones + 1) * stoneGap;
            case Obstacle::Block: return blockWidth;
            case Obstacle::Fence: return 0;
        }
        return 0;
    }
};

// Pits and chasms take turns until the floors or the room run out.
std::vector<Obstacle> GroundObstacles(int& floors, float room, const Sizes& sizes, unsigned variant) {
    std::vector<Obstacle> out;
    bool chasmNext = variant % 2 == 1;
    for (;;) {
        const bool chasmFits = floors >= sizes.stones + 1 && room >= sizes.Width(Obstacle::Chasm) + RunUp;
        const bool pitFits = floors >= 1 && room >= sizes.pitWidth + RunUp;
        Obstacle next;
        if (chasmNext && chasmFits)
            next = Obstacle::Chasm;
        else if (pitFits)
            next = Obstacle::Pit;
        else if (chasmFits)
            next = Obstacle::Chasm;
        else
            break;
        floors -= next == Obstacle::Chasm ? sizes.stones + 1 : 1;
        room -= sizes.Width(next) + RunUp;
        out.push_back(next);
        chasmNext = !chasmNext;
    }
    return out;
}

// Each kind spread evenly along the course; `variant` decides which kind
// leads where two would stand at the same place.
std::vector<Obstacle> Interleave(const std::vector<Obstacle>& ground, int blocks, int fences, unsigned variant) {
    struct Placed {
        double at;
        unsigned rank;
        Obstacle obstacle;
    };
    std::vector<Placed> placed;
    auto spread = [&](std::size_t count, unsigned kind, auto obstacleAt) {
        for (std::size_t i = 0; i < count; ++i)
            placed.push_back({(double(i) + 0.5) / double(count), (kind + variant) % 3, obstacleAt(i)});
    };
    spread(ground.size(), 0, [&](std::size_t i) { return ground[i]; });
    spread(std::size_t(blocks), 1, [](std::size_t) { return Obstacle::Block; });
    spread(std::size_t(fences), 2, [](std::size_t) { return Obstacle::Fence; });
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.at != b.at ? a.at < b.at : a.rank < b.rank; });
    std::vector<Obstacle> out;
    for (const Placed& p : placed) out.push_back(p.obstacle);
    return out;
}

struct Zone {
    float left, right;
};

// Shelves above the open ground and the pits, in columns of up to three, each
// a jump above the one below.
void AddShelves(std::vector<SegmentRecord>& out, int shelves, const std::vector<Zone>& zones, float g) {
    if (shelves <= 0 || zones.empty()) return;
    std::vector<int> perZone(zones.size(), 0);
    for (int i = 0; i < shelves; ++i) ++perZone[std::size_t(i) * zones.size() / std::size_t(shelves)];
    for (std::size_t z = 0; z < zones.size(); ++z) {
        const int columns = (perZone[z] + 2) / 3;
        const float columnWidth = (zones[z].right - zones[z].left) / float(std::max(1, columns));
        for (int k = 0; k < perZone[z]; ++k) {
            const float centre = zones[z].left + columnWidth * (float(k / 3) + 0.5f);
            const float x = Whole(centre - 30 + (k % 2 == 0 ? -10.0f : 10.0f));
            out.push_back(FloorLine(x, x + 60, g - 85 - 70 * float(k % 3)));
        }
    }
}

// A stepped block: steps up from the left, a top, steps down to the right.
void AddStairs(std::vector<SegmentRecord>& out, float x, float g, const Sizes& sizes) {
    const float rise = sizes.StepHeight();
    for (int i = 0; i < sizes.steps; ++i) {
        const float left = x + sizes.tread * float(i), top = g - rise * float(i + 1);
        out.push_back(WallFacingLeft(left, top, top + rise));
        out.push_back(FloorLine(left, left + sizes.tread, top));
    }
    for (int i = sizes.steps - 1; i >= 0; --i) {
        const float right = x + sizes.tread * float(2 * sizes.steps - 1 - i), top = g - rise * float(i + 1);
        out.push_back(WallFacingRight(right, top, top + rise));
        if (i > 0) out.push_back(FloorLine(right, right + sizes.tread, top + rise));
    }
}

// Floors left over cut the ground into slabs that touch: the longest stretch
// past the start is halved each time.
void SplitGround(std::vector<SegmentRecord>& out, int slabs, float g, float startX) {
    const float keep = startX + 100;  // the start stands on one piece
    auto stretch = [keep](const SegmentRecord& line) { return line.x1 - std::max(line.x2, keep); };
    for (int i = 0; i < slabs; ++i) {
        SegmentRecord* longest = nullptr;
        for (SegmentRecord& line : out)
            if (line.id == 0 && line.y1 == g && line.y2 == g && line.x1 > line.x2 &&
                (!longest || stretch(line) > stretch(*longest)))
                longest = &line;
        if (!longest || stretch(*longest) < 20) return;
        const float middle = Whole((longest->x1 + std::max(longest->x2, keep)) / 2);
        const SegmentRecord right = FloorLine(middle, longest->x1, g);
        longest->x1 = middle;
        out.push_back(right);
    }
}

}  // namespace

SegmentRecord FloorLine(float left, float right, float y) { return {right, y, left, y, 0}; }
SegmentRecord CeilingLine(float left, float right, float y) { return {left, y, right, y, 0}; }
SegmentRecord WallFacingLeft(float x, float top, float bottom) { return {x, top, x, bottom, 1}; }
SegmentRecord WallFacingRight(float x, float top, float bottom) { return {x, bottom, x, top, 1}; }
SegmentRecord Reversed(const SegmentRecord& s) { return {s.x2, s.y2, s.x1, s.y1, s.id, s.type, s.extra}; }

std::vector<SegmentRecord> RunLayout(const RunShape& s) {
    std::vector<SegmentRecord> out;
    const float w = float(s.worldWidth);
    const float g = s.groundY;
    // A level of stepped blocks uses the ground right from the start.
    const float from = Whole(s.startX + (s.stairs > 1 ? 60 : 100));
    const float to = Whole((s.goalX > 0 ? s.goalX : w - 90) - 30);
    const Sizes sizes(s.difficulty, s.stairs, to - from);

    int walls = s.walls;
    if (walls > 0) {
        if (s.leftWall) out.push_back(WallFacingRight(2, 0, g + 17)), --walls;
        out.push_back(WallFacingLeft(s.rightWallX > 0 ? s.rightWallX : w - 3, 0, g + 17)), --walls;
    }
    int floors = s.floors - 1;  // the ground, in one piece or split by pits
    const int blocks = std::min(walls / sizes.BlockWalls(), floors / sizes.BlockFloors());
    const int fences = walls - sizes.BlockWalls() * blocks;
    floors -= sizes.BlockFloors() * blocks;
    // A fence gets a floor on its top: a player landing on the bare end of a
    // wall would hang there, neither standing nor falling.
    int capsLeft = std::min(fences, floors);
    floors -= capsLeft;

    const float fixed = float(blocks) * (sizes.blockWidth + RunUp) + float(fences) * RunUp;
    std::vector<Obstacle> ground = GroundObstacles(floors, to - from - fixed, sizes, s.variant);
    const std::vector<Obstacle> order = Interleave(ground, blocks, fences, s.variant);

    float used = 0;
    for (Obstacle o : order) used += sizes.Width(o) + RunUp;
    const float slack = std::max(0.0f, (to - from - used) / float(order.size() + 1));

    std::vector<Zone> open;
    float x = Whole(from + slack);
    float groundStart = 0;
    float previousEnd = 0;
    for (Obstacle o : order) {
        open.push_back({previousEnd, x});
        const float width = sizes.Width(o);
        switch (o) {
            case Obstacle::Pit:
                out.push_back(FloorLine(groundStart, x, g));
                groundStart = x + width;
                open.push_back({x, x + width});
                break;
            case Obstacle::Chasm:
                out.push_back(FloorLine(groundStart, x, g));
                for (int i = 0; i < sizes.stones; ++i) {
                    const float left = x + sizes.stoneGap + float(i) * (sizes.stoneWidth + sizes.stoneGap);
                    const float lift = i % 2 == 0 ? 40.0f : 75.0f;
                    out.push_back(FloorLine(left, left + sizes.stoneWidth, g - lift));
                }
                groundStart = x + width;
                break;
            case Obstacle::Block:
                if (sizes.steps == 1) {
                    out.push_back(WallFacingLeft(x, g - sizes.blockHeight, g));
                    out.push_back(FloorLine(x, x + width, g - sizes.blockHeight));
                    out.push_back(WallFacingRight(x + width, g - sizes.blockHeight, g));
                } else {
                    AddStairs(out, x, g, sizes);
                }
                break;
            case Obstacle::Fence: {
                const float top = g - sizes.fenceHeight;
                out.push_back(WallFacingLeft(x, top, g));
                if (capsLeft > 0) {
                    // The same line back up, tagged as a floor, or a cap across it.
                    out.push_back(s.twinFences ? SegmentRecord{x, g, x, top, 0} : FloorLine(x - 4, x + 4, top));
                    --capsLeft;
                }
                break;
            }
        }
        previousEnd = x + width;
        x = Whole(x + width + RunUp + slack);
    }
    open.push_back({previousEnd, to});
    out.push_back(FloorLine(groundStart, w, g));

    // Open zones wide enough for a shelf, away from the start.
    std::vector<Zone> zones;
    for (const Zone& z : open)
        if (z.right - z.left >= 60 && z.left >= s.startX + 60) zones.push_back(z);
    const int shelves = std::min(floors, 3 * int(zones.size()));
    AddShelves(out, shelves, zones, g);
    SplitGround(out, floors - shelves, g, s.startX);
    return out;
}

std::vector<SegmentRecord> ClimbLayout(const ClimbShape& s) {
    std::vector<SegmentRecord> out;
    const float w = float(s.worldWidth);
    const float ledgeWidth = Whole(std::min(300.0f - 80 * s.difficulty, (w - 40) / 2 + 20));
    const float leftSide = 40, rightSide = w - 40 - ledgeWidth;
    const bool goingUp = s.goalFloorY < s.startFloorY;
    const float lowY = std::max(s.startFloorY, s.goalFloorY), highY = std::min(s.startFloorY, s.goalFloorY);
    const float highX = goingUp ? s.goalX : s.startX;

    out.push_back(WallFacingRight(0, 0, lowY + 30));
    out.push_back(WallFacingLeft(w - 1, 0, lowY + 30));
    // The lower end floor spans the world; the upper one stands on its own side.
    out.push_back(FloorLine(0, w, lowY));
    const bool highOnRight = highX > w / 2;
    const float highLeft = std::max(0.0f, Whole(highX - 60));
    const float highRight = std::min(w, Whole(highX + 130));
    out.push_back(FloorLine(highLeft, highRight, highY));

    // Ledges alternate sides, the one next to the upper floor on the other side.
    const int ledges = s.floors - 2;
    for (int i = 0; i < ledges; ++i) {
        const int fromHigh = ledges - i;  // 1: right under the upper floor
        const bool onRight = (fromHigh % 2 == 1) ? !highOnRight : highOnRight;
        const float x = onRight ? rightSide : leftSide;
        const float y = Whole(lowY - (lowY - highY) * float(i + 1) / float(ledges + 1));
        out.push_back(FloorLine(Whole(x), Whole(x + ledgeWidth), y));
    }

    // Spare walls hang under the outer ends of the ledges, where a climber
    // jumping up beside the wall is held back; any left over stand as fences
    // on the lower floor.
    const int stops = std::min(s.walls - 2, ledges);
    for (int i = 0; i < stops; ++i) {
        const SegmentRecord& ledge = out[std::size_t(4 + i)];
        if (ledge.x2 < w / 2)
            out.push_back(WallFacingRight(ledge.x2, ledge.y1, ledge.y1 + 20));
        else
            out.push_back(WallFacingLeft(ledge.x1, ledge.y1, ledge.y1 + 20));
    }
    const int fences = s.walls - 2 - stops;
    for (int i = 0; i < fences; ++i) {
        const float x = Whole(w * (float(i) + 1.5f) / float(fences + 2));
        out.push_back(WallFacingLeft(x, lowY - 30, lowY));
    }
    return out;
}

std::vector<SegmentRecord> DoubleLines(const std::vector<SegmentRecord>& lines, int walls, int floors) {
    std::vector<SegmentRecord> out;
    for (const SegmentRecord& line : lines) {
        out.push_back(line);
        int& left = line.id == 1 ? walls : floors;
        if (left > 0) {
            out.push_back(Reversed(line));
            --left;
        }
    }
    return out;
}

}  // namespace nolt
