// Bitmaps into colour-keyed surfaces: image loading from the program's resources
// or the current asset folder, colour keys as raw pixel values, and the actor
// table's surfaces with their mirrored copies.
#pragma once
#include <cstdint>
#include "foundation/Types.h"
#include "display/SurfaceLoading.h"

namespace qel {
class Display;
class Surface;
}  // namespace qel

// A new surface of the image's own size holding the image over a fill of the
// key colour, with that colour as its key; null when the image is found nowhere.
// The image is the program's bitmap resource of that name, else the file in the
// current asset folder. Without a display the surface takes the display depth.
// `opaque`, when given, tells whether every pixel of the image is opaque: the
// surface's pixels are then the same whatever the key.
qel::Surface* LoadImageFile(qel::Display* display, const char* name, COLORREF key, bool* opaque = nullptr);

// The raw pixel value the surface stores for the colour; 0xFFFFFFFF for an
// invalid colour or no surface.
std::uint32_t ColorMatch(const qel::Surface* surface, COLORREF colour);
void SetSurfaceColorKey(qel::Surface* surface, COLORREF colour);
void ReleaseSurface(qel::Surface*& surface);

// Makes every missing surface of every frame of the actor table: the image, then
// the mirrored copies its flip flags ask for.
void LoadActorSurfaces();
// Releases every surface of every frame of the actor table.
void ReleaseActorSurfaces();
