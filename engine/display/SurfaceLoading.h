// The size of a bitmap. Loading bitmaps into colour-keyed surfaces is the
// engine's own (display/SurfaceLoadingInternal.h).
#pragma once
#include "QelExport.h"

// Size of an image, 32 when it cannot be read. Needs no display.
QEL_API int GetBmpWidth(char* name);
QEL_API int GetBmpHeight(char* name);
