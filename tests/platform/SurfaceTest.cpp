#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Palette.h"
#include "platform/Surface.h"

namespace {

using qel::BlitResult;
using qel::Surface;

// A w x h surface whose pixel (x, y) holds the raw value 1 + x + 10 * y.
std::unique_ptr<Surface> Numbered(int w, int h, int bpp) {
    auto s = Surface::Create(w, h, bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s->SetRawPixel(x, y, std::uint32_t(1 + x + 10 * y));
    return s;
}

std::vector<std::uint32_t> Pixels(const Surface& s) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) out.push_back(s.GetRawPixel(x, y));
    return out;
}

TEST(Surface, ColorrefMapsToRawPixelsPerDepth) {
    struct Case {
        int bpp;
        COLORREF colour;
        std::uint32_t raw;
    };
    const Case cases[] = {
        {16, 0x00FFFFFF, 0xFFFF},
        {16, 0x000000FF, 0xF800},
        {16, 0x0000FF00, 0x07E0},
        {16, 0x00FF0000, 0x001F},
        {16, 0x00DC00FF, 0xF81B},
        {16, 0x00070307, 0x0000},
        {16, 0x00080408, 0x0821},
        {24, 0x00112233, 0x332211},
        {24, 0x00DC00FF, 0xFF00DC},
        {32, 0x00112233, 0x00332211},
        {32, 0x00FFFFFF, 0x00FFFFFF},
        {32, 0, 0},
        {16, qel::InvalidColor, qel::InvalidColor},
        {32, qel::InvalidColor, qel::InvalidColor},
    };
    for (const Case& c : cases) {
        auto s = Surface::Create(2, 2, c.bpp);
        EXPECT_EQ(s->MapColor(c.colour), c.raw) << c.bpp << " bits, colour " << std::hex << c.colour;
    }
}

TEST(Surface, EightBitColoursMapToTheNearestSharedPaletteEntry) {
    qel::PaletteEntries entries{};
    entries[3] = {255, 0, 0, 0};
    entries[7] = {0, 0, 250, 0};
    entries[9] = {0, 0, 250, 0};  // same colour again: the lower index wins
    qel::SetDisplayPalette(entries);
    auto s = Surface::Create(2, 2, 8);
    EXPECT_EQ(s->MapColor(0x000000F0), 3u);  // near red
    EXPECT_EQ(s->MapColor(0x00FF0000), 7u);  // blue
    EXPECT_EQ(s->MapColor(0x00000000), 0u);  // black entries: the first one
    EXPECT_EQ(s->RawToColor(3), 0x000000FFu);
    qel::SetDisplayPalette({});
}

TEST(Surface, FormatsDescribeTheirMasksAndRejectOtherDepths) {
    auto s16 = Surface::Create(3, 1, 16);
    EXPECT_EQ(s16->Format().redMask, 0xF800u);
    EXPECT_EQ(s16->Format().greenMask, 0x07E0u);
    EXPECT_EQ(s16->Format().blueMask, 0x001Fu);
    auto s24 = Surface::Create(3, 1, 24);
    EXPECT_EQ(s24->Format().redMask, 0xFF0000u);
    s24->SetRawPixel(0, 0, 0x332211);
    EXPECT_EQ(s24->Pixels()[0], 0x11);  // blue byte first
    EXPECT_EQ(s24->Pixels()[2], 0x33);
    EXPECT_EQ(s24->Pitch() % 4, 0);
    for (int bad : {0, 1, 15, 31, 64}) EXPECT_EQ(Surface::Create(4, 4, bad), nullptr) << bad;
    EXPECT_EQ(Surface::Create(0, 4, 32), nullptr);
    EXPECT_EQ(Surface::Create(4, -1, 32), nullptr);
    EXPECT_EQ(Pixels(*Surface::Create(2, 2, 32)), std::vector<std::uint32_t>(4, 0));
}

TEST(Surface, CopiesArePixelExactWithAndWithoutTheSourceKey) {
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        // Source 3 x 2: keyed value 5 in two places.
        auto src = Surface::Create(3, 2, bpp);
        const std::uint32_t pattern[6] = {1, 5, 2, 3, 4, 5};
        for (int i = 0; i < 6; ++i) src->SetRawPixel(i % 3, i / 3, pattern[i]);
        src->SetColorKey(5);

        auto plain = Surface::Create(4, 3, bpp);
        plain->Fill(nullptr, 9);
        EXPECT_EQ(plain->Blit({1, 1, 4, 3}, *src, {0, 0, 3, 2}), BlitResult::Ok);
        EXPECT_EQ(Pixels(*plain), (std::vector<std::uint32_t>{9, 9, 9, 9, 9, 1, 5, 2, 9, 3, 4, 5}));

        auto keyed = Surface::Create(4, 3, bpp);
        keyed->Fill(nullptr, 9);
        EXPECT_EQ(keyed->Blit({1, 1, 4, 3}, *src, {0, 0, 3, 2}, qel::BlitSourceKey), BlitResult::Ok);
        EXPECT_EQ(Pixels(*keyed), (std::vector<std::uint32_t>{9, 9, 9, 9, 9, 1, 9, 2, 9, 3, 4, 9}));
    }
}

TEST(Surface, KeyFlagWithoutAKeyCopiesEverything) {
    auto src = Numbered(2, 1, 32);
    auto dst = Surface::Create(2, 1, 32);
    EXPECT_EQ(dst->Blit({0, 0, 2, 1}, *src, {0, 0, 2, 1}, qel::BlitSourceKey), BlitResult::Ok);
    EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{1, 2}));
}

TEST(Surface, EightBitCopiesKeepRawIndicesWhateverThePalette) {
    qel::PaletteEntries entries{};
    entries[200] = {1, 2, 3, 0};
    qel::SetDisplayPalette(entries);
    auto src = Surface::Create(2, 1, 8);
    src->SetRawPixel(0, 0, 200);
    src->SetRawPixel(1, 0, 17);
    auto dst = Surface::Create(2, 1, 8);
    dst->Blit({0, 0, 2, 1}, *src, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{200, 17}));
    qel::SetDisplayPalette({});
}

TEST(Surface, MirroredCopies) {
    struct Case {
        std::uint32_t flags;
        std::vector<std::uint32_t> expected;
    };
    // Source rows: 1 2 3 / 11 12 13.
    const Case cases[] = {
        {qel::BlitMirrorLeftRight, {3, 2, 1, 13, 12, 11}},
        {qel::BlitMirrorUpDown, {11, 12, 13, 1, 2, 3}},
        {qel::BlitMirrorLeftRight | qel::BlitMirrorUpDown, {13, 12, 11, 3, 2, 1}},
    };
    for (int bpp : {8, 16, 24, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << bpp << " bits, flags " << c.flags);
            auto src = Numbered(3, 2, bpp);
            auto dst = Surface::Create(3, 2, bpp);
            EXPECT_EQ(dst->Blit({0, 0, 3, 2}, *src, {0, 0, 3, 2}, c.flags), BlitResult::Ok);
            EXPECT_EQ(Pixels(*dst), c.expected);
        }
    }
}

TEST(Surface, MirroredCopyKeepsKeyPixelsAndKeyedMirrorSkipsThem) {
    auto src = Numbered(3, 1, 32);
    src->SetColorKey(1);
    auto raw = Surface::Create(3, 1, 32);
    raw->Blit({0, 0, 3, 1}, *src, {0, 0, 3, 1}, qel::BlitMirrorLeftRight);
    EXPECT_EQ(Pixels(*raw), (std::vector<std::uint32_t>{3, 2, 1}));
    auto keyed = Surface::Create(3, 1, 32);
    keyed->Blit({0, 0, 3, 1}, *src, {0, 0, 3, 1}, qel::BlitMirrorLeftRight | qel::BlitSourceKey);
    EXPECT_EQ(Pixels(*keyed), (std::vector<std::uint32_t>{3, 2, 0}));
}

TEST(Surface, InvalidRectanglesDrawNothing) {
    struct Case {
        const char* what;
        QelRect dst;
        QelRect src;
    };
    const Case cases[] = {
        {"source past the right edge", {0, 0, 3, 2}, {1, 0, 4, 2}},
        {"source above the top", {0, 0, 3, 2}, {0, -1, 3, 1}},
        {"empty source and destination", {1, 1, 1, 1}, {0, 0, 0, 0}},
        {"inverted rectangles", {3, 2, 0, 0}, {3, 2, 0, 0}},
        {"different sizes (no stretching)", {0, 0, 4, 3}, {0, 0, 3, 2}},
        {"destination outside a surface without clip", {2, 2, 5, 4}, {0, 0, 3, 2}},
        {"destination left of a surface without clip", {-1, 0, 2, 2}, {0, 0, 3, 2}},
    };
    for (const Case& c : cases) {
        auto src = Numbered(3, 2, 32);
        auto dst = Surface::Create(4, 3, 32);
        EXPECT_EQ(dst->Blit(c.dst, *src, c.src), BlitResult::InvalidRect) << c.what;
        EXPECT_EQ(Pixels(*dst), std::vector<std::uint32_t>(12, 0)) << c.what;
    }
    auto a = Surface::Create(2, 2, 32);
    auto b = Surface::Create(2, 2, 16);
    EXPECT_EQ(a->Blit({0, 0, 2, 2}, *b, {0, 0, 2, 2}), BlitResult::InvalidRect) << "depths differ";
}

TEST(Surface, ClipRectangleCutsTheDestinationAndShiftsTheSource) {
    struct Case {
        const char* what;
        QelRect dst;
        std::uint32_t flags;
        std::vector<std::uint32_t> expected;
    };
    // Source 3 x 2 numbered; destination 3 x 3 with clip (0, 0, 3, 3), zero-filled.
    const Case cases[] = {
        {"hanging off the left and top", {-1, -1, 2, 1}, 0, {12, 13, 0, 0, 0, 0, 0, 0, 0}},
        {"hanging off the right and bottom", {2, 2, 5, 4}, 0, {0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"mirrored, hanging off the left", {-1, 0, 2, 2}, qel::BlitMirrorLeftRight, {2, 1, 0, 12, 11, 0, 0, 0, 0}},
        {"mirrored up-down, off the bottom", {0, 2, 3, 4}, qel::BlitMirrorUpDown, {0, 0, 0, 0, 0, 0, 11, 12, 13}},
        {"wholly outside: nothing, but no error", {5, 5, 8, 7}, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto src = Numbered(3, 2, 32);
        auto dst = Surface::Create(3, 3, 32);
        dst->SetClipRect({0, 0, 3, 3});
        EXPECT_EQ(dst->Blit(c.dst, *src, {0, 0, 3, 2}, c.flags), BlitResult::Ok) << c.what;
        EXPECT_EQ(Pixels(*dst), c.expected) << c.what;
    }
}

TEST(Surface, FillsRespectRectanglesAndClip) {
    auto s = Surface::Create(3, 2, 16);
    EXPECT_EQ(s->Fill(nullptr, 0xABCD), BlitResult::Ok);
    EXPECT_EQ(Pixels(*s), std::vector<std::uint32_t>(6, 0xABCD));
    QelRect part{1, 0, 3, 1};
    EXPECT_EQ(s->Fill(&part, 7), BlitResult::Ok);
    EXPECT_EQ(Pixels(*s), (std::vector<std::uint32_t>{0xABCD, 7, 7, 0xABCD, 0xABCD, 0xABCD}));
    QelRect outside{2, 1, 4, 2};
    EXPECT_EQ(s->Fill(&outside, 1), BlitResult::InvalidRect);
    QelRect empty{1, 1, 1, 2};
    EXPECT_EQ(s->Fill(&empty, 1), BlitResult::InvalidRect);
    s->SetClipRect({0, 0, 3, 2});
    EXPECT_EQ(s->Fill(&outside, 1), BlitResult::Ok);
    EXPECT_EQ(Pixels(*s), (std::vector<std::uint32_t>{0xABCD, 7, 7, 0xABCD, 0xABCD, 1}));
}

TEST(Surface, CopyOntoItselfWithOverlap) {
    auto s = Numbered(4, 1, 32);
    EXPECT_EQ(s->Blit({1, 0, 4, 1}, *s, {0, 0, 3, 1}), BlitResult::Ok);
    EXPECT_EQ(Pixels(*s), (std::vector<std::uint32_t>{1, 1, 2, 3}));
    auto m = Numbered(4, 1, 32);
    EXPECT_EQ(m->Blit({0, 0, 3, 1}, *m, {1, 0, 4, 1}, qel::BlitMirrorLeftRight), BlitResult::Ok);
    EXPECT_EQ(Pixels(*m), (std::vector<std::uint32_t>{4, 3, 2, 4}));
}

TEST(Surface, ForcedLostAnswersLostOnceAndDrawsNothing) {
    auto src = Numbered(2, 1, 32);
    auto dst = Surface::Create(2, 1, 32);
    Surface::ForceLostForTests(1);
    EXPECT_EQ(dst->Blit({0, 0, 2, 1}, *src, {0, 0, 2, 1}), BlitResult::Lost);
    EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{0, 0}));
    EXPECT_EQ(dst->Blit({0, 0, 2, 1}, *src, {0, 0, 2, 1}), BlitResult::Ok);
    EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{1, 2}));
}

TEST(Surface, LockGivesStablePointerAndPitch) {
    auto s = Surface::Create(5, 3, 24);
    std::int32_t pitch = 0;
    std::uint8_t* p = s->Lock(&pitch);
    EXPECT_TRUE(s->IsLocked());
    EXPECT_EQ(pitch, 16);  // 15 bytes rounded up to 4
    p[pitch * 2 + 3] = 0x44;
    s->Unlock();
    EXPECT_FALSE(s->IsLocked());
    EXPECT_EQ(s->GetRawPixel(1, 2), 0x44u);
    EXPECT_EQ(s->Lock(), p);
    s->Unlock();
}

}  // namespace

namespace {

// A keyed copy from a surface without key pixels copies whole rows; once a
// key pixel appears, however it got there, the next keyed copy leaves it out.
TEST(Surface, KeyedCopiesSeeKeyPixelsAddedAfterAnEarlierCopy) {
    constexpr std::uint32_t key = 7;
    struct Case {
        const char* how;
        void (*addKey)(Surface& s);
    };
    const Case cases[] = {
        {"set pixel", [](Surface& s) { s.SetRawPixel(1, 0, key); }},
        {"locked write",
         [](Surface& s) {
             std::int32_t pitch = 0;
             std::uint8_t* p = s.Lock(&pitch);
             p[s.BytesPerPixel()] = std::uint8_t(key);
             s.Unlock();
         }},
        {"fill",
         [](Surface& s) {
             const QelRect one{1, 0, 2, 1};
             s.Fill(&one, key);
         }},
        {"blit into it",
         [](Surface& s) {
             auto dot = Surface::Create(1, 1, s.BitsPerPixel());
             dot->SetRawPixel(0, 0, key);
             s.Blit({1, 0, 2, 1}, *dot, {0, 0, 1, 1});
         }},
        {"row write", [](Surface& s) { s.Row(0)[s.BytesPerPixel()] = std::uint8_t(key); }},
        {"new key", [](Surface& s) { s.SetColorKey(2); }},  // pixel (1, 0) holds 2
    };
    for (int bpp : {8, 16, 24, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.how) + " at " + std::to_string(bpp));
            auto src = Numbered(3, 1, bpp);  // 1, 2, 3
            src->SetColorKey(key);
            auto dst = Surface::Create(3, 1, bpp);
            ASSERT_EQ(dst->Blit({0, 0, 3, 1}, *src, {0, 0, 3, 1}, qel::BlitSourceKey), BlitResult::Ok);
            EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{1, 2, 3}));
            c.addKey(*src);
            dst->Fill(nullptr, 9);
            ASSERT_EQ(dst->Blit({0, 0, 3, 1}, *src, {0, 0, 3, 1}, qel::BlitSourceKey), BlitResult::Ok);
            EXPECT_EQ(Pixels(*dst), (std::vector<std::uint32_t>{1, 9, 3}));
        }
    }
}

}  // namespace

namespace {

// Large surfaces take memory that earlier ones gave back; each still starts
// zero-filled, whatever the earlier one held and whatever its size.
TEST(Surface, NewSurfacesStartZeroWhenTheirMemoryIsReused) {
    const int sides[][2] = {{700, 500}, {700, 500}, {300, 300}, {1000, 600}, {16, 16}};
    for (const auto& side : sides) {
        SCOPED_TRACE(std::to_string(side[0]) + " x " + std::to_string(side[1]));
        for (int bpp : {8, 32}) {
            auto s = Surface::Create(side[0], side[1], bpp);
            ASSERT_NE(s, nullptr);
            const std::uint8_t* bytes = s->Pixels();
            const std::size_t size = std::size_t(s->Pitch()) * std::size_t(side[1]);
            EXPECT_TRUE(std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; })) << bpp;
            s->Fill(nullptr, 0xFFFFFF);
        }
    }
}

}  // namespace

namespace {

// Every way of writing a surface, each on one of two surfaces sharing their
// pixels: the one written changes, the other keeps the picture they shared.
TEST(Surface, SharedPixelsStayTheOthersWhicheverSurfaceIsWritten) {
    struct Writer {
        const char* name;
        void (*write)(Surface& s);
    };
    const Writer writers[] = {
        {"SetRawPixel", [](Surface& s) { s.SetRawPixel(1, 1, 999); }},
        {"Row", [](Surface& s) { s.Row(1)[4] = 0xEE; }},
        {"Lock",
         [](Surface& s) {
             s.Lock()[0] = 0xEE;
             s.Unlock();
         }},
        {"Fill", [](Surface& s) { s.Fill(nullptr, 7); }},
        {"FillClipped",
         [](Surface& s) {
             s.FillClipped({0, 0, 2, 2}, 7);
         }},
        {"Blit",
         [](Surface& s) {
             const auto other = Surface::Create(2, 2, 32);
             s.Blit({0, 0, 2, 2}, *other, {0, 0, 2, 2});
         }},
    };
    for (const Writer& w : writers) {
        for (const bool writeTheCopy : {true, false}) {
            SCOPED_TRACE(std::string(w.name) + (writeTheCopy ? " on the copy" : " on the original"));
            auto original = Numbered(5, 4, 32);
            auto copy = Surface::SharingPixelsOf(*original);
            ASSERT_EQ(copy->Pixels(), original->Pixels());
            EXPECT_FALSE(copy->HasColorKey());
            const std::vector<std::uint32_t> before = Pixels(*original);
            Surface& written = writeTheCopy ? *copy : *original;
            Surface& kept = writeTheCopy ? *original : *copy;
            w.write(written);
            EXPECT_NE(written.Pixels(), kept.Pixels());
            EXPECT_EQ(Pixels(kept), before);
            EXPECT_NE(Pixels(written), before);
        }
    }
}

TEST(Surface, ASurfaceLockedWhenSharedGivesACopy) {
    auto original = Numbered(3, 3, 32);
    std::uint8_t* locked = original->Lock();
    auto copy = Surface::SharingPixelsOf(*original);
    EXPECT_NE(copy->Pixels(), original->Pixels());
    locked[0] = 0xEE;
    original->Unlock();
    EXPECT_EQ(copy->GetRawPixel(0, 0), 1u);
    EXPECT_NE(original->GetRawPixel(0, 0), 1u);
}

}  // namespace
