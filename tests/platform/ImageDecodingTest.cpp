#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Image.h"
#include "platform/ImageEncoder.h"
#include "platform/ImageLimitsInternal.h"
#include "platform/Surface.h"

#include "LargestBlock.h"

namespace {

using qel::Image;
using Bytes = std::vector<std::uint8_t>;

// The 3 x 2 picture every layout below stores, as 0xAARRGGBB, top row first.
constexpr std::uint32_t Colours[2][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF}, {0xFF102030, 0xFFFFFFFF, 0xFF000000}};

enum class Header { Core = 12, Info = 40, V4 = 108 };

struct Layout {
    const char* name;
    Header header;
    int bits;      // 8 (a colour table of the six colours), 24 or 32
    bool topDown;  // rows stored top first, as a negative height says
};

void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

// The picture as a BMP of that layout, written byte by byte.
Bytes Bmp(const Layout& l) {
    const std::size_t headerSize = std::size_t(l.header);
    const bool core = l.header == Header::Core;
    const std::size_t entryBytes = core ? 3 : 4;
    const std::size_t table = l.bits == 8 ? 6 * entryBytes : 0;
    const std::size_t rowBytes = (std::size_t(3 * l.bits / 8) + 3) & ~std::size_t(3);
    const std::size_t offset = 14 + headerSize + table;
    Bytes b(offset + 2 * rowBytes, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, std::uint32_t(b.size()), 4);
    Put(b, 10, std::uint32_t(offset), 4);
    Put(b, 14, std::uint32_t(headerSize), 4);
    if (core) {
        Put(b, 18, 3, 2), Put(b, 20, 2, 2), Put(b, 22, 1, 2), Put(b, 24, std::uint32_t(l.bits), 2);
    } else {
        Put(b, 18, 3, 4), Put(b, 22, std::uint32_t(l.topDown ? -2 : 2), 4), Put(b, 26, 1, 2);
        Put(b, 28, std::uint32_t(l.bits), 2);
        if (l.bits == 8) Put(b, 46, 6, 4);
        if (l.header == Header::V4) {  // bit fields with an alpha mask, as SDL writes them
            Put(b, 30, 3, 4);
            Put(b, 54, 0x00FF0000, 4), Put(b, 58, 0x0000FF00, 4), Put(b, 62, 0x000000FF, 4), Put(b, 66, 0xFF000000, 4);
        }
    }
    for (int i = 0; i < 6; ++i)
        if (l.bits == 8) Put(b, 14 + headerSize + std::size_t(i) * entryBytes, Colours[i / 3][i % 3] & 0xFFFFFF, 3);
    for (int y = 0; y < 2; ++y) {
        const std::size_t row = offset + std::size_t(l.topDown ? y : 1 - y) * rowBytes;
        for (int x = 0; x < 3; ++x) {
            const std::uint32_t argb = Colours[y][x];
            if (l.bits == 8)
                b[row + std::size_t(x)] = std::uint8_t(y * 3 + x);
            else if (l.bits == 24)
                Put(b, row + std::size_t(x) * 3, argb & 0xFFFFFF, 3);
            else  // 32 bits: the fourth byte is alpha only with a mask that says so
                Put(b, row + std::size_t(x) * 4, l.header == Header::V4 ? argb : argb & 0xFFFFFF, 4);
        }
    }
    return b;
}

std::string WriteFile(const std::string& name, const Bytes& bytes) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// Every BMP layout the engine, its tools and SDL write, and the older ones a
// game's art may come in, gives the same picture, from memory and from a file
// (whose plain 24-bit rows are read where they lie).
TEST(ImageDecoding, EveryBmpLayoutGivesThePicture) {
    const Layout layouts[] = {
        {"24 bits, bottom up", Header::Info, 24, false}, {"24 bits, top down", Header::Info, 24, true},
        {"8-bit colour table", Header::Info, 8, false},  {"8-bit, top down", Header::Info, 8, true},
        {"32 bits, no alpha", Header::Info, 32, false},  {"32 bits, alpha mask", Header::V4, 32, false},
        {"OS/2 core, 24 bits", Header::Core, 24, false}, {"OS/2 core, 8 bits", Header::Core, 8, false},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes bytes = Bmp(l);
        for (bool fromFile : {false, true}) {
            SCOPED_TRACE(fromFile ? "from a file" : "from memory");
            auto image = fromFile ? Image::FromFile(WriteFile("layout.bmp", bytes))
                                  : Image::FromMemory(bytes.data(), bytes.size());
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->Width(), 3);
            ASSERT_EQ(image->Height(), 2);
            EXPECT_TRUE(image->Opaque());
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) EXPECT_EQ(image->Pixel(x, y), Colours[y][x]) << x << "," << y;
        }
    }
}

// A plain 24-bit BMP file with a fault in its header or rows gives what the
// decoder makes of the same bytes in memory: the same picture, or none.
TEST(ImageDecoding, DamagedPlainBmpFilesGiveWhatTheDecoderGives) {
    const Bytes plain = Bmp({"24 bits", Header::Info, 24, false});
    const struct {
        const char* name;
        std::size_t at;  // where a 4-byte value is put, or the length cut to
        std::uint32_t value;
        bool cut;
    } cases[] = {
        {"last row one byte short", plain.size() - 1, 0, true},
        {"no rows at all", 54, 0, true},
        {"header only in part", 40, 0, true},
        {"rows start past the end", 10, 4096, false},
        {"rows start inside the header", 10, 20, false},
        {"header larger than the file", 14, 1000, false},
        {"width beyond the limit", 18, 1u << 20, false},
        {"height of -2^31", 22, 0x80000000u, false},
        {"height 0", 22, 0, false},
        {"two planes", 26, 2 | 24u << 16, false},
        {"run-length compressed", 30, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = plain;
        if (c.cut)
            bytes.resize(c.at);
        else
            Put(bytes, c.at, c.value, 4);
        auto expected = Image::FromMemory(bytes.data(), bytes.size());
        auto image = Image::FromFile(WriteFile("damaged.bmp", bytes));
        ASSERT_EQ(image != nullptr, expected != nullptr);
        if (!image) continue;
        ASSERT_EQ(image->Width(), expected->Width());
        ASSERT_EQ(image->Height(), expected->Height());
        for (int y = 0; y < image->Height(); ++y)
            for (int x = 0; x < image->Width(); ++x) EXPECT_EQ(image->Pixel(x, y), expected->Pixel(x, y));
    }
}

// A file of the bitmap harness's corpus.
std::string CorpusFile(const char* name) { return std::string(QEL_FUZZ_CORPUS_DIR "/bitmap/") + name; }

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A sound 1 x 1 picture of a format the engine does not read: an uncompressed
// RGB TIFF, and an icon of one 32-bit image.
Bytes Tiff() {
    Bytes b(131, 0);
    b[0] = 'I', b[1] = 'I', Put(b, 2, 42, 2), Put(b, 4, 8, 4);
    const std::uint32_t entries[9][3] = {{256, 3, 1},   {257, 3, 1}, {258, 3, 122}, {259, 3, 1}, {262, 3, 2},
                                         {273, 4, 128}, {277, 3, 3}, {278, 3, 1},   {279, 4, 3}};
    Put(b, 8, 9, 2);
    for (std::size_t i = 0; i < 9; ++i) {  // tag, type, count, value
        const std::size_t at = 10 + 12 * i;
        Put(b, at, entries[i][0], 2), Put(b, at + 2, entries[i][1], 2);
        Put(b, at + 4, entries[i][0] == 258 ? 3 : 1, 4), Put(b, at + 8, entries[i][2], 4);
    }
    Put(b, 122, 8, 2), Put(b, 124, 8, 2), Put(b, 126, 8, 2);
    Put(b, 128, 0x336699, 3);
    return b;
}

Bytes Icon() {
    Bytes b(70, 0);
    Put(b, 2, 1, 2), Put(b, 4, 1, 2);                         // an icon file of one image
    b[6] = 1, b[7] = 1, Put(b, 10, 1, 2), Put(b, 12, 32, 2);  // 1 x 1, 32 bits
    Put(b, 14, 48, 4), Put(b, 18, 22, 4);                     // its bytes and where they start
    Put(b, 22, 40, 4), Put(b, 26, 1, 4), Put(b, 30, 2, 4);    // a bitmap header, colour and mask rows
    Put(b, 34, 1, 2), Put(b, 36, 32, 2);
    Put(b, 62, 0xFF336699, 4);
    return b;
}

// The game's art comes as BMP, JPEG (what its screenshots write), PNG or GIF;
// a picture in any other format is refused, however sound.
TEST(ImageDecoding, OnlyBmpJpegPngAndGifAreDecoded) {
    const std::string dir = testing::TempDir();
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 4, 3, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(picture, nullptr);
    SDL_FillRect(picture, nullptr, 0xFF336699);
    ASSERT_EQ(IMG_SavePNG(picture, (dir + "picture.png").c_str()), 0);
    SDL_FreeSurface(picture);
    auto surface = qel::Surface::Create(4, 3, 32);
    surface->Fill(nullptr, 0x336699);
    ASSERT_TRUE(qel::SaveBmp24(*surface, dir + "picture.bmp"));
    ASSERT_TRUE(qel::SaveJpeg(*surface, dir + "picture.jpg", 100));
    const struct {
        const char* name;
        Bytes bytes;
        int width, height;  // 0: refused
    } cases[] = {{"BMP", ReadAll(dir + "picture.bmp"), 4, 3},
                 {"JPEG", ReadAll(dir + "picture.jpg"), 4, 3},
                 {"PNG", ReadAll(dir + "picture.png"), 4, 3},
                 {"GIF", ReadAll(CorpusFile("gif-plain.gif")), 4, 3},
                 {"TIFF", Tiff(), 0, 0},
                 {"icon", Icon(), 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        SDL_Surface* sound = IMG_Load_RW(SDL_RWFromConstMem(c.bytes.data(), int(c.bytes.size())), 1);
        ASSERT_NE(sound, nullptr) << "SDL_image reads every one";
        SDL_FreeSurface(sound);
        auto image = Image::FromMemory(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(image != nullptr, c.width != 0);
        if (image) {
            EXPECT_EQ(image->Width(), c.width);
            EXPECT_EQ(image->Height(), c.height);
        }
    }
}

// Files found by fuzzing that claimed huge pictures in headers nobody checked,
// or never ended, or broke the decoder: each is refused without a block beyond
// the image limit (they asked for 1 GB to 277 GB, or hung).
TEST(ImageDecoding, HostilePicturesAreRefusedWithinTheLimit) {
    const char* refused[] = {
        "bmp-core-header-25-bytes.bmp",
        "huge-dimensions-slow-load.bmp",
        "jpeg-fill-byte-skips-size-check.jpg",
        "png-slow.png",
        "png-text-length-hang.png",
        "png-trns-length-hang.png",
        "tiff-2600mb-allocation.bin",
        "tiff-size-unchecked.tif",
        "ico-size-unchecked.ico",
        "cur-size-unchecked.cur",
        "cur-277gb-allocation.bin",
        "gif-second-image-huge.gif",
        "gif-decoder-frees-a-wild-pointer.gif",
        "xcf-huge-allocation",
        "svg-decoder-leak",
        // Huffman tables of more than 256 symbols, which the decoder would build past their end.
        "jpeg-huffman-counts-past-table-1.jpg",
        "jpeg-huffman-counts-past-table-2.jpg",
        "jpeg-huffman-counts-past-table-3.jpg",
    };
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        const Bytes bytes = ReadAll(CorpusFile(name));
        ASSERT_FALSE(bytes.empty());
        LargestBlock largest;
        EXPECT_EQ(Image::FromMemory(bytes.data(), bytes.size()), nullptr);
        EXPECT_LE(largest.Bytes(), std::size_t(qel::MaxImagePixelBytes));
    }
}

// A marker may follow any number of 0xFF fill bytes, before the frame header
// with the picture's size too: such a JPEG decodes as without them.
TEST(ImageDecoding, JpegFillBytesChangeNothing) {
    auto surface = qel::Surface::Create(17, 5, 32);
    surface->Fill(nullptr, 0x345678);
    const std::string path = testing::TempDir() + "fill.jpg";
    ASSERT_TRUE(qel::SaveJpeg(*surface, path, 90));
    const Bytes plain = ReadAll(path);
    Bytes filled(plain.begin(), plain.begin() + 2);
    for (std::size_t at = 2; at + 4 <= plain.size() && plain[at] == 0xFF;) {
        filled.insert(filled.end(), 5, 0xFF);
        const std::size_t length = plain[at + 1] == 0xDA ? plain.size() - at : 2 + (plain[at + 2] << 8 | plain[at + 3]);
        filled.insert(filled.end(), plain.begin() + std::ptrdiff_t(at),
                      plain.begin() + std::ptrdiff_t(std::min(at + length, plain.size())));
        at += length;
    }
    ASSERT_GT(filled.size(), plain.size());
    auto expected = Image::FromMemory(plain.data(), plain.size());
    auto image = Image::FromMemory(filled.data(), filled.size());
    ASSERT_NE(expected, nullptr);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->Width(), 17);
    ASSERT_EQ(image->Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 17; ++x) EXPECT_EQ(image->Pixel(x, y), expected->Pixel(x, y));
}

}  // namespace
