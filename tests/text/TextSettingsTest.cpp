#include <cmath>
#include <limits>

#include "TextFixture.h"
#include "foundation/Console.h"
#include "logic/LogicTables.h"
#include "platform/Font.h"
#include "runtime/Game.h"

namespace {

using namespace texttest;

class TextSettingsTest : public TextTest {};

TEST_F(TextSettingsTest, RoundedSettings) {
    struct Case {
        unsigned in, arrows, weight;
    } cases[] = {{3, 0, 0}, {18, 16, 0}, {150, 148, 100}, {950, 948, 900}, {4000000000u, 4000000000u, 900}};
    for (const Case& c : cases) {
        Variable v;
        v.ArrowsSize(c.in);
        v.Weight(c.in);
        EXPECT_EQ(v.ArrowsSize(), c.arrows) << c.in;
        EXPECT_EQ(v.Weight(), c.weight) << c.in;
    }
}

TEST_F(TextSettingsTest, DisplayTypes) {
    const std::string listMessage =
        "void Variable::DisplayType(DisplayTypes) | The display type must be selected from the following list: "
        "RespectingWords, ConsecutiveCharacters, HorizontalScrolling, VerticalScrolling or HVScrolling.";
    struct Case {
        int type;
        bool reported;
        unsigned arrows;
        bool fontMade;
    } cases[] = {
        {0, false, 0, true},  {1, false, 0, true},  {2, false, 16, true},
        {4, false, 16, true}, {5, true, 16, false}, {7, true, 16, false},
    };
    for (const Case& c : cases) {
        Variable v;
        v.DisplayType(static_cast<Variable::DisplayTypes>(c.type));
        EXPECT_EQ(LastError(), c.reported ? listMessage : std::string(" | ")) << c.type;
        EXPECT_EQ(v.DisplayType(), c.type);
        EXPECT_EQ(v.ArrowsSize(), c.arrows) << c.type;
        EXPECT_EQ(v.m_FontHandle != nullptr, c.fontMade) << c.type;
        EXPECT_EQ(v.m_CharSizes['x'].height > 0, c.fontMade) << c.type;
    }
}

// Each setting writes only its own part of the font description, at 96
// pixels per inch; the font is made again each time.
TEST_F(TextSettingsTest, FontSettingsUpdateTheirOwnPartOfTheDescription) {
    Variable v;
    EXPECT_EQ(v.m_FontHandle, nullptr) << "no font until a setting asks for one";
    v.Height(16.0f);
    EXPECT_EQ(v.m_LogFont.height, -21);
    EXPECT_EQ(v.m_LogFont.width, 0) << "the width keeps its natural value";
    ASSERT_NE(v.m_FontHandle, nullptr);
    const int naturalX = v.m_CharSizes['x'].width;
    EXPECT_GT(naturalX, 0);
    EXPECT_EQ(v.m_CharSizes['x'].height, v.m_FontHandle->CellHeight());

    v.Width(3);
    EXPECT_EQ(v.m_LogFont.width, -4);
    EXPECT_LT(v.m_CharSizes['m'].width, 10) << "a narrow average width narrows the letters";
    v.Weight(700);
    EXPECT_EQ(v.m_LogFont.weight, 700);
    v.Italic(true);
    v.Underline(true);
    v.StrikeOut(true);
    EXPECT_EQ(v.m_LogFont.italic + v.m_LogFont.underline + v.m_LogFont.strikeOut, 3);
    v.FontName("Courier New");
    EXPECT_STREQ(v.m_LogFont.faceName, "Courier New");
    EXPECT_EQ(v.m_CharSizes['i'].width, v.m_CharSizes['W'].width) << "a fixed-pitch face";

    Variable w;
    w.Color(0x123456);
    EXPECT_EQ(w.m_LogFont.height, -21);
    EXPECT_EQ(w.m_LogFont.width, -8);
    EXPECT_EQ(w.m_LogFont.weight, 100);
    EXPECT_EQ(w.Color(), 0x123456u);
    EXPECT_EQ(LastError(), " | ");
}

TEST_F(TextSettingsTest, FacesNothingStandsForAreReportedAndLeaveNoFont) {
    const struct {
        const char* face;
        std::string report;
    } cases[] = {
        {"Impact", " | "},  // the frame-rate text's face, met by a condensed bold sans
        {"Wingdings", "void Variable::FontName(const char *) | The font name: Wingdings is not supported."},
        {"Comic Sans MS", "void Variable::FontName(const char *) | The font name: Comic Sans MS is not supported."},
        {"times new roman", " | "},
        {nullptr, " | "},
    };
    for (const auto& c : cases) {
        Variable v;
        v.FontName(c.face);
        EXPECT_EQ(LastError(), c.report) << (c.face ? c.face : "null");
        EXPECT_STREQ(v.m_LogFont.faceName, c.face ? c.face : "Arial");
        EXPECT_EQ(v.m_FontHandle == nullptr, c.report != " | ") << (c.face ? c.face : "null");
    }
}

TEST_F(TextSettingsTest, RefusedFontsAreReportedAndKeepTheLastSizes) {
    Variable v;
    v.Height(12.0f);
    ASSERT_NE(v.m_FontHandle, nullptr);
    const Variable::CharSize good = v.m_CharSizes['x'];
    struct Case {
        const char* name;
        void (*apply)(Variable&);
        std::string report;
    } cases[] = {
        {"height", [](Variable& x) { x.Height(1.0e6f); },
         "void Variable::Height(unsigned int) | The font height: 1000000 is not supported."},
        {"width", [](Variable& x) { x.Width(4000000000u); },
         "void Variable::Width(unsigned int) | The font width: -294967296 is not supported."},
        {"not a number", [](Variable& x) { x.Height(std::numeric_limits<float>::infinity()); },
         "void Variable::Height(unsigned int) | The font height: 2147483647 is not supported."},
    };
    for (const Case& c : cases) {
        Variable t;
        t.Height(12.0f);
        c.apply(t);
        EXPECT_EQ(LastError(), c.report) << c.name;
        EXPECT_EQ(t.m_FontHandle, nullptr) << c.name;
        EXPECT_EQ(t.m_CharSizes['x'].height, good.height) << c.name;
        // A later rebuild keeps the refused member and fails again, silently
        // for the colour.
        t.Color(0);
        EXPECT_EQ(t.m_FontHandle, nullptr) << c.name;
        EXPECT_EQ(LastError(), " | ") << c.name;
    }
}

TEST_F(TextSettingsTest, WithoutABackBufferNothingIsRebuilt) {
    pBackBuffer = nullptr;
    Variable v;
    v.Height(20.0f);
    v.Width(9);
    v.FontName("Courier New");
    EXPECT_EQ(v.Height(), 20.0f) << "the setting is stored";
    EXPECT_EQ(v.Width(), 9u);
    EXPECT_STREQ(v.m_FontName, "Arial") << "the face is stored only with a device context";
    EXPECT_EQ(v.m_LogFont.height, 0);
    EXPECT_EQ(v.m_FontHandle, nullptr);
    EXPECT_EQ(LastError(), " | ");
}

TEST_F(TextSettingsTest, FramesOnTheScreenAndOnMaps) {
    Variable screen;
    screen.Frame(QelRect{10, 20, 110, 70});
    EXPECT_EQ(screen.m_FrameWidth, 99);
    EXPECT_EQ(screen.m_FrameHeight, 49);
    screen.Move(1.9f, -1.9f);
    EXPECT_EQ(screen.Frame().left, 11);
    EXPECT_EQ(screen.Frame().top, 19);
    EXPECT_EQ(screen.Frame().right, 111);
    EXPECT_EQ(screen.Frame().bottom, 69);
    EXPECT_EQ(screen.m_FrameWidth, 99) << "moving keeps the measured size";

    AddMap("m", 200, 100);
    struct Case {
        const char* name;
        QelRect before, asked;
        QelRect frame;
    } cases[] = {
        {"the first frame is the map inset by 10", {}, {50, 50, 60, 60}, {10, 10, 189, 89}},
        {"later frames are cut to the map", {1, 1, 2, 2}, {-20, 30, 500, 80}, {0, 30, 199, 80}},
        {"a frame outside the map stays empty", {1, 1, 2, 2}, {300, 300, 400, 400}, {300, 300, 199, 99}},
    };
    for (const Case& c : cases) {
        Variable v;
        v.BelongToMap("m");
        v.m_Frame = c.before;
        v.Frame(c.asked);
        EXPECT_EQ(v.Frame().left, c.frame.left) << c.name;
        EXPECT_EQ(v.Frame().top, c.frame.top) << c.name;
        EXPECT_EQ(v.Frame().right, c.frame.right) << c.name;
        EXPECT_EQ(v.Frame().bottom, c.frame.bottom) << c.name;
        EXPECT_EQ(v.m_FrameWidth, c.frame.right - c.frame.left - 1) << c.name;
    }

    // Hostile rectangles do not overflow the measures.
    Variable h;
    h.Frame(QelRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    EXPECT_EQ(h.m_FrameWidth, INT32_MAX);
    h.Move(std::numeric_limits<float>::infinity(), std::nanf(""));
    EXPECT_EQ(h.Frame().right, INT32_MAX);
    EXPECT_EQ(h.Frame().top, INT32_MIN);
}

TEST_F(TextSettingsTest, BindingToAMap) {
    Map* map = AddMap("sea", 300, 200);
    struct Case {
        const char* name;
        const char* mapName;
        QelRect frame;
        std::string report;
        bool bound;
        QelRect after;
    } cases[] = {
        {"no name",
         nullptr,
         {},
         "void Variable::BelongToMap(char *) | Cannot assign a text to an unnamed map.",
         false,
         {}},
        {"unknown map", "sky", {}, "void Variable::BelongToMap(char *) | Map sky not found.", false, {}},
        {"a new frame inside the map", "sea", {}, " | ", true, {10, 10, 289, 189}},
        {"a frame kept", "sea", {5, 5, 50, 50}, " | ", true, {5, 5, 50, 50}},
        {"a frame outside is kept and reported",
         "sea",
         {400, 5, 450, 50},
         "void Variable::BelongToMap(char *) | The frame defined for the text: label is outside of the map: sea.",
         true,
         {400, 5, 450, 50}},
    };
    for (const Case& c : cases) {
        Variable v;
        v.Name("label");
        v.m_Frame = c.frame;
        v.BelongToMap(c.mapName);
        EXPECT_EQ(LastError(), c.report) << c.name;
        EXPECT_EQ(v.m_TextMap, c.bound ? map : nullptr) << c.name;
        EXPECT_EQ(v.Frame().left, c.after.left) << c.name;
        EXPECT_EQ(v.Frame().bottom, c.after.bottom) << c.name;
        if (c.bound) {
            EXPECT_EQ(v.m_ScreenRect.right, 299) << c.name;
        }
    }
    EXPECT_EQ(map->TextVariables().Size(), 0u) << "binding alone does not list the text";
}

TEST_F(TextSettingsTest, CentredOnTheScreen) {
    const std::int32_t w = displayWidth, h = displayHeight;
    displayWidth = 640;
    displayHeight = 480;
    Variable v;
    v.Frame(QelRect{0, 0, 101, 51});
    v.CenterViewport();
    EXPECT_EQ(v.Frame().left, 269);
    EXPECT_EQ(v.Frame().top, 214);
    EXPECT_EQ(v.Frame().right, 370);
    EXPECT_EQ(v.Frame().bottom, 265);

    AddMap("m", 100, 100);
    Variable onMap;
    onMap.BelongToMap("m");
    const QelRect before = onMap.Frame();
    onMap.CenterViewport();
    EXPECT_EQ(onMap.Frame().left, before.left);
    displayWidth = w;
    displayHeight = h;
}

TEST_F(TextSettingsTest, FollowingASprite) {
    Variable v;
    v.Follow(static_cast<Sprite*>(nullptr), 0);
    EXPECT_EQ(LastError(), "void Variable::Follow(Sprite *) | Cannot follow a NULL sprite.");
    v.Follow(static_cast<const char*>(nullptr), 0);
    EXPECT_EQ(LastError(), "void Variable::Follow(const char *) | Cannot follow a sprite with a NULL name.");
    v.Follow("ghost", 0);
    EXPECT_EQ(LastError(), "void Variable::Follow(const char *) | The sprite name does not exist.");
}

TEST_F(TextSettingsTest, TheConsoleIsReadyToDraw) {
    Console console;
    EXPECT_EQ(console.m_LogFont.height, -10);
    EXPECT_EQ(console.m_LogFont.width, -4);
    EXPECT_EQ(console.m_LogFont.weight, 500);
    EXPECT_NE(console.m_FontHandle, nullptr);
    EXPECT_GT(console.m_CharSizes['x'].height, 0);
    for (int i = 0; i < 40; ++i) console.Print("line %d\n", i);
    console.Display();  // lays the text out, then scrolls to its end
    EXPECT_GT(console.m_NumberOfLines, console.m_LinesPerFrame);
    EXPECT_EQ(console.m_VScrollOffset, console.m_NumberOfLines - console.m_LinesPerFrame) << "the end in view";
    drawn.clear();
    console.Display();
    EXPECT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().c, '9') << "the last line is drawn";
    std::remove(Console::LogFileName);
}

TEST_F(TextSettingsTest, MapTextListsAreRebuiltInLevelOrder) {
    Map* a = AddMap("a", 100, 100);
    Map* b = AddMap("b", 100, 100);
    std::vector<Variable*> texts;
    for (const char* mapName : std::vector<const char*>{"a", nullptr, "b", "a"}) {
        Variable* v = new Variable("t");
        if (mapName) v->BelongToMap(mapName);
        level.Add(v);
        texts.push_back(v);
    }
    a->TextVariables().Add(texts[1]);  // stale entries go
    Variable::UpdateTextMaps();
    // The level lists its newest variable first.
    ASSERT_EQ(a->TextVariables().Size(), 2u);
    EXPECT_EQ(a->TextVariables()[0], texts[3]);
    EXPECT_EQ(a->TextVariables()[1], texts[0]);
    ASSERT_EQ(b->TextVariables().Size(), 1u);
    EXPECT_EQ(b->TextVariables()[0], texts[2]);
}

TEST_F(TextSettingsTest, ADeletedTextLeavesTheMapsThatListIt) {
    Map* a = AddMap("a", 100, 100);
    AddMap("b", 100, 100);
    std::vector<Variable*> texts;
    for (const char* name : {"kept", "deleted", "moved"}) {
        Variable* v = new Variable(name);
        v->BelongToMap("a");
        level.Add(v);
        texts.push_back(v);
    }
    Variable::UpdateTextMaps();
    texts[2]->BelongToMap("b");  // still listed by a until the next rebuild
    level.Variables().del(texts[1]);
    level.Variables().del(texts[2]);
    ASSERT_EQ(a->TextVariables().Size(), 1u);
    EXPECT_EQ(a->TextVariables()[0], texts[0]);
}

TEST_F(TextSettingsTest, ADeletedTextLeavesTheMapsOfEveryLevel) {
    // A level left earlier keeps its maps and texts; its text may go while
    // another level is the current one.
    auto* other = new GameNode();
    Game::gameNodeList.add(other);
    Map* elsewhere = AddMap("elsewhere", 100, 100);
    level.Maps().remove(elsewhere);
    other->Add(elsewhere);
    auto* text = new Variable("t");
    text->m_TextMap = elsewhere;
    elsewhere->TextVariables().Add(text);
    delete text;
    EXPECT_EQ(elsewhere->TextVariables().Size(), 0u);
    Game::gameNodeList.del(other);
}

TEST_F(TextSettingsTest, LocalDataOfATextComesFromThePrototypes) {
    node** savedTable = NArray;
    const std::int32_t savedMax = maxNIndex;
    node* prototypes[2] = {new Variable(5), nullptr};
    NArray = prototypes;
    maxNIndex = 1;
    struct Case {
        unsigned index;
        bool made;
    } cases[] = {{0, true}, {1, false}, {2, false}, {4000000000u, false}};
    for (const Case& c : cases) {
        Variable v;
        v.AddLocalVariable(c.index);
        EXPECT_EQ(v.LocalVariable() != nullptr, c.made) << c.index;
        EXPECT_EQ(v.m_LocalVariableIndex, c.made ? int(c.index) : -1) << c.index;
        if (!c.made) {
            EXPECT_EQ(LastError(), "void Variable::AddLocalVariable(unsigned int index) | The local variable " +
                                       std::to_string(int(c.index)) + " cannot be found.");
        } else {
            EXPECT_NE(v.LocalVariable(), prototypes[0]) << "a clone";
        }
    }
    delete prototypes[0];
    NArray = savedTable;
    maxNIndex = savedMax;
}

}  // namespace

namespace {

using namespace texttest;

class TextFontSharingTest : public TextTest {};

TEST_F(TextFontSharingTest, CopiesShareTheFontAndOutliveTheOriginal) {
    auto original = std::make_unique<Variable>("shared");
    original->DisplayType(Variable::RespectingWords);
    original->Height(14.0f);
    ASSERT_NE(original->m_FontHandle, nullptr);
    Variable copy(*original);
    EXPECT_EQ(copy.m_FontHandle, original->m_FontHandle);
    EXPECT_EQ(copy.m_CharSizes['x'].width, original->m_CharSizes['x'].width);
    original.reset();
    copy.Frame(QelRect{0, 0, 200, 50});
    copy.DisplayText();  // the font is still there to draw with
    EXPECT_EQ(drawn.size(), 6u);
    copy.Height(30.0f);
    EXPECT_GT(copy.m_CharSizes['x'].height, 20);
}

// The glyphs of a clipped line stay left of the frame's right edge.
TEST_F(TextFontSharingTest, InkStaysInsideTheFrameWidth) {
    Variable v;
    v = "WWWWWWWWWWWWWWWWWWWW";
    v.DisplayType(Variable::HorizontalScrolling);
    v.FontName("Courier New");
    v.Height(12.0f);
    v.Color(0xFFFFFF);
    v.Frame(QelRect{10, 10, 71, 60});
    v.DisplayText();
    int inkInside = 0, inkOutside = 0;
    for (int y = 0; y < BackHeight; ++y)
        for (int x = 0; x < BackWidth; ++x) {
            if (Pixel(x, y) != 0xFFFFFF) continue;
            (x >= 10 && x < 71 && y >= 10 && y < 60 ? inkInside : inkOutside)++;
        }
    EXPECT_GT(inkInside, 0);
    EXPECT_EQ(inkOutside, 0);
    EXPECT_LT(drawn.size(), 20u);
}

}  // namespace
