#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "world/ViewPort.h"

namespace {

int changeCalls = 0;
void CountChange(GameNode*) { ++changeCalls; }

// A game of levels with the given Ids, the first of them current.
class GameTest : public ::testing::Test {
protected:
    void Make(std::initializer_list<int> ids) {
        myGame = &game;
        for (int id : ids) {
            GameNode* level = new GameNode();
            level->Id(id);
            level->Name(("level" + std::to_string(id)).c_str());
            level->OnLevelChangeP = CountChange;
            game.Add(level);
        }
        gNode = Game::Search(0);
        changeCalls = 0;
    }
    void TearDown() override {
        gNode = nullptr;
        Game::gameNodeList.del();
        myGame = nullptr;
    }
    // A switch as the main loop makes it, without building the level.
    void Switch() {
        game.ChangePending(false);
        game.RecordSwitchInHistory();
        gNode = Game::Search(game.LevelNumber());
    }
    std::vector<int> History() {
        std::vector<int> h;
        for (unsigned int i = 0; i < game.History().Size(); ++i) h.push_back(game.History()[i]);
        return h;
    }
    Game game;
};

}  // namespace

TEST_F(GameTest, LevelsAreFoundByZeroBasedNumberAndByName) {
    Make({2, 3, 1});
    GameNode* duplicate = new GameNode();
    duplicate->Id(2);
    game.Add(duplicate);  // refused silently: the caller keeps it
    EXPECT_EQ(Game::gameNodeList.Count(), 3);
    delete duplicate;

    struct Case {
        int number;
        int id;  // 0: none
    };
    for (const Case& c : {Case{0, 1}, Case{1, 2}, Case{2, 3}, Case{3, 0}, Case{-1, 0}}) {
        GameNode* level = Game::Search(c.number);
        EXPECT_EQ(level ? level->Id() : 0, c.id) << c.number;
    }
    EXPECT_EQ(Game::Search(""), static_cast<node*>(&game));
    EXPECT_EQ(Game::Search("level3"), static_cast<node*>(Game::Search(2)));
    EXPECT_EQ(Game::Search("nothing"), nullptr);
}

TEST_F(GameTest, RequestForALevelThatDoesNotExistIsRefusedWithAUserError) {
    Make({1, 2, 3});
    struct Case {
        std::function<void()> request;
        const char* message;
        const char* target;
    };
    const Case cases[] = {
        {[this] { game.LevelNumber(7); }, "The level numbered: 7 is not found.", "void Game::LevelNumber(int)"},
        {[this] { game.LevelNumber(-1); }, "The level numbered: -1 is not found.", "void Game::LevelNumber(int)"},
        {[this] { game.LevelName("nowhere"); }, "The level named: nowhere is not found.",
         "void Game::LevelName(const char *)"},
        {[this] { game.LevelName(""); }, "The level named:  is not found.", "void Game::LevelName(const char *)"},
    };
    game.ChangePending(false);
    for (const Case& c : cases) {
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        c.request();
        EXPECT_STREQ(_UE.ErrorMessage, c.message);
        EXPECT_STREQ(_UE.TargetFunction, c.target);
        EXPECT_EQ(game.LevelNumber(), 0);
        EXPECT_FALSE(game.ChangePending());
        EXPECT_EQ(changeCalls, 0);
    }
}

TEST_F(GameTest, NextPreviousAndRestartStayWithinTheLevels) {
    Make({1, 2, 3});
    struct Case {
        int current;
        void (Game::*request)();
        int expected;  // -1: no request made
    };
    const Case cases[] = {
        {0, &Game::NextLevel, 1},      {2, &Game::NextLevel, -1},   {1, &Game::PreviousLevel, 0},
        {0, &Game::PreviousLevel, -1}, {2, &Game::RestartLevel, 2},
    };
    for (const Case& c : cases) {
        gNode = Game::Search(c.current);
        gNode->LevelChangeCalled(false);
        game.ChangePending(false);
        (game.*c.request)();
        EXPECT_EQ(game.ChangePending(), c.expected >= 0) << c.current;
        if (c.expected >= 0) {
            EXPECT_EQ(game.LevelNumber(), c.expected) << c.current;
        }
    }
}

TEST_F(GameTest, LevelChangeHookRunsOncePerVisit) {
    Make({1, 2, 3});
    game.LevelNumber(1);
    game.LevelNumber(2);
    EXPECT_EQ(changeCalls, 1);
    EXPECT_EQ(game.LevelNumber(), 2);
}

TEST_F(GameTest, HistoryGoesBackAndForwardLikeABrowser) {
    Make({1, 2, 3, 4, 5, 6});
    Switch();  // the first level
    for (int n : {1, 2}) {
        game.LevelNumber(n);
        Switch();
    }
    EXPECT_EQ(History(), (std::vector<int>{0, 1, 2}));
    game.BackwardLevel();
    Switch();
    game.BackwardLevel();
    Switch();
    EXPECT_EQ(game.HistoryIndex(), 0);
    EXPECT_EQ(History(), (std::vector<int>{0, 1, 2}));  // navigating keeps it
    game.ChangePending(false);
    game.BackwardLevel();  // already at the first entry
    EXPECT_FALSE(game.ChangePending());
    game.LevelNumber(5);
    Switch();
    EXPECT_EQ(History(), (std::vector<int>{0, 5}));
    EXPECT_EQ(game.HistoryIndex(), 1);
    game.ChangePending(false);
    game.ForwardLevel();
    EXPECT_FALSE(game.ChangePending());
}

TEST_F(GameTest, LocalDataReplacedWithoutLeakAndUnknownPrototypeRefused) {
    Make({1});
    node prototype;
    node* table[] = {&prototype};
    NArray = table;
    maxNIndex = 0;
    game.AddLocalVariable(0);
    game.AddLocalVariable(0);  // the first clone is freed (the leak check sees it)
    gNode->AddLocalVariable(0);
    gNode->AddLocalVariable(0);
    EXPECT_EQ(game.LocalVariableIndex(), 0);
    game.AddLocalVariable(1);
    EXPECT_STREQ(_UE.ErrorMessage, "The local variable 1 cannot be found.");
    EXPECT_STREQ(_UE.TargetFunction, "void Game::AddLocalVariable(unsigned int index)");
    gNode->AddLocalVariable(3);
    EXPECT_STREQ(_UE.TargetFunction, "void GameNode::AddLocalVariable(unsigned int index)");
    NArray = nullptr;
    maxNIndex = -1;
}

TEST_F(GameTest, CopyOfALevelAddedByValueLeavesTheCurrentLevelAlone) {
    Make({1});
    int marker = 0;
    pQelCursor = reinterpret_cast<QelCursor*>(&marker);
    GameNode other;
    other.Id(2);
    game.Add(other);  // a copy is listed; the temporary copies go away
    EXPECT_EQ(pQelCursor, reinterpret_cast<QelCursor*>(&marker));
    EXPECT_EQ(Game::gameNodeList.Count(), 2);
    EXPECT_EQ(Game::Search(1)->Id(), 2);
    pQelCursor = nullptr;
}

TEST(GameNodeContents, VariablesTakeTheNextIdAndGoToTheFront) {
    GameNode level;  // holds its "FPS" text, id 1
    Variable* a = new Variable(1);
    Variable* b = new Variable(2);
    level.Add(a);
    level.Add(b);
    EXPECT_EQ(a->Id(), 2);
    EXPECT_EQ(b->Id(), 3);
    EXPECT_EQ(level.Variables().Head(), static_cast<node*>(b));
    EXPECT_EQ(level.Variables().Count(), 3);
    EXPECT_STREQ(static_cast<Variable*>(level.Variables().Sentinel()->Previous())->Name(), "FPS");
}

TEST(GameNodeContents, SearchByNameReportsAnUnknownLevel) {
    EXPECT_EQ(GameNode::Search("missing"), nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "The level named: missing is not found.");
    EXPECT_STREQ(_UE.TargetFunction, "GameNode* GameNode::Search(char *)");
}

TEST_F(GameTest, ShowingTheCursorShowsTheCursorSprite) {
    Make({1});
    std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
    game.ShowCursor(false);  // a level without a cursor sprite: nothing to report
    EXPECT_STREQ(_UE.ErrorMessage, "");
    Sprite* cursor = new Sprite();
    cursor->ZOrder(Sprite::CursorZOrder);
    cursor->DisplayListNumber(15);
    ASSERT_TRUE(gNode->Add(cursor));
    for (bool show : {true, false, true}) {
        game.ShowCursor(show);
        EXPECT_EQ(game.ShowCursor(), show);
        EXPECT_EQ(cursor->Unused(), !show);
    }
    EXPECT_STREQ(_UE.ErrorMessage, "");
}

// A view loaded from a save may stand anywhere: the integer answers truncate
// toward zero and saturate at the int range, NaN gives 0.
TEST_F(GameTest, ViewportSizeAndPositionAnswerTruncatedAndSaturated) {
    Make({1});
    ViewPort& view = gNode->GetViewPort();
    const struct {
        float value;
        int expected;
    } cases[] = {
        {12.9f, 12},
        {-12.9f, -12},
        {3e9f, std::numeric_limits<std::int32_t>::max()},
        {-3e9f, std::numeric_limits<std::int32_t>::min()},
        {INFINITY, std::numeric_limits<std::int32_t>::max()},
        {NAN, 0},
    };
    for (const auto& c : cases) {
        view.ViewPortWidth(c.value);
        view.ViewPortHeight(c.value);
        view.WorldXPos(c.value);
        view.WorldYPos(c.value);
        EXPECT_EQ(game.ViewportWidth(), c.expected) << c.value;
        EXPECT_EQ(game.ViewportHeight(), c.expected) << c.value;
        EXPECT_EQ(game.ViewPortPositionX(), c.expected) << c.value;
        EXPECT_EQ(game.ViewPortPositionY(), c.expected) << c.value;
    }
}
