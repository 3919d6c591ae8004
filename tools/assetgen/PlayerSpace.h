// Where a level lets its player be, found from its collision lines alone: every
// place the player's collision box reaches from the start, and from where a
// fall sends it back, by walking, jumping, steering and falling, with each
// line holding only against motion that faces it (its normal (-dy, dx)).
//
// The search is generous on purpose, so that the art never draws a body where
// the player can go: a take-off allows a budget of rise and steering larger
// than a real jump, falls are free, and a floor met edge-on does not stop a
// box that straddles it. What it gives up is steering far while a floor cuts
// through the box, and climbing once the box is wholly below the lowest floor
// (a player there only falls out of the world).
#pragma once
#include <cstdint>
#include <vector>
#include "levels/LevelData.h"

class PlayerSpace {
public:
    explicit PlayerSpace(const nolt::LevelRecord& level);

    // Some reachable box covers the world pixel (x, y).
    bool Open(int x, int y) const;
    // Drawn as a body: no reachable box covers it and, straight above it, an
    // up-facing floor comes before any pixel that one covers.
    bool Body(int x, int y) const;

private:
    int Index(int x, int y) const { return (y - top) * columns + (x - left); }
    bool Inside(int x, int y) const { return x >= left && x < left + columns && y >= top && y < top + rows; }
    void MarkBlocking(const nolt::SegmentRecord& s);
    void RasterFloor(const nolt::SegmentRecord& s);
    void Search(const nolt::LevelRecord& level);
    void SumReached();
    void FindBodies(int width, int height);
    int ReachedIn(int x0, int y0, int x1, int y1) const;
    bool Covered(int x, int y) const;

    int left = 0, top = 0, columns = 0, rows = 0;
    float lowestFloor = 0;
    std::vector<std::uint8_t> blocked;     // per box position: bit d set when a move in direction d is held
    std::vector<std::uint8_t> floorPixel;  // per world pixel: an up-facing floor runs through it
    std::vector<std::int32_t> floorSum;    // prefix sums of floorPixel
    std::vector<std::int16_t> budget;      // per box position: the best budget left there, -1 unreached
    std::vector<std::int32_t> reachedSum;  // prefix sums of reached box positions
    int bodyWidth = 0, bodyHeight = 0;
    std::vector<std::uint8_t> body;
};
