#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/BmpWriter.h"
#include "display/DisplayInternal.h"
#include "display/LoadingInternal.h"
#include "display/Screen.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/AudioBuffer.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "platform/Palette.h"
#include "platform/Surface.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/Map.h"
#include "world/ViewPort.h"
#include "sound/Sound.h"
#include "../sound/SoundFixture.h"
#include "testing/TestHooks.h"

namespace {

// A game window of the display size, released with the display.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        qel::SetMessageBoxObserver({});
    }
    void Open(int depth, bool windowed, int desktopDepth) {
        qel::SetDesktopDepthForTests(desktopDepth);
        SetMode(64, 48, depth);
        _IsWindowed = windowed;
        qel::WindowDesc desc;
        desc.clientWidth = 64;
        desc.clientHeight = 48;
        _Ghwnd = qel::Window::Create(desc);
        ASSERT_NE(_Ghwnd, nullptr);
    }
    void TearDown() override {
        DisplayRelease();
        if (_Ghwnd != nullptr) qel::DestroyWindow(_Ghwnd);
        _Ghwnd = nullptr;
        qel::SetDesktopDepthForTests(0);
        SetMode(640, 480, 16);
    }
};

struct Format {
    int bits;
    std::uint32_t red, green, blue;
};

}  // namespace

TEST_F(DisplayTest, SetUpGivesTheBackBufferFormatOfTheMode) {
    struct Case {
        int depth;
        bool windowed;
        int desktop;
        Format format;
    };
    const Case cases[] = {
        {8, true, 8, {8, 0, 0, 0}},
        {16, true, 16, {16, 0xF800, 0x07E0, 0x001F}},
        {24, true, 24, {24, 0xFF0000, 0xFF00, 0xFF}},
        {32, true, 32, {32, 0xFF0000, 0xFF00, 0xFF}},
        {8, false, 32, {8, 0, 0, 0}},
        {16, false, 32, {16, 0xF800, 0x07E0, 0x001F}},
        {24, false, 32, {24, 0xFF0000, 0xFF00, 0xFF}},
        {32, false, 16, {32, 0xFF0000, 0xFF00, 0xFF}},
        {15, true, 32, {32, 0xFF0000, 0xFF00, 0xFF}},  // passes silently in the desktop's format
    };
    for (const Case& c : cases) {
        Open(c.depth, c.windowed, c.desktop);
        ASSERT_TRUE(DisplayInit()) << c.depth;
        ASSERT_NE(pBackBuffer, nullptr);
        const qel::PixelFormat& f = pBackBuffer->Format();
        EXPECT_EQ(f.bitsPerPixel, c.format.bits) << c.depth << (c.windowed ? " windowed" : " full screen");
        if (c.format.bits > 8) {
            EXPECT_EQ(f.redMask, c.format.red) << c.depth;
            EXPECT_EQ(f.greenMask, c.format.green) << c.depth;
            EXPECT_EQ(f.blueMask, c.format.blue) << c.depth;
        }
        EXPECT_EQ(pBackBuffer->Width(), 64);
        EXPECT_EQ(pGammaControl != nullptr, !c.windowed) << c.depth;
        EXPECT_NE(pScreen, nullptr);
        TearDown();
    }
}

TEST_F(DisplayTest, ModeTheDesktopCannotShowEndsTheGame) {
    struct Case {
        int depth;
        bool windowed;
        const char* message;
    };
    const Case cases[] = {
        {8, true, "Please set your display device to 256 colors."},
        {16, true, "Please set your display device to 16 bit."},
        {24, true, "Please set your display device to 24 bit."},
        {32, true, "Please set your display device to 32 bit."},
        {15, false, "The mode 64 X 48 X 15 is not supported."},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                Open(c.depth, c.windowed, c.depth == 32 ? 16 : 32);
                DisplayInit();
            },
            testing::ExitedWithCode(1), c.message)
            << c.depth;
    }
}

TEST_F(DisplayTest, DisplayWithoutAWindowFails) {
    _Ghwnd = nullptr;
    EXPECT_FALSE(DisplayInit());
    EXPECT_EQ(pBackBuffer, nullptr);
}

TEST_F(DisplayTest, LoadingScreenIsRedTextOnBlackAtTheTopLeft) {
    Open(32, true, 32);
    ASSERT_TRUE(DisplayInit());
    pBackBuffer->Fill(nullptr, 0x00FFFFFF);  // a white frame before
    pDirectDraw->SetFrameCapture(true);
    GameNode level;
    gNode = &level;
    {
        Loading loading;
        EXPECT_TRUE(_IsLoading);
    }
    EXPECT_FALSE(_IsLoading);
    gNode = nullptr;
    const std::vector<std::uint32_t>& frame = pDirectDraw->LastFrame();
    ASSERT_EQ(frame.size(), 64u * 48u);
    int red = 0, other = 0, redOutsideBox = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t p = frame[y * 64 + x];
            if (p == 0) continue;
            // Anti-aliased text may blend red into black, never other hues.
            if ((p & 0x00FFFF) == 0 && (p >> 16) > 0) {
                ++red;
                if (y >= 24) ++redOutsideBox;
            } else {
                ++other;
            }
        }
    }
    EXPECT_GT(red, 10);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(redOutsideBox, 0);
    Game::gameNodeList.del();
}

TEST_F(DisplayTest, FullScreenSwitchAndBackRebuildsTheDisplayAndPlacesTheWindow) {
    struct Case {
        int desktopWidth, desktopHeight;
        int x, y;  // the window's place once windowed again
    };
    const Case cases[] = {
        {1000, 800, (1000 - 64) / 2, (800 - 48) / 2},
        {60, 800, 0, 0},  // a desktop narrower than the window
        {1000, 40, 0, 0},
    };
    for (const Case& c : cases) {
        Open(32, true, 32);
        ASSERT_TRUE(DisplayInit());
        screenWidth = c.desktopWidth;
        screenHeight = c.desktopHeight;
        windowWidth = 64;
        windowHeight = 48;

        ToggleFullScreen();
        EXPECT_FALSE(_IsWindowed);
        EXPECT_TRUE(_Ghwnd->IsFullScreen());
        ASSERT_NE(pBackBuffer, nullptr);
        EXPECT_EQ(pBackBuffer->Format().bitsPerPixel, 32);
        EXPECT_NE(pGammaControl, nullptr);
        EXPECT_NE(pScreen, nullptr);
        EXPECT_FALSE(_IsLoading);

        ToggleFullScreen();
        EXPECT_TRUE(_IsWindowed);
        EXPECT_FALSE(_Ghwnd->IsFullScreen());
        ASSERT_NE(pBackBuffer, nullptr);
        EXPECT_EQ(pBackBuffer->Width(), 64);
        EXPECT_EQ(pBackBuffer->Height(), 48);
        EXPECT_EQ(pGammaControl, nullptr);
        EXPECT_EQ(_Ghwnd->ClientWidth(), 64);
        EXPECT_EQ(_Ghwnd->ClientHeight(), 48);
        EXPECT_EQ(_Ghwnd->X(), c.x) << c.desktopWidth << " x " << c.desktopHeight;
        EXPECT_EQ(_Ghwnd->Y(), c.y) << c.desktopWidth << " x " << c.desktopHeight;
        TearDown();
    }
    screenWidth = screenHeight = windowWidth = windowHeight = 0;
}

TEST_F(DisplayTest, FullScreenSwitchPausesAndResumesTheLevelsSound) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qel-display-sound-" + std::to_string(::getpid()));
    soundtest::WriteFile(folder / "fx.wav", soundtest::Wave(1, 8, 44100, soundtest::Ramp(4000)));
    const String savedSfx = sfxFolder;
    sfxFolder = (folder.string() + "/").c_str();
    GameNode level;
    gNode = &level;
    auto* playing = new Sound("playing", "fx.wav", true, 0);
    auto* lost = new Sound("lost", "fx.wav", false, 0);
    level.Sounds().add(playing);
    level.Sounds().add(lost);
    playing->Play();
    lost->Buffer()->Lose();

    Open(32, true, 32);
    ASSERT_TRUE(DisplayInit());
    ToggleFullScreen();
    EXPECT_TRUE(playing->IsPlaying());
    EXPECT_FALSE(playing->PausedByCard()) << "paused for the switch and resumed after it";
    EXPECT_FALSE(lost->IsBufferLost()) << "the resume restores lost buffers";
    EXPECT_FALSE(lost->IsPlaying());

    level.Sounds().del();
    gNode = nullptr;
    sfxFolder = savedSfx;
    std::filesystem::remove_all(folder);
}

TEST_F(DisplayTest, LostPresentationRebuildsTheDisplayOnceAtATime) {
    Open(32, true, 32);
    ASSERT_TRUE(DisplayInit());
    GameNode level;
    gNode = &level;  // the loading screen of the rebuild is presented
    // Lost once: rebuilt, the loading screen and then the frame presented.
    qel::Surface::ForceLostForTests(1);
    PresentBackBuffer();
    ASSERT_NE(pDirectDraw, nullptr);
    EXPECT_NE(pBackBuffer, nullptr);
    EXPECT_NE(pScreen, nullptr);
    EXPECT_FALSE(_IsLoading);
    EXPECT_EQ(pDirectDraw->PresentCount(), 2u);
    // Lost for good: every loss met while rebuilding waits for that rebuild.
    qel::Surface::ForceLostForTests(1000);
    PresentBackBuffer();
    qel::Surface::ForceLostForTests(0);
    ASSERT_NE(pDirectDraw, nullptr);
    const std::uint32_t presented = pDirectDraw->PresentCount();
    PresentBackBuffer();
    EXPECT_EQ(pDirectDraw->PresentCount(), presented + 1);
    gNode = nullptr;
}

// A map and a sprite drawn while the surfaces are lost: the display is rebuilt
// with the level's bitmaps, and the blit is made again from the new surfaces.
TEST_F(DisplayTest, ALostBlitOfAMapOrASpriteRebuildsTheDisplayAndDrawsAgain) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qel-lost-blit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(bmp24::WriteSolid((folder / "ground.bmp").string(), 64, 48, 0x204080));
    ASSERT_TRUE(bmp24::WriteSolid((folder / "walker.bmp").string(), 8, 8, 0xC03010));
    const String path = (folder.string() + "/").c_str();
    mapsFolder = actorsFolder = currentAssetFolder = path;
    Open(32, true, 32);
    ASSERT_TRUE(DisplayInit());
    {
        GameNode level;
        gNode = &level;
        level.GetViewPort() = ViewPort(64, 48, 0, 0, 64, 48);
        Map ground("ground", "ground.bmp", Map::MasterMap, 0, 0, 0, true, zrect);
        level.Add(ground);
        constexpr int Walker = 7;
        SpriteElem& slot = SpriteList[Walker];
        slot.Animations = new AnimationElem[1];
        slot.AnimationCount = 1;
        slot.Animations[0].Frames = new FrameElem[1];
        slot.Animations[0].FrameCount = 1;
        FrameElem& frame = slot.Animations[0].Frames[0];
        frame.FileName = "walker.bmp";
        frame.Width = frame.Height = 8;
        LoadActorSurfaces();
        Sprite walker;
        walker.Name("walker");
        walker.BelongToMap("ground");
        walker.ActorIndex(Walker);
        walker.MapPosition(20, 10, false);
        level.Add(walker);

        struct Case {
            const char* what;
            std::function<void()> draw;
            int x, y;
            std::uint32_t colour;
        };
        const Case cases[] = {
            {"map", [] { Map::Search("ground")->DisplayMap(); }, 5, 40, 0x204080},
            {"sprite", [] { Sprite::Search("walker")->DisplaySprite(); }, 23, 13, 0xC03010},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            ClearBackBuffer();
            qel::Surface::ForceLostForTests(1);
            c.draw();
            EXPECT_FALSE(qel::Surface::TakeForcedLost());
            ASSERT_NE(pBackBuffer, nullptr);
            EXPECT_EQ(pBackBuffer->GetRawPixel(c.x, c.y) & 0xFFFFFF, c.colour);
        }
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        level.Maps().del();
        ReleaseActorSurfaces();
        slot.Empty();
        gNode = nullptr;
    }
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

namespace {

// A BMP of a 40-byte header (or another size) and `colours` table entries.
void WriteBmp(const std::string& path, std::uint32_t headerSize, std::uint16_t bitCount, std::uint32_t colours,
              std::size_t tableEntries) {
    std::vector<unsigned char> b(14 + 40 + 4 * tableEntries, 0);
    b[0] = 'B';
    b[1] = 'M';
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(14, headerSize);
    b[14 + 14] = std::uint8_t(bitCount);
    put32(14 + 32, colours);
    for (std::size_t i = 0; i < tableEntries; ++i) {
        b[54 + 4 * i] = std::uint8_t(i + 1);  // blue
        b[54 + 4 * i + 1] = 0x80;             // green
        b[54 + 4 * i + 2] = 0xF0;             // red
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

}  // namespace

TEST(DisplayPalette, BitmapColourTableFillsTheMiddleAndTheSystemColoursTheEnds) {
    const std::string folder = std::filesystem::temp_directory_path().string() + "/qel-palette-test/";
    std::filesystem::create_directories(folder);
    mapsFolder = folder.c_str();
    struct Case {
        const char* name;
        std::uint32_t headerSize;
        std::uint16_t bitCount;
        std::uint32_t colours;
        std::size_t tableEntries;
        bool palette;
        int filled;  // entries from 10 on taken from the table
    };
    const Case cases[] = {
        {"sixteen.bmp", 40, 4, 0, 16, true, 16}, {"used.bmp", 40, 8, 3, 3, true, 3},
        {"core.bmp", 12, 8, 0, 256, true, 0},    {"truecolour.bmp", 40, 24, 0, 0, true, 0},
        {"short.bmp", 40, 4, 0, 5, false, 0},    {"missing.bmp", 0, 0, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        if (c.headerSize != 0) WriteBmp(folder + c.name, c.headerSize, c.bitCount, c.colours, c.tableEntries);
        qel::PaletteEntries palette;
        ASSERT_EQ(LoadBmpFile(c.name, palette), c.palette) << c.name;
        if (!c.palette) continue;
        for (int i = 0; i < 256; ++i) {
            const qel::PaletteEntry& e = palette[i];
            if (i < 10 || i > 245) {
                const qel::PaletteEntry s = qel::SystemPaletteEntry(i);
                EXPECT_EQ(std::vector<int>({e.red, e.green, e.blue}), std::vector<int>({s.red, s.green, s.blue}))
                    << c.name << " " << i;
            } else if (i - 10 < c.filled) {
                EXPECT_EQ(e.red, 0xF0) << c.name << " " << i;  // red and blue exchanged
                EXPECT_EQ(e.blue, i - 10 + 1) << c.name << " " << i;
                EXPECT_EQ(e.flags, qel::PaletteNoCollapse);
            } else {
                EXPECT_EQ(e.red | e.green | e.blue | e.flags, 0) << c.name << " " << i;
            }
        }
    }
    EXPECT_EQ(std::string(currentAssetFolder), folder);
    mapsFolder = "";
    std::filesystem::remove_all(folder);
}
