// Screenshots: the back buffer as it is now, written as a 24-bit picture of
// the display's size, whatever the display depth. The name comes without its
// extension. A failure leaves no file and reports nothing.
#pragma once
#include "QelExport.h"

// Writes name + ".bmp".
QEL_API void ScreenShotBMP(const char* name);
// Writes name + ".jpg" at quality 100.
QEL_API void ScreenShotJPG(const char* name);
