#include <climits>

#include "TextFixture.h"

namespace {

using namespace texttest;

class TextScrollingTest : public TextTest {
protected:
    static constexpr tagRECT Untouched{-7, -7, -7, -7};

    // A scrolling text whose arrows' corner (R, B) is (100, 99).
    static void Scrollable(Variable& v, Variable::DisplayTypes type, const char* text) {
        Setup(v, text, type, QelRect{0, 0, 101, 100});
        for (tagRECT& r : v.m_ArrowRects) r = Untouched;
    }
    static bool Drawn(const tagRECT& r) {
        return r.left != Untouched.left || r.top != Untouched.top || r.right != Untouched.right ||
               r.bottom != Untouched.bottom;
    }
    static std::string ArrowsOf(const Variable& v) {
        std::string s;
        const char names[] = {'R', 'L', 'U', 'D'};
        for (int a = 0; a < 4; ++a)
            if (Drawn(v.m_ArrowRects[a])) s += names[a];
        return s;
    }
};

bool operator==(const tagRECT& a, const tagRECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(TextScrollingTest, ArrowHitRectanglesSitInTheFrameCorner) {
    struct Case {
        unsigned size;
        tagRECT right, left, up, down;
    } cases[] = {
        // R = 100, B = 99; q, h, t = S/4, S/2, 3S/4.
        {16, {96, 87, 100, 95}, {84, 87, 88, 95}, {88, 83, 96, 87}, {88, 95, 96, 99}},
        {8, {98, 93, 100, 97}, {92, 93, 94, 97}, {94, 91, 98, 93}, {94, 97, 98, 99}},
        {0, {100, 99, 100, 99}, {100, 99, 100, 99}, {100, 99, 100, 99}, {100, 99, 100, 99}},
    };
    for (const Case& c : cases) {
        Variable v;
        Scrollable(v, Variable::HVScrolling, "x");
        v.m_ArrowsSize = c.size;
        v.DrawRightArrow(0xFF);
        v.DrawLeftArrow(0xFF);
        v.DrawUpArrow(0xFF);
        v.DrawDownArrow(0xFF);
        EXPECT_TRUE(v.m_ArrowRects[0] == c.right) << c.size;
        EXPECT_TRUE(v.m_ArrowRects[1] == c.left) << c.size;
        EXPECT_TRUE(v.m_ArrowRects[2] == c.up) << c.size;
        EXPECT_TRUE(v.m_ArrowRects[3] == c.down) << c.size;
    }
}

TEST_F(TextScrollingTest, ArrowsShownOnlyWhereTheTextCanScroll) {
    struct Case {
        const char* name;
        Variable::DisplayTypes type;
        int hOffset, vOffset;
        int longest, block;
        std::string arrows;
        int nextH, nextV;
    } cases[] = {
        {"everything fits", Variable::HVScrolling, 0, 0, 100, 99, "", 0, 0},
        {"a line too long", Variable::HVScrolling, 0, 0, 101, 99, "R", 1, 0},
        {"a block too high", Variable::HVScrolling, 0, 0, 100, 100, "D", 0, 1},
        {"scrolled both ways", Variable::HVScrolling, 2, 3, 100, 99, "LU", 2, 3},
        {"all four", Variable::HVScrolling, 2, 3, 500, 500, "RLUD", 3, 4},
        {"word wrap has none", Variable::RespectingWords, 2, 3, 500, 500, "", 1, 1},
    };
    for (const Case& c : cases) {
        Variable v;
        Scrollable(v, c.type, "x");
        v.m_HScrollOffset = c.hOffset;
        v.m_VScrollOffset = c.vOffset;
        v.m_LongestLineSize = c.longest;
        v.m_LargestBloc = c.block;
        v.ArrowsStatus();
        EXPECT_EQ(ArrowsOf(v), c.arrows) << c.name;
        EXPECT_EQ(v.m_NextHScrollOffset, c.nextH) << c.name;
        EXPECT_EQ(v.m_NextVScrollOffset, c.nextV) << c.name;
    }
}

TEST_F(TextScrollingTest, FrameAndArrowsAreDrawnWhereTheTextLies) {
    constexpr COLORREF frame = 0x00FF00, arrows = 0xFF00FF;
    LevelViewPort().WorldXPos(30);
    LevelViewPort().WorldYPos(20);
    struct Case {
        const char* name;
        bool inWorld;
        int dx, dy;  // where the frame lands on the screen, from its own coordinates
    } cases[] = {{"screen", false, 0, 0}, {"world", true, -30, -20}};
    for (const Case& c : cases) {
        back->Fill(nullptr, Background);
        Variable v;
        Setup(v, "abcdefghijklmnopqrstuvwxyz", Variable::HorizontalScrolling, QelRect{50, 40, 151, 140});
        for (tagRECT& r : v.m_ArrowRects) r = Untouched;
        v.InWorld(c.inWorld);
        v.ShowFrame(true);
        v.FrameColor(frame);
        v.ArrowsColor(arrows);
        v.DisplayText();
        // The frame's four corners, each the start of a side.
        for (QelPoint p : {QelPoint{50, 40}, QelPoint{151, 40}, QelPoint{151, 140}, QelPoint{50, 140}})
            EXPECT_EQ(Pixel(p.x + c.dx, p.y + c.dy), frame) << c.name << " " << p.x << "," << p.y;
        EXPECT_EQ(Pixel(49 + c.dx, 39 + c.dy), Background) << c.name;
        // Only the right arrow: its tip at (R, B - 8) = (150, 131) is an end
        // point, its base from (146, 127) a start point.
        EXPECT_EQ(Pixel(146 + c.dx, 127 + c.dy), arrows) << c.name;
        EXPECT_EQ(ArrowsOf(v), "R") << c.name;
        EXPECT_EQ(v.m_ArrowRects[0].left, 146 - (c.inWorld ? 0 : -30)) << "hit areas are in the world";
    }
}

TEST_F(TextScrollingTest, StepsTowardTheEndAndBackToTheStart) {
    struct Case {
        const char* name;
        bool forward;
        int offset, next;
        unsigned delta;
        int expected;
    } cases[] = {
        {"forward by the delta", true, 2, 9, 3, 5},     {"forward up to next", true, 7, 9, 3, 9},
        {"forward at the end stays", true, 9, 9, 3, 9}, {"forward past next comes back", true, 12, 9, 3, 9},
        {"back by the delta", false, 5, 0, 3, 2},       {"back below zero stops at zero", false, 2, 0, 3, 0},
        {"back from zero", false, 0, 0, 1, 0},          {"huge delta", false, INT_MAX, 0, UINT_MAX, 0},
    };
    for (const Case& c : cases) {
        Variable v;
        Scrollable(v, Variable::HorizontalScrolling, "x");
        v.m_HScrollOffset = c.offset;
        v.m_NextHScrollOffset = c.next;
        v.HDeltaScroll(c.delta);
        input.pressed = {static_cast<unsigned char>(c.forward ? 77 : 75)};
        v.HorizontalScroll();
        EXPECT_EQ(v.m_HScrollOffset, c.expected) << c.name;
    }
}

TEST_F(TextScrollingTest, KeysHeldOrTriggered) {
    constexpr unsigned char right = 77, left = 75, up = 76, down = 80;
    struct Case {
        const char* name;
        bool triggeredMode;
        std::set<unsigned char> pressed, triggered;
        int h, v;  // offsets after one frame from (5, 5), deltas 1, next (9, 9)
    } cases[] = {
        {"held: nothing", false, {}, {}, 5, 5},
        {"held: forward", false, {right, down}, {}, 6, 6},
        {"held: both keys cancel", false, {right, left, up, down}, {right}, 5, 5},
        {"triggered mode ignores a held key", true, {right, down}, {}, 5, 5},
        {"triggered: horizontal forward wins", true, {}, {right, left}, 6, 5},
        {"triggered: horizontal back", true, {}, {left}, 4, 5},
        {"triggered: vertical does both", true, {}, {up, down}, 5, 5},
        {"triggered: vertical back", true, {}, {up}, 5, 4},
    };
    for (const Case& c : cases) {
        Variable v;
        Scrollable(v, Variable::HVScrolling, "x");
        v.m_HScrollOffset = v.m_VScrollOffset = 5;
        v.m_NextHScrollOffset = v.m_NextVScrollOffset = 9;
        v.HScrollTriggered(c.triggeredMode);
        v.VScrollTriggered(c.triggeredMode);
        input.pressed = c.pressed;
        input.triggered = c.triggered;
        v.HorizontalScroll();
        v.VerticalScroll();
        EXPECT_EQ(v.m_HScrollOffset, c.h) << c.name;
        EXPECT_EQ(v.m_VScrollOffset, c.v) << c.name;
    }

    // Keys act only on the axes of the display type, and not while paused.
    Variable h;
    Scrollable(h, Variable::HorizontalScrolling, "x");
    h.m_NextHScrollOffset = h.m_NextVScrollOffset = 9;
    input.pressed = {right, down};
    input.triggered = {};
    h.HorizontalScroll();
    h.VerticalScroll();
    EXPECT_EQ(h.m_HScrollOffset, 1);
    EXPECT_EQ(h.m_VScrollOffset, 0);
    h.Pause(true);
    h.HorizontalScroll();
    EXPECT_EQ(h.m_HScrollOffset, 1);
}

TEST_F(TextScrollingTest, ScrollingALongLineStopsOnceItsEndIsInView) {
    Variable v;
    Scrollable(v, Variable::HorizontalScrolling, "0123456789ABCDEFGHIJ\nshort");
    v.HDeltaScroll(3);
    input.pressed = {77};
    std::vector<int> offsets;
    for (int frame = 0; frame < 8; ++frame) {
        for (tagRECT& r : v.m_ArrowRects) r = Untouched;
        v.DisplayText();
        offsets.push_back(v.m_HScrollOffset);
    }
    // Twenty characters of 10 pixels: the line is measured before the step and
    // the next stop decided after it, so the last step lands where 200 - 10 k
    // first fits in the frame's 100 pixels. The first stop is the initial 1.
    EXPECT_EQ(offsets, (std::vector<int>{1, 4, 7, 10, 13, 13, 13, 13}));
    EXPECT_EQ(ArrowsOf(v), "L");
}

TEST_F(TextScrollingTest, ClicksOnTheArrows) {
    struct Case {
        const char* name;
        Variable::DisplayTypes type;
        QelPoint at;
        bool held, down, cursor, triggeredMode;
        int h, v;  // from (5, 5), next (9, 9)
    } cases[] = {
        {"held on the right arrow", Variable::HVScrolling, {97, 90}, true, false, true, false, 6, 5},
        {"held on the left arrow", Variable::HVScrolling, {85, 90}, true, false, true, false, 4, 5},
        {"held on the up arrow", Variable::HVScrolling, {90, 84}, true, false, true, false, 5, 4},
        {"held on the down arrow", Variable::HVScrolling, {90, 96}, true, false, true, false, 5, 6},
        {"right and bottom edges are outside", Variable::HVScrolling, {100, 94}, true, false, true, false, 5, 5},
        {"no button", Variable::HVScrolling, {97, 90}, false, false, true, false, 5, 5},
        {"hidden cursor", Variable::HVScrolling, {97, 90}, true, true, false, false, 5, 5},
        {"triggered mode needs the press", Variable::HVScrolling, {97, 90}, true, false, true, true, 5, 5},
        {"triggered mode press", Variable::HVScrolling, {97, 90}, true, true, true, true, 6, 5},
        {"up arrow of a horizontal text", Variable::HorizontalScrolling, {90, 84}, true, false, true, false, 5, 5},
    };
    for (const Case& c : cases) {
        Variable v;
        Scrollable(v, c.type, "x");
        v.m_ArrowsSize = 16;
        v.DrawRightArrow(0);
        v.DrawLeftArrow(0);
        v.DrawUpArrow(0);
        v.DrawDownArrow(0);
        v.m_HScrollOffset = v.m_VScrollOffset = 5;
        v.m_NextHScrollOffset = v.m_NextVScrollOffset = 9;
        v.HScrollTriggered(c.triggeredMode);
        v.VScrollTriggered(c.triggeredMode);
        input.x = c.at.x;
        input.y = c.at.y;
        input.button = c.held;
        input.buttonDown = c.down;
        input.cursor = c.cursor;
        v.ArrowsMouseStatus();
        EXPECT_EQ(v.m_HScrollOffset, c.h) << c.name;
        EXPECT_EQ(v.m_VScrollOffset, c.v) << c.name;
    }
}

TEST_F(TextScrollingTest, NothingScrollsOrShowsArrowsWhileAnEffectRuns) {
    Variable v;
    Scrollable(v, Variable::HVScrolling, "0123456789ABCDEFGHIJ\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10");
    v.Delay(1000, 1000);
    v.Effect(Variable::CharacterByCharacterEffect);
    v.m_NextHScrollOffset = v.m_NextVScrollOffset = 9;
    input.pressed = {77, 80};
    for (int frame = 0; frame < 3; ++frame) v.DisplayText();
    EXPECT_EQ(v.m_HScrollOffset, 0);
    EXPECT_EQ(v.m_VScrollOffset, 0);
    EXPECT_EQ(ArrowsOf(v), "");
}

}  // namespace
