#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Image.h"

#include "LargestBlock.h"

namespace {

using qel::Image;
using Bytes = std::vector<std::uint8_t>;

struct GifLayout {
    const char* name;
    int screenWidth, screenHeight;
    int left, top, width, height;  // the first image on the screen
    bool interlaced;
    bool ownColours;       // the image has its own colour table, not the screen's
    int transparentIndex;  // -1: none
    bool secondImage;      // another image follows the first
};

constexpr int Colours = 16;

// The colour index of the image's pixel (x, y).
GifPixelType Index(int x, int y) { return GifPixelType((x * 3 + y * 5 + x * y) % Colours); }

// Entry i of the screen's table or of an image's own.
std::uint32_t TableColour(int i, bool own) {
    const std::uint32_t c = std::uint32_t(i) * 16;
    return own ? (255 - c) << 16 | c << 8 | 0x40 : c << 16 | (255 - c) << 8 | std::uint32_t(i);
}

ColorMapObject* Table(bool own) {
    GifColorType colours[Colours];
    for (int i = 0; i < Colours; ++i) {
        const std::uint32_t c = TableColour(i, own);
        colours[i] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
    }
    return GifMakeMapObject(Colours, colours);
}

// What the screen shows at (x, y) as 0xAARRGGBB: the first image, its
// transparent colour and the screen around it fully transparent.
std::uint32_t Expected(const GifLayout& l, int x, int y) {
    const int ix = x - l.left, iy = y - l.top;
    if (ix < 0 || iy < 0 || ix >= l.width || iy >= l.height) return 0;
    const int i = Index(ix, iy);
    return i == l.transparentIndex ? 0 : 0xFF000000u | TableColour(i, l.ownColours);
}

int AppendGif(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

// The rows in the order the file stores them.
std::vector<int> StoredRows(int height, bool interlaced) {
    std::vector<int> rows;
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (int y = interlaced ? start[pass] : 0; y < height; y += interlaced ? step[pass] : 1) rows.push_back(y);
    return rows;
}

void PutImage(GifFileType* gif, int left, int top, int width, int height, bool interlaced, ColorMapObject* own,
              GifPixelType (*index)(int, int)) {
    ASSERT_EQ(EGifPutImageDesc(gif, left, top, width, height, interlaced, own), GIF_OK);
    std::vector<GifPixelType> line(std::size_t(width), 0);
    for (int y : StoredRows(height, interlaced)) {
        for (int x = 0; x < width; ++x) line[std::size_t(x)] = index(x, y);
        ASSERT_EQ(EGifPutLine(gif, line.data(), width), GIF_OK);
    }
}

// The picture in that layout, written by giflib.
Bytes WriteGif(const GifLayout& l) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    ColorMapObject* screenTable = Table(false);
    ColorMapObject* ownTable = Table(true);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, l.screenWidth, l.screenHeight, 8, 0, screenTable), GIF_OK);
    if (l.transparentIndex >= 0) {
        const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, l.transparentIndex};
        GifByteType extension[4];
        const std::size_t length = EGifGCBToExtension(&control, extension);
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension), GIF_OK);
    }
    PutImage(gif, l.left, l.top, l.width, l.height, l.interlaced, l.ownColours ? ownTable : nullptr, Index);
    if (l.secondImage)
        PutImage(gif, 0, 0, l.screenWidth, l.screenHeight, false, nullptr, [](int, int) { return GifPixelType(1); });
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(screenTable);
    GifFreeMapObject(ownTable);
    return out;
}

void ExpectScreen(const Image* image, const GifLayout& l) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->Width(), l.screenWidth);
    ASSERT_EQ(image->Height(), l.screenHeight);
    bool opaque = true;
    for (int y = 0; y < l.screenHeight; ++y)
        for (int x = 0; x < l.screenWidth; ++x) {
            EXPECT_EQ(image->Pixel(x, y), Expected(l, x, y)) << x << "," << y;
            opaque = opaque && Expected(l, x, y) >> 24 == 0xFF;
        }
    EXPECT_EQ(image->Opaque(), opaque);
}

// The first image is shown where it lies on its screen, in its own colours or
// the screen's, its transparent colour and the rest of the screen fully
// transparent, interlaced rows in their places, later images not at all.
TEST(GifDecoding, TheFirstImageOnItsScreen) {
    const GifLayout layouts[] = {
        {"image fills the screen", 7, 5, 0, 0, 7, 5, false, false, -1, false},
        {"transparent colour", 7, 5, 0, 0, 7, 5, false, false, 3, false},
        {"own colour table", 7, 5, 0, 0, 7, 5, false, true, -1, false},
        {"image inside a larger screen", 12, 9, 4, 3, 5, 4, false, false, -1, false},
        {"image past the screen's edges", 6, 4, 3, 2, 5, 4, false, false, -1, false},
        {"interlaced", 10, 19, 0, 0, 10, 19, true, false, -1, false},
        {"interlaced, placed, transparent", 9, 14, 1, 2, 6, 11, true, true, 0, false},
        {"a second image follows", 7, 5, 1, 1, 4, 3, false, false, 5, true},
    };
    for (const GifLayout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes bytes = WriteGif(l);
        ASSERT_FALSE(bytes.empty());
        ExpectScreen(Image::FromMemory(bytes.data(), bytes.size()).get(), l);
    }
}

// Everything up to the end of the first image's data is needed; the trailer
// after it is not.
TEST(GifDecoding, FilesCutShortAreRefusedUntilTheFirstImageIsWhole) {
    const GifLayout layouts[] = {
        {"plain", 7, 5, 0, 0, 7, 5, false, false, 3, false},
        {"interlaced", 6, 11, 0, 0, 6, 11, true, true, -1, false},
    };
    for (const GifLayout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes whole = WriteGif(l);
        ASSERT_EQ(whole.back(), ';');
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            SCOPED_TRACE(length);
            auto image = Image::FromMemory(whole.data(), length);
            if (length + 1 < whole.size())
                EXPECT_EQ(image, nullptr);
            else
                ExpectScreen(image.get(), l);
        }
    }
}

// Damaged structure is refused: a record of no known kind, no image at all,
// an image with no colour table to show it, a code size beyond the format's.
TEST(GifDecoding, CorruptFilesAreRefused) {
    const GifLayout plain{"plain", 4, 3, 0, 0, 4, 3, false, false, -1, false};
    const Bytes whole = WriteGif(plain);
    constexpr std::size_t Screen = 13, ScreenTable = 3 * Colours, Image = Screen + ScreenTable;
    ASSERT_EQ(whole[Image], ',');
    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t value;
        bool noScreenTable;  // the screen's table left out, its flag put at `at`
    } cases[] = {
        {"unknown record", Image, '!' + 1, false},
        {"trailer before any image", Image, ';', false},
        {"no colour table anywhere", 10, 0x00, true},
        {"code size 12", Image + 10, 12, false},
        {"screen width 0", 6, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = whole;
        bytes[c.at] = c.value;
        if (c.noScreenTable) bytes.erase(bytes.begin() + Screen, bytes.begin() + Screen + ScreenTable);
        EXPECT_EQ(Image::FromMemory(bytes.data(), bytes.size()), nullptr);
    }
}

// A screen or a first image beyond the image limits is refused from its
// descriptor, before any block of its size is asked for; an image larger than
// its screen within the limits gives the screen.
TEST(GifDecoding, ScreensAndImagesBeyondTheLimitsAreRefusedBeforeDecoding) {
    const struct {
        GifLayout layout;
        bool decoded;
    } cases[] = {
        {{"screen at the width limit", 16384, 1, 0, 0, 2, 1, false, false, -1, false}, true},
        {{"screen past the width limit", 16385, 1, 0, 0, 2, 1, false, false, -1, false}, false},
        {{"screen past the height limit", 1, 16385, 0, 0, 1, 2, false, false, -1, false}, false},
        {{"screen past the pixel limit", 8192, 8193, 0, 0, 2, 2, false, false, -1, false}, false},
        {{"image at the width limit", 2, 1, 0, 0, 16384, 1, false, false, -1, false}, true},
        {{"image past the width limit", 2, 1, 0, 0, 16385, 1, false, false, -1, false}, false},
        {{"image past the pixel limit", 2, 2, 0, 0, 8193, 8192, false, false, -1, false}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.name);
        const Bytes bytes = WriteGif(c.layout);
        ASSERT_FALSE(bytes.empty());
        LargestBlock largest;
        auto image = Image::FromMemory(bytes.data(), bytes.size());
        ASSERT_EQ(image != nullptr, c.decoded);
        if (image) {
            ASSERT_EQ(image->Width(), c.layout.screenWidth);
            ASSERT_EQ(image->Height(), c.layout.screenHeight);
            for (int x : {0, 1, c.layout.screenWidth - 1}) EXPECT_EQ(image->Pixel(x, 0), Expected(c.layout, x, 0)) << x;
        } else {
            EXPECT_LT(largest.Bytes(), std::size_t(1) << 20);
        }
    }
}

}  // namespace
