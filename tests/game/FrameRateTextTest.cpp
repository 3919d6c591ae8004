// F11 shows the frame rate in every level: each level's "FPS" text, once
// shown, is drawn in its green at the top of a 640 x 480 screen.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "BuiltLevelFixture.h"
#include "levels/LevelData.h"

namespace {

class FrameRateTextTest : public gametest::BuiltLevelTest {};

Variable* FrameRateText(GameNode* level) {
    for (node* n = level->Variables().Head(); !n->EOList(); n = n->Next())
        if (std::strcmp(static_cast<Variable*>(n)->Name(), "FPS") == 0) return static_cast<Variable*>(n);
    return nullptr;
}

// Pixels of `colour` inside the rectangle, none outside it.
int PixelsOf(const qel::Surface& s, COLORREF colour, const QelRect& inside) {
    const std::uint32_t raw = s.MapColor(colour);
    int count = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            if (s.GetRawPixel(x, y) != raw) continue;
            const bool in = x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
            EXPECT_TRUE(in) << "text pixel outside its frame at " << x << "," << y;
            count += in;
        }
    return count;
}

TEST_F(FrameRateTextTest, IsDrawnInEveryLevelOnceShown) {
    auto screen = qel::Surface::Create(640, 480, 32);
    pBackBuffer = screen.get();
    for (int k = 0; k < nolt::LevelCount; ++k) {
        GameNode* level = Build(k);
        ASSERT_NE(level, nullptr) << k;
        SCOPED_TRACE(level->Name());
        Variable* fps = FrameRateText(level);
        ASSERT_NE(fps, nullptr);
        screen->Fill(nullptr, 0);
        *fps = "FPS = 62.50";
        fps->DisplayTextNoMap();
        EXPECT_EQ(PixelsOf(*screen, fps->Color(), fps->Frame()), 0) << "hidden until F11";
        fps->Visible(true);
        fps->DisplayTextNoMap();
        EXPECT_GT(PixelsOf(*screen, fps->Color(), fps->Frame()), 100);
        Leave();
    }
    pBackBuffer = back.get();
}

}  // namespace
