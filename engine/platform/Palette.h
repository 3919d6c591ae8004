// The one 256-colour palette that every 8-bit surface and the 8-bit display
// share (so 8-bit blits copy raw indices), and the system's static colours.
#pragma once
#include <array>
#include <cstdint>
#include "QelExport.h"
#include "foundation/Types.h"

namespace qel {

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};

constexpr std::uint8_t PaletteNoCollapse = 0x04;

using PaletteEntries = std::array<PaletteEntry, 256>;

// The shared palette; all black until set.
QEL_API void SetDisplayPalette(const PaletteEntries& entries);
QEL_API const PaletteEntries& DisplayPalette();

// The entry of the shared palette nearest to the colour (the lowest index
// among equally near ones).
QEL_API std::uint8_t NearestPaletteIndex(COLORREF colour);

// The system palette: 20 fixed colours at 0-9 and 246-255; the entries
// 10-245 are the shared palette's.
QEL_API PaletteEntry SystemPaletteEntry(int index);

}  // namespace qel
