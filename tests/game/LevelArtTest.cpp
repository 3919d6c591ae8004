// The maps against the lines that hold the player: every line that holds is
// drawn where it holds, with room for the player on its holding side, and a
// line buried inside a body is not drawn as a lit line; no player start lies
// in anything drawn as solid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "LevelMasks.h"

namespace {

using gametest::MaskOf;
using gametest::SolidUnderPlayer;
using nolt::LevelRecord;
using nolt::SegmentRecord;

const SolidMask& LoadedMask(const LevelRecord& level) {
    const SolidMask& mask = MaskOf(level);
    EXPECT_EQ(mask.Width(), level.BitmapWidth()) << level.mapBitmap;
    EXPECT_EQ(mask.Height(), level.BitmapHeight()) << level.mapBitmap;
    return mask;
}

// Each whole pixel along the line, with the unit step towards its holding
// side (its normal (-dy, dx)).
template <class Visit>
void AlongHoldingSide(const SegmentRecord& s, Visit visit) {
    const float dx = s.x2 - s.x1, dy = s.y2 - s.y1;
    const bool across = std::fabs(dx) >= std::fabs(dy);
    const int fx = across ? 0 : (dy > 0 ? -1 : 1), fy = across ? (dx < 0 ? -1 : 1) : 0;
    const float from = across ? std::min(s.x1, s.x2) : std::min(s.y1, s.y2);
    const float to = across ? std::max(s.x1, s.x2) : std::max(s.y1, s.y2);
    for (int i = int(std::ceil(from)); i <= int(std::floor(to)); ++i) {
        const float t = to > from ? (float(i) - (across ? s.x1 : s.y1)) / (across ? dx : dy) : 0.0f;
        const int x = across ? i : int(std::floor(s.x1 + dx * t)), y = across ? int(std::floor(s.y1 + dy * t)) : i;
        visit(x, y, fx, fy);
    }
}

bool InPicture(const SolidMask& mask, int x, int y) { return x >= 0 && y >= 0 && x < mask.Width() && y < mask.Height(); }

TEST(LevelArt, EveryHoldingLineIsDrawnWhereItHoldsAndNoBuriedLineIsLit) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        const SolidMask& mask = LoadedMask(level);
        int undrawn = 0, noRoom = 0, litBuried = 0;
        for (const SegmentRecord& s : level.segments)
            AlongHoldingSide(s, [&](int x, int y, int fx, int fy) {
                if (!InPicture(mask, x, y) || !InPicture(mask, x + 3 * fx, y + 3 * fy)) return;
                // A line facing into a body never meets the player; one with a
                // body on both sides is buried and must not show.
                if (mask.At(x + 2 * fx, y + 2 * fy) == SolidMask::Solid) {
                    litBuried += mask.At(x - 2 * fx, y - 2 * fy) == SolidMask::Solid && mask.At(x, y) == SolidMask::Line;
                    return;
                }
                // Drawn on the line or the pixel behind it; open two pixels in front.
                undrawn += mask.At(x, y) == SolidMask::Open && mask.At(x - fx, y - fy) == SolidMask::Open;
                noRoom += mask.At(x + 3 * fx, y + 3 * fy) == SolidMask::Solid;
            });
        EXPECT_EQ(undrawn, 0) << level.name << ": pixels of holding lines not drawn";
        EXPECT_EQ(noRoom, 0) << level.name << ": pixels of holding lines with a body on their holding side";
        EXPECT_EQ(litBuried, 0) << level.name << ": pixels of buried lines drawn as lit lines";
    }
}

TEST(LevelArt, NoPlayerStartsInsideAnythingDrawnSolid) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const LevelRecord& level = nolt::LevelRecordOf(k);
        for (const nolt::SpriteRecord& s : level.sprites)
            if (s.name == "protag") {
                EXPECT_EQ(SolidUnderPlayer(LoadedMask(level), int(s.startX), int(s.startY)), 0) << level.name;
            }
    }
}

// Level_9's vertical line at x 218, inside the ground under the pyramid: a
// body, not a lit line below the floor.
TEST(LevelArt, ALineInsideTheGroundIsNotDrawn) {
    const LevelRecord* level = gametest::LevelNamed("Level_9");
    ASSERT_NE(level, nullptr);
    const SolidMask& mask = LoadedMask(*level);
    for (int y = 345; y <= 379; ++y)
        for (int x = 216; x <= 220; ++x) EXPECT_EQ(mask.At(x, y), SolidMask::Solid) << x << ", " << y;
}

TEST(LevelArt, MasksRejectBadFiles) {
    SolidMask mask;
    EXPECT_FALSE(mask.Read(gametest::MasksFolder + "no such map.mask"));
    EXPECT_EQ(mask.Width(), 0);
    const std::string path = ::testing::TempDir() + "bad.mask";
    SolidMask small(3, 2);
    small.Set(1, 1, SolidMask::Solid);
    ASSERT_TRUE(small.Write(path));
    ASSERT_TRUE(mask.Read(path));
    EXPECT_EQ(mask.At(1, 1), SolidMask::Solid);
    EXPECT_EQ(mask.At(0, 1), SolidMask::Open);
    EXPECT_EQ(mask.SolidIn(-5, -5, 10, 10), 1);
    // Runs that overshoot a row, or a file cut short, are refused whole.
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (const std::string& broken : {bytes.substr(0, bytes.size() - 1), bytes + "x",
                                      std::string(bytes).replace(13, 1, "\x09")}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << broken;
        EXPECT_FALSE(mask.Read(path));
        EXPECT_EQ(mask.Width(), 0);
    }
}

}  // namespace
