#include <memory>
#include <vector>

#include "SpriteFixture.h"
#include "display/DisplayInternal.h"
#include "platform/Surface.h"

namespace {

constexpr std::uint32_t K = 0x00FF00, A = 0xA, B = 0xB, C = 0xC, D = 0xD, Z = 0x0;

// A 3 x 2 image, rows top to bottom.
std::unique_ptr<qel::Surface> Image(std::vector<std::vector<std::uint32_t>> rows) {
    auto s = qel::Surface::Create(3, 2, 32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) s->SetRawPixel(x, y, rows[y][x]);
    s->SetColorKey(K);
    return s;
}

}  // namespace

class SpriteDrawingTest : public SpriteTest {
protected:
    void SetUp() override {
        SpriteTest::SetUp();
        buffer = qel::Surface::Create(16, 4, 32);
        buffer->SetClipRect(QelRect{0, 0, 16, 4});
        pBackBuffer = buffer.get();
        FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
        f.Width = 3;
        f.Height = 2;
        f.HasHFlip = f.HasVFlip = true;
        images.push_back(Image({{K, D, C}, {B, K, A}}));  // both flips
        images.push_back(Image({{B, K, A}, {K, D, C}}));  // horizontal
        images.push_back(Image({{C, D, K}, {A, K, B}}));  // vertical
        images.push_back(Image({{A, K, B}, {C, D, K}}));  // unflipped
        for (int i = 0; i < 4; ++i) f.Surfaces[i] = images[i].get();
    }

    void TearDown() override {
        FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
        for (int i = 0; i < 4; ++i) f.Surfaces[i] = nullptr;
        pBackBuffer = nullptr;
        SpriteTest::TearDown();
    }

    // Sprites at x 0, 4, 8 and 14 (partly off-screen), row 1, flipped none,
    // H, V and both.
    void DrawFourFlips() {
        const bool flips[4][2] = {{false, false}, {true, false}, {false, true}, {true, true}};
        const float xs[4] = {0, 4, 8, 14};
        for (int i = 0; i < 4; ++i) {
            Sprite s;
            s.ActorIndex(Walker);
            s.AutoFlip(false);
            s.HFlip(flips[i][0]);
            s.VFlip(flips[i][1]);
            s.FlipSet();
            s.MapPosition(xs[i], 1, false);
            s.UpdateAnimation();
            s.DisplaySprite();
        }
    }

    std::vector<std::vector<std::uint32_t>> Pixels() const {
        std::vector<std::vector<std::uint32_t>> rows(4, std::vector<std::uint32_t>(16));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) rows[y][x] = buffer->GetRawPixel(x, y);
        return rows;
    }

    std::unique_ptr<qel::Surface> buffer;
    std::vector<std::unique_ptr<qel::Surface>> images;
};

TEST_F(SpriteDrawingTest, FourFlipsWithColourKeyMatchTheGoldenImage) {
    SpriteList[Walker].Animations[0].Frames[0].UseColorKey = true;
    DrawFourFlips();
    const std::vector<std::vector<std::uint32_t>> golden = {
        {Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z},
        {A, Z, B, Z, B, Z, A, Z, C, D, Z, Z, Z, Z, Z, D},
        {C, D, Z, Z, Z, D, C, Z, A, Z, B, Z, Z, Z, B, Z},
        {Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z},
    };
    EXPECT_EQ(Pixels(), golden);
}

TEST_F(SpriteDrawingTest, WithoutColourKeyTheKeyPixelsAreDrawn) {
    DrawFourFlips();
    const std::vector<std::vector<std::uint32_t>> golden = {
        {Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z},
        {A, K, B, Z, B, K, A, Z, C, D, K, Z, Z, Z, K, D},
        {C, D, K, Z, K, D, C, Z, A, K, B, Z, Z, Z, B, K},
        {Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z, Z},
    };
    EXPECT_EQ(Pixels(), golden);
}

TEST_F(SpriteDrawingTest, InvisibleSpriteStillShowsItsBoxButNoImage) {
    FrameElem& f = SpriteList[Walker].Animations[0].Frames[0];
    f.Box = tagRECT{0, 0, 3, 3};
    Sprite s;
    s.ActorIndex(Walker);
    s.MapPosition(4, 1, false);
    s.Visible(false);
    s.ShowSpriteBoundingBox(true);
    s.DisplaySprite();
    EXPECT_EQ(buffer->GetRawPixel(4, 1), buffer->MapColor(0xFFFFFF));
    EXPECT_EQ(buffer->GetRawPixel(5, 2), Z);  // inside the box nothing of the image
    _IsSuspended = true;
    s.MapPosition(10, 1, false);
    s.DisplaySprite();
    _IsSuspended = false;
    EXPECT_EQ(buffer->GetRawPixel(10, 1), Z);
}
