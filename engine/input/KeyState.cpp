#include "input/KeyState.h"

void KeyState::NextFrame() {
    if (!pressed) {
        holdFrames = 0;
        triggered = 0;
        ++framesSinceRelease;
        ++tapGap;
        downLatch = 0;
        return;
    }
    framesSinceRelease = 0;
    ++holdFrames;
    triggered = downLatch ? 0 : 1;
    downLatch = 1;
}

std::uint32_t KeyState::TapCounter() {
    if (!pressed) return framesSinceRelease;
    const std::uint32_t gap = tapGap;
    tapGap = 0;
    return gap;
}
