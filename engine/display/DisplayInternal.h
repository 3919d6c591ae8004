// The display's set-up and release, the back buffer and its presentation in
// the game window (windowed or full screen), the 8-bit palette, the loading
// screen and the switch to and from full screen: the engine's own.
#pragma once
#include <cstdint>
#include "platform/Handles.h"
#include "platform/Palette.h"
#include "display/Display.h"

namespace qel {
class Display;
class Surface;
}  // namespace qel

extern std::int32_t displayWidth;   // 640
extern std::int32_t displayHeight;  // 480
extern std::int32_t displayDepth;   // 16; bits per pixel: 8, 16, 24 or 32
// The display device (owns the back buffer and presents it); null when released.
extern qel::Display* pDirectDraw;
// The window side of the display: set once the surfaces exist.
extern qel::Display* pPrimary;
extern qel::Surface* pBackBuffer;
// The gamma control: the display while full screen, null when windowed.
extern qel::Display* pGammaControl;

extern bool _IsLoading;

// Builds the display; false when the display device cannot be made.
bool DisplayInit();
void DisplayRelease();
// The set-up steps, also used to rebuild.
void InitDisplayMode();
void CreateSurfaces();
void CreateClippers();

// The 8-bit palette from paletteBitmapName (entries 10-245) and the system
// colours; nothing unless the display runs at 8 bits.
void SetDisplayPalette();
// A 256-entry palette from a BMP file's colour table; false when the file
// cannot be read or has no usable table.
bool LoadBmpFile(const char* path, qel::PaletteEntries& palette);

// Fills the whole back buffer with 0.
void ClearBackBuffer();
// "Loading ..." in red on black at the top left of the back buffer.
void DrawLoadingText();
// Rebuilds the surfaces after a loss and reloads actor and map bitmaps.
void RestoreSurfaces();
void ToggleFullScreen();

// Shows the back buffer (the presentation of GameNode::UpdateScreen); a lost
// surface is restored and the presentation repeated once.
void PresentBackBuffer();

// How many times a display that fails for a reason other than an unsupported
// mode is tried before the set-up gives up.
constexpr int DisplayModeAttempts = 3;
