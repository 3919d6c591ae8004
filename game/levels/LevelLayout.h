// Level design drawn from a few numbers: a run along the ground with pits,
// blocks and fences, or a climb (or descent) over staggered ledges, with
// exactly the number of walls (id 1) and floors (id 0) a level asks for.
#pragma once
#include <vector>
#include "levels/LevelData.h"

namespace nolt {

struct RunShape {
    int worldWidth;
    int walls;     // id 1, the two boundary walls included
    int floors;    // id 0
    float groundY;
    bool leftWall = true;  // false: the level brings its own left boundary
};

// Walls: the two boundaries, then pits (two walls, one floor piece), blocks
// (two walls, a top and a floor piece) and fences (one wall); spare floors
// become ledges above the ground.
std::vector<SegmentRecord> RunLayout(const RunShape& shape);

struct ClimbShape {
    int worldWidth;
    int walls;
    int floors;
    float startX, startFloorY;  // where the player stands first
    float goalX, goalFloorY;    // where the goal stands
};

// A floor under the start, one under the goal and ledges between them,
// staggered left and right so that no ledge hangs straight over the one
// below; the lower of the two end floors spans the world. Walls beyond the
// two sides stop the ledges' outer ends.
std::vector<SegmentRecord> ClimbLayout(const ClimbShape& shape);

// Adds each of the first `walls` walls and `floors` floors a second time,
// right behind itself with its end points swapped.
std::vector<SegmentRecord> DoubleLines(const std::vector<SegmentRecord>& lines, int walls, int floors);

}  // namespace nolt
