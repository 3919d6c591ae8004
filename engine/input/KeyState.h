// The state of one key or mouse button from frame to frame: pressed, triggered
// for exactly the first frame of a press, and the frame counters behind taps
// and holds. The keyboard, the mouse and remote players' sprites keep these.
#pragma once
#include <cstdint>
#include "QelExport.h"

struct QEL_API KeyState {
    std::uint8_t downLatch = 0;  // set in the first pressed frame, cleared on release
    std::uint8_t pressed = 0;
    std::uint8_t triggered = 0;
    std::uint8_t spare = 0;
    std::uint32_t framesSinceRelease = 0;
    std::uint32_t tapGap = 0;  // released frames since TapCounter last read it during a press
    std::uint32_t holdFrames = 0;

    // Once per frame, after `pressed` is final for the frame.
    void NextFrame();
    // Pressed: the tap gap, which it clears. Released: the frames since release.
    std::uint32_t TapCounter();
    void Reset() { *this = KeyState(); }
};
static_assert(sizeof(KeyState) == 16);
