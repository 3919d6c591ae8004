#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/DrawContext.h"
#include "platform/Surface.h"

namespace {

using qel::DrawContext;
using qel::Surface;
using Points = std::set<std::pair<int, int>>;

constexpr COLORREF White = 0x00FFFFFF;

// The pixels of a 32-bit surface that are not 0.
Points Lit(const Surface& s) {
    Points out;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.GetRawPixel(x, y) != 0) out.insert({x, y});
    return out;
}

TEST(DrawContext, LinesLeaveOutTheirEndPixelAndMoveThePosition) {
    struct Case {
        QelPoint from, to;
        Points expected;
    };
    const Case cases[] = {
        {{0, 0}, {10, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}},
        {{3, 4}, {3, 1}, {{3, 4}, {3, 3}, {3, 2}}},
        {{1, 1}, {4, 4}, {{1, 1}, {2, 2}, {3, 3}}},
        {{4, 0}, {0, 2}, {{4, 0}, {3, 0}, {2, 1}, {1, 1}}},
        {{0, 0}, {1, 5}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}}},
        {{2, 2}, {2, 2}, {}},
    };
    for (const Case& c : cases) {
        auto s = Surface::Create(12, 6, 32);
        DrawContext dc(*s);
        dc.SetPen(White);
        dc.MoveTo(c.from.x, c.from.y);
        dc.LineTo(c.to.x, c.to.y);
        EXPECT_EQ(Lit(*s), c.expected) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
        EXPECT_EQ(dc.CurrentPosition().x, c.to.x);
        EXPECT_EQ(dc.CurrentPosition().y, c.to.y);
    }
}

TEST(DrawContext, LineFromAFreshContextStartsAtTheOrigin) {
    auto s = Surface::Create(4, 4, 32);
    DrawContext dc(*s);
    dc.SetPen(White);
    dc.LineTo(3, 0);
    dc.LineTo(3, 3);
    EXPECT_EQ(Lit(*s), (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}}));
}

TEST(DrawContext, LinesAreClippedToTheSurface) {
    auto s = Surface::Create(4, 3, 32);
    DrawContext dc(*s);
    dc.SetPen(White);
    dc.MoveTo(-1000000, 1);
    dc.LineTo(1000000, 1);
    EXPECT_EQ(Lit(*s), (Points{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
    auto t = Surface::Create(4, 4, 32);
    DrawContext dt(*t);
    dt.SetPen(White);
    dt.MoveTo(-2, -2);
    dt.LineTo(6, 6);
    EXPECT_EQ(Lit(*t), (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    dt.MoveTo(2000000000, -2000000000);
    dt.LineTo(-2000000000, 2000000000);  // far off: passes through, must not hang or write outside
}

TEST(DrawContext, PenColourGoesThroughTheSurfaceFormat) {
    auto s = Surface::Create(2, 1, 16);
    DrawContext dc(*s);
    dc.SetPen(0x000000FF);
    dc.LineTo(2, 0);
    EXPECT_EQ(s->GetRawPixel(0, 0), 0xF800u);
    EXPECT_EQ(s->GetRawPixel(1, 0), 0xF800u);
}

// Checks an ellipse outline drawn in the box: inside it, touching all four
// sides, symmetric both ways, and closed (each lit pixel has lit neighbours).
void ExpectEllipseOutline(const QelRect& box, const Points& lit) {
    ASSERT_FALSE(lit.empty());
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    for (auto [x, y] : lit) {
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        EXPECT_TRUE(lit.count({box.left + box.right - 1 - x, y})) << "left-right symmetry at " << x << "," << y;
        EXPECT_TRUE(lit.count({x, box.top + box.bottom - 1 - y})) << "up-down symmetry at " << x << "," << y;
        int neighbours = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if ((dx || dy) && lit.count({x + dx, y + dy})) ++neighbours;
        EXPECT_GE(neighbours, 2) << "gap at " << x << "," << y;
    }
    EXPECT_EQ(minX, box.left);
    EXPECT_EQ(maxX, box.right - 1);
    EXPECT_EQ(minY, box.top);
    EXPECT_EQ(maxY, box.bottom - 1);
}

TEST(DrawContext, EllipseOutlinesFitTheirBoxWithRightAndBottomExcluded) {
    const QelRect boxes[] = {{2, 2, 12, 12}, {1, 3, 20, 10}, {0, 0, 7, 16}, {5, 5, 8, 8}};
    for (const QelRect& box : boxes) {
        SCOPED_TRACE(testing::Message() << box.left << "," << box.top << "," << box.right << "," << box.bottom);
        auto s = Surface::Create(24, 20, 32);
        DrawContext dc(*s);
        dc.SetPen(White);
        dc.SetNullBrush();
        dc.Ellipse(box.left, box.top, box.right, box.bottom);
        Points lit = Lit(*s);
        ExpectEllipseOutline(box, lit);
        // The outline is hollow: the centre stays dark.
        EXPECT_FALSE(lit.count({(box.left + box.right) / 2, (box.top + box.bottom) / 2}));
    }
}

TEST(DrawContext, CircleOutlineHasTheRoundShape) {
    auto s = Surface::Create(11, 11, 32);
    DrawContext dc(*s);
    dc.SetPen(White);
    dc.SetNullBrush();
    dc.Ellipse(0, 0, 11, 11);
    Points lit = Lit(*s);
    // Extreme points in the middle of each side; corners stay dark.
    for (auto p : Points{{5, 0}, {0, 5}, {10, 5}, {5, 10}}) EXPECT_TRUE(lit.count(p));
    for (auto p : Points{{0, 0}, {10, 0}, {0, 10}, {10, 10}, {1, 1}}) EXPECT_FALSE(lit.count(p));
    // Every lit pixel lies about one radius from the centre.
    for (auto [x, y] : lit) {
        double d = std::hypot(x - 5.0, y - 5.0);
        EXPECT_NEAR(d, 5.0, 0.8) << x << "," << y;
    }
}

TEST(DrawContext, EllipseOffTheSurfaceIsClipped) {
    auto s = Surface::Create(6, 6, 32);
    DrawContext dc(*s);
    dc.SetPen(White);
    dc.SetNullBrush();
    dc.Ellipse(-10, -10, 12, 12);
    for (auto [x, y] : Lit(*s)) EXPECT_TRUE(x >= 0 && y >= 0 && x < 6 && y < 6);
    dc.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);  // too large: skipped, not hung
}

TEST(DrawContext, RectangleWithPenAndBrushCoversTheHalfOpenBox) {
    auto s = Surface::Create(6, 5, 32);
    DrawContext dc(*s);
    dc.SetPen(0x000000FF);
    dc.SetBrush(0x0000FF00);
    dc.Rectangle(1, 1, 5, 4);
    std::string rows;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            std::uint32_t p = s->GetRawPixel(x, y);
            rows += p == 0 ? '.' : p == 0xFF0000 ? 'R' : p == 0x00FF00 ? 'G' : '?';
        }
        rows += '/';
    }
    EXPECT_EQ(rows, "....../.RRRR./.RGGR./.RRRR./....../");
}

TEST(DrawContext, RegionFillRectangleMinusRectangle) {
    struct Case {
        const char* what;
        QelRect hole;
        int uncovered;
    };
    const Case cases[] = {
        {"hole in the middle", {2, 1, 5, 3}, 6},
        {"hole sticking out of the area", {4, -5, 100, 100}, 8},
        {"empty hole subtracts nothing", {3, 2, 3, 4}, 0},
        {"inverted hole subtracts nothing", {5, 3, 2, 1}, 0},
    };
    for (const Case& c : cases) {
        auto s = Surface::Create(6, 4, 32);
        DrawContext dc(*s);
        dc.FillRectMinusRect({0, 0, 6, 4}, c.hole, White);
        Points lit = Lit(*s);
        EXPECT_EQ(24 - int(lit.size()), c.uncovered) << c.what;
        for (auto [x, y] : lit)
            EXPECT_FALSE(x >= c.hole.left && x < c.hole.right && y >= c.hole.top && y < c.hole.bottom) << c.what;
    }
}

TEST(DrawContext, RegionFillRectangleMinusEllipse) {
    auto s = Surface::Create(20, 10, 32);
    DrawContext dc(*s);
    dc.FillRectMinusEllipse({0, 0, 20, 10}, {2, 1, 18, 9}, White);
    Points lit = Lit(*s);
    // Outside the ellipse's box everything is filled; its centre is not.
    for (int x = 0; x < 20; ++x) EXPECT_TRUE(lit.count({x, 0}) && lit.count({x, 9}));
    for (int y = 0; y < 10; ++y) EXPECT_TRUE(lit.count({0, y}) && lit.count({19, y}) && lit.count({1, y}));
    for (auto p : Points{{9, 4}, {10, 5}, {3, 4}, {16, 5}, {9, 1}, {10, 8}}) EXPECT_FALSE(lit.count(p));
    for (auto p : Points{{2, 1}, {17, 1}, {2, 8}, {17, 8}}) EXPECT_TRUE(lit.count(p)) << "box corner";
    for (auto [x, y] : lit) {
        EXPECT_TRUE(lit.count({19 - x, y}));
        EXPECT_TRUE(lit.count({x, 9 - y}));
    }
    // An empty ellipse subtracts nothing; an ellipse over the whole area fills only the corners.
    auto t = Surface::Create(8, 8, 32);
    DrawContext dt(*t);
    dt.FillRectMinusEllipse({0, 0, 8, 8}, {4, 4, 4, 4}, White);
    EXPECT_EQ(Lit(*t).size(), 64u);
}

TEST(DrawContext, BlackFillAndPixelsAreClipped) {
    auto s = Surface::Create(3, 3, 32);
    s->Fill(nullptr, 0x123456);
    DrawContext dc(*s);
    dc.FillBlack({-5, -5, 2, 1});
    dc.SetPixel(-1, 0, White);
    dc.SetPixel(3, 0, White);
    dc.SetPixel(2, 2, 0x00332211);
    EXPECT_EQ(s->GetRawPixel(0, 0), 0u);
    EXPECT_EQ(s->GetRawPixel(1, 0), 0u);
    EXPECT_EQ(s->GetRawPixel(2, 0), 0x123456u);
    EXPECT_EQ(s->GetRawPixel(0, 1), 0x123456u);
    EXPECT_EQ(s->GetRawPixel(2, 2), 0x112233u);
    EXPECT_EQ(DrawContext::LogPixels, 96);
}

}  // namespace
