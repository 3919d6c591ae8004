#include <cstdint>
#include <memory>

#include <gtest/gtest.h>

#include "display/Screen.h"
#include "platform/Palette.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"

namespace {

std::uint32_t PixelAt(const qel::Surface& s, int x, int y) {
    const std::uint8_t* p = s.Row(y) + x * s.BytesPerPixel();
    std::uint32_t v = 0;
    for (int i = 0; i < s.BytesPerPixel(); ++i) v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

}  // namespace

TEST(Screen, PacksColoursForEveryDepth) {
    struct Case {
        int depth;
        COLORREF colour;
        std::uint32_t raw;
    };
    const Case cases[] = {
        {16, 0x00FFFFFF, 0xFFFF},     {16, 0x000000FF, 0xF800},   {16, 0x0000FF00, 0x07E0},
        {16, 0x00FF0000, 0x001F},     {24, 0x00112233, 0x332211}, {32, 0x00112233, 0x00332211},
        {32, 0x00FFFFFF, 0x00FFFFFF}, {8, 0x00000123, 0x23},  // the low byte is the index, no colour matching
    };
    for (const Case& c : cases) {
        // A width whose rows are padded tests the pitch.
        auto surface = qel::Surface::Create(3, 4, c.depth);
        ASSERT_TRUE(surface) << c.depth;
        Screen screen(*surface);
        screen.Start();
        screen.SetPixel(2, 3, c.colour);
        screen.Stop();
        EXPECT_EQ(PixelAt(*surface, 2, 3), c.raw) << c.depth << " " << std::hex << c.colour;
        EXPECT_EQ(PixelAt(*surface, 1, 3), 0u) << c.depth;
        EXPECT_EQ(PixelAt(*surface, 2, 2), 0u) << c.depth;
    }
}

TEST(Screen, TwentyFourBitWriteLeavesTheNextByteAlone) {
    auto surface = qel::Surface::Create(4, 1, 24);
    surface->Row(0)[3] = 0xAB;
    Screen screen(*surface);
    screen.Start();
    screen.SetPixel(0, 0, 0x00FFFFFF);
    screen.Stop();
    EXPECT_EQ(surface->Row(0)[3], 0xAB);
}

TEST(Screen, EveryWriteIsClippedToTheSurface) {
    struct Case {
        int x, y, width, height;
        int written;  // pixels set in a 4 x 3 surface
    };
    const Case cases[] = {{-1, 0, 1, 1, 0},  {4, 0, 1, 1, 0}, {0, 3, 1, 1, 0}, {0, -1, 1, 1, 0},
                          {-2, -2, 4, 4, 4}, {3, 2, 5, 5, 1}, {0, 0, 4, 3, 12}};
    for (int depth : {8, 16, 24, 32}) {
        for (const Case& c : cases) {
            auto surface = qel::Surface::Create(4, 3, depth);
            Screen screen(*surface);
            screen.Start();
            if (c.width == 1 && c.height == 1) {
                screen.SetPixel(c.x, c.y, 0x00FFFFFF);
                screen.Color(0x00FFFFFF);
                screen.SetPixel(c.x, c.y);
            } else {
                screen.Rect(c.x, c.y, c.width, c.height, 0x00FFFFFF);
                // Index 7 at 8 bits; the current colour (white) above.
                screen.PaletteRect(c.x, c.y, c.width, c.height, 7);
            }
            screen.Stop();
            int written = 0;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x) written += PixelAt(*surface, x, y) != 0;
            EXPECT_EQ(written, c.written) << depth << ": " << c.x << "," << c.y;
        }
    }
}

TEST(Screen, EightBitColourTakesTheNearestPaletteEntryWhileSetPixelTakesTheLowByte) {
    const bool windowed = _IsWindowed;
    _IsWindowed = false;  // full screen reads the display's palette
    qel::PaletteEntries palette{};
    palette[200] = {250, 10, 10, 0};  // nearly red
    qel::SetDisplayPalette(palette);
    auto surface = qel::Surface::Create(2, 1, 8);
    Screen screen(*surface);
    screen.Start();
    screen.Color(0x000000FF);
    EXPECT_EQ(screen.CurrentPaletteIndex(), 200);
    screen.SetPixel(0, 0);
    screen.SetPixel(1, 0, 0x000000FF);
    screen.Stop();
    EXPECT_EQ(surface->Row(0)[0], 200);
    EXPECT_EQ(surface->Row(0)[1], 0xFF);
    EXPECT_EQ(screen.GetPixel(0, 0), 0u);
    qel::SetDisplayPalette(qel::PaletteEntries{});
    _IsWindowed = windowed;
}
