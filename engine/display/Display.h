// The display: the mode the game sets and the pixel access to the back buffer.
// Its set-up, release and presentation are the engine's own
// (display/DisplayInternal.h).
#pragma once
#include "QelExport.h"

class Screen;

extern QEL_API Screen* pScreen;

// Stores the mode for the next set-up; no check.
QEL_API void SetMode(int width, int height, int bitsPerPixel);
