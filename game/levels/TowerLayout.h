// The third world's towers: a floor across the bottom, the goal's floor at
// the top and between them a path of steps, one jump apart, whose moves the
// level spells out: 'R' and 'L' a step up to the right or the left, 'U' a
// step straight up, 'r' and 'l' a leap across at the same height, two
// strides long. So one
// tower is a staircase, another a switchback, a hairpin or a chimney, and a
// missed jump drops the player onto a step below or the bottom floor.
#pragma once
#include <vector>
#include "levels/LevelData.h"
#include "levels/LevelLayout.h"

namespace nolt {

struct StepPath {
    const char* moves;  // one letter per jump; the last lands on the goal's floor
    float stepWidth = 80;
    float stride = 0;   // across per 'R' or 'L'; 0: what brings the path from the start to the goal
    float stagger = 0;  // 'U' steps sit this far left and right of their column by turns
};

// The two side walls first (left, right), then the floors; walls the shape
// has beyond the side walls cut the side walls into pieces that touch.
std::vector<SegmentRecord> TowerLayout(const ClimbShape& shape, const StepPath& path);

}  // namespace nolt
