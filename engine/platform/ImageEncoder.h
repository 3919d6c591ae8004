// Writing a surface (any depth) to a 24-bit BMP or a JPEG file, as the
// engine's screenshots do. A failed write leaves no file behind.
#pragma once
#include <cstdint>
#include <string>
#include "QelExport.h"

namespace qel {

class Surface;

// The index of the encoder for a MIME type ("image/bmp", "image/jpeg"), -1 for
// any other.
QEL_API std::int32_t ImageEncoderIndex(const char* mimeType);

QEL_API bool SaveBmp24(const Surface& surface, const std::string& path);
// Quality 0 to 100.
QEL_API bool SaveJpeg(const Surface& surface, const std::string& path, std::int32_t quality);

}  // namespace qel
