// One mouse event as the frame hands it to the network exchange: kind, signed
// value and, for motion, the cursor's world coordinate after the move.
#pragma once
#include <cstdint>

struct MouseEvent {
    enum Kind : std::uint8_t {
        None = 0,
        MoveX = 1,
        MoveY = 2,
        Wheel = 4,
        Button0 = 8,
        Button1 = 16,
        Button2 = 32,
    };

    std::uint8_t kind = None;
    std::int8_t value = 0;  // the scaled delta, or the button's pressed flag 0/1
    std::uint8_t unused[2] = {0, 0};
    std::int32_t world = 0;  // world x (MoveX) or y (MoveY) after the move, else 0
};
static_assert(sizeof(MouseEvent) == 8);
