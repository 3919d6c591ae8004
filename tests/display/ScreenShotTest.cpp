#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "EffectsFixture.h"
#include "display/ScreenShot.h"

namespace {

class ScreenShotTest : public EffectsFixture {
protected:
    static std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
    }
};

TEST_F(ScreenShotTest, BmpHasTheDisplaySizeAndTwentyFourBitsAtEveryDepth) {
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        qel::Surface& bb = UseDisplay(13, 7, depth);
        bb.Fill(nullptr, bb.MapColor(0xFFFFFF));
        bb.SetRawPixel(0, 0, bb.MapColor(0x000000));
        const std::string name = Path("shot" + std::to_string(depth));
        ScreenShotBMP(name.c_str());
        const std::vector<unsigned char> b = ReadAll(name + ".bmp");
        ASSERT_GT(b.size(), 54u);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(U32(b, 18), 13u);
        EXPECT_EQ(U32(b, 22), 7u);
        EXPECT_EQ(b[28] | b[29] << 8, 24);
        // Bottom-up rows of 40 bytes (13 x 3 padded): the top-left pixel is in the last row.
        const std::size_t topLeft = U32(b, 10) + 6 * 40;
        EXPECT_EQ(b[topLeft], 0);
        // At 8 bits white is whatever the (here empty) palette holds.
        if (depth > 8) {
            EXPECT_EQ(b[topLeft + 3], 0xFF);
        }
    }
}

TEST_F(ScreenShotTest, JpegAddsItsExtensionToWhateverNameItIsGiven) {
    UseDisplay(16, 16, 16);
    const std::string name = Path("shot.jpg");
    ScreenShotJPG(name.c_str());
    const std::vector<unsigned char> b = ReadAll(name + ".jpg");
    ASSERT_GT(b.size(), 2u);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xD8);
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(ScreenShotTest, NothingToWriteOrNowhereToWriteLeavesNoFile) {
    ScreenShotBMP(Path("nobuffer").c_str());
    EXPECT_FALSE(std::filesystem::exists(Path("nobuffer.bmp")));
    UseDisplay(8, 8);
    ScreenShotBMP(nullptr);
    ScreenShotJPG(nullptr);
    ScreenShotJPG(Path("missing/folder/shot").c_str());
    EXPECT_FALSE(std::filesystem::exists(Path("missing")));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

}  // namespace
