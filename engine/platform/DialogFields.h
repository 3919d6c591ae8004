// What the dialogs' fields give the engine: a number read as the system's
// dialogs read one, and typed text in the engine's code page.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qel {

// The unsigned number in a field: decimal digits, with spaces allowed around
// them; 0 when the text is no such number or does not fit in 32 bits.
std::uint32_t FieldUnsigned(std::string_view text);

// Typed UTF-8 text as code page 1252 bytes; a character that the code page
// lacks, or a broken sequence, becomes '?'.
std::string FieldTextCp1252(std::string_view utf8);

}  // namespace qel
