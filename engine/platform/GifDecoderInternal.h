// Decodes GIF pictures into 32-bit pixels with their alpha, within the image
// limits: the first image, placed on its screen as a viewer shows it first.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ImageDecoderInternal.h"

namespace qel {

// Whether the data starts with a GIF signature.
bool IsGif(const std::uint8_t* data, std::size_t size);

// The screen as 0xAARRGGBB pixels: the first image where it lies on
// the screen, its transparent colour and the rest of the screen fully
// transparent. Null pixels when the screen or the image is beyond the limits
// (checked before any pixel is made), no colour table is given, or the data
// is cut short or corrupt before the image's last row.
DecodedPixels DecodeGif(const std::uint8_t* data, std::size_t size);

}  // namespace qel
