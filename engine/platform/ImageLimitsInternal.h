// The largest picture any decoder is asked to make: decoding costs the
// picture's pixels whatever the file's length, so a size beyond these is
// refused before anything is allocated.
#pragma once
#include <cstdint>

namespace qel {

constexpr std::int64_t MaxImageSide = 16384;
constexpr std::int64_t MaxImagePixelBytes = std::int64_t(256) << 20;

// Width and height (either sign) of a picture of 4-byte pixels within the limits.
constexpr bool ImageSizeAllowed(std::int64_t width, std::int64_t height) {
    width = width < 0 ? -width : width;
    height = height < 0 ? -height : height;
    return width <= MaxImageSide && height <= MaxImageSide && width * height * 4 <= MaxImagePixelBytes;
}

}  // namespace qel
