#include "levels/TowerLayout.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace nolt {
namespace {

float Whole(float v) { return std::round(v); }

// The goal's floor reaches this far left and right of the goal's left side.
constexpr float GoalFloorLeft = 60, GoalFloorRight = 130;
constexpr float GoalWidth = 70, PlayerWidth = 32;

// Strides across per move: a leap at one height goes twice as far as a step up.
int Across(char move) {
    switch (move) {
        case 'R': return 1;
        case 'r': return 2;
        case 'L': return -1;
        case 'l': return -2;
        default: return 0;
    }
}

bool Rises(char move) { return move == 'R' || move == 'L' || move == 'U'; }

struct Step {
    float x, y;  // centre of the step, its height
};

// Where each jump of the path lands; the last entry is the goal's floor.
std::vector<Step> Steps(const ClimbShape& s, const StepPath& path) {
    const std::size_t moves = std::strlen(path.moves);
    int net = 0, rising = 0;
    for (std::size_t i = 0; i < moves; ++i) net += Across(path.moves[i]), rising += Rises(path.moves[i]);
    const float lowY = std::max(s.startFloorY, s.goalFloorY), highY = std::min(s.startFloorY, s.goalFloorY);
    const float startX = s.startX + PlayerWidth / 2, goalX = s.goalX + GoalWidth / 2;
    const float stride = path.stride > 0 ? path.stride : (goalX - startX) / float(net);
    const float rise = (lowY - highY) / float(std::max(1, rising));
    float x = path.stride > 0 ? goalX - float(net) * stride : startX, y = lowY;
    std::vector<Step> out;
    int column = 0;
    for (std::size_t i = 0; i < moves; ++i) {
        const char m = path.moves[i];
        x += float(Across(m)) * stride;
        if (Rises(m)) y -= rise;
        const float stagger = m == 'U' ? (column++ % 2 == 0 ? -path.stagger : path.stagger) : 0;
        out.push_back({Whole(x + stagger), Whole(y)});
    }
    return out;
}

// Cuts one wall into `pieces` that touch; the piece at its lower end stays
// in the wall's place, the others follow at the end.
void Cut(std::vector<SegmentRecord>& out, std::size_t wall, int pieces) {
    const SegmentRecord whole = out[wall];
    const float step = (whole.y2 - whole.y1) / float(pieces);
    const int lowest = whole.y1 > whole.y2 ? 0 : pieces - 1;
    for (int i = 0; i < pieces; ++i) {
        SegmentRecord piece = whole;
        piece.y1 = i == 0 ? whole.y1 : Whole(whole.y1 + step * float(i));
        piece.y2 = i + 1 == pieces ? whole.y2 : Whole(whole.y1 + step * float(i + 1));
        if (i == lowest)
            out[wall] = piece;
        else
            out.push_back(piece);
    }
}

}  // namespace

std::vector<SegmentRecord> TowerLayout(const ClimbShape& s, const StepPath& path) {
    std::vector<SegmentRecord> out;
    const float w = float(s.worldWidth);
    const float lowY = std::max(s.startFloorY, s.goalFloorY), highY = std::min(s.startFloorY, s.goalFloorY);
    out.push_back(WallFacingRight(0, 0, lowY + 30));
    out.push_back(WallFacingLeft(w - 1, 0, lowY + 30));
    out.push_back(FloorLine(0, w, lowY));
    out.push_back(FloorLine(std::max(0.0f, s.goalX - GoalFloorLeft), std::min(w, s.goalX + GoalFloorRight), highY));
    const std::vector<Step> steps = Steps(s, path);
    const float half = path.stepWidth / 2;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        const float x = std::clamp(steps[i].x, half + 1, w - half - 2);
        out.push_back(FloorLine(Whole(x - half), Whole(x + half), steps[i].y));
    }
    // Spare walls: the left side wall takes the odd piece.
    const int spare = s.walls - 2;
    if (spare > 0) {
        Cut(out, 0, 1 + (spare + 1) / 2);
        Cut(out, 1, 1 + spare / 2);
    }
    return out;
}

}  // namespace nolt
