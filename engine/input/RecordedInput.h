// Input recorded frame by frame for a replay; the current level keeps one
// array of each, and the replay file stores them.
#pragma once
#include <cstdint>
#include "foundation/Array.h"
#include "input/RecordedKeys.h"

// One frame's mouse motion: the sums of the frame's scaled deltas.
struct MouseRelMove {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t wheel = 0;
};
static_assert(sizeof(MouseRelMove) == 12);

// Bits of the per-frame mouse flags byte.
enum MouseFrameFlag : std::uint8_t {
    MouseFlagButton0 = 1,
    MouseFlagButton1 = 2,
    MouseFlagMovedX = 4,
    MouseFlagMovedY = 8,
    MouseFlagWheel = 16,
    MouseFlagButton2 = 32,
};

// The three arrays of one level, as the devices reach them (null when no level).
struct RecordedInput {
    RecordedKeys* keys = nullptr;
    Array<unsigned char>* mouseFlags = nullptr;
    Array<MouseRelMove>* mouseMoves = nullptr;
};
