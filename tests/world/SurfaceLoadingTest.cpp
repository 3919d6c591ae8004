#include <gtest/gtest.h>

#include "WorldFixture.h"
#include "display/GeometricsDrawn.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Resources.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteListInternal.h"

extern const qel::ResourceTable worldTestResources;

namespace {

using SurfaceLoading = WorldFixture;

constexpr COLORREF kKey = 0xDC00FF;  // COLORREF of red 0xFF, green 0x00, blue 0xDC

// A 6 x 4 picture: key pixels in column 0, near-key in column 1, ids elsewhere.
std::uint32_t KeyedPicture(int x, int y) {
    if (x == 0) return 0xFF00DC;  // the key as 0x00RRGGBB
    if (x == 1) return 0xFF00DB;  // one step off the key in blue
    return IdColour(x, y);
}

TEST_F(SurfaceLoading, ColourKeyRoundTripsAtEveryDepth) {
    Bitmap("keyed.bmp", 6, 4, KeyedPicture);
    for (int depth : {32, 24, 16}) {
        displayDepth = depth;
        qel::Surface* s = LoadImageFile(nullptr, "keyed.bmp", kKey);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Width(), 6);
        EXPECT_EQ(s->ColorKey(), ColorMatch(s, kKey));
        if (depth == 16) {
            EXPECT_EQ(ColorMatch(s, kKey), 0xF81Bu);
        }
        auto target = qel::Surface::Create(6, 4, depth);
        const std::uint32_t background = target->MapColor(0x00FF00);
        target->Fill(nullptr, background);
        target->Blit(QelRect{0, 0, 6, 4}, *s, QelRect{0, 0, 6, 4}, qel::BlitSourceKey);
        for (int y = 0; y < 4; ++y) {
            EXPECT_EQ(target->GetRawPixel(0, y), background) << depth;
            // At 16 bits the near-key colour packs to the key's value and turns
            // transparent too; at 24 and 32 bits it stays.
            EXPECT_EQ(target->GetRawPixel(1, y) == background, depth == 16) << depth;
            EXPECT_NE(target->GetRawPixel(3, y), background) << depth;
        }
        ReleaseSurface(s);
        EXPECT_EQ(s, nullptr);
    }
}

TEST_F(SurfaceLoading, LookupOrderAndMissingImages) {
    Bitmap("both.bmp", 5, 5);
    qel::SetProgramResources(&worldTestResources);
    qel::Surface* s = LoadImageFile(nullptr, "both.bmp", 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Width(), 3) << "the program's resource comes first";
    ReleaseSurface(s);
    qel::SetProgramResources(nullptr);
    EXPECT_EQ(GetBmpWidth(const_cast<char*>("both.bmp")), 5);
    EXPECT_EQ(GetBmpHeight(const_cast<char*>("both.bmp")), 5);
    EXPECT_EQ(LoadImageFile(nullptr, "missing.bmp", 0), nullptr);
    EXPECT_EQ(GetBmpWidth(const_cast<char*>("missing.bmp")), 32);
    EXPECT_EQ(GetBmpHeight(nullptr), 32);
}

class ActorSurfaces : public WorldFixture {
protected:
    void TearDown() override {
        EmptyActorTable();
        WorldFixture::TearDown();
    }
    FrameElem& OneFrame(int slot, const char* file, int w, int h, bool hflip, bool vflip) {
        SpriteElem& s = SpriteList[slot];
        s.AnimationCount = 1;
        s.Animations = new AnimationElem[1];
        s.Animations[0].FrameCount = 1;
        s.Animations[0].Frames = new FrameElem[1];
        FrameElem& f = s.Animations[0].Frames[0];
        f.FileName = file;
        f.Width = w;
        f.Height = h;
        f.HasHFlip = hflip;
        f.HasVFlip = vflip;
        f.TransparentColor = kKey;
        return f;
    }
};

TEST_F(ActorSurfaces, MirroredCopiesArePixelExact) {
    Bitmap("actor.bmp", 7, 5);
    FrameElem& f = OneFrame(3, "actor.bmp", 6, 4, true, true);  // the top-left 6 x 4
    LoadActorSurfaces();
    const qel::Surface* plain = f.Surfaces[FrameElem::Unflipped];
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Width(), 7) << "the image keeps its own size";
    const struct {
        int index;
        bool h, v;
    } variants[] = {
        {FrameElem::HorizontalFlip, true, false},
        {FrameElem::VerticalFlip, false, true},
        {FrameElem::BothFlips, true, true},
    };
    for (const auto& v : variants) {
        const qel::Surface* m = f.Surfaces[v.index];
        ASSERT_NE(m, nullptr) << v.index;
        ASSERT_EQ(m->Width(), 6);
        ASSERT_EQ(m->Height(), 4);
        EXPECT_EQ(m->ColorKey(), plain->ColorKey());
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(m->GetRawPixel(x, y), plain->GetRawPixel(v.h ? 5 - x : x, v.v ? 3 - y : y))
                    << "variant " << v.index << " at " << x << "," << y;
    }
    // A second load makes nothing new.
    qel::Surface* before[4];
    for (int i = 0; i < 4; ++i) before[i] = f.Surfaces[i];
    LoadActorSurfaces();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.Surfaces[i], before[i]);
    ReleaseActorSurfaces();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.Surfaces[i], nullptr);
}

TEST_F(ActorSurfaces, FlippedFramesWithoutAnImageOrASizeMakeNoCopies) {
    FrameElem& missing = OneFrame(0, "missing.bmp", 8, 8, true, true);
    Bitmap("tiny.bmp", 4, 4);
    FrameElem& zero = OneFrame(1, "tiny.bmp", 0, 4, true, true);
    SpriteList[2].AnimationCount = 1;
    SpriteList[2].Animations = new AnimationElem[1];  // an animation without frames
    LoadActorSurfaces();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(missing.Surfaces[i], nullptr) << i;
    EXPECT_NE(zero.Surfaces[FrameElem::Unflipped], nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zero.Surfaces[i], nullptr) << i;
}

TEST_F(SurfaceLoading, LinesAndCirclesInWorldCoordinates) {
    ResetView(100, 50);
    ClearBack(0);
    GeometricsDrawn draw;
    draw.Line(100, 50, 110, 50, 0xFFFFFF);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Pixel(x, 0), 0xFFFFFFu) << x;
    EXPECT_EQ(Pixel(10, 0), 0u) << "the end pixel is not drawn";

    ClearBack(0);
    draw.Line(105, 50, 0x0000FF);  // from the screen's top-left corner
    EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(4, 0), 0xFF0000u);

    ClearBack(0);
    draw.Circle(120, 70, 10, 0x00FF00);  // box (10,10)-(30,30) on screen
    int drawn = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            if (Pixel(x, y) == 0) continue;
            ++drawn;
            EXPECT_TRUE(x >= 10 && x < 30 && y >= 10 && y < 30) << x << "," << y;
            EXPECT_NE(Pixel(39 - x, y), 0u) << "mirror of " << x << "," << y;
            EXPECT_NE(Pixel(x, 39 - y), 0u) << "mirror of " << x << "," << y;
        }
    EXPECT_GT(drawn, 40);

    ClearBack(0);
    ResetView(0, 0);
    draw.Line(-1e6f, 5, 1e6f, 5, 0xFFFFFF);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(Pixel(x, 5), 0xFFFFFFu) << x;
    EXPECT_EQ(Pixel(0, 4), 0u);
    EXPECT_EQ(Pixel(0, 6), 0u);
}

}  // namespace
