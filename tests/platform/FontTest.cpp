#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/DrawContext.h"
#include "platform/Font.h"
#include "platform/Surface.h"

namespace {

using qel::Font;
using qel::FontDesc;

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int count = 0;
};

// Bounding box of the pixels holding `raw`; every other pixel must hold `background`.
Box InkBox(const qel::Surface& s, std::uint32_t raw, std::uint32_t background) {
    Box b;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            std::uint32_t p = s.GetRawPixel(x, y);
            if (p == raw) {
                b.left = std::min(b.left, x), b.top = std::min(b.top, y);
                b.right = std::max(b.right, x + 1), b.bottom = std::max(b.bottom, y + 1);
                ++b.count;
            } else {
                EXPECT_EQ(p, background) << "stray pixel at " << x << "," << y;
            }
        }
    return b;
}

TEST(Font, FacesMapToTheirStandInsAndUnknownFacesFail) {
    for (const char* face : {"Arial", "Times New Roman", "Courier New", "Impact", "arial", "IMPACT", "DejaVu Sans"}) {
        auto f = Font::Create({face, -20});
        ASSERT_NE(f, nullptr) << face;
        EXPECT_EQ(f->Desc().faceName, face);
        EXPECT_TRUE(Font::ServesFace(face)) << face;
    }
    // Fontconfig offers its default face for these: it stands for none of them.
    for (const char* face : {"", "Arial Black", "Comic Sans MS", "No Such Face"}) {
        EXPECT_EQ(Font::Create({face, -20}), nullptr) << face;
        EXPECT_FALSE(Font::ServesFace(face)) << face;
    }
}

TEST(Font, ImpactIsACondensedBoldSansAtEveryWeight) {
    auto impact = Font::Create({"Impact", -20});
    auto light = Font::Create({"Impact", -20, 0, 100});
    auto narrowBold = Font::Create({"Liberation Sans Narrow", -20, 0, 700});
    auto arialBold = Font::Create({"Arial", -20, 0, 700});
    ASSERT_TRUE(impact && light && narrowBold && arialBold);
    const char* text = "Frames per second";
    const int width = impact->Measure(text, 17).width;
    EXPECT_EQ(width, narrowBold->Measure(text, 17).width);
    EXPECT_EQ(light->Measure(text, 17).width, width) << "one style, whatever the weight";
    EXPECT_LT(width, arialBold->Measure(text, 17).width) << "condensed";
}

TEST(Font, HeightsFollowTheLogicalFontRules) {
    auto em = Font::Create({"Arial", -20});
    auto cell = Font::Create({"Arial", 20});
    auto standard = Font::Create({"Arial", 0});
    ASSERT_TRUE(em && cell && standard);
    EXPECT_GT(em->CellHeight(), 20) << "negative: the character height; the cell is taller";
    EXPECT_LE(cell->CellHeight(), 20) << "positive: the cell height";
    EXPECT_GE(cell->CellHeight(), 18);
    EXPECT_GT(standard->CellHeight(), 10);
}

TEST(Font, PositiveHeightsGiveExactlyThatCell) {
    // Heights a whole-pixel em size cannot meet in one face or another.
    for (const char* face : {"Arial", "Times New Roman", "Courier New"})
        for (int height : {9, 10, 11, 18, 20, 21, 29, 42, 77}) {
            auto f = Font::Create({face, height});
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->CellHeight(), height) << face;
            EXPECT_EQ(f->Measure("Ag", 2).height, height) << face;
        }
}

TEST(Font, ExtremeSizesAreBoundedNotFatal) {
    auto tall = Font::Create({"Arial", INT32_MIN});
    ASSERT_NE(tall, nullptr);
    EXPECT_LE(tall->CellHeight(), 4096);
    auto wide = Font::Create({"Arial", -10, INT32_MAX});
    ASSERT_NE(wide, nullptr);
    auto s = qel::Surface::Create(8, 8, 32);
    wide->DrawChar(*s, 0, 0, 'W', 0xFFFFFF);  // a glyph of bounded size, clipped
    EXPECT_LE(wide->Measure("W", 1).width, 2048 * 4);
}

TEST(Font, MeasuresOneByteStringsAsTheSumOfTheirCharacters) {
    auto mono = Font::Create({"Courier New", -20});
    ASSERT_NE(mono, nullptr);
    qel::TextSize one = mono->Measure("W", 1);
    EXPECT_GT(one.width, 0);
    EXPECT_EQ(one.height, mono->CellHeight());
    EXPECT_EQ(mono->Measure("Wil.", 4).width, 4 * one.width) << "a fixed-pitch face";
    EXPECT_EQ(mono->Measure("", 0).width, 0);
    auto sans = Font::Create({"Arial", -20});
    EXPECT_GT(sans->Measure("W", 1).width, sans->Measure("i", 1).width);
    auto bold = Font::Create({"Arial", -20, 0, 700});
    EXPECT_GT(bold->Measure("Wide words", 10).width, sans->Measure("Wide words", 10).width);
    auto wide = Font::Create({"Arial", -20, 20});
    EXPECT_GT(wide->Measure("abc", 3).width, sans->Measure("abc", 3).width) << "a width stretches the glyphs";
}

// Fonts of one face and size share their measured advances: every other
// face, size or height rule measures its own, whatever was measured first.
TEST(Font, EachFaceAndSizeMeasuresItsOwnAdvances) {
    const char text[] = "Wide words";
    const int length = 10;
    const FontDesc descs[] = {{"Arial", -20},         {"Arial", -40},           {"Arial", 20},     {"Arial", 21},
                              {"Arial", -20, 0, 700}, {"Times New Roman", -20}, {"Arial", -20, 30}};
    std::int32_t alone[std::size(descs)];
    for (std::size_t i = 0; i < std::size(descs); ++i) {
        // Measured first by the only font of its kind so far: the process's
        // earlier fonts are of other faces and sizes.
        auto f = Font::Create(descs[i]);
        ASSERT_NE(f, nullptr) << i;
        alone[i] = f->Measure(text, length).width;
    }
    for (std::size_t i = 0; i < std::size(descs); ++i) {
        auto again = Font::Create(descs[i]);
        EXPECT_EQ(again->Measure(text, length).width, alone[i]) << i;
    }
    EXPECT_GT(alone[1], alone[0] * 3 / 2) << "twice the size, about twice as wide";
    EXPECT_NE(alone[2], alone[0]) << "a cell height is another size than the same character height";
    EXPECT_GT(alone[3], alone[2]);
    EXPECT_NE(alone[4], alone[0]);
    EXPECT_NE(alone[5], alone[0]);
    EXPECT_GT(alone[6], alone[0]) << "a width stretches the advances the size shares";
}

// The shared advances are remembered for a bounded number of faces and sizes:
// past that they start afresh, and fonts made before or after measure alike.
TEST(Font, MoreSizesThanAreRememberedStillMeasure) {
    const auto first = Font::Create({"Arial", -20});
    ASSERT_NE(first, nullptr);
    const std::int32_t width = first->Measure("Wide words", 10).width;
    for (int size = 1; size <= 300; ++size) ASSERT_NE(Font::Create({"Arial", -size}), nullptr) << size;
    EXPECT_EQ(first->Measure("Wide words", 10).width, width);
    EXPECT_EQ(Font::Create({"Arial", -20})->Measure("Wide words", 10).width, width);
}

TEST(Font, GlyphsLandInsideTheirCellOnATransparentBackground) {
    auto f = Font::Create({"Times New Roman", -24});
    ASSERT_NE(f, nullptr);
    const std::uint8_t characters[] = {'A', 'g', '#', 0x80 /* euro sign */, 0xE9 /* e acute */};
    for (std::uint8_t c : characters) {
        SCOPED_TRACE(int(c));
        auto s = qel::Surface::Create(80, 60, 32);
        s->Fill(nullptr, 0x0000FF);
        f->DrawChar(*s, 20, 10, c, 0x0000FF00);
        char text[1] = {char(c)};
        qel::TextSize cell = f->Measure(text, 1);
        Box ink = InkBox(*s, 0x00FF00, 0x0000FF);
        EXPECT_GT(ink.count, 10);
        EXPECT_GE(ink.left, 20 - 2);
        EXPECT_LE(ink.right, 20 + cell.width + 2);
        EXPECT_GE(ink.top, 10);
        EXPECT_LE(ink.bottom, 10 + cell.height);
    }
}

TEST(Font, DescendersAndCapitalsSitOnTheSameBaseline) {
    auto f = Font::Create({"Arial", -30});
    auto s = qel::Surface::Create(60, 60, 32);
    f->DrawChar(*s, 5, 5, 'H', 0xFFFFFF);
    Box h = InkBox(*s, 0xFFFFFF, 0);
    auto t = qel::Surface::Create(60, 60, 32);
    f->DrawChar(*t, 5, 5, 'p', 0xFFFFFF);
    Box p = InkBox(*t, 0xFFFFFF, 0);
    EXPECT_LT(h.top, p.top);
    EXPECT_GT(p.bottom, h.bottom);
}

TEST(Font, DrawingIsClippedAndRepeatsExactly) {
    auto f = Font::Create({"Arial", -16});
    auto s = qel::Surface::Create(10, 10, 16);
    for (int x : {-30, -5, 5, 9, 40}) f->DrawChar(*s, x, -4, 'M', 0xFFFFFF);
    auto a = qel::Surface::Create(30, 20, 32);
    auto b = qel::Surface::Create(30, 20, 32);
    f->DrawChar(*a, 3, 2, 'Q', 0x00FF00);
    f->DrawChar(*b, 3, 2, 'Q', 0x0000FF);  // from the cache, other colour
    f->DrawChar(*b, 3, 2, 'Q', 0x00FF00);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(a->GetRawPixel(x, y), b->GetRawPixel(x, y)) << x << "," << y;
}

TEST(Font, TextAtTheEdgesOfTheCoordinateRangeDrawsOnlyWhatFallsInside) {
    auto f = Font::Create({"Arial", -16});
    auto s = qel::Surface::Create(40, 20, 32);
    const std::string text(64, 'W');
    // The pen starts near either int32 limit: moving it on must neither wrap
    // round into the surface nor overflow.
    for (int x : {INT_MAX - 3, INT_MAX - 40, INT_MIN, INT_MIN + 5}) {
        s->Fill(nullptr, 0);
        f->DrawText(*s, x, 0, text.c_str(), std::int32_t(text.size()), 0xFFFFFF);
        EXPECT_EQ(InkBox(*s, s->MapColor(0xFFFFFF), 0).count, 0) << x;
    }
    s->Fill(nullptr, 0);
    f->DrawText(*s, 1, 0, text.c_str(), std::int32_t(text.size()), 0xFFFFFF);
    EXPECT_GT(InkBox(*s, s->MapColor(0xFFFFFF), 0).count, 0);
}

TEST(Font, DrawContextTextUsesTheSelectedOrDefaultFont) {
    auto s = qel::Surface::Create(200, 40, 32);
    qel::DrawContext dc(*s);
    std::int32_t w = 0, h = 0;
    ASSERT_TRUE(dc.TextExtent("Loading ...", 11, w, h));
    EXPECT_GT(w, 40);
    EXPECT_GT(h, 8);
    dc.SetTextColor(0x000000FF);
    dc.TextOut(0, 0, "Loading ...", 11);
    Box ink = InkBox(*s, 0xFF0000, 0);
    EXPECT_LE(ink.right, w + 1);
    EXPECT_LE(ink.bottom, h);
    auto mono = Font::Create({"Courier New", -10});
    dc.SelectFont(mono.get());
    ASSERT_TRUE(dc.TextExtent("ab", 2, w, h));
    EXPECT_EQ(w, mono->Measure("ab", 2).width);
}

}  // namespace
