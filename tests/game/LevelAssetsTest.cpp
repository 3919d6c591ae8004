// The generated game data beside the built program: every bitmap and sound
// that the levels and actor tables name exists, pictures at their sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "actors/ActorBitmaps.h"
#include "levels/LevelData.h"

namespace {

namespace fs = std::filesystem;
const fs::path Assets = fs::path(QEL_BINARY_DIR) / "game" / "Art Assets";

struct BmpSize {
    std::int32_t width = -1, height = -1;
};

BmpSize ReadBmpSize(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[26] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' || header[1] != 'M') return {};
    auto get32 = [&](int at) {
        return std::int32_t(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                            std::uint32_t(header[at + 3]) << 24);
    };
    return {get32(18), get32(22)};
}

bool IsWave(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char riff[12] = {};
    return in.read(riff, sizeof riff) && std::string(riff, 4) == "RIFF" && std::string(riff + 8, 4) == "WAVE";
}

TEST(LevelAssets, EveryLevelMapAndSoundIsGenerated) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const nolt::LevelRecord& level = nolt::LevelRecordOf(k);
        const BmpSize size = ReadBmpSize(Assets / "Maps" / level.mapBitmap);
        EXPECT_EQ(size.width, level.BitmapWidth()) << level.mapBitmap;
        EXPECT_EQ(size.height, level.BitmapHeight()) << level.mapBitmap;
        for (const nolt::SoundEntry& s : level.sounds) {
            const fs::path folder = Assets / "Sounds" / (s.kind == nolt::SoundEntry::Music ? "Music" : "SFX");
            EXPECT_TRUE(IsWave(folder / s.file)) << level.name << ": " << s.file;
        }
    }
    for (const char* file :
         {"Jump1.wav", "Jump2.wav", "Jump3.wav", "Jump4.wav", "Shoot1.wav", "Shoot2.wav", "Shoot3.wav", "Shoot4.wav"})
        EXPECT_TRUE(IsWave(Assets / "Sounds" / "SFX" / file)) << file;
    // The third world's tune is named in code page 1252, as the engine opens it.
    EXPECT_TRUE(IsWave(Assets / "Sounds" / "Music" /
                       "Folie impos\xE9"
                       "e.wav"));
}

TEST(LevelAssets, EveryActorFrameBitmapHasItsSize) {
    for (const ActorBitmap& a : ActorBitmaps) {
        const BmpSize size = ReadBmpSize(Assets / "Actors" / a.fileName);
        EXPECT_EQ(size.width, a.width) << a.fileName;
        EXPECT_EQ(size.height, a.height) << a.fileName;
    }
}

}  // namespace
