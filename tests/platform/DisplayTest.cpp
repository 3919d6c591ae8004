#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Display.h"
#include "platform/DisplayInternal.h"
#include "platform/MessageQueue.h"
#include "platform/Palette.h"
#include "platform/Window.h"
#include "platform/WindowInternal.h"

namespace {

using qel::Display;

class DisplayFixture : public testing::Test {
protected:
    void SetUp() override {
        window = qel::Window::Create({"display", 8, 4, false, true});
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        display.reset();
        qel::DestroyWindow(window);
        qel::ClearMessageQueue();
        qel::SetDisplayPalette({});
    }
    Display& Make(int bpp) {
        Display::Status status = Display::Status::NoRenderer;
        display.reset();  // one display per window at a time
        display = Display::Create(window, 8, 4, bpp, &status);
        EXPECT_EQ(status, Display::Status::Ok);
        display->SetFrameCapture(true);
        return *display;
    }

    HWND window = nullptr;
    std::unique_ptr<Display> display;
};

TEST_F(DisplayFixture, PresentsEveryDepthAsTheColoursTheBackBufferHolds) {
    qel::PaletteEntries palette{};
    palette[1] = {0x10, 0x20, 0x30, 0};
    palette[2] = {0xFF, 0x00, 0x80, 0};
    qel::SetDisplayPalette(palette);
    struct Case {
        int bpp;
        COLORREF colour;
        std::uint32_t shown;
    };
    const Case cases[] = {
        {32, 0x00332211, 0x112233}, {24, 0x00332211, 0x112233}, {16, 0x00FFFFFF, 0xFFFFFF},
        {16, 0x000000FF, 0xFF0000}, {16, 0x00102030, 0x312010},  // top bits repeated into the low ones
        {8, 0x008000FF, 0xFF0080},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        Display& d = Make(c.bpp);
        qel::Surface& bb = d.BackBuffer();
        EXPECT_EQ(bb.BitsPerPixel(), c.bpp);
        bb.Fill(nullptr, bb.MapColor(c.colour));
        bb.SetRawPixel(0, 0, 0);
        EXPECT_EQ(d.Present(), qel::BlitResult::Ok);
        ASSERT_EQ(d.LastFrame().size(), 32u);
        EXPECT_EQ(d.LastFrame()[0], 0u);
        EXPECT_EQ(d.LastFrame()[31], c.shown);
    }
}

TEST_F(DisplayFixture, UnsupportedModesAndMissingWindowsAreRefused) {
    Display::Status status = Display::Status::Ok;
    EXPECT_EQ(Display::Create(window, 8, 4, 15, &status), nullptr);
    EXPECT_EQ(status, Display::Status::UnsupportedMode);
    EXPECT_EQ(Display::Create(window, 0, 4, 32, &status), nullptr);
    EXPECT_EQ(status, Display::Status::UnsupportedMode);
    EXPECT_EQ(Display::Create(nullptr, 8, 4, 32, &status), nullptr);
    EXPECT_EQ(status, Display::Status::NoWindow);
}

TEST_F(DisplayFixture, BackBufferClipsAndKeepsItsContentAfterPresenting) {
    Display& d = Make(32);
    qel::Surface& bb = d.BackBuffer();
    EXPECT_TRUE(bb.HasClipRect());
    auto sprite = d.CreateSurface(4, 4);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->BitsPerPixel(), 32);
    sprite->Fill(nullptr, 0xABCDEF);
    EXPECT_EQ(bb.Blit({6, 2, 10, 6}, *sprite, {0, 0, 4, 4}), qel::BlitResult::Ok);
    d.Present();
    EXPECT_EQ(bb.GetRawPixel(7, 3), 0xABCDEFu);
    EXPECT_EQ(d.LastFrame()[3 * 8 + 7], 0xABCDEFu);
    EXPECT_EQ(d.LastFrame()[3 * 8 + 5], 0u);
}

TEST_F(DisplayFixture, GammaRampOnlyWhileFullScreen) {
    Display& d = Make(32);
    d.BackBuffer().Fill(nullptr, 0x808080);
    qel::GammaRamp half;
    for (int i = 0; i < 256; ++i) half.red[i] = half.green[i] = half.blue[i] = std::uint16_t(i * 128);
    EXPECT_FALSE(d.HasGammaControl());
    EXPECT_FALSE(d.SetGammaRamp(half));
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x808080u);

    window->SetFullScreen(true);
    ASSERT_TRUE(d.HasGammaControl());
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x808080u) << "a new display starts at identity";
    EXPECT_TRUE(d.SetGammaRamp(half));
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x404040u);
    EXPECT_EQ(d.BackBuffer().GetRawPixel(0, 0), 0x808080u) << "the ramp never changes the back buffer";
    qel::GammaRamp redOnly = qel::GammaRamp::Identity();
    redOnly.green.fill(0);
    redOnly.blue.fill(0);
    d.SetGammaRamp(redOnly);
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x7F0000u);
    d.SetGammaRamp(qel::GammaRamp::Identity());
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x808080u) << "the engine's normal ramp shows colours unchanged";

    d.SetGammaRamp(half);
    window->SetFullScreen(false);
    d.Present();
    EXPECT_EQ(d.LastFrame()[0], 0x808080u) << "windowed: no gamma";
}

// What the window's output holds after a present, read back from its renderer.
std::vector<std::uint32_t> Shown(HWND window, int& width, int& height) {
    SDL_Renderer* renderer = SDL_GetRenderer(qel::SystemWindow(window));
    width = height = 0;
    if (!renderer || SDL_GetRendererOutputSize(renderer, &width, &height) != 0) return {};
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4) != 0) return {};
    for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

// Windowed, the frame covers the whole output; letterboxed in full screen,
// the bars around it are black whatever the output held before.
TEST_F(DisplayFixture, TheOutputShowsTheFrameAndBlackBarsOnly) {
    Display& d = Make(32);
    d.BackBuffer().Fill(nullptr, 0xFFFFFF);
    d.Present();
    int w = 0, h = 0;
    std::vector<std::uint32_t> shown = Shown(window, w, h);
    ASSERT_EQ(shown.size(), std::size_t(w) * std::size_t(h));
    ASSERT_FALSE(shown.empty());
    for (std::uint32_t p : shown) ASSERT_EQ(p, 0xFFFFFFu);

    d.BackBuffer().Fill(nullptr, 0x336699);
    d.Present();
    shown = Shown(window, w, h);
    for (std::uint32_t p : shown) ASSERT_EQ(p, 0x336699u) << "the last frame replaces the one before";

    window->SetFullScreen(true);
    // Whatever was drawn there before (a dialog, an earlier mode).
    SDL_Renderer* renderer = SDL_GetRenderer(qel::SystemWindow(window));
    ASSERT_NE(renderer, nullptr);
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
    d.Present();
    shown = Shown(window, w, h);
    ASSERT_EQ(shown.size(), std::size_t(w) * std::size_t(h));
    const qel::FrameRect fit = qel::LetterboxRect(w, h, 8, 4);
    ASSERT_TRUE(fit.width < w || fit.height < h) << "the test needs an output of another aspect than 2:1";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inside = x >= fit.x && x < fit.x + fit.width && y >= fit.y && y < fit.y + fit.height;
            ASSERT_EQ(shown[std::size_t(y) * std::size_t(w) + std::size_t(x)], inside ? 0x336699u : 0u)
                << "at (" << x << ", " << y << ") of " << w << " x " << h;
        }
}

TEST(Display, FullScreenShowsTheWholeFrameScaledWithItsAspect) {
    struct Case {
        int outW, outH, frameW, frameH;
        qel::FrameRect shown;
    };
    const Case cases[] = {
        {1024, 768, 640, 480, {0, 0, 1024, 768}},      // same aspect: filled
        {1920, 1080, 640, 480, {240, 0, 1440, 1080}},  // wider: bars left and right
        {1280, 1024, 640, 480, {0, 32, 1280, 960}},    // taller: bars above and below
        {640, 480, 640, 480, {0, 0, 640, 480}},
        {320, 200, 640, 480, {27, 0, 266, 200}},     // smaller than the frame: scaled down
        {1366, 768, 640, 480, {171, 0, 1024, 768}},  // an odd bar width: centred, truncated
        {0, 0, 640, 480, {0, 0, 0, 0}},              // no output yet
        {800, 600, 0, 0, {0, 0, 800, 600}},
    };
    for (const Case& c : cases) {
        const qel::FrameRect r = qel::LetterboxRect(c.outW, c.outH, c.frameW, c.frameH);
        EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
                  (std::vector<int>{c.shown.x, c.shown.y, c.shown.width, c.shown.height}))
            << c.outW << "x" << c.outH << " showing " << c.frameW << "x" << c.frameH;
    }
}

TEST_F(DisplayFixture, PresentationsAreCountedAndLostIsOnlyATestHook) {
    Display& d = Make(16);
    EXPECT_EQ(d.PresentCount(), 0u);
    d.Present();
    d.Present();
    d.Repaint();
    d.FlipToGdiSurface();
    EXPECT_EQ(d.PresentCount(), 2u);
    qel::Surface::ForceLostForTests(1);
    EXPECT_EQ(d.Present(), qel::BlitResult::Lost);
    EXPECT_EQ(d.PresentCount(), 2u);
    EXPECT_EQ(d.Present(), qel::BlitResult::Ok);
    EXPECT_EQ(d.PresentCount(), 3u);
}

TEST_F(DisplayFixture, PresentingAfterTheWindowIsGoneIsHarmless) {
    Display& d = Make(32);
    qel::DestroyWindow(window);
    EXPECT_EQ(d.Present(), qel::BlitResult::Ok);
    d.Repaint();
    EXPECT_FALSE(d.HasGammaControl());
    window = nullptr;
}

}  // namespace
