// GIF pictures: the first image composed on the logical screen, read through
// Image from memory and from a file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Image.h"
#include "platform/Surface.h"

namespace {

namespace fs = std::filesystem;
using qel::Image;
using Bytes = std::vector<std::uint8_t>;

// Codes packed least significant bit first, as a GIF stores them.
struct CodePacker {
    Bytes bytes;
    std::uint32_t bits = 0;
    int count = 0;
    void Put(int code, int width) {
        bits |= std::uint32_t(code) << count;
        for (count += width; count >= 8; count -= 8) {
            bytes.push_back(std::uint8_t(bits));
            bits >>= 8;
        }
    }
    Bytes Done() {
        if (count > 0) bytes.push_back(std::uint8_t(bits));
        return bytes;
    }
};

// Codes of a fixed width, for streams no encoder would write.
Bytes PackedCodes(const std::vector<int>& codes, int width) {
    CodePacker packer;
    for (int code : codes) packer.Put(code, width);
    return packer.Done();
}

// An LZW encoder as GIF writers have it. The code width follows the table the
// reader builds (one entry behind the writer's). A full table is either kept
// (the reader must not grow it past 4096 codes) or cleared.
Bytes Lzw(const Bytes& pixels, int minCodeSize, bool clearWhenFull, bool endCode) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    CodePacker packer;
    int readerNext = clear + 2;
    bool readerHasPrevious = false;
    auto emit = [&](int code) {
        int width = minCodeSize + 1;
        while (width < 12 && readerNext >= 1 << width) ++width;
        packer.Put(code, width);
        if (code == clear) {
            readerNext = clear + 2;
            readerHasPrevious = false;
        } else {
            if (readerHasPrevious && readerNext < 4096) ++readerNext;
            readerHasPrevious = true;
        }
    };
    std::map<std::pair<int, int>, int> table;
    int next = clear + 2, prefix = -1;
    emit(clear);
    for (std::uint8_t p : pixels) {
        if (prefix < 0) {
            prefix = p;
            continue;
        }
        if (auto found = table.find({prefix, p}); found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            table[{prefix, p}] = next++;
        } else if (clearWhenFull) {
            emit(clear);
            table.clear();
            next = clear + 2;
        }
        prefix = p;
    }
    if (prefix >= 0) emit(prefix);
    if (endCode) emit(end);
    return packer.Done();
}

struct Gif {
    std::uint16_t screenWidth = 4, screenHeight = 3;
    std::vector<std::uint32_t> global = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};  // 0xRRGGBB
    int transparent = -1;
    std::uint16_t left = 0, top = 0, width = 4, height = 3;
    std::vector<std::uint32_t> local;
    bool interlaced = false;
    Bytes pixels = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};  // row by row
    int minCodeSize = 2;
    bool clearWhenFull = false;
    bool endCode = true;
    std::optional<Bytes> codes;  // the image's LZW data as given, instead of encoded pixels

    static void PutTable(Bytes& b, const std::vector<std::uint32_t>& colours) {
        std::size_t entries = 2;
        while (entries < colours.size()) entries *= 2;
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint32_t c = i < colours.size() ? colours[i] : 0;
            b.insert(b.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
        }
    }
    static std::uint8_t TableBits(const std::vector<std::uint32_t>& colours) {
        if (colours.empty()) return 0;
        std::uint8_t size = 0;
        while (std::size_t(2) << size < colours.size()) ++size;
        return 0x80 | size;
    }
    static void Put16(Bytes& b, std::uint16_t v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }

    // The rows in the order they are stored.
    Bytes StoredPixels() const {
        if (!interlaced) return pixels;
        Bytes stored;
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < height; y += step)
                stored.insert(stored.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
        return stored;
    }

    Bytes Build() const {
        Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
        Put16(b, screenWidth);
        Put16(b, screenHeight);
        b.insert(b.end(), {TableBits(global), 0, 0});
        if (!global.empty()) PutTable(b, global);
        if (transparent >= 0) b.insert(b.end(), {0x21, 0xF9, 4, 0x01, 0, 0, std::uint8_t(transparent), 0});
        b.push_back(',');
        Put16(b, left);
        Put16(b, top);
        Put16(b, width);
        Put16(b, height);
        b.push_back(std::uint8_t(TableBits(local) | (interlaced ? 0x40 : 0)));
        if (!local.empty()) PutTable(b, local);
        b.push_back(std::uint8_t(minCodeSize));
        const Bytes data = codes ? *codes : Lzw(StoredPixels(), minCodeSize, clearWhenFull, endCode);
        for (std::size_t at = 0; at < data.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - at);
            b.push_back(std::uint8_t(n));
            b.insert(b.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
        }
        b.insert(b.end(), {0, ';'});
        return b;
    }

    // What the screen shows at (x, y), as 0xAARRGGBB.
    std::uint32_t Shown(int x, int y) const {
        if (x < left || y < top || x >= left + width || y >= top + height) return 0;
        const std::uint8_t index = pixels[std::size_t((y - top) * width + (x - left))];
        if (index == transparent) return 0;
        const auto& table = local.empty() ? global : local;
        return 0xFF000000u | (index < table.size() ? table[index] : 0);
    }
};

class GifFixture : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qel-gif-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // The picture read from memory; it must read the same from a file.
    std::unique_ptr<Image> Read(const Bytes& bytes) {
        auto fromMemory = Image::FromMemory(bytes.data(), bytes.size());
        const std::string path = (fs::path(dir) / "picture.gif").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        auto fromFile = Image::FromFile(path);
        EXPECT_EQ(fromFile != nullptr, fromMemory != nullptr) << "file and memory disagree";
        if (fromFile && fromMemory && fromFile->Width() == fromMemory->Width() && fromFile->Height() == fromMemory->Height())
            for (int y = 0; y < fromMemory->Height(); ++y)
                for (int x = 0; x < fromMemory->Width(); ++x)
                    if (fromFile->Pixel(x, y) != fromMemory->Pixel(x, y)) ADD_FAILURE() << "file and memory differ at " << x << "," << y;
        return fromMemory;
    }

    void ExpectShows(const Gif& gif, const Bytes& bytes) {
        auto image = Read(bytes);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->Width(), gif.screenWidth);
        ASSERT_EQ(image->Height(), gif.screenHeight);
        for (int y = 0; y < gif.screenHeight; ++y)
            for (int x = 0; x < gif.screenWidth; ++x) ASSERT_EQ(image->Pixel(x, y), gif.Shown(x, y)) << x << "," << y;
    }

    std::string dir;
};

Bytes Noise(std::size_t count, int colours, std::uint32_t seed) {
    Bytes pixels(count);
    for (auto& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = std::uint8_t((seed >> 16) % std::uint32_t(colours));
    }
    return pixels;
}

std::vector<std::uint32_t> Ramp(int count) {
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < count; ++i) colours.push_back((std::uint32_t(i) * 0x010203u + 0x102030u) & 0xFFFFFF);
    return colours;
}

TEST_F(GifFixture, TheFirstImageShowsOnItsScreen) {
    struct Case {
        const char* what;
        Gif gif;
    };
    std::vector<Case> cases;
    cases.push_back({"plain", Gif{}});
    {
        Gif g;
        g.transparent = 1;
        cases.push_back({"a transparent index", g});
    }
    {
        Gif g;
        g.width = 3;
        g.height = 10;
        g.screenWidth = 3;
        g.screenHeight = 10;
        g.pixels.clear();
        for (int y = 0; y < 10; ++y) g.pixels.insert(g.pixels.end(), 3, std::uint8_t(y % 4));
        g.interlaced = true;
        cases.push_back({"interlaced, ten rows (every pass)", g});
        g.height = g.screenHeight = 3;
        g.pixels.resize(9);
        cases.push_back({"interlaced, three rows (a pass left empty)", g});
    }
    {
        Gif g;
        g.local = {0x111111, 0x222222, 0x333333, 0x444444};
        cases.push_back({"a local colour table", g});
        g.global.clear();
        cases.push_back({"a local colour table alone", g});
    }
    {
        Gif g;
        g.global = {0xFF0000, 0x00FF00};
        cases.push_back({"indices beyond the table show black", g});
        g.global.clear();
        cases.push_back({"no colour table at all", g});
    }
    {
        Gif g;
        g.screenWidth = 7;
        g.screenHeight = 6;
        g.left = 2;
        g.top = 1;
        g.transparent = 3;
        cases.push_back({"smaller than the screen, at an offset", g});
        g.screenWidth = 5;
        g.screenHeight = 2;
        cases.push_back({"reaching past the screen's edge", g});
    }
    {
        Gif g;
        g.width = 0;
        g.pixels.clear();
        cases.push_back({"an empty image", g});
    }
    for (int size = 2; size <= 8; ++size) {
        Gif g;
        g.minCodeSize = size;
        g.global = Ramp(1 << size);
        g.width = g.screenWidth = 31;
        g.height = g.screenHeight = 9;
        g.pixels = Noise(31 * 9, 1 << size, std::uint32_t(size));
        cases.push_back({"code size 2 to 8", g});
    }
    for (bool clearWhenFull : {false, true}) {
        Gif g;
        g.minCodeSize = 8;
        g.global = Ramp(256);
        g.width = g.screenWidth = 200;
        g.height = g.screenHeight = 120;
        g.pixels = Noise(200 * 120, 256, 7);
        g.clearWhenFull = clearWhenFull;
        cases.push_back({clearWhenFull ? "table full, then cleared" : "table full and kept (deferred clear)", g});
    }
    {
        Gif g;
        g.pixels = Bytes(12, 2);  // long runs: strings built from the code being defined
        cases.push_back({"one colour", g});
        g.endCode = false;
        cases.push_back({"no end code after the last pixel", g});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectShows(c.gif, c.gif.Build());
    }
}

TEST_F(GifFixture, TransparentPixelsAreLeftOutWhenDrawn) {
    Gif g;
    g.screenWidth = 6;
    g.transparent = 0;
    auto image = Read(g.Build());
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->Opaque());
    auto s = qel::Surface::Create(6, 3, 32);
    s->Fill(nullptr, 0x123456);
    image->DrawInto(*s, 0, 0, qel::InvalidColor);
    EXPECT_EQ(s->GetRawPixel(0, 0), 0x123456u) << "transparent index";
    EXPECT_EQ(s->GetRawPixel(1, 0), 0x00FF00u);
    EXPECT_EQ(s->GetRawPixel(5, 2), 0x123456u) << "outside the image";

    Gif opaque;
    auto plain = Read(opaque.Build());
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->Opaque());
}

TEST_F(GifFixture, BytesAfterTheFirstImageAreNotRead) {
    Gif g;
    const Bytes plain = g.Build();
    Bytes withGarbage = plain;
    withGarbage.insert(withGarbage.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0, 0xFF});
    ExpectShows(g, withGarbage);
    Bytes noTrailer(plain.begin(), plain.end() - 2);  // the data's terminator and the trailer
    ExpectShows(g, noTrailer);
}

// A picture whose data stops before its last pixel is refused, wherever it is
// cut: nothing is shown half decoded.
TEST_F(GifFixture, DataCutShortIsRefusedWhereverItEnds) {
    Gif g;
    g.screenWidth = g.width = 40;
    g.screenHeight = g.height = 20;
    g.pixels = Noise(800, 4, 3);
    g.endCode = false;  // so the last data byte holds bits of the last pixel
    const Bytes whole = g.Build();
    const std::size_t lastDataByte = whole.size() - 3;
    for (std::size_t length = 0; length <= lastDataByte; ++length) {
        SCOPED_TRACE(length);
        ASSERT_EQ(Image::FromMemory(whole.data(), length), nullptr);
    }
    Gif shortData = g;
    shortData.pixels.resize(799);
    Gif cutStream = g;
    cutStream.codes = Lzw(shortData.pixels, 2, false, true);
    EXPECT_EQ(Read(cutStream.Build()), nullptr) << "an end code before the last pixel";
}

TEST_F(GifFixture, HostileFilesAreRefused) {
    struct Case {
        const char* what;
        Gif gif;
    };
    std::vector<Case> cases;
    for (int size : {0, 1, 9, 12, 255}) {
        Gif g;
        g.minCodeSize = size;
        g.codes = PackedCodes({4, 0, 5}, 3);
        cases.push_back({"a code size out of 2 to 8", g});
    }
    {
        Gif g;
        g.width = 3;
        g.height = 1;
        g.codes = PackedCodes({4, 0, 7, 5}, 3);
        cases.push_back({"a code beyond the next one", g});
        g.codes = PackedCodes({4, 6, 5}, 3);
        cases.push_back({"a string code with no table after a clear", g});
        g.codes = PackedCodes(std::vector<int>(2000, 4), 3);
        cases.push_back({"clear codes and nothing else", g});
    }
    {
        Gif g;
        g.screenWidth = 0;
        cases.push_back({"a screen without width", g});
        g.screenWidth = 20000;
        g.width = 20000;
        cases.push_back({"a screen wider than the limit", g});
    }
    {
        Gif g;
        g.screenWidth = 16384;
        g.screenHeight = 16384;
        cases.push_back({"a screen of more pixels than the limit", g});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Read(c.gif.Build()), nullptr);
    }

    const Bytes plain = Gif{}.Build();
    auto edited = [&](std::size_t at, std::uint8_t value) {
        Bytes b = plain;
        b[at] = value;
        return b;
    };
    const std::size_t imageAt = 13 + 12;  // after the screen and its four colours
    Bytes onlyTrailer(plain.begin(), plain.begin() + std::ptrdiff_t(imageAt));
    onlyTrailer.push_back(';');
    Bytes straySpace = plain;
    straySpace.insert(straySpace.begin() + std::ptrdiff_t(imageAt), ' ');
    Bytes endlessExtension(plain.begin(), plain.begin() + std::ptrdiff_t(imageAt));
    endlessExtension.insert(endlessExtension.end(), {0x21, 0xFE, 200, 'x'});
    const std::vector<std::pair<const char*, Bytes>> files = {
        {"another version", edited(4, '8')},
        {"no image before the trailer", onlyTrailer},
        {"an unknown block before the image", straySpace},
        {"an extension running past the end", endlessExtension},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        EXPECT_EQ(Read(bytes), nullptr);
    }
}

}  // namespace
