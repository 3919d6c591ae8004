#include <climits>

#include "TextFixture.h"

namespace {

using namespace texttest;
using RowList = std::vector<std::string>;

class TextLayoutTest : public TextTest {};

TEST_F(TextLayoutTest, RowsOfTheFiveLayouts) {
    struct Case {
        const char* name;
        const char* text;
        Variable::DisplayTypes type;
        int hOffset, vOffset;
        bool leadingSpaces;
        RowList rows;
    } cases[] = {
        {"words move whole to the next row",
         "hello world foo",
         Variable::RespectingWords,
         0,
         0,
         false,
         {"hello ", "world foo"}},
        {"characters wrap where the row is full",
         "hello world foo",
         Variable::ConsecutiveCharacters,
         0,
         0,
         false,
         {"hello wor", "ld foo"}},
        {"a word longer than a row is cut",
         "abcdefghijkl mn",
         Variable::RespectingWords,
         0,
         0,
         false,
         {"abcdefghi", "jkl mn"}},
        {"line feeds end rows", "ab\ncd\n\nef", Variable::ConsecutiveCharacters, 0, 0, false, {"ab", "cd", "ef"}},
        {"spaces at a wrapped row start vanish",
         "abcdefghi   jk",
         Variable::ConsecutiveCharacters,
         0,
         0,
         false,
         {"abcdefghi", "jk"}},
        {"leading spaces kept on request",
         "abcdefghi   jk",
         Variable::ConsecutiveCharacters,
         0,
         0,
         true,
         {"abcdefghi", "   jk"}},
        {"leading spaces of the first row", "  ab", Variable::RespectingWords, 0, 0, false, {"ab"}},
        {"clipped lines, no wrap",
         "abcdefghijklmn\nxy",
         Variable::HorizontalScrolling,
         0,
         0,
         false,
         {"abcdefghi", "xy"}},
        {"horizontal offset skips per line",
         "abcdefghijklmn\nxy\nlast",
         Variable::HorizontalScrolling,
         2,
         0,
         false,
         {"cdefghijk", "st"}},
        {"vertical offset counts rows",
         "hello world foo bar",
         Variable::VerticalScrolling,
         0,
         1,
         false,
         {"world foo", "bar"}},
        {"vertical offset past the rows", "hello world", Variable::VerticalScrolling, 0, 5, false, {}},
        {"both offsets: lines, then characters", "one\ntwo\nthree", Variable::HVScrolling, 1, 1, false, {"wo", "hree"}},
        {"both offsets past the lines", "one\ntwo", Variable::HVScrolling, 0, 2, false, {}},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, c.text, c.type);
        v.LeadingSpaces(c.leadingSpaces);
        v.m_HScrollOffset = c.hOffset;
        v.m_VScrollOffset = c.vOffset;
        v.m_NextHScrollOffset = c.hOffset;  // no scrolling this frame
        v.m_NextVScrollOffset = c.vOffset;
        drawn.clear();
        v.DisplayText();
        EXPECT_EQ(Rows(), c.rows) << c.name;
    }
}

TEST_F(TextLayoutTest, SpacingMarginsAndRowPlaces) {
    struct Case {
        const char* name;
        unsigned letterSpacing, lineSpacing, leftMargin, topMargin;
        std::vector<int> firstRowX;
        std::vector<int> rowTops;
    } cases[] = {
        {"plain", 0, 0, 0, 0, {0, 10, 20, 30, 40, 50, 60, 70, 80}, {0, 10}},
        {"letter spacing between letters only", 5, 0, 0, 0, {0, 15, 30, 45, 60, 75}, {0, 10, 20}},
        {"line spacing between rows", 0, 4, 0, 0, {0, 10, 20, 30, 40, 50, 60, 70, 80}, {0, 14}},
        {"margins move the pen's start", 0, 0, 20, 5, {20, 30, 40, 50, 60, 70, 80}, {5, 15, 25}},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, "abcdefghijklmnop", Variable::ConsecutiveCharacters, QelRect{0, 0, 101, 100});
        v.LetterSpacing(c.letterSpacing);
        v.LineSpacing(c.lineSpacing);
        v.LeftMargin(c.leftMargin);
        v.TopMargin(c.topMargin);
        drawn.clear();
        v.DisplayText();
        std::vector<int> xs;
        const int firstTop = drawn.empty() ? -1 : drawn.front().at.y;
        for (const Drawn& d : drawn)
            if (d.at.y == firstTop) xs.push_back(d.at.x);
        EXPECT_EQ(xs, c.firstRowX) << c.name;
        EXPECT_EQ(RowTops(), c.rowTops) << c.name;
    }
}

TEST_F(TextLayoutTest, RowsThatFitTheFrame) {
    struct Case {
        Variable::DisplayTypes type;
        int frameHeight;
        unsigned topMargin, arrows, lineSpacing;
        int xHeight;
        int lines;
    } cases[] = {
        {Variable::RespectingWords, 25, 0, 0, 0, 10, 2},
        {Variable::RespectingWords, 25, 6, 0, 0, 10, 1},
        {Variable::ConsecutiveCharacters, 40, 0, 16, 0, 10, 4},  // no arrows in these types
        {Variable::HorizontalScrolling, 40, 0, 16, 0, 10, 2},
        {Variable::VerticalScrolling, 40, 0, 16, 2, 10, 2},
        {Variable::HVScrolling, 40, 0, 16, 2, 10, 2},
        {Variable::RespectingWords, 40, 0, 0, 0, 0, 0},     // no font sizes yet
        {Variable::RespectingWords, 40, 60, 0, 0, 10, -2},  // margin beyond the frame
    };
    for (const Case& c : cases) {
        Variable v;
        // Six lines, each of two rows when wrapped.
        Setup(v, "aaaaaaaaaaaaaaa\naaaaaaaaaaaaaaa\naaaaaaaaaaaaaaa\naaaaaaaaaaaaaaa\naaaaaaaaaaaaaaa\naaaaaaaaaaaaaaa",
              c.type, QelRect{0, 0, 101, c.frameHeight});
        v.m_ArrowsSize = c.arrows;
        v.TopMargin(c.topMargin);
        v.LineSpacing(c.lineSpacing);
        FixedSizes(v, 10, c.xHeight);
        drawn.clear();
        v.DisplayText();
        EXPECT_EQ(v.m_LinesPerFrame, c.lines) << c.type << " " << c.frameHeight;
        EXPECT_EQ(int(RowTops().size()), std::max(c.lines, 0)) << c.type << " " << c.frameHeight;
    }
}

TEST_F(TextLayoutTest, TextsThatAreNotShownDrawNothingButTheirFrame) {
    struct Case {
        const char* name;
        const char* text;  // null: a pointer value, which shows nothing
        Variable::DisplayTypes type;
        bool visible, unused;
        bool textDrawn, frameDrawn;
    } cases[] = {
        {"shown", "abc", Variable::RespectingWords, true, false, true, true},
        {"empty text keeps its frame", "", Variable::RespectingWords, true, false, false, true},
        {"no display text keeps its frame", nullptr, Variable::RespectingWords, true, false, false, true},
        {"hidden", "abc", Variable::RespectingWords, false, false, false, false},
        {"unused", "abc", Variable::RespectingWords, true, true, false, false},
        {"display type 5", "abc", Variable::NoDisplay, true, false, false, false},
        {"unknown display type keeps its frame", "abc", static_cast<Variable::DisplayTypes>(7), true, false, false,
         true},
    };
    constexpr COLORREF frameColour = 0x00FF00;
    for (const Case& c : cases) {
        Variable v;
        Setup(v, "abc", Variable::RespectingWords, QelRect{20, 20, 80, 60});
        if (c.text)
            v = c.text;
        else
            v = static_cast<void*>(nullptr);
        v.m_DisplayType = c.type;
        v.Visible(c.visible);
        v.Unused(c.unused);
        v.ShowFrame(true);
        v.FrameColor(frameColour);
        back->Fill(nullptr, Background);
        drawn.clear();
        v.DisplayTextNoMap();
        EXPECT_EQ(!drawn.empty(), c.textDrawn) << c.name;
        EXPECT_EQ(Pixel(20, 20) == frameColour, c.frameDrawn) << c.name;
        drawn.clear();
        v.DisplayTextMap();  // a text without a map is never drawn as a map's
        EXPECT_TRUE(drawn.empty()) << c.name;
    }
}

TEST_F(TextLayoutTest, PlacementOnTheScreenInTheWorldAndOnMaps) {
    Map* map = AddMap("ground", 400, 300, 100, 50);
    LevelViewPort().WorldXPos(30);
    LevelViewPort().WorldYPos(40);
    map->ScrollRatioX(0.5f);
    map->ScrollRatioY(0.25f);
    struct Case {
        const char* name;
        bool onMap, inWorld;
        QelPoint expected;  // of the first character of a frame at (60, 70)
    } cases[] = {
        {"screen", false, false, {60, 70}},
        {"world", false, true, {30, 30}},
        {"map world", true, true, {60 + 100 - 30, 70 + 50 - 40}},
    };
    for (const Case& c : cases) {
        Variable v;
        v.m_TextMap = c.onMap ? map : nullptr;
        v.m_ScreenRect = QelRect{0, 0, 399, 299};
        Setup(v, "a", Variable::RespectingWords);
        v.m_Frame = QelRect{60, 70, 160, 170};
        v.m_FrameWidth = 99;
        v.InWorld(c.inWorld);
        drawn.clear();
        v.DisplayText();
        ASSERT_EQ(drawn.size(), 1u) << c.name;
        EXPECT_EQ(drawn[0].at.x, c.expected.x) << c.name;
        EXPECT_EQ(drawn[0].at.y, c.expected.y) << c.name;
    }
    EXPECT_EQ(map->ScrollRatioX(), 0.5f) << "a world-placed text leaves the map alone";

    // A screen-placed text on a map follows the map's own view and makes the
    // map follow the viewport exactly.
    Variable v;
    v.m_TextMap = map;
    v.m_ScreenRect = QelRect{0, 0, 399, 299};
    Setup(v, "a", Variable::RespectingWords);
    v.m_Frame = QelRect{60, 70, 160, 170};
    v.m_FrameWidth = 99;
    drawn.clear();
    v.DisplayText();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].at.x, 60 + map->ViewPortX());
    EXPECT_EQ(drawn[0].at.y, 70 + map->ViewPortY());
    EXPECT_EQ(map->ScrollRatioX(), 1.0f);
    EXPECT_EQ(map->ScrollRatioY(), 1.0f);
}

TEST_F(TextLayoutTest, TextsOutsideTheViewportAreSkippedUnlessActivated) {
    struct Case {
        QelRect frame;
        bool activate;
        bool drawn;
    } cases[] = {
        {{10, 10, 111, 110}, false, true},
        {{BackWidth, 10, BackWidth + 100, 110}, false, false},  // touching the right edge only
        {{-100, 10, 0, 110}, false, false},
        {{BackWidth + 50, 10, BackWidth + 150, 110}, true, true},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, "abc", Variable::RespectingWords, c.frame);
        v.ActivateOutOfViewport(c.activate);
        drawn.clear();
        v.DisplayText();
        EXPECT_EQ(!drawn.empty(), c.drawn) << c.frame.left;
        if (!c.activate) {
            EXPECT_EQ(v.m_ScreenRect.left, c.frame.left);
        }
    }
}

TEST_F(TextLayoutTest, MeasuresForScrolling) {
    struct Case {
        const char* name;
        const char* text;
        Variable::DisplayTypes type;
        int hOffset, vOffset;
        int lines, longest, block;
    } cases[] = {
        // Two arrows' worth (16) of room is kept: 84 / 10 gives 8 rows.
        {"clipped lines are counted by line feeds", "abc\ndefghijklmnopq\n", Variable::HorizontalScrolling, 0, 0, 3,
         140, 0},
        {"the horizontal offset shortens each line", "abc\ndefghijklmnopq", Variable::HorizontalScrolling, 5, 0, 2, 90,
         0},
        {"word-wrapped rows", "hello world foo bar", Variable::VerticalScrolling, 0, 0, 3, 0, 3 * 10 + 16},
        {"a final line feed adds an empty row", "abc\n", Variable::VerticalScrolling, 0, 0, 2, 0, 2 * 10 + 16},
        {"rows above the offset are left out", "a\nb\nc\nd", Variable::VerticalScrolling, 0, 3, 4, 0, 10 + 16},
        {"an offset past the rows leaves the arrows' room", "a\nb", Variable::VerticalScrolling, 0, 9, 2, 0, 16},
        {"both: every line measured", "ab\ncdefghijklmnopqrstuv\nx", Variable::HVScrolling, 0, 1, 3, 200,
         2 * 10 + 10 + 16},
        {"empty", "", Variable::HVScrolling, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, c.text, c.type);
        v.m_HScrollOffset = c.hOffset;
        v.m_VScrollOffset = c.vOffset;
        v.m_NextHScrollOffset = c.hOffset;
        v.m_NextVScrollOffset = c.vOffset;
        v.DisplayText();
        EXPECT_EQ(v.m_NumberOfLines, c.lines) << c.name;
        if (c.type != Variable::VerticalScrolling) {
            EXPECT_EQ(v.m_LongestLineSize, c.longest) << c.name;
        }
        if (c.type != Variable::HorizontalScrolling) {
            EXPECT_EQ(v.m_LargestBloc, c.block) << c.name;
        }
    }
}

TEST_F(TextLayoutTest, WordsWiderThanARowAreCountedByWhatFits) {
    Variable v;
    Setup(v, "abcdefghijklmnopqrst", Variable::VerticalScrolling);
    // Room 101 - 0 - 0: ten characters' widths, and one more.
    EXPECT_EQ(v.GetRectWordLenght(0), 11);
    EXPECT_EQ(v.GetRectWordLenght(15), 6);  // the text ends first
    EXPECT_EQ(v.GetRectWordLenght(-4), 11);
    EXPECT_EQ(v.GetRectWordLenght(1000), 1);
    v.GetNumberOfLines();
    EXPECT_EQ(v.m_NumberOfLines, 2);
}

// Sizes no font gives, and offsets far past the text: every layout and
// measure ends at once.
TEST_F(TextLayoutTest, HostileSettingsNeverHangOrOverflow) {
    const char* texts[] = {"", "a", "wide\nw w w\n\n", "abc def ghi jkl mno pqr stu vwx yz 0123456789"};
    for (int type = 0; type <= 6; ++type)
        for (const char* text : texts)
            for (int variant = 0; variant < 4; ++variant) {
                Variable v;
                Setup(v, text, static_cast<Variable::DisplayTypes>(type));
                switch (variant) {
                    case 0: FixedSizes(v, 500, 1); break;  // wider than any row
                    case 1:
                        v.LetterSpacing(UINT_MAX);
                        v.LeftMargin(UINT_MAX);
                        FixedSizes(v, INT_MAX, 1);
                        break;
                    case 2:
                        v.m_HScrollOffset = INT_MAX;
                        v.m_VScrollOffset = INT_MAX;
                        v.m_NextHScrollOffset = INT_MAX;
                        v.m_NextVScrollOffset = INT_MAX;
                        v.m_Frame = QelRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
                        v.m_FrameWidth = INT_MAX;
                        break;
                    default:
                        v.TopMargin(UINT_MAX);
                        v.m_ArrowsSize = UINT_MAX;
                        v.LineSpacing(UINT_MAX);
                        v.m_Frame = QelRect{INT_MAX - 5, INT_MIN, INT_MIN, INT_MAX};
                        break;
                }
                v.ShowFrame(true);
                v.DisplayText();
                v.GetNumberOfLines();
                v.m_DisplayType = Variable::VerticalScrolling;
                v.GetNumberOfLines();
                v.GetLongestLineSize();
                v.GetLargestBlocVS();
                v.GetLargestBlocHSHVS();
                EXPECT_GE(v.m_LargestBloc, 0);
            }
}

}  // namespace
