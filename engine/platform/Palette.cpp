#include "platform/Palette.h"

namespace qel {

namespace {
PaletteEntries shared{};

// The system's fixed colours: ten at the bottom of the palette, ten at the top.
constexpr PaletteEntry lowStatic[10] = {
    {0, 0, 0, 0},     {128, 0, 0, 0},   {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
};
constexpr PaletteEntry highStatic[10] = {
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0},
};
}  // namespace

void SetDisplayPalette(const PaletteEntries& entries) { shared = entries; }

const PaletteEntries& DisplayPalette() { return shared; }

std::uint8_t NearestPaletteIndex(COLORREF colour) {
    int r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
        int dr = shared[i].red - r, dg = shared[i].green - g, db = shared[i].blue - b;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) break;
        }
    }
    return std::uint8_t(best);
}

PaletteEntry SystemPaletteEntry(int index) {
    if (index >= 0 && index < 10) return lowStatic[index];
    if (index >= 246 && index < 256) return highStatic[index - 246];
    if (index >= 10 && index < 246) return shared[index];
    return {};
}

}  // namespace qel
