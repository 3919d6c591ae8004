// The long crossings of the fourth world: a ground line broken by gaps,
// chasms crossed on stones, wide pits under high bridges and blocks, in an
// order of the level's own, growing wider toward the goal. Under every break
// in the ground hangs a basin a jump below it, so a missed jump costs only
// the crossing it was made on: the player climbs out and tries again.
#pragma once
#include <vector>
#include "levels/LevelData.h"

namespace nolt {

enum class Crossing { Gap, Stones, Bridge, Block };

struct CrossingShape {
    int worldWidth;
    int walls;   // id 1, the two boundary walls included
    int floors;  // id 0
    float groundY;
    float startX, goalX;            // where the player starts; left side of the goal
    float rightWallX;               // the right boundary wall
    std::vector<Crossing> pattern;  // the crossings in the order they recur
};

// How far below the ground a basin hangs: out of it, a jump reaches the ground.
constexpr float BasinDepth = 100;

std::vector<SegmentRecord> CrossingLayout(const CrossingShape& shape);

}  // namespace nolt
