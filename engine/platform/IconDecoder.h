// Windows icon and cursor files (ICO and CUR), as a program's "ICON" and
// "CURSOR" resources hold them: the largest picture of the file with its
// transparency, and a cursor's hot spot. Read here, so that the window needs
// no image library at start-up.
#pragma once
#include <cstddef>

struct SDL_Surface;

namespace qel {

struct DecodedIcon {
    SDL_Surface* image = nullptr;  // 32-bit ARGB; the caller frees it; null when refused
    int hotX = 0;                  // a cursor's hot spot, within the image; (0, 0) for an icon
    int hotY = 0;
};

// Pictures of 1, 4, 8, 24 or 32 bits a pixel, uncompressed, at most 256 x 256.
// Anything else, and data that ends early, is refused.
DecodedIcon DecodeIcon(const void* data, std::size_t size);

}  // namespace qel
