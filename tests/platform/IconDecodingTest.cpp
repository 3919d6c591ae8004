#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/IconDecoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using qel::DecodeIcon;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.at(at + std::size_t(i)) = std::uint8_t(v >> (8 * i));
}

// One picture of an icon file: `colours` are 0xAARRGGBB, top row first; a
// paletted picture stores each colour's index in `palette` (0xRRGGBB);
// `masked` marks the pixels the transparency mask covers.
struct Picture {
    int width;
    int height;
    int bits;
    std::vector<std::uint32_t> colours;
    std::vector<bool> masked;
    std::vector<std::uint32_t> palette;
    std::vector<int> indices;  // paletted pictures: the index of each pixel
};

Bytes Dib(const Picture& p) {
    const std::size_t colourStride = (std::size_t(p.width) * std::size_t(p.bits) + 31) / 32 * 4;
    const std::size_t maskStride = (std::size_t(p.width) + 31) / 32 * 4;
    const std::size_t table = 4 * p.palette.size();
    Bytes b(40 + table + std::size_t(p.height) * (colourStride + maskStride), 0);
    Put(b, 0, 40, 4);
    Put(b, 4, std::uint32_t(p.width), 4);
    Put(b, 8, std::uint32_t(2 * p.height), 4);
    Put(b, 12, 1, 2);
    Put(b, 14, std::uint32_t(p.bits), 2);
    Put(b, 32, std::uint32_t(p.palette.size()), 4);
    for (std::size_t i = 0; i < p.palette.size(); ++i) Put(b, 40 + 4 * i, p.palette[i], 4);
    for (int y = 0; y < p.height; ++y) {
        const std::size_t row = 40 + table + std::size_t(p.height - 1 - y) * colourStride;
        const std::size_t maskRow =
            40 + table + std::size_t(p.height) * colourStride + std::size_t(p.height - 1 - y) * maskStride;
        for (int x = 0; x < p.width; ++x) {
            const std::size_t i = std::size_t(y * p.width + x);
            if (p.bits >= 24) {
                Put(b, row + std::size_t(x) * std::size_t(p.bits / 8), p.colours[i], p.bits / 8);
            } else {
                const std::size_t bit = std::size_t(x) * std::size_t(p.bits);
                b[row + bit / 8] |= std::uint8_t(p.indices[i] << (8 - p.bits - int(bit % 8)));
            }
            if (p.masked[i]) b[maskRow + std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
    }
    return b;
}

// An icon (type 1) or cursor (type 2) file of the pictures, with each
// picture's hot spot in its directory entry.
Bytes IconFile(int type, const std::vector<Picture>& pictures, const std::vector<std::pair<int, int>>& hotSpots = {}) {
    Bytes file(6 + 16 * pictures.size(), 0);
    Put(file, 2, std::uint32_t(type), 2);
    Put(file, 4, std::uint32_t(pictures.size()), 2);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Bytes dib = Dib(pictures[i]);
        const std::size_t entry = 6 + 16 * i;
        file[entry] = std::uint8_t(pictures[i].width);
        file[entry + 1] = std::uint8_t(pictures[i].height);
        if (i < hotSpots.size()) {
            Put(file, entry + 4, std::uint32_t(hotSpots[i].first), 2);
            Put(file, entry + 6, std::uint32_t(hotSpots[i].second), 2);
        }
        Put(file, entry + 8, std::uint32_t(dib.size()), 4);
        Put(file, entry + 12, std::uint32_t(file.size()), 4);
        file.insert(file.end(), dib.begin(), dib.end());
    }
    return file;
}

std::uint32_t PixelOf(SDL_Surface* s, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch)[x];
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 3 x 2 picture: red, green, blue over grey, white, black; the mask covers
// the green and the white pixel.
const std::vector<bool> Mask = {false, true, false, false, true, false};
const std::vector<std::uint32_t> Opaque = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080, 0xFFFFFFFF, 0xFF000000};
const std::vector<std::uint32_t> Shown = {0xFFFF0000, 0, 0xFF0000FF, 0xFF808080, 0, 0xFF000000};

TEST(IconDecoding, EveryDepthGivesItsColoursWithTheMaskOrItsOwnAlpha) {
    const std::vector<std::uint32_t> ownAlpha = {0x80FF0000, 0xFF00FF00, 0x000000FF,
                                                 0x40808080, 0xFFFFFFFF, 0xFF000000};
    const std::vector<std::uint32_t> noAlpha = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00808080, 0x00FFFFFF, 0x00000000};
    const std::vector<std::uint32_t> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0xFFFFFF, 0x000000};
    const std::vector<int> indices = {0, 1, 2, 3, 4, 5};
    const struct {
        const char* what;
        Picture picture;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"32 bits with alpha: the mask is not used", {3, 2, 32, ownAlpha, Mask, {}, {}}, ownAlpha},
        {"32 bits, every alpha 0: the mask decides", {3, 2, 32, noAlpha, Mask, {}, {}}, Shown},
        {"24 bits", {3, 2, 24, Opaque, Mask, {}, {}}, Shown},
        {"8 bits", {3, 2, 8, {}, Mask, palette, indices}, Shown},
        {"4 bits", {3, 2, 4, {}, Mask, palette, indices}, Shown},
        {"1 bit",
         {3, 2, 1, {}, {false, false, false, false, false, true}, {0x000000, 0xFFFFFF}, {1, 0, 1, 0, 1, 0}},
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0}},
        {"an index past the palette is black",
         {3, 2, 8, {}, {}, {0xFF0000}, {0, 1, 0, 9, 0, 0}},
         {0xFFFF0000, 0xFF000000, 0xFFFF0000, 0xFF000000, 0xFFFF0000, 0xFFFF0000}},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        if (c.picture.masked.empty()) c.picture.masked.assign(6, false);
        const Bytes file = IconFile(1, {c.picture});
        const qel::DecodedIcon icon = DecodeIcon(file.data(), file.size());
        ASSERT_NE(icon.image, nullptr);
        ASSERT_EQ(icon.image->w, 3);
        ASSERT_EQ(icon.image->h, 2);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(PixelOf(icon.image, i % 3, i / 3), c.expected[std::size_t(i)]) << i;
        EXPECT_EQ(icon.hotX, 0);
        EXPECT_EQ(icon.hotY, 0);
        SDL_FreeSurface(icon.image);
    }
}

TEST(IconDecoding, TheLargestPictureIsTakenWithItsCursorHotSpot) {
    const Picture small{3, 2, 32, Opaque, Mask, {}, {}};
    Picture large{5, 4, 24, std::vector<std::uint32_t>(20, 0xFF123456), std::vector<bool>(20, false), {}, {}};
    Picture largeFewerColours{5, 4, 8, {}, std::vector<bool>(20, false), {0xABCDEF}, std::vector<int>(20, 0)};
    const Bytes file = IconFile(2, {small, largeFewerColours, large}, {{1, 1}, {0, 0}, {3, 9}});
    const qel::DecodedIcon cursor = DecodeIcon(file.data(), file.size());
    ASSERT_NE(cursor.image, nullptr);
    EXPECT_EQ(cursor.image->w, 5);
    EXPECT_EQ(PixelOf(cursor.image, 2, 2), 0xFF123456u);
    EXPECT_EQ(cursor.hotX, 3);
    EXPECT_EQ(cursor.hotY, 3) << "kept within the picture";
    SDL_FreeSurface(cursor.image);
}

TEST(IconDecoding, TheGamesIconAndCursorAreRead) {
    for (const char* name : {"nolt.ico", "nolt.cur"}) {
        SCOPED_TRACE(name);
        const Bytes bytes = ReadAll(std::string(QEL_FUZZ_CORPUS_DIR "/../../game/resources/") + name);
        ASSERT_FALSE(bytes.empty());
        const qel::DecodedIcon icon = DecodeIcon(bytes.data(), bytes.size());
        ASSERT_NE(icon.image, nullptr);
        EXPECT_EQ(icon.image->w, 32);
        EXPECT_EQ(icon.image->h, 32);
        SDL_FreeSurface(icon.image);
    }
}

TEST(IconDecoding, AnythingElseIsRefused) {
    const Picture good{3, 2, 8, {}, Mask, {0xFF0000, 0x00FF00, 0x0000FF}, {0, 1, 2, 2, 1, 0}};
    const Bytes file = IconFile(1, {good});
    auto changed = [&file](std::size_t at, std::uint32_t value, int bytes) {
        Bytes b = file;
        Put(b, at, value, bytes);
        return b;
    };
    constexpr std::size_t Dib = 22;  // the one picture's header
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"cut in the picture's mask", Bytes(file.begin(), file.end() - 1)},
        {"cut in the directory", Bytes(file.begin(), file.begin() + 20)},
        {"file type 3", changed(2, 3, 2)},
        {"a directory longer than the file", changed(4, 0xFFFF, 2)},
        {"picture past the end", changed(18, 0xFFFFFFF0, 4)},
        {"compressed picture (PNG)", changed(Dib, 0x474E5089, 4)},
        {"compression", changed(Dib + 16, 1, 4)},
        {"width 0", changed(Dib + 4, 0, 4)},
        {"width 257", changed(Dib + 4, 257, 4)},
        {"odd height", changed(Dib + 8, 3, 4)},
        {"negative height", changed(Dib + 8, 0xFFFFFFFC, 4)},
        {"16 bits", changed(Dib + 14, 16, 2)},
        {"larger palette than the depth has", changed(Dib + 32, 257, 4)},
        {"BMP file", ReadAll(QEL_FUZZ_CORPUS_DIR "/bitmap/bmp-core-header-25-bytes.bmp")},
        // Found by fuzzing an image library's readers: sizes nobody checked.
        {"ico-size-unchecked", ReadAll(QEL_FUZZ_CORPUS_DIR "/bitmap/ico-size-unchecked.ico")},
        {"cur-size-unchecked", ReadAll(QEL_FUZZ_CORPUS_DIR "/bitmap/cur-size-unchecked.cur")},
        {"cur-277gb-allocation", ReadAll(QEL_FUZZ_CORPUS_DIR "/bitmap/cur-277gb-allocation.bin")},
    };
    const qel::DecodedIcon fine = DecodeIcon(file.data(), file.size());
    ASSERT_NE(fine.image, nullptr);
    SDL_FreeSurface(fine.image);
    for (const auto& c : cases) {
        const qel::DecodedIcon icon = DecodeIcon(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(icon.image, nullptr) << c.what;
        if (icon.image) SDL_FreeSurface(icon.image);
    }
}

}  // namespace
