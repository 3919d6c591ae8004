// Opaque handles of the platform layer: what the engine stores for a window,
// a surface, a font and an image. The classes are defined in their own headers.
#pragma once

namespace qel {
class Window;
class Surface;
class Display;
class Font;
class Image;
}  // namespace qel

// The game window, as the engine's records and globals hold it.
using HWND = qel::Window*;
