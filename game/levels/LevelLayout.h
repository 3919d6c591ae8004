// Level design drawn from a few numbers: a run along the ground over pits,
// chasms with stepping stones, blocks and fences, or a climb (or descent)
// over staggered ledges, with exactly the number of walls (id 1) and floors
// (id 0) a level asks for.
//
// Facing decides what holds: the engine stops a moving sprite only at a
// segment whose normal (-dy, dx) faces its motion. So every floor runs right
// to left (normal up, one-way: the player jumps up through it and lands on
// it), a wall met from the left runs downwards and one met from the right
// runs upwards, and a line solid from both sides is added twice, the second
// time reversed.
#pragma once
#include <vector>
#include "levels/LevelData.h"

namespace nolt {

// Segments of the right facing, whole pixels.
SegmentRecord FloorLine(float left, float right, float y);        // faces up
SegmentRecord CeilingLine(float left, float right, float y);      // faces down
SegmentRecord WallFacingLeft(float x, float top, float bottom);   // stops a player moving right
SegmentRecord WallFacingRight(float x, float top, float bottom);  // stops a player moving left
SegmentRecord Reversed(const SegmentRecord& line);

struct RunShape {
    int worldWidth;
    int walls;   // id 1, the boundary walls included
    int floors;  // id 0
    float groundY;
    float difficulty = 0;     // 0 the first level of the game .. 1 the last
    unsigned variant = 0;     // turns the order of the obstacles, so neighbours differ
    bool leftWall = true;     // false: the level brings its own left boundary
    float rightWallX = 0;     // 0: three pixels inside the world's right edge
    float startX = 57;        // where the player lands
    float goalX = 0;          // left side of the goal; 0: near the right edge
    int stairs = 0;           // steps up each side of a block; 0 or 1: plain blocks
    bool twinFences = false;  // a fence's floor is its own line added back up (id 0), not a cap
};

// The two boundary walls, then blocks (two walls, a top), fences (one wall)
// and, along the ground, pits, chasms crossed on stepping stones and shelves
// above the ground, spread between the start and the goal.
std::vector<SegmentRecord> RunLayout(const RunShape& shape);

struct ClimbShape {
    int worldWidth;
    int walls;
    int floors;
    float startX, startFloorY;  // where the player stands first
    float goalX, goalFloorY;    // where the goal stands
    float difficulty = 0;
};

// A floor under the start, one under the goal and ledges between them,
// alternating sides with an overlap the player can jump up through; the lower
// of the two end floors spans the world. Spare walls stop the ledges' outer
// ends and stand as fences on the lower floor.
std::vector<SegmentRecord> ClimbLayout(const ClimbShape& shape);

// Adds each of the first `walls` walls and `floors` floors a second time,
// right behind itself with its end points swapped: solid from both sides.
std::vector<SegmentRecord> DoubleLines(const std::vector<SegmentRecord>& lines, int walls, int floors);

}  // namespace nolt
