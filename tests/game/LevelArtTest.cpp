// The maps against the lines that hold the player: every line that holds is
// drawn where it holds, with room for the player on its holding side, and a
// line buried inside a body is not drawn as a lit line; no player start lies
// in anything drawn as solid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "LevelMasks.h"
#include "Picture.h"

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

bool InPicture(const SolidMask& mask, int x, int y) {
    return x >= 0 && y >= 0 && x < mask.Width() && y < mask.Height();
}

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
                    litBuried +=
                        mask.At(x - 2 * fx, y - 2 * fy) == SolidMask::Solid && mask.At(x, y) == SolidMask::Line;
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

const std::string ActorsFolder = std::string(QEL_BINARY_DIR) + "/game/Art Assets/Actors/";
const std::string MapsFolder = std::string(QEL_BINARY_DIR) + "/game/Art Assets/Maps/";
constexpr std::uint32_t ActorKey = 0xFF00DC;  // 0xDC00FF as the tables give it

// The finale's picture over the map's title and the player standing in it:
// no two of them share a pixel.
TEST(LevelArt, TheCreditsKeepClearOfTheFinalesTitleAndPlayer) {
    const LevelRecord* finale = gametest::LevelNamed("Level_40");
    ASSERT_NE(finale, nullptr);
    const gametest::Picture credits = gametest::Picture::Read(ActorsFolder + "credits.bmp");
    const gametest::Picture title = gametest::Picture::Read(MapsFolder + finale->mapBitmap);
    ASSERT_EQ(credits.width, title.width);
    ASSERT_EQ(credits.height, title.height);
    int px = 0, py = 0;
    for (const nolt::SpriteRecord& s : finale->sprites)
        if (s.name == "protag") px = int(s.startX), py = int(s.startY);
    int overTitle = 0, overPlayer = 0, shown = 0;
    for (int y = 0; y < credits.height; ++y)
        for (int x = 0; x < credits.width; ++x) {
            if (credits.At(x, y) == ActorKey) continue;
            ++shown;
            overTitle += title.At(x, y) != 0x000000;  // black is the map's see-through colour
            overPlayer += x >= px && x < px + 32 && y >= py && y < py + 32;
        }
    EXPECT_GT(shown, 0);
    EXPECT_EQ(overTitle, 0);
    EXPECT_EQ(overPlayer, 0);
}

// The figure's colour: the most common pixel of its picture that is not see-through.
std::uint32_t FigureColour(const std::string& file) {
    const gametest::Picture figure = gametest::Picture::Read(ActorsFolder + file);
    std::map<std::uint32_t, int> counts;
    for (std::uint32_t p : figure.pixels)
        if (p != ActorKey) ++counts[p];
    if (counts.empty()) return 0;
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

int StrongestChannel(std::uint32_t rgb) {
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    return r >= g && r >= b ? 0 : g >= b ? 1 : 2;
}

// Level_31's band steps once per crossing; each step leans to the colour the
// player wears on that crossing and stays darker than it, so the figure reads
// on it. The last picture holds the black its keyed step leaves out, and more.
TEST(LevelArt, EachGradientStepWearsItsCrossingsColour) {
    const char* const worn[] = {"protagb.bmp", "protagg.bmp", "protagm.bmp",
                                "protagr.bmp", "protagy.bmp", "protag.bmp"};
    for (int step = 0; step < 6; ++step) {
        const std::string file = "gradient" + std::to_string(step + 1) + ".bmp";
        const gametest::Picture band = gametest::Picture::Read(ActorsFolder + file);
        ASSERT_EQ(band.width, 5000) << file;
        const std::uint32_t figure = FigureColour(worn[step]);
        const bool coloured = step < 5;  // the last figure is grey
        int darker = 0, leaning = 0, black = 0;
        for (std::uint32_t p : band.pixels) {
            darker += gametest::ContrastRatio(gametest::Luminance(p), gametest::Luminance(figure)) >= 2.0 &&
                      gametest::Luminance(p) < gametest::Luminance(figure);
            leaning += !coloured || p == 0 || StrongestChannel(p) == StrongestChannel(figure);
            black += p == 0x000000;
        }
        EXPECT_EQ(darker, band.width) << file;
        EXPECT_EQ(leaning, band.width) << file;
        if (step == 5) {
            EXPECT_GT(black, 0) << file;
            EXPECT_GT(band.width - black, band.width / 2) << file;
        }
    }
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
    for (const std::string& broken :
         {bytes.substr(0, bytes.size() - 1), bytes + "x", std::string(bytes).replace(13, 1, "\x09")}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << broken;
        EXPECT_FALSE(mask.Read(path));
        EXPECT_EQ(mask.Width(), 0);
    }
}

}  // namespace
