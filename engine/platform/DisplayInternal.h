// For the platform layer's own modules only (the dialogs): the display's last
// frame drawn again under something else.
#pragma once
#include "platform/Handles.h"

namespace qel {

// Draws the last presented frame of the window's display into the window's
// renderer, as presenting does, without presenting it. False when the window
// has no display.
bool DrawDisplayFrame(HWND window);

}  // namespace qel
