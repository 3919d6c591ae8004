// Decodes PNG pictures (every colour type and bit depth, interlaced or not)
// into 32-bit pixels with their alpha, within the image limits.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ImageDecoderInternal.h"

namespace qel {

// Whether the data starts with the PNG signature.
bool IsPng(const std::uint8_t* data, std::size_t size);

// The picture as B, G, R, A bytes a pixel; null pixels when its header's size
// is beyond the limits (checked before any row is made) or the data is cut
// short or corrupt. Colour-space chunks (gamma, profiles) are not applied.
DecodedPixels DecodePng(const std::uint8_t* data, std::size_t size);

}  // namespace qel
