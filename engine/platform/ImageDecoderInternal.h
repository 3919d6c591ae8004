// Decodes the picture formats the game's art comes in, BMP, JPEG (what the
// engine's screenshots write), PNG and GIF, and no others, within the image
// limits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qel {

// What holds a picture's bytes or pixels, and frees them.
using PixelOwner = std::unique_ptr<void, void (*)(void*)>;

struct DecodedPixels {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0;                // bytes from a row to the one below it (negative: stored bottom up)
    std::uint32_t format = 0;              // SDL's name of the pixel format
    const std::uint8_t* pixels = nullptr;  // the top row
    // What holds the pixels, freed with them.
    PixelOwner owner{nullptr, nullptr};
};

// Pixels a decoder made with SDL's allocator, `pitch` bytes a row, taken over
// and freed with SDL_free.
DecodedPixels RowsFromSdlAllocator(std::uint8_t* rows, std::int32_t width, std::int32_t height, std::int32_t pitch,
                                   std::uint32_t format);

// The picture in `data`, whose end is the end of the picture's bytes: its
// header's size is checked against the limits before any pixel is made. Null
// pixels when the format is another, the size beyond the limits, or the data
// no sound picture.
DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size);

// The same for a picture file's bytes that `bytes` holds, which the pixels may
// keep: the rows of a BMP stored plainly (24 bits, uncompressed, as the game's
// maps are) are read where they lie in the file instead of being copied whole
// first. Otherwise the bytes are freed once decoded.
DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size, PixelOwner bytes);

}  // namespace qel
