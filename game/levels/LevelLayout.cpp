#include "levels/LevelLayout.h"
#include <algorithm>
#include <cmath>

namespace nolt {
namespace {

constexpr float Bottom = 480;
constexpr float BlockHeight = 60;
constexpr float FenceHeight = 40;

SegmentRecord Wall(float x, float y1, float y2) { return {x, y1, x, y2, 1}; }
SegmentRecord Floor(float x1, float x2, float y) { return {x1, y, x2, y, 0}; }

float Whole(float v) { return std::round(v); }

enum class Obstacle { Pit, Block, Fence };

// Pits and blocks alternate, fences go between them.
std::vector<Obstacle> Sequence(int pits, int blocks, int fences) {
    std::vector<Obstacle> order;
    while (pits + blocks > 0) {
        if (pits > 0) order.push_back(Obstacle::Pit), --pits;
        if (blocks > 0) order.push_back(Obstacle::Block), --blocks;
    }
    const std::size_t spread = order.size() + 1;
    for (int i = 0; i < fences; ++i) {
        const std::size_t at = std::min(order.size(), (std::size_t(i) + 1) * order.size() / spread + std::size_t(i));
        order.insert(order.begin() + std::ptrdiff_t(at), Obstacle::Fence);
    }
    return order;
}

}  // namespace

std::vector<SegmentRecord> RunLayout(const RunShape& s) {
    std::vector<SegmentRecord> out;
    const float w = float(s.worldWidth);
    const float g = s.groundY;
    int pits = 0, blocks = 0, fences = 0, ledges = 0, groundPieces = 1;
    if (s.walls == 0) {
        // No walls: the ground breaks into pieces over open gaps.
        groundPieces = std::max(1, (s.floors + 1) / 2);
        ledges = s.floors - groundPieces;
    } else {
        if (s.leftWall) out.push_back(Wall(2, g + 17, 0));
        out.push_back(Wall(w - 3, 0, g + 17));
        const int rest = s.walls - (s.leftWall ? 2 : 1);
        const int spareFloors = s.floors - 1;
        pits = std::min(rest / 2, spareFloors);
        fences = rest - 2 * pits;
        blocks = std::min(pits / 2, spareFloors - pits);
        pits -= blocks;
        ledges = spareFloors - pits - 2 * blocks;
    }

    // Obstacles share the ground between the start and the goal.
    const std::vector<Obstacle> order = Sequence(pits, blocks, fences);
    const float from = std::min(130.0f, w / 5), to = w - from;
    const float slot = order.empty() ? 0 : (to - from) / float(order.size());
    const float pitWidth = Whole(std::min(90.0f, slot * 0.45f));
    const float blockWidth = Whole(std::min(100.0f, slot * 0.5f));
    float groundStart = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const float x = Whole(from + slot * (float(i) + 0.25f));
        switch (order[i]) {
        case Obstacle::Pit:
            out.push_back(Floor(groundStart, x, g));
            out.push_back(Wall(x, g, Bottom));
            out.push_back(Wall(x + pitWidth, Bottom, g));
            groundStart = x + pitWidth;
            break;
        case Obstacle::Block:
            out.push_back(Floor(groundStart, x, g));
            out.push_back(Wall(x, g, g - BlockHeight));
            out.push_back(Floor(x, x + blockWidth, g - BlockHeight));
            out.push_back(Wall(x + blockWidth, g - BlockHeight, g));
            groundStart = x + blockWidth;
            break;
        case Obstacle::Fence: out.push_back(Wall(x, g, g - FenceHeight)); break;
        }
    }
    if (s.walls == 0) {
        // Open gaps of 70 pixels split the ground evenly.
        const float piece = w / float(groundPieces);
        for (int i = 0; i < groundPieces; ++i) {
            const float left = i == 0 ? 0 : Whole(piece * float(i) + 35);
            const float right = i + 1 == groundPieces ? w : Whole(piece * float(i + 1) - 35);
            out.push_back(Floor(left, right, g));
        }
    } else {
        out.push_back(Floor(groundStart, w, g));
    }

    // Ledges at two heights, spread along the level.
    const float ledgeWidth = Whole(std::min(120.0f, w / float(std::max(1, ledges)) * 0.8f));
    for (int i = 0; i < ledges; ++i) {
        const float x = Whole((w - ledgeWidth) * (float(i) + 0.5f) / float(ledges));
        const float y = g - (i % 2 == 0 ? 95.0f : 170.0f);
        out.push_back(Floor(x, x + ledgeWidth, y));
    }
    return out;
}

std::vector<SegmentRecord> ClimbLayout(const ClimbShape& s) {
    std::vector<SegmentRecord> out;
    const float w = float(s.worldWidth);
    const float ledgeWidth = Whole(std::min(220.0f, (w - 100) / 2));
    const float leftSide = 40, rightSide = w - 40 - ledgeWidth;
    const bool goingUp = s.goalFloorY < s.startFloorY;
    const float lowY = std::max(s.startFloorY, s.goalFloorY), highY = std::min(s.startFloorY, s.goalFloorY);
    const float highX = goingUp ? s.goalX : s.startX;

    out.push_back(Wall(0, lowY + 40, 0));
    out.push_back(Wall(w - 1, 0, lowY + 40));
    // The lower end floor spans the world; the upper one stands on its own side.
    out.push_back(Floor(w, 0, lowY));
    const bool highOnRight = highX > w / 2;
    const float highLeft = std::max(0.0f, Whole(highX - 60));
    const float highRight = std::min(w, Whole(highX + 130));
    out.push_back(Floor(highLeft, highRight, highY));

    // Ledges alternate sides, the one next to the upper floor on the other side.
    const int ledges = s.floors - 2;
    for (int i = 0; i < ledges; ++i) {
        const int fromHigh = ledges - i;  // 1: right under the upper floor
        const bool onRight = (fromHigh % 2 == 1) ? !highOnRight : highOnRight;
        const float x = onRight ? rightSide : leftSide;
        const float y = Whole(lowY - (lowY - highY) * float(i + 1) / float(ledges + 1));
        out.push_back(Floor(Whole(x), Whole(x + ledgeWidth), y));
    }

    // Spare walls stop the outer ends of the ledges, out of the climber's way;
    // any left over stand as fences on the lower floor.
    const int stops = std::min(s.walls - 2, ledges);
    for (int i = 0; i < stops; ++i) {
        const SegmentRecord& ledge = out[std::size_t(4 + i)];
        const float outer = ledge.x1 < w / 2 ? ledge.x1 : ledge.x2;
        out.push_back(Wall(outer, ledge.y1, ledge.y1 - 20));
    }
    const int fences = s.walls - 2 - stops;
    for (int i = 0; i < fences; ++i) {
        const float x = Whole(w * (float(i) + 1.5f) / float(fences + 2));
        out.push_back(Wall(x, lowY, lowY - FenceHeight));
    }
    return out;
}

std::vector<SegmentRecord> DoubleLines(const std::vector<SegmentRecord>& lines, int walls, int floors) {
    std::vector<SegmentRecord> out;
    for (const SegmentRecord& line : lines) {
        out.push_back(line);
        int& left = line.id == 1 ? walls : floors;
        if (left > 0) {
            out.push_back({line.x2, line.y2, line.x1, line.y1, line.id, line.type, line.extra});
            --left;
        }
    }
    return out;
}

}  // namespace nolt
