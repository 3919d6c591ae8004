#include <string>
#include <vector>

#include "EngineRun.h"
#include "foundation/Variable.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"

namespace {

using Calls = std::vector<std::string>;

// The level builder adds one variable and records the id it was given.
void AddOneVariable(GameNode* level) {
    Variable* v = new Variable(1);
    v->Name("v");
    level->Add(v);
    EngineRun::calls.push_back("id:" + std::to_string(v->Id()));
}

Calls CallsAfter(const std::string& marker) {
    Calls after;
    bool seen = false;
    for (const std::string& c : EngineRun::calls) {
        if (seen) after.push_back(c);
        if (c == marker) seen = true;
    }
    return after;
}

}  // namespace

TEST_F(EngineRunTest, LevelSwitchEmptiesTheLevelLeftAndRebuildsTheLevelEntered) {
    EngineRun::buildLevel = AddOneVariable;
    GameNode* first = nullptr;
    int firstVariables = -1, firstMaps = -1;
    EngineRun::script = [&](int pass) {
        switch (pass) {
            case 1:
                first = gNode;
                myGame->LevelNumber(1);
                break;
            case 2:
                firstVariables = first->Variables().Count();
                firstMaps = first->Maps().Count();
                myGame->LevelNumber(0);
                break;
            case 3: myGame->EndGame(); break;
        }
    };
    EXPECT_EQ(EngineRun::Run(), 0);
    // The first switch of the run calls no exit hook; ids restart at 1 on
    // every visit (the level's "FPS" text takes 1).
    const Calls expected = {"build:1",  "id:2",   "change:1", "exit:1", "build:2",  "id:2",
                            "change:2", "exit:2", "build:1",  "id:2",   "OnGameEnd"};
    EXPECT_EQ(CallsAfter("OnGameStart"), expected);
    EXPECT_EQ(firstVariables, 1);  // only its new "FPS" text
    EXPECT_EQ(firstMaps, 0);
}

TEST_F(EngineRunTest, BuilderThatRequestsAnotherLevelCausesTwoSwitchesInOnePass) {
    std::vector<int> buildPasses;
    EngineRun::buildLevel = [&buildPasses](GameNode* level) {
        buildPasses.push_back(EngineRun::pass);
        if (level->Id() == 2) myGame->LevelNumber(2);
    };
    int levelAfter = 0;
    EngineRun::script = [&](int pass) {
        if (pass == 2) myGame->LevelNumber(1);
        if (pass == 3) {
            levelAfter = gNode->Id();
            myGame->EndGame();
        }
    };
    EXPECT_EQ(EngineRun::Run(), 0);
    const Calls expected = {"build:1", "change:1", "exit:1", "build:2", "change:2", "exit:2", "build:3", "OnGameEnd"};
    EXPECT_EQ(CallsAfter("OnGameStart"), expected);
    ASSERT_EQ(buildPasses.size(), 3u);
    EXPECT_EQ(buildPasses[1], buildPasses[2]);
    EXPECT_EQ(levelAfter, 3);
    EXPECT_EQ(myGame, nullptr);
}

TEST_F(EngineRunTest, LevelSwitchesKeepTheHistory) {
    std::vector<int> history;
    int index = -2;
    EngineRun::script = [&](int pass) {
        switch (pass) {
            case 1: myGame->LevelNumber(1); break;
            case 2: myGame->LevelNumber(2); break;
            case 3: myGame->BackwardLevel(); break;
            // Not navigating: the forward entry goes; the same number is not pushed.
            case 4: myGame->RestartLevel(); break;
            case 5:
                for (unsigned int i = 0; i < myGame->History().Size(); ++i) history.push_back(myGame->History()[i]);
                index = myGame->HistoryIndex();
                myGame->EndGame();
                break;
        }
    };
    EXPECT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(history, (std::vector<int>{0, 1}));
    EXPECT_EQ(index, 1);
}
