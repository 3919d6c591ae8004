// Decodes the picture formats the game's bitmaps come in, BMP and JPEG (what
// the engine's screenshots write), and no others, within the image limits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qel {

struct DecodedPixels {
    struct Free {
        void operator()(std::uint8_t* pixels) const;
    };
    std::int32_t width = 0;
    std::int32_t height = 0;
    // 3 (red, green, blue) or 4 (with alpha after them) bytes a pixel, rows top
    // down and packed.
    std::int32_t channels = 0;
    std::unique_ptr<std::uint8_t, Free> pixels;
};

// The picture in `data`, whose end is the end of the picture's bytes: its
// header's size is checked against the limits before any pixel is made. Null
// pixels when the format is another, the size beyond the limits, or the data
// no sound picture.
DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size);

}  // namespace qel
