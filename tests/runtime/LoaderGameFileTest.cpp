// The game file: display mode, logic tables and levels read into the engine's
// tables and game, and files that are short or corrupt refused with a message
// while the tables stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "LoaderWriter.h"
#include "display/DisplayInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/Behavior.h"
#include "logic/LogicTablesInternal.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachine.h"
#include "logic/PathTablesInternal.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"

namespace {

int timerCalls = 0;
void TimerCallback(void*) { ++timerCalls; }
void StateAction0(int, void*) {}
bool EdgeCondition0(void*) { return true; }
void LevelBuilder(GameNode*) {}
void LevelExit(GameNode*) {}

// A cut file is found either at its end or by a count that the rest cannot hold.
bool IsShortFileFault(const std::string& fault) {
    return fault.find("ends early") != std::string::npos || fault.find("more than the data holds") != std::string::npos;
}

// The four logic sections, each empty.
LoaderWriter NoLogic() { return LoaderWriter().I32(0).I32(0).I32(0).I32(0); }

// Two timers, two state machines (the second nested in the first), one path
// state machine of three stations and one movement pattern.
LoaderWriter FullLogic() {
    LoaderWriter w;
    w.I32(2);
    w.I32(-1).U32(7).I32(0).B(false).U32(2);  // no callback, one-shot, stopped
    w.I32(0).U32(1).I32(0).B(true).U32(1);    // callback 0, periodic every frame
    w.I32(2);
    // Machine 0: state 0 (action 0) -> state 1 conditionally; state 1 holds machine 1.
    w.I32(2);
    w.I32(0).I32(-1).I32(1).I32(1).I32(1).B(false);
    w.I32(-1).I32(1).I32(1).I32(0).I32(-1).B(true);
    w.I32(1);  // starting state
    // Machine 1: one state without edges.
    w.I32(1).I32(-1).I32(-1).I32(0).I32(0);
    // Path state machine: two states, three stations in an L, links 0-1, 1-2.
    w.I32(1);
    w.I32(2).I32(3);
    w.I32(0).U32(4).U8(0x20).I32(2).B(true).I32(1);
    w.I32(1).I32(1).I32(0).B(false).B(true).U8(0x21).U32(5).I32(1).I32(2);
    w.I32(-1).U32(0).U8(0xFF).I32(-1).B(false).I32(-1).I32(0);
    w.I32(0);  // starting state
    w.F32(0).F32(0).F32(30).F32(0).F32(30).F32(40);
    w.I32(2).I32(0).I32(1).I32(1).I32(2);
    w.B(true).I32(3);
    w.B(true).Segment(0, 0, 10, 0, 7).B(true).Segment(0, 0, 0, 10, 8);
    w.B(false);
    w.B(true).Segment(5, 5, 6, 6, 9).B(false);
    // Movement pattern "zigzag": two legs.
    w.I32(1).Str("zigzag").I32(2).I32(3).I32(4).I32(0).I32(-2);
    return w;
}

class LoaderGameFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        FArray = NewVoidPointers(1);
        FArray[0] = reinterpret_cast<void*>(&TimerCallback);
        maxFIndex = 0;
        SMFArray = NewVoidPointers(2);
        SMFArray[0] = reinterpret_cast<void*>(&StateAction0);
        SMFArray[1] = reinterpret_cast<void*>(&EdgeCondition0);
        LVFArray = NewVoidPointers(2);
        LVFArray[0] = reinterpret_cast<void*>(&LevelBuilder);
        LVFArray[1] = reinterpret_cast<void*>(&LevelExit);
        timerCalls = 0;
    }
    void TearDown() override {
        resource.reset();
        delete _GameFile;
        _GameFile = nullptr;
        FreePathStateMachines(PSMArray);
        PSMArray = nullptr;
        maxPSMIndex = -1;
        FreeMovementPatterns(MPArray);
        MPArray = nullptr;
        maxMPIndex = -1;
        FreeGameTables();
        if (myGame != nullptr) {
            Game::gameNodeList.del();
            delete myGame;
            myGame = nullptr;
        }
    }

    // Opens the first `size` bytes of w as the game file and gives its reader.
    gamefile::Reader& Open(const LoaderWriter& w, std::size_t size) {
        reader.reset();
        delete _GameFile;
        _GameFile = nullptr;
        resource.reset();
        resource = std::make_unique<ResourceFile>("game.dat", w.bytes, size);
        CreateBinaryGameFile("game.dat");
        reader = std::make_unique<gamefile::Reader>(*_GameFile);
        return *reader;
    }
    gamefile::Reader& Open(const LoaderWriter& w) { return Open(w, w.Size()); }

    std::unique_ptr<ResourceFile> resource;
    std::unique_ptr<gamefile::Reader> reader;
};

TEST_F(LoaderGameFile, ModeSetsTheDisplayAndItsFlagsOrRefusesAModeThatCannotBeShown) {
    struct Case {
        std::int32_t w, h, depth;
        bool windowed, saver, accepted;
    };
    for (const Case& c : {Case{640, 480, 32, true, false, true}, Case{800, 600, 16, false, true, true},
                          Case{320, 200, 8, false, false, true}, Case{0, 480, 32, true, false, false},
                          Case{640, -1, 32, true, false, false}, Case{640, 480, 12, true, false, false},
                          Case{20000, 480, 32, true, false, false}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + "x" + std::to_string(c.depth));
        SetMode(1, 1, 1);
        _IsWindowed = !c.windowed;
        _IsScreenSaver = !c.saver;
        gamefile::Reader& r = Open(LoaderWriter().I32(c.w).I32(c.h).I32(c.depth).B(c.windowed).B(c.saver));
        ASSERT_EQ(gamefile::ReadMode(r), c.accepted) << r.Fault();
        if (c.accepted) {
            EXPECT_EQ(displayWidth, c.w);
            EXPECT_EQ(displayHeight, c.h);
            EXPECT_EQ(displayDepth, c.depth);
            EXPECT_EQ(_IsWindowed, c.windowed);
            EXPECT_EQ(_IsScreenSaver, c.saver);
        } else {
            EXPECT_NE(r.Fault().find("cannot be shown"), std::string::npos) << r.Fault();
            EXPECT_EQ(displayWidth, 1);
        }
    }
    _IsScreenSaver = false;
}

TEST_F(LoaderGameFile, LogicTablesAreBuiltFromTheirRecords) {
    gamefile::Reader& r = Open(FullLogic());
    ASSERT_TRUE(gamefile::ReadLogic(r)) << r.Fault();
    EXPECT_EQ(_GameFile->BytesLeft(), 0);

    ASSERT_EQ(maxTMIndex, 1);
    EXPECT_EQ(TMArray[0].TimeRemaining(), 7u);
    EXPECT_EQ(TMArray[0].GetMode(), 2);
    EXPECT_FALSE(TMArray[0].IsRunning());
    EXPECT_TRUE(TMArray[1].IsRunning());
    TMArray[0].Start();
    for (int i = 0; i < 8; ++i) TMArray[0].Tick(nullptr);
    EXPECT_EQ(timerCalls, 0);  // function -1: no callback
    TMArray[1].Tick(nullptr);
    EXPECT_EQ(timerCalls, 1);

    ASSERT_EQ(maxSMIndex, 1);
    const StateMachine& m = SMArray[0];
    ASSERT_EQ(m.GetNumberOfStates(), 2);
    EXPECT_EQ(m.GetStartingState(), 1);
    EXPECT_EQ(m.States()[0].Action(), &StateAction0);
    EXPECT_EQ(m.States()[0].NestedMachine(), nullptr);
    ASSERT_EQ(m.States()[0].Edges().size(), 1u);
    EXPECT_EQ(m.States()[0].Edges()[0].To(), 1);
    EXPECT_EQ(m.States()[0].Edges()[0].Condition(), &EdgeCondition0);
    EXPECT_FALSE(m.States()[0].Edges()[0].Unconditional());
    EXPECT_EQ(m.States()[1].Action(), nullptr);
    EXPECT_EQ(m.States()[1].NestedMachine(), &SMArray[1]);
    EXPECT_EQ(m.States()[1].Edges()[0].Condition(), nullptr);
    EXPECT_TRUE(m.States()[1].Edges()[0].Unconditional());

    ASSERT_EQ(maxPSMIndex, 0);
    const PathStateMachine& p = PSMArray[0];
    EXPECT_EQ(p.NumberOfStations(), 3);
    EXPECT_EQ(p.GetNumberOfStates(), 2);
    const State& ps = p.States()[0];
    EXPECT_EQ(ps.Speed(), 4u);
    EXPECT_EQ(ps.Key(), 0x20);
    EXPECT_EQ(ps.TargetStation(), 2);
    EXPECT_TRUE(ps.Stop());
    EXPECT_EQ(ps.PathKind(), 1);
    const Edge& pe = ps.Edges()[0];
    EXPECT_EQ(pe.To(), 1);
    EXPECT_TRUE(pe.EnteringTwo());
    EXPECT_EQ(pe.Key(), 0x21);
    EXPECT_EQ(pe.Tolerance(), 5u);
    EXPECT_EQ(pe.Station(), 1);
    EXPECT_EQ(pe.PathKind(), 2);
    EXPECT_FLOAT_EQ(p.LinkWeight(0, 1), 30.0f);
    EXPECT_FLOAT_EQ(p.LinkWeight(1, 2), 40.0f);
    EXPECT_FLOAT_EQ(p.LinkWeight(1, 0), -1.0f);  // links are one way
    EXPECT_EQ(p.PathDistance(0, 2), 70);         // routes were computed
    EXPECT_EQ(p.Via(0, 2), 1);
    EXPECT_EQ(p.Gates().size(), 3u);  // two of the first gate, none of the absent one, one of the third

    ASSERT_EQ(maxMPIndex, 0);
    EXPECT_STREQ(MPArray[0].Name(), "zigzag");
    ASSERT_EQ(MPArray[0].NumberOfVectors(), 2u);
    EXPECT_FLOAT_EQ(MPArray[0].Vector(0)->length, 5.0f);
    EXPECT_FLOAT_EQ(MPArray[0].Vector(1)->directionY, -1.0f);
}

// Records at their smallest: every count 0, every text empty, no gates. Many
// of them, with little after them, fill the file exactly, so a count check
// that takes a record for longer refuses the file.
LoaderWriter Repeated(int n, const LoaderWriter& record) {
    LoaderWriter w;
    for (int i = 0; i < n; ++i) w.Append(record);
    return w;
}
LoaderWriter SmallestPathState(std::int32_t edges = 0) {
    return LoaderWriter().I32(-1).U32(0).U8(0xFF).I32(-1).B(false).I32(0).I32(edges);
}

TEST_F(LoaderGameFile, FilesOfRecordsAtTheirSmallestLoadWhole) {
    constexpr int N = 64;
    const LoaderWriter none = LoaderWriter().I32(0);
    auto logic = [&](const LoaderWriter& timers, const LoaderWriter& machines, const LoaderWriter& paths,
                     const LoaderWriter& patterns) {
        return LoaderWriter(timers).Append(machines).Append(paths).Append(patterns);
    };
    // One path state machine: its states, stations, links and gates.
    auto path = [&](const LoaderWriter& states, const LoaderWriter& stations, const LoaderWriter& links,
                    const LoaderWriter& gates) {
        return LoaderWriter().I32(1).Append(states).Append(stations).Append(links).Append(gates);
    };
    const LoaderWriter noStates = LoaderWriter().I32(0).I32(0).I32(0);  // states, stations, starting state
    struct Case {
        const char* name;
        LoaderWriter file;
        bool (*part)(gamefile::Reader&);
    };
    const Case cases[] = {
        {"timers",
         logic(LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(-1).U32(0).I32(0).B(true).U32(1))), none,
               none, none),
         gamefile::ReadLogic},
        {"state machines",
         logic(none, LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(0).I32(0))), none, none),
         gamefile::ReadLogic},
        {"states",
         logic(none, LoaderWriter().I32(1).I32(N).Append(Repeated(N, LoaderWriter().I32(-1).I32(-1).I32(0))).I32(0),
               none, none),
         gamefile::ReadLogic},
        {"edges",
         logic(none,
               LoaderWriter().I32(1).I32(1).I32(-1).I32(-1).I32(N).Append(
                   Repeated(N, LoaderWriter().I32(0).I32(-1).B(true))).I32(0),
               none, none),
         gamefile::ReadLogic},
        {"path state machines",
         logic(none, none, LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter(noStates).I32(0).B(false))), none),
         gamefile::ReadLogic},
        {"path states",
         logic(none, none,
               path(LoaderWriter().I32(N).I32(0).Append(Repeated(N, SmallestPathState())).I32(0), LoaderWriter(),
                    LoaderWriter().I32(0), LoaderWriter().B(false)),
               none),
         gamefile::ReadLogic},
        {"path edges",
         logic(none, none,
               path(LoaderWriter().I32(1).I32(0).Append(SmallestPathState(N)).Append(
                        Repeated(N, LoaderWriter().I32(0).I32(-1).B(true).B(false).U8(0).U32(0).I32(0).I32(0))).I32(0),
                    LoaderWriter(), LoaderWriter().I32(0), LoaderWriter().B(false)),
               none),
         gamefile::ReadLogic},
        {"stations",
         logic(none, none,
               path(LoaderWriter().I32(0).I32(N).I32(0), Repeated(N, LoaderWriter().F32(1).F32(2)),
                    LoaderWriter().I32(0), LoaderWriter().B(false)),
               none),
         gamefile::ReadLogic},
        {"links",
         logic(none, none,
               path(LoaderWriter().I32(0).I32(2).I32(0), LoaderWriter().F32(0).F32(0).F32(3).F32(4),
                    LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(0).I32(1))), LoaderWriter().B(false)),
               none),
         gamefile::ReadLogic},
        {"gates",
         logic(none, none,
               path(noStates, LoaderWriter(), LoaderWriter().I32(0),
                    LoaderWriter().B(true).I32(N).Append(Repeated(N, LoaderWriter().B(false)))),
               none),
         gamefile::ReadLogic},
        {"movement patterns",
         logic(none, none, none, LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().Str("").I32(0)))),
         gamefile::ReadLogic},
        {"movement vectors",
         logic(none, none, none,
               LoaderWriter().I32(1).Str("").I32(N).Append(Repeated(N, LoaderWriter().I32(1).I32(0)))),
         gamefile::ReadLogic},
        {"levels",
         [&] {
             LoaderWriter w = LoaderWriter().Behaviour().I32(N);
             for (int id = 1; id <= N; ++id) w.I32(id).Str("").U32(0).U32(0).U32(0).U32(0).Str("");
             return w.Str("").I32(-1);
         }(),
         gamefile::ReadLevels},
        {"behaviour entries",
         LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(3))).I32(0).Str("").I32(-1), gamefile::ReadLevels},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        myGame = new Game();
        gamefile::Reader& r = Open(c.file);
        EXPECT_TRUE(c.part(r)) << r.Fault();
        EXPECT_EQ(_GameFile->BytesLeft(), 0);
        TearDown();
        SetUp();
    }
}

TEST_F(LoaderGameFile, CountsOfZeroKeepTheGamesOwnTables) {
    Timer* timers = NewTimers(3);
    StateMachine* machines = NewStateMachines(2);
    TMArray = timers;
    maxTMIndex = 2;
    SMArray = machines;
    maxSMIndex = 1;
    gamefile::Reader& r = Open(NoLogic());
    ASSERT_TRUE(gamefile::ReadLogic(r)) << r.Fault();
    EXPECT_EQ(TMArray, timers);
    EXPECT_EQ(maxTMIndex, 2);
    EXPECT_EQ(SMArray, machines);
    EXPECT_EQ(maxSMIndex, 1);
    EXPECT_EQ(PSMArray, nullptr);
    EXPECT_EQ(maxPSMIndex, -1);
    EXPECT_EQ(MPArray, nullptr);
    EXPECT_EQ(maxMPIndex, -1);
}

TEST_F(LoaderGameFile, EveryShortLogicPartIsRefusedAndChangesNoTable) {
    const LoaderWriter full = FullLogic();
    Timer* timers = NewTimers(1);
    TMArray = timers;
    maxTMIndex = 0;
    for (std::size_t size = 0; size < full.Size(); ++size) {
        SCOPED_TRACE(size);
        gamefile::Reader& r = Open(full, size);
        ASSERT_FALSE(gamefile::ReadLogic(r));
        EXPECT_TRUE(IsShortFileFault(r.Fault())) << r.Fault();
        EXPECT_EQ(TMArray, timers);
        EXPECT_EQ(maxTMIndex, 0);
        EXPECT_EQ(SMArray, nullptr);
        EXPECT_EQ(PSMArray, nullptr);
        EXPECT_EQ(MPArray, nullptr);
    }
}

TEST_F(LoaderGameFile, CorruptCountsAndIndicesAreRefusedWithTheirReason) {
    struct Case {
        const char* name;
        LoaderWriter file;
        const char* reason;
    };
    auto machines = [](LoaderWriter body) { return LoaderWriter().I32(0).Append(body); };
    auto paths = [](LoaderWriter body) { return LoaderWriter().I32(0).I32(0).Append(body); };
    const Case cases[] = {
        {"negative timer count", LoaderWriter().I32(-1), "count of timers"},
        {"timer count beyond the data", LoaderWriter().I32(0x7FFFFFFF), "count of timers"},
        {"state count beyond the data", machines(LoaderWriter().I32(1).I32(1000)), "count of states"},
        {"edge to a missing state",
         machines(
             LoaderWriter().I32(1).I32(2).I32(-1).I32(-1).I32(1).I32(5).I32(-1).B(true).I32(-1).I32(-1).I32(0).I32(0)),
         "leads to state 5"},
        {"edge to a negative state",
         machines(LoaderWriter().I32(1).I32(1).I32(-1).I32(-1).I32(1).I32(-1).I32(-1).B(true).I32(0)),
         "leads to state -1"},
        {"starting state missing", machines(LoaderWriter().I32(1).I32(1).I32(-1).I32(-1).I32(0).I32(3)),
         "starts in state 3"},
        {"machine nested in itself", machines(LoaderWriter().I32(1).I32(1).I32(-1).I32(0).I32(0).I32(0)),
         "state machine 0 is nested in itself"},
        {"machines nested in a circle",
         machines(LoaderWriter()
                      .I32(3)
                      .I32(1)
                      .I32(-1)
                      .I32(1)
                      .I32(0)
                      .I32(0)  // 0 holds 1
                      .I32(1)
                      .I32(-1)
                      .I32(2)
                      .I32(0)
                      .I32(0)  // 1 holds 2
                      .I32(1)
                      .I32(-1)
                      .I32(1)
                      .I32(0)
                      .I32(0)),  // 2 holds 1
         "is nested in itself"},
        {"too many stations", paths(LoaderWriter().I32(1).I32(0).I32(gamefile::MaxPathStations + 1)),
         "stations, more than"},
        {"stations beyond the data", paths(LoaderWriter().I32(1).I32(0).I32(500).I32(0)), "stations, more than"},
        {"negative stations", paths(LoaderWriter().I32(1).I32(0).I32(-2).I32(0)), "stations, more than"},
        {"link to a missing station",
         paths(LoaderWriter().I32(1).I32(0).I32(2).I32(0).F32(0).F32(0).F32(1).F32(1).I32(1).I32(0).I32(7).B(false)),
         "links stations 0 and 7"},
        {"gate count beyond the data", paths(LoaderWriter().I32(1).I32(0).I32(0).I32(0).I32(0).B(true).I32(1000)),
         "count of gates"},
        {"pattern name longer than the file", paths(LoaderWriter().I32(0).I32(1).I32(1000).U8('a')),
         "a text of 1000 bytes"},
        {"vector count beyond the data", paths(LoaderWriter().I32(0).I32(1).Str("p").I32(1 << 30)),
         "count of movement vectors"},
        // The callback table holds two entries.
        {"state action past the callbacks", machines(LoaderWriter().I32(1).I32(1).I32(2).I32(-1).I32(0).I32(0)),
         "state machine 0 calls callback 2"},
        {"edge condition past the callbacks",
         machines(LoaderWriter().I32(1).I32(1).I32(-1).I32(-1).I32(1).I32(0).I32(7).B(true).I32(0)),
         "state machine 0 calls callback 7"},
        {"path state action past the callbacks",
         paths(LoaderWriter().I32(1).I32(1).I32(0).I32(5).U32(0).U8(0xFF).I32(-1).B(false).I32(-1).I32(0).I32(0)),
         "path state machine 0 calls callback 5"},
        {"path edge condition past the callbacks",
         paths(LoaderWriter()
                   .I32(1)
                   .I32(1)
                   .I32(0)
                   .I32(-1)
                   .U32(0)
                   .U8(0xFF)
                   .I32(-1)
                   .B(false)
                   .I32(-1)
                   .I32(1)
                   .I32(0)
                   .I32(9)
                   .B(true)
                   .B(false)
                   .U8(0)
                   .U32(0)
                   .I32(0)
                   .I32(0)
                   .I32(0)),
         "path state machine 0 calls callback 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Room for the records the counts promise, so that each count is judged by its own bound.
        LoaderWriter file = c.file;
        for (int i = 0; i < 6; ++i) file.I32(0);
        gamefile::Reader& r = Open(file);
        ASSERT_FALSE(gamefile::ReadLogic(r));
        EXPECT_NE(r.Fault().find(c.reason), std::string::npos) << r.Fault();
        EXPECT_EQ(TMArray, nullptr);
        EXPECT_EQ(SMArray, nullptr);
        EXPECT_EQ(PSMArray, nullptr);
        EXPECT_EQ(MPArray, nullptr);
    }
}

// The game's behaviour, two levels and the title.
LoaderWriter Levels(const std::string& secondLevelFile) {
    LoaderWriter w;
    // A kind-3 entry is its 4 kind bytes alone; function 0 follows it.
    w.Behaviour({{3, 0, false}, {0, 0, true}});
    w.I32(2);
    w.I32(1).Str("Menu").U32(0).U32(0).U32(1).U32(1).Str("");
    w.I32(2).Str("Level 1").U32(1).U32(0).U32(0).U32(1).Str(secondLevelFile);
    w.Str("Title").I32(-1);
    return w;
}

TEST_F(LoaderGameFile, LevelsAreAddedWithTheirFunctionsAndLevelFiles) {
    struct Case {
        const char* file;
        bool asResource;
        std::string expected;
    };
    const Case cases[] = {{"level1.lvl", false, std::string(dataFolder) + "level1.lvl"},
                          {"game.dat", true, "game.dat"}};  // the game file is itself a resource
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        myGame = new Game();
        gamefile::Reader& r = Open(Levels(c.file));
        ASSERT_TRUE(gamefile::ReadLevels(r)) << r.Fault();
        EXPECT_TRUE(myGame->GetBehavior().IsFunctionAdded(0));
        EXPECT_EQ(myGame->GetBehavior().Count(), 1u);
        GameNode* menu = Game::Search(0);
        GameNode* first = Game::Search(1);
        ASSERT_NE(menu, nullptr);
        ASSERT_NE(first, nullptr);
        EXPECT_STREQ(menu->Name(), "Menu");
        EXPECT_EQ(menu->BuildActorsP, &LevelBuilder);
        EXPECT_EQ(menu->OnLevelChangeP, &LevelExit);
        EXPECT_STREQ(menu->LevelFileName, "");  // no name: built by its functions alone
        EXPECT_EQ(first->BuildActorsP, &LevelExit);
        EXPECT_EQ(first->BuildLevelP, &LevelBuilder);
        EXPECT_EQ(first->LevelFileName, c.expected.c_str());
        Game::gameNodeList.del();
        delete myGame;
        myGame = nullptr;
    }
}

// The whole game file in one stream, its records in their longer branches:
// gates of two segments, behaviour entries with their numbers, named levels.
TEST_F(LoaderGameFile, AGameFileOfRecordsAtTheirLargestLoadsWhole) {
    myGame = new Game();
    const LoaderWriter file =
        LoaderWriter().I32(640).I32(480).I32(32).B(true).B(false).Append(FullLogic()).Append(Levels("level1.lvl"));
    gamefile::Reader& r = Open(file);
    ASSERT_TRUE(gamefile::ReadMode(r)) << r.Fault();
    ASSERT_TRUE(gamefile::ReadLogic(r)) << r.Fault();
    ASSERT_TRUE(gamefile::ReadLevels(r)) << r.Fault();
    EXPECT_EQ(_GameFile->BytesLeft(), 0);
    EXPECT_EQ(maxMPIndex, 0);
    ASSERT_NE(Game::Search(1), nullptr);
    EXPECT_STREQ(Game::Search(1)->Name(), "Level 1");
}

TEST_F(LoaderGameFile, ShortOrCorruptLevelPartAddsNoLevel) {
    const LoaderWriter full = Levels("level1.lvl");
    myGame = new Game();
    for (std::size_t size = 0; size < full.Size(); ++size) {
        SCOPED_TRACE(size);
        gamefile::Reader& r = Open(full, size);
        ASSERT_FALSE(gamefile::ReadLevels(r));
        EXPECT_TRUE(IsShortFileFault(r.Fault())) << r.Fault();
        EXPECT_TRUE(Game::gameNodeList.Head()->EOList());
        EXPECT_EQ(myGame->GetBehavior().Count(), 0u);
    }
    gamefile::Reader& r = Open(LoaderWriter().Behaviour().I32(1 << 28));
    ASSERT_FALSE(gamefile::ReadLevels(r));
    EXPECT_NE(r.Fault().find("count of levels"), std::string::npos) << r.Fault();
}

TEST_F(LoaderGameFile, LevelFunctionNumbersPastTheTableAreRefusedAndAddNoLevel) {
    // The level-function table holds two entries; each of the four numbers is checked.
    struct Case {
        std::uint32_t actors, build, change, exit;
        bool withTable;
    };
    myGame = new Game();
    for (const Case& c : {Case{2, 0, 0, 0, true}, Case{0, 2, 0, 0, true}, Case{0, 0, 2, 0, true},
                          Case{0, 0, 0, 0xFFFFFFFFu, true}, Case{0, 0, 0, 0, false}}) {
        const std::uint32_t bad = std::max({c.actors, c.build, c.change, c.exit});
        SCOPED_TRACE(testing::Message() << c.actors << " " << c.build << " " << c.change << " " << c.exit);
        if (!c.withTable) {
            FreeVoidPointers(LVFArray);
            LVFArray = nullptr;
        }
        LoaderWriter w;
        w.Behaviour().I32(1).I32(1).Str("Menu").U32(c.actors).U32(c.build).U32(c.change).U32(c.exit).Str("");
        w.Str("Title").I32(-1);
        gamefile::Reader& r = Open(w);
        ASSERT_FALSE(gamefile::ReadLevels(r));
        EXPECT_NE(r.Fault().find("level 1 calls level function " + std::to_string(bad)), std::string::npos)
            << r.Fault();
        EXPECT_TRUE(Game::gameNodeList.Head()->EOList());
    }
}

TEST_F(LoaderGameFile, ACorruptGameFileEndsTheProgramWithItsReason) {
    Open(LoaderWriter().I32(0).I32(1).I32(1).I32(-1).I32(0).I32(0).I32(0));
    EXPECT_EXIT(GenerateLogic(), testing::ExitedWithCode(FatalExitStatus),
                "The game file is corrupt: state machine 0 is nested in itself");
}

TEST_F(LoaderGameFile, LoadersWithoutAGameFileReportTheMisuse) {
    struct Case {
        void (*loader)();
        const char* target;
    };
    myGame = new Game();
    for (const Case& c :
         {Case{GenerateMode, "void GenerateMode(void)"}, Case{GenerateLogic, "void GenerateLogic(void)"},
          Case{GenerateLevels, "void GenerateLevels(void)"}}) {
        SCOPED_TRACE(c.target);
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        c.loader();
        EXPECT_STREQ(_UE.TargetFunction, c.target);
        EXPECT_STREQ(_UE.ErrorMessage, "No game file is open.");
    }
}

}  // namespace
