// Pixel access to the back buffer in whatever depth the display runs: single
// pixels and filled rectangles written straight into the locked surface.
// Calls go between Start() and Stop(); every write is clipped to the surface.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Types.h"
#include "platform/Palette.h"

namespace qel {
class Surface;
}

class QEL_API Screen {
public:
    // Pixel access to the back buffer.
    Screen();
    // Pixel access to another surface of a display format.
    explicit Screen(qel::Surface& surface);
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void Start();
    void Stop();

    // The current colour; at 8 bits also the nearest palette index.
    void Color(COLORREF colour);
    void PaletteColor(unsigned char index);

    // The colour's packing for the depth; at 8 bits the colour's low byte.
    void SetPixel(int x, int y, COLORREF colour);
    // The current colour (the current palette index at 8 bits).
    void SetPixel(int x, int y);
    void Rect(int x, int y, int width, int height, COLORREF colour);
    void PaletteRect(int x, int y, int width, int height, unsigned char index);
    // Always 0.
    COLORREF GetPixel(int x, int y) const;

    unsigned char CurrentPaletteIndex() const { return paletteIndex; }
    // The nearest entry of the palette this Screen read (lowest index on ties).
    unsigned char NearestIndex(COLORREF colour) const;

private:
    void ReadFormat();
    bool Inside(int x, int y) const;
    std::uint32_t Pack(COLORREF colour) const;
    void Write(int x, int y, std::uint32_t value);
    void FillClipped(int x, int y, int width, int height, std::uint32_t value);

    qel::Surface* surface;
    std::uint8_t* memory = nullptr;
    std::int32_t pitch = 0;
    std::uint32_t bitsPerPixel = 0;
    std::int32_t redShift = 0, greenShift = 0, blueShift = 0;
    std::int32_t redWidth = 0, greenWidth = 0, blueWidth = 0;
    qel::PaletteEntries palette{};
    COLORREF currentColor = 0;
    unsigned char paletteIndex = 0;
};
