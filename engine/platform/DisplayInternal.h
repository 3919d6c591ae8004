// For the platform layer's own modules only (the dialogs): the display's last
// frame drawn again under something else; where a full-screen frame lands.
#pragma once
#include <cstdint>
#include "platform/Handles.h"

namespace qel {

struct FrameRect {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// Where the frame is shown on an output of that size in full screen: scaled
// to fill one side, its aspect kept, centred between black bars. The whole
// output for empty sizes.
FrameRect LetterboxRect(std::int32_t outputWidth, std::int32_t outputHeight, std::int32_t frameWidth,
                        std::int32_t frameHeight);

// Draws the last presented frame of the window's display into the window's
// renderer, as presenting does, without presenting it. False when the window
// has no display.
bool DrawDisplayFrame(HWND window);

}  // namespace qel
