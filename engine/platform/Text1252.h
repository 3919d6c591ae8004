// The engine's texts are bytes in code page 1252; the system wants UTF-8 or
// Unicode. These convert at the boundary (titles, message boxes, drawn text).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "QelExport.h"

namespace qel {

// The Unicode code point of one code-page-1252 byte. The five bytes that the
// code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// controls of the same value, as the system's converter does.
QEL_API char32_t Cp1252ToUnicode(std::uint8_t byte);

QEL_API std::string Cp1252ToUtf8(std::string_view text);

// Wide text of a one-byte string, one code unit per byte.
QEL_API std::u16string Cp1252ToUtf16(std::string_view text);

}  // namespace qel
