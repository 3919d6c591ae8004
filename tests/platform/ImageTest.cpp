#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "platform/Image.h"
#include "platform/ImageEncoder.h"
#include "platform/Palette.h"
#include "platform/Resources.h"
#include "platform/Surface.h"

namespace {

namespace fs = std::filesystem;
using qel::Image;
using qel::Surface;

class ImageFixture : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qel-image-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        qel::SetProgramResources(nullptr);
        fs::remove_all(dir);
    }
    std::string Path(const char* name) const { return (fs::path(dir) / name).string(); }

    // A 5 x 3 32-bit picture: red left column, magenta key in the middle, rest blue.
    static std::unique_ptr<Surface> Picture(int bpp = 32) {
        auto s = Surface::Create(5, 3, bpp);
        s->Fill(nullptr, s->MapColor(0x00FF0000));
        for (int y = 0; y < 3; ++y) s->SetRawPixel(0, y, s->MapColor(0x000000FF));
        s->SetRawPixel(2, 1, s->MapColor(0x00FF00FF));
        return s;
    }

    std::string dir;
};

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(ImageFixture, BmpIsTwentyFourBitsAndLoadsBackExactly) {
    auto picture = Picture();
    ASSERT_TRUE(qel::SaveBmp24(*picture, Path("shot.bmp")));
    std::vector<unsigned char> bytes = ReadFile(Path("shot.bmp"));
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24) << "bits per pixel";
    auto image = Image::FromFile(Path("shot.bmp"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 5);
    EXPECT_EQ(image->Height(), 3);
    EXPECT_EQ(image->Pixel(0, 2), 0xFFFF0000u);
    EXPECT_EQ(image->Pixel(2, 1), 0xFFFF00FFu);
    EXPECT_EQ(image->Pixel(4, 0), 0xFF0000FFu);
}

// An artist saving over a picture while the game runs cuts its file short:
// the loaded image keeps its pixels whatever happens to the file.
TEST_F(ImageFixture, ALoadedImageOutlivesItsFileBeingCutShortOrRemoved) {
    auto picture = Picture();
    for (bool removed : {false, true}) {
        const std::string path = Path(removed ? "removed.bmp" : "cut.bmp");
        ASSERT_TRUE(qel::SaveBmp24(*picture, path));
        auto image = Image::FromFile(path);
        ASSERT_NE(image, nullptr);
        fs::resize_file(path, 0);
        if (removed) fs::remove(path);
        EXPECT_EQ(image->Pixel(0, 2), 0xFFFF0000u);
        EXPECT_EQ(image->Pixel(4, 0), 0xFF0000FFu);
    }
}

TEST_F(ImageFixture, EveryDepthGivesATwentyFourBitScreenshotOfItsSize) {
    qel::PaletteEntries palette{};
    palette[7] = {0, 0, 255, 0};
    qel::SetDisplayPalette(palette);
    for (int bpp : {8, 16, 24}) {
        auto s = Surface::Create(9, 4, bpp);
        s->Fill(nullptr, s->MapColor(0x00FF0000));
        std::string path = Path(("d" + std::to_string(bpp) + ".bmp").c_str());
        ASSERT_TRUE(qel::SaveBmp24(*s, path)) << bpp;
        EXPECT_EQ(ReadFile(path)[28], 24) << bpp;
        auto image = Image::FromFile(path);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Width(), 9);
        EXPECT_EQ(image->Height(), 4);
        EXPECT_EQ(image->Pixel(8, 3), 0xFF0000FFu) << bpp;
    }
    qel::SetDisplayPalette({});
}

TEST_F(ImageFixture, JpegLoadsBackWithItsSize) {
    auto s = Surface::Create(64, 48, 32);
    s->Fill(nullptr, 0x208040);
    for (int quality : {100, 10}) {
        std::string path = Path(("q" + std::to_string(quality) + ".jpg").c_str());
        ASSERT_TRUE(qel::SaveJpeg(*s, path, quality));
        std::vector<unsigned char> bytes = ReadFile(path);
        ASSERT_GT(bytes.size(), 2u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        auto image = Image::FromFile(path);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Width(), 64);
        EXPECT_EQ(image->Height(), 48);
    }
    EXPECT_GT(fs::file_size(Path("q100.jpg")), fs::file_size(Path("q10.jpg")));
    auto best = Image::FromFile(Path("q100.jpg"));
    std::uint32_t p = best->Pixel(30, 20);
    EXPECT_NEAR(int((p >> 16) & 0xFF), 0x20, 3);
    EXPECT_NEAR(int((p >> 8) & 0xFF), 0x80, 3);
    EXPECT_NEAR(int(p & 0xFF), 0x40, 3);
}

TEST_F(ImageFixture, FailedWritesLeaveNoFile) {
    auto s = Picture();
    std::string missingFolder = Path("no/such/folder/shot.bmp");
    EXPECT_FALSE(qel::SaveBmp24(*s, missingFolder));
    EXPECT_FALSE(qel::SaveJpeg(*s, Path("no/such/folder/shot.jpg"), 100));
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(ImageFixture, EncodersAreFoundByMimeType) {
    EXPECT_GE(qel::ImageEncoderIndex("image/bmp"), 0);
    EXPECT_GE(qel::ImageEncoderIndex("image/jpeg"), 0);
    EXPECT_NE(qel::ImageEncoderIndex("image/bmp"), qel::ImageEncoderIndex("image/jpeg"));
    for (const char* other : {"image/png", "image/BMP", "", "image/jpeg "})
        EXPECT_EQ(qel::ImageEncoderIndex(other), -1) << other;
    EXPECT_EQ(qel::ImageEncoderIndex(nullptr), -1);
}

TEST_F(ImageFixture, ResourceComesBeforeTheFileAndBackslashPathsWork) {
    auto onDisk = Surface::Create(4, 4, 32);
    ASSERT_TRUE(qel::SaveBmp24(*onDisk, Path("frame.bmp")));
    ASSERT_TRUE(qel::SaveBmp24(*Picture(), Path("resource.bmp")));
    std::vector<unsigned char> bytes = ReadFile(Path("resource.bmp"));
    const qel::ResourceEntry entries[] = {{"BITMAP", "frame.bmp", bytes.data(), std::uint32_t(bytes.size())}};
    const qel::ResourceTable table{entries, 1};

    std::string folder = dir + "\\";
    auto fromFile = Image::Load("frame.bmp", folder);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->Width(), 4);
    qel::SetProgramResources(&table);
    auto fromResource = Image::Load("frame.bmp", folder);
    ASSERT_NE(fromResource, nullptr);
    EXPECT_EQ(fromResource->Width(), 5);
    EXPECT_EQ(Image::Load("missing.bmp", folder), nullptr);
    EXPECT_EQ(Image::Load(nullptr, folder), nullptr);
    const unsigned char junk[] = {'B', 'M', 1, 2, 3};
    EXPECT_EQ(Image::FromMemory(junk, sizeof junk), nullptr);
}

TEST_F(ImageFixture, PicturesWiderOrTallerThanTheLimitAreRefused) {
    const struct {
        int width, height;
        bool loads;
    } cases[] = {{16384, 1, true}, {16385, 1, false}, {1, 16384, true}, {1, 16385, false}};
    for (const auto& c : cases) {
        const std::string path = Path("side.bmp");
        bmp24::WriteSolid(path, c.width, c.height, 0x00336699);
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(Image::FromFile(path) != nullptr, c.loads) << c.width << " x " << c.height;
        EXPECT_EQ(Image::FromMemory(bytes.data(), bytes.size()) != nullptr, c.loads) << c.width << " x " << c.height;
    }
}

TEST_F(ImageFixture, DrawingLeavesTheKeyColourOut) {
    ASSERT_TRUE(qel::SaveBmp24(*Picture(), Path("p.bmp")));
    auto image = Image::FromFile(Path("p.bmp"));
    ASSERT_NE(image, nullptr);
    for (int bpp : {16, 32}) {
        SCOPED_TRACE(bpp);
        auto s = Surface::Create(6, 4, bpp);
        const std::uint32_t fill = s->MapColor(0x00DC00FF);
        s->Fill(nullptr, fill);
        image->DrawInto(*s, 1, 1, 0x00FF00FF);
        EXPECT_EQ(s->GetRawPixel(3, 2), fill) << "key pixel keeps the fill";
        EXPECT_EQ(s->GetRawPixel(1, 1), s->MapColor(0x000000FF));
        EXPECT_EQ(s->GetRawPixel(5, 1), s->MapColor(0x00FF0000));
        EXPECT_EQ(s->GetRawPixel(0, 0), fill) << "outside the image";
        image->DrawInto(*s, 1, 1, qel::InvalidColor);
        EXPECT_EQ(s->GetRawPixel(3, 2), s->MapColor(0x00FF00FF)) << "no key: drawn";
        image->DrawInto(*s, -3, 2, 0x00FF00FF);  // clipped at the left and bottom
        EXPECT_EQ(s->GetRawPixel(0, 3), s->MapColor(0x00FF0000));
    }
}

// Every colour lands as the surface itself stores that colour, at each depth
// (at 8 bits the nearest entry of the shared palette).
TEST_F(ImageFixture, DrawnPixelsAreTheSurfacesOwnValueOfEachColourAtEveryDepth) {
    auto many = Surface::Create(37, 11, 32);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x)
            many->SetRawPixel(x, y, (std::uint32_t(x) * 0x9E3779B1u ^ std::uint32_t(y) * 0x85EBCA77u) & 0xFFFFFF);
    ASSERT_TRUE(qel::SaveBmp24(*many, Path("many.bmp")));
    auto image = Image::FromFile(Path("many.bmp"));
    ASSERT_NE(image, nullptr);
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        auto s = Surface::Create(37, 11, bpp);
        image->DrawInto(*s, 0, 0, qel::InvalidColor);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x) {
                const std::uint32_t p = image->Pixel(x, y);
                const COLORREF colour = QelRGB(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p));
                ASSERT_EQ(s->GetRawPixel(x, y), s->MapColor(colour)) << x << "," << y;
            }
    }
}

// Pictures stored with a palette, with an alpha channel or as plain 24-bit
// colour read back alike: each pixel's colour and opacity, whether the whole
// is opaque, and how it lands on a surface (transparent pixels keep what is
// there, half-transparent ones blend over it).
TEST_F(ImageFixture, PalettedAlphaAndPlainPicturesReadAndDrawAlike) {
    struct Case {
        const char* file;
        Uint32 format;
        bool opaque;
    };
    const Case cases[] = {
        {"paletted.bmp", SDL_PIXELFORMAT_INDEX8, true},
        {"plain.bmp", SDL_PIXELFORMAT_BGR24, true},
        {"alpha.bmp", SDL_PIXELFORMAT_ARGB8888, false},
    };
    // Left to right: red, green, blue, half-transparent white, transparent black.
    const std::uint32_t argb[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF, 0x00000000};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const bool alpha = !c.opaque;
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 5, 2, SDL_BITSPERPIXEL(c.format), c.format);
        ASSERT_NE(picture, nullptr) << SDL_GetError();
        if (picture->format->palette) {
            const SDL_Color colours[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
            SDL_SetPaletteColors(picture->format->palette, colours, 0, 3);
        }
        for (int x = 0; x < (alpha ? 5 : 3); ++x) {
            const std::uint32_t p = argb[x];
            const SDL_Rect column{x, 0, 1, 2};
            SDL_FillRect(picture, &column,
                         SDL_MapRGBA(picture->format, Uint8(p >> 16), Uint8(p >> 8), Uint8(p), Uint8(p >> 24)));
        }
        const std::string path = Path(c.file);
        ASSERT_EQ(SDL_SaveBMP(picture, path.c_str()), 0) << SDL_GetError();
        SDL_FreeSurface(picture);

        auto image = Image::FromFile(path);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Opaque(), c.opaque);
        for (int x = 0; x < (alpha ? 5 : 3); ++x) EXPECT_EQ(image->Pixel(x, 1), argb[x]) << x;

        auto s = Surface::Create(5, 2, 32);
        s->Fill(nullptr, 0x102030);
        image->DrawInto(*s, 0, 0, qel::InvalidColor);
        EXPECT_EQ(s->GetRawPixel(0, 0), 0xFF0000u);
        EXPECT_EQ(s->GetRawPixel(2, 1), 0x0000FFu);
        if (alpha) {
            EXPECT_EQ(s->GetRawPixel(3, 0), 0x889098u) << "half white over 0x102030";
            EXPECT_EQ(s->GetRawPixel(4, 0), 0x102030u) << "transparent";
        }
    }
}

}  // namespace
