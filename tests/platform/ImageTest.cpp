#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../support/BmpWriter.h"
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
    for (const char* other : {"image/png", "image/BMP", "", "image/jpeg "}) EXPECT_EQ(qel::ImageEncoderIndex(other), -1) << other;
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
        testbmp::WriteSolid(path, c.width, c.height, 0x00336699);
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

}  // namespace
