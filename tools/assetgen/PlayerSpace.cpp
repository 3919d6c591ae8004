#include "PlayerSpace.h"
#include <algorithm>
#include <cmath>

namespace {

// The player's collision box inside its 32 x 32 picture.
constexpr int BoxLeft = 1, BoxRight = 30, BoxTop = 2, BoxBottom = 29;
// What a take-off allows: a pixel of rise costs RiseStep, a pixel of steering
// one. A jump rises about 140 pixels and clears about 190 across.
constexpr int Budget = 360, RiseStep = 2;
// What a pixel of steering costs while a floor cuts through the box, or once
// the box is wholly below the lowest floor: a player falls past a floor's
// edge within a few frames, and out of the world soon after.
constexpr int FallingStep = 8;
// How far over the box's top a floor still counts as cutting through it.
constexpr int SlantRoom = 3;
// Room around the world for boxes that leave it over its edges.
constexpr int Margin = 48, Above = 160;

enum Direction { Right, Left, Down, Up };
constexpr int StepX[] = {1, -1, 0, 0}, StepY[] = {0, 0, 1, -1};

int Floor(float v) { return int(std::floor(v)); }
int Ceil(float v) { return int(std::ceil(v)); }

// Calls visit(x, y) at points a quarter of a pixel apart along the line.
template <class Visit>
void AlongLine(const nolt::SegmentRecord& s, Visit visit) {
    const float length = std::max(std::fabs(s.x2 - s.x1), std::fabs(s.y2 - s.y1));
    const int steps = std::max(1, Ceil(length * 4));
    for (int i = 0; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        visit(s.x1 + (s.x2 - s.x1) * t, s.y1 + (s.y2 - s.y1) * t);
    }
}

bool FacesUp(const nolt::SegmentRecord& s) { return s.x2 < s.x1; }

}  // namespace

PlayerSpace::PlayerSpace(const nolt::LevelRecord& level) {
    float maxX = float(level.worldWidth);
    for (const nolt::SegmentRecord& s : level.segments) maxX = std::max({maxX, s.x1, s.x2});
    left = -Margin;
    top = -Above;
    columns = int(std::ceil(maxX)) + 2 * Margin;
    rows = int(level.worldHeight) + Above + BoxBottom + 2;
    blocked.assign(std::size_t(columns) * std::size_t(rows), 0);
    floorPixel.assign(blocked.size(), 0);
    for (const nolt::SegmentRecord& s : level.segments) {
        MarkBlocking(s);
        if (FacesUp(s)) {
            RasterFloor(s);
            lowestFloor = std::max({lowestFloor, s.y1, s.y2});
        }
    }
    floorSum.assign(std::size_t(columns + 1) * std::size_t(rows + 1), 0);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            floorSum[std::size_t(y + 1) * std::size_t(columns + 1) + std::size_t(x + 1)] =
                floorPixel[std::size_t(y) * std::size_t(columns) + std::size_t(x)] +
                floorSum[std::size_t(y) * std::size_t(columns + 1) + std::size_t(x + 1)] +
                floorSum[std::size_t(y + 1) * std::size_t(columns + 1) + std::size_t(x)] -
                floorSum[std::size_t(y) * std::size_t(columns + 1) + std::size_t(x)];
    Search(level);
    SumReached();
    FindBodies(level.BitmapWidth(), level.BitmapHeight());
}

// A line holds a move whose direction faces its normal; the box's leading edge
// may come onto the line but not past it.
void PlayerSpace::MarkBlocking(const nolt::SegmentRecord& s) {
    const float dx = s.x2 - s.x1, dy = s.y2 - s.y1;
    const bool holds[] = {dy > 0, dy < 0, dx<0, dx> 0};
    AlongLine(s, [&](float px, float py) {
        for (int d = 0; d < 4; ++d) {
            if (!holds[d]) continue;
            int x0, x1, y0, y1;
            if (d == Right || d == Left) {
                x0 = x1 = d == Right ? Floor(px) - BoxRight : Ceil(px) - BoxLeft;
                y0 = Ceil(py - BoxBottom), y1 = Floor(py - BoxTop);
            } else {
                y0 = y1 = d == Down ? Floor(py) - BoxBottom : Ceil(py) - BoxTop;
                x0 = Ceil(px - BoxRight), x1 = Floor(px - BoxLeft);
            }
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    if (Inside(x, y)) blocked[std::size_t(Index(x, y))] |= std::uint8_t(1u << d);
        }
    });
}

void PlayerSpace::RasterFloor(const nolt::SegmentRecord& s) {
    AlongLine(s, [&](float px, float py) {
        if (Inside(Floor(px), Floor(py))) floorPixel[std::size_t(Index(Floor(px), Floor(py)))] = 1;
    });
}

int PlayerSpace::ReachedIn(int x0, int y0, int x1, int y1) const {
    x0 = std::max(x0, left), y0 = std::max(y0, top);
    x1 = std::min(x1, left + columns - 1), y1 = std::min(y1, top + rows - 1);
    if (x0 > x1 || y0 > y1) return 0;
    const auto at = [&](int x, int y) {
        return reachedSum[std::size_t(y - top) * std::size_t(columns + 1) + std::size_t(x - left)];
    };
    return at(x1 + 1, y1 + 1) - at(x0, y1 + 1) - at(x1 + 1, y0) + at(x0, y0);
}

// A floor runs through the box above its feet, or just over its top: the
// lowest floors may lie a slant's few pixels apart.
bool PlayerSpace::Covered(int x, int y) const {
    const int x0 = std::max(x + BoxLeft, left) - left, x1 = std::min(x + BoxRight, left + columns - 1) - left;
    const int y0 = std::max(y + BoxTop - SlantRoom, top) - top, y1 = std::min(y + BoxBottom - 1, top + rows - 1) - top;
    if (x0 > x1 || y0 > y1) return false;
    const auto at = [&](int cx, int cy) {
        return floorSum[std::size_t(cy) * std::size_t(columns + 1) + std::size_t(cx)];
    };
    return at(x1 + 1, y1 + 1) - at(x0, y1 + 1) - at(x1 + 1, y0) + at(x0, y0) > 0;
}

// Best-budget-first search over box positions: a position standing on a floor
// restores the whole budget, rising and steering spend it, falling is free.
void PlayerSpace::Search(const nolt::LevelRecord& level) {
    budget.assign(blocked.size(), -1);
    std::vector<std::vector<std::int32_t>> buckets(Budget + 1);
    const int lastRow = int(level.worldHeight);  // below it the player is sent back
    auto offer = [&](int x, int y, int remaining) {
        if (!Inside(x, y) || y > lastRow) return false;
        const int i = Index(x, y);
        if ((blocked[std::size_t(i)] & (1u << Down)) != 0) remaining = Budget;
        if (remaining <= budget[std::size_t(i)]) return false;
        budget[std::size_t(i)] = std::int16_t(remaining);
        buckets[std::size_t(remaining)].push_back(i);
        return true;
    };
    for (const nolt::SpriteRecord& s : level.sprites)
        if (s.name == "protag") offer(int(std::lround(s.startX)), int(std::lround(s.startY)), 0);
    offer(57, int(level.worldHeight) - 184, 0);

    for (int b = Budget; b >= 0;) {
        if (buckets[std::size_t(b)].empty()) {
            --b;
            continue;
        }
        const int i = buckets[std::size_t(b)].back();
        buckets[std::size_t(b)].pop_back();
        if (budget[std::size_t(i)] != b) continue;
        const int x = i % columns + left, y = i / columns + top, here = b;
        const bool buried = float(y + BoxTop) > lowestFloor;
        for (int d = 0; d < 4; ++d) {
            if ((blocked[std::size_t(i)] & (1u << d)) != 0 || (d == Up && buried)) continue;
            const int nx = x + StepX[d], ny = y + StepY[d];
            int cost = d == Down ? 0 : d == Up ? RiseStep : 1;
            if ((d == Left || d == Right) && (buried || Covered(x, y) || Covered(nx, ny))) cost = FallingStep;
            if (here - cost < 0) continue;
            // A landing restores the whole budget: search on from there first.
            if (offer(nx, ny, here - cost)) b = std::max(b, int(budget[std::size_t(Index(nx, ny))]));
        }
    }
}

void PlayerSpace::SumReached() {
    reachedSum.assign(std::size_t(columns + 1) * std::size_t(rows + 1), 0);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            reachedSum[std::size_t(y + 1) * std::size_t(columns + 1) + std::size_t(x + 1)] =
                (budget[std::size_t(y) * std::size_t(columns) + std::size_t(x)] >= 0 ? 1 : 0) +
                reachedSum[std::size_t(y) * std::size_t(columns + 1) + std::size_t(x + 1)] +
                reachedSum[std::size_t(y + 1) * std::size_t(columns + 1) + std::size_t(x)] -
                reachedSum[std::size_t(y) * std::size_t(columns + 1) + std::size_t(x)];
}

bool PlayerSpace::Open(int x, int y) const {
    return ReachedIn(x - BoxRight, y - BoxBottom, x - BoxLeft, y - BoxTop) > 0;
}

void PlayerSpace::FindBodies(int width, int height) {
    bodyWidth = width, bodyHeight = height;
    body.assign(std::size_t(width) * std::size_t(height), 0);
    for (int x = 0; x < width; ++x) {
        bool underFloor = false;
        for (int y = top; y < height; ++y) {
            const bool open = Open(x, y);
            if (Inside(x, y) && floorPixel[std::size_t(Index(x, y))])
                underFloor = true;
            else if (open)
                underFloor = false;
            if (y >= 0 && underFloor && !open) body[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 1;
        }
    }
}

bool PlayerSpace::Body(int x, int y) const {
    if (x < 0 || y < 0 || x >= bodyWidth || y >= bodyHeight) return false;
    return body[std::size_t(y) * std::size_t(bodyWidth) + std::size_t(x)] != 0;
}
