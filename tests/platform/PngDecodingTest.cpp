#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "display/Display.h"
#include "display/DisplayInternal.h"
#include "display/SurfaceLoading.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Image.h"
#include "platform/ImageLimitsInternal.h"
#include "platform/Resources.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/EngineGlobalsInternal.h"

#include "LargestBlock.h"

namespace {

using qel::Image;
using Bytes = std::vector<std::uint8_t>;

// Large enough for every pass of an interlaced picture to hold pixels.
constexpr int Width = 10, Height = 9;

struct PngLayout {
    const char* name;
    int colourType;  // PNG_COLOR_TYPE_*
    int depth;
    bool interlaced;
    bool transparency;  // a tRNS chunk
};

int Channels(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;
    }
}

bool HasAlphaChannel(int colourType) { return (colourType & PNG_COLOR_MASK_ALPHA) != 0; }

// The stored sample of channel c at (x, y). Alpha channels hold transparent,
// half, opaque and faint pixels; 16-bit samples repeat their high byte, so
// that each has one 8-bit value.
unsigned Sample(const PngLayout& l, int x, int y, int c) {
    const unsigned high = l.depth == 16 ? 257 : 1;
    if (HasAlphaChannel(l.colourType) && c == Channels(l.colourType) - 1) {
        constexpr unsigned Alphas[4] = {0x00, 0x80, 0xFF, 0x33};
        return Alphas[(x + y) % 4] * high;
    }
    const unsigned range = l.depth >= 8 ? 256 : 1u << l.depth;
    return (unsigned(x * 37 + y * 101 + c * 59 + x * y * 7) % range) * high;
}

// Palette entry i (a palette of 2^depth entries), and the opacity the tRNS
// chunk gives the first three.
std::uint32_t PaletteColour(unsigned i) { return (i * 53 % 256) << 16 | (i * 97 % 256) << 8 | (255 - i); }
constexpr png_byte PaletteAlphas[3] = {0x00, 0x80, 0x40};
int PaletteSize(const PngLayout& l) { return 1 << l.depth; }

std::uint32_t To8Bits(unsigned sample, int depth) {
    if (depth == 16) return sample >> 8;
    return sample * 255 / ((1u << depth) - 1);
}

// What the pixel at (x, y) is as 0xAARRGGBB. A tRNS chunk of a grey or RGB
// picture names the colour of pixel (0, 0).
std::uint32_t Expected(const PngLayout& l, int x, int y) {
    if (l.colourType == PNG_COLOR_TYPE_PALETTE) {
        const unsigned i = Sample(l, x, y, 0);
        const std::uint32_t alpha = l.transparency && i < 3 ? PaletteAlphas[i] : 0xFF;
        return alpha << 24 | PaletteColour(i);
    }
    const bool colour = l.colourType == PNG_COLOR_TYPE_RGB || l.colourType == PNG_COLOR_TYPE_RGB_ALPHA;
    std::uint32_t rgb = 0;
    bool likeFirst = true;
    for (int c = 0; c < 3; ++c) {
        const int channel = colour ? c : 0;
        rgb = rgb << 8 | To8Bits(Sample(l, x, y, channel), l.depth);
        likeFirst = likeFirst && Sample(l, x, y, channel) == Sample(l, 0, 0, channel);
    }
    std::uint32_t alpha = l.transparency && likeFirst ? 0 : 0xFF;
    if (HasAlphaChannel(l.colourType)) alpha = To8Bits(Sample(l, x, y, Channels(l.colourType) - 1), l.depth);
    return alpha << 24 | rgb;
}

void AppendPng(png_structp png, png_bytep data, std::size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// Row y as libpng takes it with packing on: a byte a sample up to 8 bits, two
// (high first) at 16.
void FillRow(const PngLayout& l, int y, std::vector<png_byte>& row) {
    std::size_t at = 0;
    for (int x = 0; at < row.size(); ++x)
        for (int c = 0; c < Channels(l.colourType); ++c) {
            const unsigned s = Sample(l, x % Width, y % Height, c);
            if (l.depth == 16) row[at++] = png_byte(s >> 8);
            row[at++] = png_byte(s);
        }
}

std::vector<png_color> PaletteOf(const PngLayout& l) {
    std::vector<png_color> palette;
    for (int i = 0; l.colourType == PNG_COLOR_TYPE_PALETTE && i < PaletteSize(l); ++i) {
        const std::uint32_t c = PaletteColour(unsigned(i));
        palette.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
    }
    return palette;
}

// The colour a tRNS chunk of a grey or RGB picture names: that of pixel (0, 0).
png_color_16 FirstColour(const PngLayout& l) {
    png_color_16 first{};
    first.gray = png_uint_16(Sample(l, 0, 0, 0));
    first.red = first.gray;
    if (l.colourType == PNG_COLOR_TYPE_RGB) {
        first.green = png_uint_16(Sample(l, 0, 0, 1));
        first.blue = png_uint_16(Sample(l, 0, 0, 2));
    }
    return first;
}

// The picture in that layout, written by libpng (empty when it refuses). What
// lives past an error's jump back is made before it.
Bytes WritePng(const PngLayout& l, int width = Width, int height = Height) {
    Bytes out;
    std::vector<png_byte> row(std::size_t(width * Channels(l.colourType) * (l.depth == 16 ? 2 : 1)));
    const std::vector<png_color> palette = PaletteOf(l);
    const png_color_16 first = FirstColour(l);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), l.depth, l.colourType,
                 l.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (l.transparency) png_set_tRNS(png, info, PaletteAlphas, std::min(3, PaletteSize(l)), &first);
    png_write_info(png, info);
    png_set_packing(png);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            FillRow(l, y, row);
            png_write_row(png, row.data());
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void ExpectPicture(const Image* image, const PngLayout& l) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->Width(), Width);
    ASSERT_EQ(image->Height(), Height);
    bool opaque = true;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            EXPECT_EQ(image->Pixel(x, y), Expected(l, x, y)) << x << "," << y;
            opaque = opaque && Expected(l, x, y) >> 24 == 0xFF;
        }
    EXPECT_EQ(image->Opaque(), opaque);
}

constexpr int Grey = PNG_COLOR_TYPE_GRAY, GreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA, Rgb = PNG_COLOR_TYPE_RGB,
              Rgba = PNG_COLOR_TYPE_RGB_ALPHA, Palette = PNG_COLOR_TYPE_PALETTE;

// Every colour type at every depth it allows, with and without transparency
// chunks and interlacing, gives its pixels as 32-bit colour with alpha.
TEST(PngDecoding, EveryColourTypeAndDepthGivesItsPixelsAndAlpha) {
    const PngLayout layouts[] = {
        {"grey 1", Grey, 1, false, false},
        {"grey 2", Grey, 2, false, false},
        {"grey 4", Grey, 4, false, false},
        {"grey 8", Grey, 8, false, false},
        {"grey 16", Grey, 16, false, false},
        {"grey 4, tRNS", Grey, 4, false, true},
        {"grey 16, tRNS", Grey, 16, false, true},
        {"grey+alpha 8", GreyAlpha, 8, false, false},
        {"grey+alpha 16", GreyAlpha, 16, false, false},
        {"RGB 8", Rgb, 8, false, false},
        {"RGB 16", Rgb, 16, false, false},
        {"RGB 8, tRNS", Rgb, 8, false, true},
        {"RGB 16, tRNS", Rgb, 16, false, true},
        {"RGBA 8", Rgba, 8, false, false},
        {"RGBA 16", Rgba, 16, false, false},
        {"palette 1", Palette, 1, false, false},
        {"palette 2", Palette, 2, false, false},
        {"palette 4", Palette, 4, false, false},
        {"palette 8", Palette, 8, false, false},
        {"palette 2, tRNS", Palette, 2, false, true},
        {"palette 8, tRNS", Palette, 8, false, true},
        {"interlaced grey 2", Grey, 2, true, false},
        {"interlaced grey 16", Grey, 16, true, false},
        {"interlaced grey+alpha 8", GreyAlpha, 8, true, false},
        {"interlaced RGB 8, tRNS", Rgb, 8, true, true},
        {"interlaced RGBA 16", Rgba, 16, true, false},
        {"interlaced palette 4, tRNS", Palette, 4, true, true},
    };
    for (const PngLayout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes bytes = WritePng(l);
        ASSERT_FALSE(bytes.empty());
        ExpectPicture(Image::FromMemory(bytes.data(), bytes.size()).get(), l);
    }
}

struct Chunk {
    std::size_t at;  // where its length field starts
    std::uint32_t length;
    std::string type;
};

std::uint32_t BigEndian(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::vector<Chunk> Chunks(const Bytes& png) {
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        chunks.push_back(
            {at, length, std::string(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8))});
        at += 12 + length;
    }
    return chunks;
}

// A chunk's CRC made right again after its data changed.
void MendCrc(Bytes& png, const Chunk& chunk) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = chunk.at + 4; i < chunk.at + 8 + chunk.length; ++i) {
        crc ^= png[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) png[chunk.at + 8 + chunk.length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
}

// A file cut anywhere before the end of its image data is refused; one whose
// image data is whole decodes though its end chunk is missing.
TEST(PngDecoding, FilesCutShortAreRefusedUntilTheirImageDataIsWhole) {
    for (const PngLayout& l : {PngLayout{"RGBA 8", Rgba, 8, false, false},
                               PngLayout{"interlaced palette 4, tRNS", Palette, 4, true, true}}) {
        SCOPED_TRACE(l.name);
        const Bytes whole = WritePng(l);
        std::size_t dataEnd = 0;
        for (const Chunk& c : Chunks(whole))
            if (c.type == "IDAT") dataEnd = c.at + 12 + c.length;
        ASSERT_GT(dataEnd, 0u);
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            SCOPED_TRACE(length);
            auto image = Image::FromMemory(whole.data(), length);
            if (length < dataEnd)
                EXPECT_EQ(image, nullptr);
            else
                ExpectPicture(image.get(), l);
        }
    }
}

// Damage to the header, the image data or their checks is refused.
TEST(PngDecoding, CorruptFilesAreRefused) {
    const Bytes whole = WritePng({"RGB 8", Rgb, 8, false, false});
    const std::vector<Chunk> chunks = Chunks(whole);
    ASSERT_EQ(chunks[0].type, "IHDR");
    const Chunk& header = chunks[0];
    const Chunk* data = nullptr;
    for (const Chunk& c : chunks)
        if (c.type == "IDAT") data = &c;
    ASSERT_NE(data, nullptr);
    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t value;
        const Chunk* mended;  // the chunk whose CRC is made right, if any
    } cases[] = {
        {"bit depth 3", header.at + 8 + 8, 3, &header},
        {"colour type 5", header.at + 8 + 9, 5, &header},
        {"width 0", header.at + 8 + 3, 0, &header},
        {"unknown filter method", header.at + 8 + 11, 1, &header},
        {"header CRC wrong", header.at + 8 + 13, std::uint8_t(whole[header.at + 8 + 13] ^ 1), nullptr},
        {"image data CRC wrong", data->at + 8, std::uint8_t(whole[data->at + 8] ^ 0x40), nullptr},
        {"image data not deflate", data->at + 8, 0x79, data},
        {"image data damaged", data->at + 8 + data->length / 2, 0xFF, data},
        {"image data longer than the file", data->at, 0x7F, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = whole;
        bytes[c.at] = c.value;
        if (c.mended) MendCrc(bytes, *c.mended);
        EXPECT_EQ(Image::FromMemory(bytes.data(), bytes.size()), nullptr);
    }
}

// Sizes beyond the image limits are refused from the header, before any
// block of their size is asked for; the sides at the limit decode.
TEST(PngDecoding, PicturesBeyondTheLimitsAreRefusedBeforeDecoding) {
    const struct {
        int width, height;
        bool decoded;
    } cases[] = {{16384, 1, true}, {16385, 1, false}, {1, 16385, false}, {8192, 8193, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const Bytes bytes = WritePng({"grey 1", Grey, 1, false, false}, c.width, c.height);
        ASSERT_FALSE(bytes.empty());
        LargestBlock largest;
        auto image = Image::FromMemory(bytes.data(), bytes.size());
        EXPECT_EQ(image != nullptr, c.decoded);
        if (!c.decoded) {
            EXPECT_LT(largest.Bytes(), std::size_t(1) << 20);
        }
    }
}

class ArtDrawing : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qel-art-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        qel::SetProgramResources(nullptr);
        savedFolder = std::string(currentAssetFolder);
        savedDepth = displayDepth;
        currentAssetFolder = (dir + "\\").c_str();
    }
    void TearDown() override {
        currentAssetFolder = savedFolder.c_str();
        displayDepth = savedDepth;
        std::filesystem::remove_all(dir);
    }
    void Write(const char* name, const Bytes& bytes) const {
        std::ofstream((std::filesystem::path(dir) / name).string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    std::string dir, savedFolder;
    std::int32_t savedDepth = 0;
};

// Art loaded as a game loads it, into a colour-keyed surface: an opaque pixel
// is its colour, a half-transparent one is blended over the key fill, and a
// fully transparent one keeps the key, so a keyed blit leaves what is below.
TEST_F(ArtDrawing, PngAlphaIsBlendedOverTheKeyFill) {
    // Opaque red, half-transparent white, transparent, opaque blue.
    const std::uint8_t pixels[4][4] = {{255, 0, 0, 255}, {255, 255, 255, 128}, {9, 9, 9, 0}, {0, 0, 255, 255}};
    Bytes png;
    png_image picture{};
    picture.version = PNG_IMAGE_VERSION;
    picture.width = 4;
    picture.height = 1;
    picture.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_get_memory_size(picture, size, 0, pixels, 0, nullptr));
    png.resize(size);
    ASSERT_TRUE(png_image_write_to_memory(&picture, png.data(), &size, 0, pixels, 0, nullptr));
    png.resize(size);
    Write("art.png", png);

    const COLORREF key = 0xDC00FF;  // red 0xFF, blue 0xDC
    for (int depth : {32, 16}) {
        SCOPED_TRACE(depth);
        displayDepth = depth;
        bool opaque = true;
        qel::Surface* art = LoadImageFile(nullptr, "art.png", key, &opaque);
        ASSERT_NE(art, nullptr);
        EXPECT_FALSE(opaque);
        EXPECT_EQ(art->GetRawPixel(0, 0), art->MapColor(0x0000FF));
        const std::uint32_t half = art->GetRawPixel(1, 0);
        if (depth == 32) {
            EXPECT_EQ(half, art->MapColor(QelRGB(0xFF, 0x80, 0xEE))) << "white half over the key";
        }
        EXPECT_NE(half, ColorMatch(art, key));
        EXPECT_NE(half, art->MapColor(0xFFFFFF));
        EXPECT_EQ(art->GetRawPixel(2, 0), ColorMatch(art, key));
        EXPECT_EQ(art->GetRawPixel(3, 0), art->MapColor(0xFF0000));

        auto scene = qel::Surface::Create(4, 1, depth);
        const std::uint32_t grass = scene->MapColor(0x00FF00);
        scene->Fill(nullptr, grass);
        scene->Blit(QelRect{0, 0, 4, 1}, *art, QelRect{0, 0, 4, 1}, qel::BlitSourceKey);
        EXPECT_EQ(scene->GetRawPixel(2, 0), grass) << "transparent";
        EXPECT_NE(scene->GetRawPixel(1, 0), grass) << "half-transparent";
        ReleaseSurface(art);
    }
}

}  // namespace
