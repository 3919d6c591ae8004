#include "display/Screen.h"

#include <algorithm>

#include "display/DisplayInternal.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"

namespace {

void MaskShiftAndWidth(std::uint32_t mask, std::int32_t& shift, std::int32_t& width) {
    shift = 0;
    width = 0;
    if (mask == 0) return;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    while ((mask & 1u) != 0) {
        mask >>= 1;
        ++width;
    }
}

}  // namespace

Screen::Screen() : surface(pBackBuffer) { ReadFormat(); }

Screen::Screen(qel::Surface& target) : surface(&target) { ReadFormat(); }

void Screen::ReadFormat() {
    if (surface == nullptr) return;
    const qel::PixelFormat& format = surface->Format();
    bitsPerPixel = std::uint32_t(format.bitsPerPixel);
    if (bitsPerPixel <= 8) {
        // Full screen shows the display's own palette; a window gets the
        // system's, whose static entries are fixed.
        for (int i = 0; i < 256; ++i) palette[i] = _IsWindowed ? qel::SystemPaletteEntry(i) : qel::DisplayPalette()[i];
        paletteIndex = NearestIndex(0);
        return;
    }
    MaskShiftAndWidth(format.redMask, redShift, redWidth);
    MaskShiftAndWidth(format.greenMask, greenShift, greenWidth);
    MaskShiftAndWidth(format.blueMask, blueShift, blueWidth);
}

void Screen::Start() {
    if (surface != nullptr) memory = surface->Lock(&pitch);
}

void Screen::Stop() {
    if (surface != nullptr && surface->IsLocked()) surface->Unlock();
}

unsigned char Screen::NearestIndex(COLORREF colour) const {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const long dr = long(palette[i].red) - RedOf(colour);
        const long dg = long(palette[i].green) - GreenOf(colour);
        const long db = long(palette[i].blue) - BlueOf(colour);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<unsigned char>(best);
}

void Screen::Color(COLORREF colour) {
    currentColor = colour;
    if (bitsPerPixel <= 8) paletteIndex = NearestIndex(colour);
}

void Screen::PaletteColor(unsigned char index) { paletteIndex = index; }

std::uint32_t Screen::Pack(COLORREF c) const {
    const std::uint32_t r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    switch (bitsPerPixel) {
        case 8: return c & 0xFF;
        case 16:
            return ((r << redWidth) >> 8) << redShift | ((g << greenWidth) >> 8) << greenShift |
                   ((b << blueWidth) >> 8) << blueShift;
        case 24:
        case 32: return r << redShift | g << greenShift | b << blueShift;
        default: return 0;
    }
}

bool Screen::Inside(int x, int y) const {
    return surface != nullptr && x >= 0 && y >= 0 && x < surface->Width() && y < surface->Height();
}

void Screen::Write(int x, int y, std::uint32_t value) {
    if (memory == nullptr) return;
    std::uint8_t* p = memory + std::ptrdiff_t(y) * pitch;
    switch (bitsPerPixel) {
        case 8: p[x] = std::uint8_t(value); break;
        case 16:
            p += std::ptrdiff_t(x) * 2;
            p[0] = std::uint8_t(value);
            p[1] = std::uint8_t(value >> 8);
            break;
        case 24:
            p += std::ptrdiff_t(x) * 3;
            p[0] = std::uint8_t(value);
            p[1] = std::uint8_t(value >> 8);
            p[2] = std::uint8_t(value >> 16);
            break;
        case 32:
            p += std::ptrdiff_t(x) * 4;
            p[0] = std::uint8_t(value);
            p[1] = std::uint8_t(value >> 8);
            p[2] = std::uint8_t(value >> 16);
            p[3] = 0;
            break;
        default: break;
    }
}

void Screen::SetPixel(int x, int y, COLORREF colour) {
    if (Inside(x, y)) Write(x, y, Pack(colour));
}

void Screen::SetPixel(int x, int y) {
    if (Inside(x, y)) Write(x, y, bitsPerPixel <= 8 ? paletteIndex : Pack(currentColor));
}

void Screen::FillClipped(int x, int y, int width, int height, std::uint32_t value) {
    if (surface == nullptr) return;
    const long left = std::max<long>(x, 0), top = std::max<long>(y, 0);
    const long right = std::min<long>(long(x) + width, surface->Width());
    const long bottom = std::min<long>(long(y) + height, surface->Height());
    for (long i = left; i < right; ++i)
        for (long j = top; j < bottom; ++j) Write(int(i), int(j), value);
}

void Screen::Rect(int x, int y, int width, int height, COLORREF colour) {
    Color(colour);
    FillClipped(x, y, width, height, bitsPerPixel <= 8 ? paletteIndex : Pack(currentColor));
}

void Screen::PaletteRect(int x, int y, int width, int height, unsigned char index) {
    PaletteColor(index);
    FillClipped(x, y, width, height, bitsPerPixel <= 8 ? paletteIndex : Pack(currentColor));
}

COLORREF Screen::GetPixel(int, int) const { return 0; }
