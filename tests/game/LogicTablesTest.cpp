// The logic tables that levels and save files name by number: every function,
// state machine, timer and local-data prototype in its slot, the bounds that
// make the engine refuse numbers past them, and the level list.
#include <cstring>
#include <string>

#include "GameFixture.h"
#include "foundation/File.h"
#include "logic/BehaviourFunctions.h"
#include "logic/GuardLD.h"
#include "logic/LogicTables.h"
#include "logic/PlayerMovement.h"
#include "logic/PlayerShooting.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"

using namespace gametest;

class LogicTablesTest : public GameTest {};

namespace {

template <class F>
void* Address(F* f) {
    return reinterpret_cast<void*>(f);
}

struct EdgeRow {
    int target;
    void* condition;
};
struct StateRow {
    void* action;
    std::vector<EdgeRow> edges;
};

void ExpectMachine(const StateMachine& m, int start, const std::vector<StateRow>& states, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_EQ(m.GetStartingState(), start);
    ASSERT_EQ(m.GetNumberOfStates(), int(states.size()));
    for (std::size_t s = 0; s < states.size(); ++s) {
        const State& state = m.States()[s];
        EXPECT_EQ(reinterpret_cast<void*>(state.Action()), states[s].action) << "state " << s;
        EXPECT_EQ(state.NestedMachine(), nullptr) << "state " << s;
        ASSERT_EQ(state.Edges().size(), states[s].edges.size()) << "state " << s;
        for (std::size_t e = 0; e < states[s].edges.size(); ++e) {
            const Edge& edge = state.Edges()[e];
            EXPECT_EQ(edge.To(), states[s].edges[e].target) << "state " << s << " edge " << e;
            EXPECT_EQ(reinterpret_cast<void*>(edge.Condition()), states[s].edges[e].condition)
                << "state " << s << " edge " << e;
            EXPECT_FALSE(edge.Unconditional()) << "state " << s << " edge " << e;
        }
    }
}

// A timer's stored record: running, unit, remaining, reload, mode, callback number.
struct TimerRecord {
    bool running;
    std::uint32_t unit, remaining, reload;
    std::int32_t mode, callback;
};

TimerRecord Stored(Timer& timer, const std::filesystem::path& path) {
    {
        File file(path.string().c_str(), File::Writing);
        timer.Save(file);
        EXPECT_TRUE(file.Close());
    }
    const std::vector<char> b = ReadBytes(path);
    EXPECT_EQ(b.size(), 21u);
    TimerRecord r{};
    r.running = b[0] != 0;
    std::memcpy(&r.unit, b.data() + 1, 4);
    std::memcpy(&r.remaining, b.data() + 5, 4);
    std::memcpy(&r.reload, b.data() + 9, 4);
    std::memcpy(&r.mode, b.data() + 13, 4);
    std::memcpy(&r.callback, b.data() + 17, 4);
    return r;
}

}  // namespace

TEST_F(LogicTablesTest, TablesHoldEveryCallbackUnderItsNumberWithTheirBounds) {
    EXPECT_EQ(maxSMIndex, 1);
    EXPECT_EQ(maxFIndex, 21);
    EXPECT_EQ(maxTMIndex, 9);
    EXPECT_EQ(maxNIndex, 1);
    EXPECT_EQ(maxPSMIndex, -1);
    EXPECT_EQ(maxMPIndex, -1);

    void* const stateFunctions[25] = {
        Address(FallenOffPlat),
        Address(platform),
        Address(JumpFromFalling),
        Address(JumpFromPlatform),
        Address(Ini),
        Address(PlyrOnWhatSM_S1_To_S2_Condition),
        Address(PlyrOnWhatSM_S1_To_S3_Condition),
        Address(PlyrOnWhatSM_S3_To_S2_Condition),
        Address(PlyrOnWhatSM_S4_To_S2_Condition),
        Address(PlyrOnWhatSM_S2_To_S4_Condition),
        Address(PlyrOnWhatSM_S5_To_S2_Condition),
        Address(PlyrOnWhatSM_S5_To_S3_Condition),
        Address(PlyrOnWhatSM_S2_To_S1b_Condition),
        Address(SpriteCopySM_S5_Action),
        Address(SpriteCopySM_S8_Action),
        Address(SpriteCopySM_S3_To_S1_Condition),
        Address(SpriteCopySM_S1_To_S3_Condition),
        Address(SpriteCopySM_S5_To_S1_Condition),
        Address(SpriteCopySM_S7_To_S1_Condition),
        Address(SpriteCopySM_S1_To_S5_Condition),
        Address(SpriteCopySM_S5_To_S3_Condition),
        Address(SpriteCopySM_S3_To_S5_Condition),
        Address(SpriteCopySM_S1_To_S7_Condition),
        Address(SpriteCopySM_S7_To_S8_Condition),
        Address(SpriteCopySM_S8_To_S7_Condition),
    };
    for (int i = 0; i < 25; ++i) EXPECT_EQ(SMFArray[i], stateFunctions[i]) << "SMFArray " << i;

    void* const functions[22] = {
        Address(leftright),
        Address(goalLogic),
        Address(gradientGoalLogic),
        Address(title),
        Address(clearDelete),
        Address(ResetDeath),
        Address(ViewPortChara),
        Address(projectileDelete),
        Address(ClearGeneration),
        Address(ClearGenerationW),
        Address(FinishGame),
        Address(FinishWorld),
        Address(triangle),
        Address(altF4),
        Address(titlescreen),
        Address(deciderLogic),
        Address(Reset),
        Address(CopyGradient),
        Address(CopyReveal),
        Address(clearWorld3),
        Address(FinaleBehavior),
        Address(creditsBehavoir),
    };
    for (int i = 0; i < 22; ++i) EXPECT_EQ(FArray[i], functions[i]) << "FArray " << i;

    ASSERT_NE(NArray, nullptr);
    ASSERT_NE(dynamic_cast<PlayerLD*>(NArray[0]), nullptr);
    ASSERT_NE(dynamic_cast<GuardLD*>(NArray[1]), nullptr);
    EXPECT_STREQ(NArray[0]->ClassName(), "PlayerLD");
    EXPECT_STREQ(NArray[1]->ClassName(), "GuardLD");
}

TEST_F(LogicTablesTest, StateMachinesHaveTheirStatesEdgesInTestOrderAndStartingStates) {
    ExpectMachine(SMArray[0], 4,
                  {
                      {Address(FallenOffPlat), {{1, SMFArray[5]}, {2, SMFArray[6]}}},
                      {Address(platform), {{3, SMFArray[9]}, {0, SMFArray[12]}}},
                      {Address(JumpFromFalling), {{1, SMFArray[7]}}},
                      {Address(JumpFromPlatform), {{1, SMFArray[8]}}},
                      {Address(Ini), {{1, SMFArray[10]}, {2, SMFArray[11]}}},
                  },
                  "PlyrOnWhatSM");
    ExpectMachine(SMArray[1], 0,
                  {
                      {nullptr, {{3, SMFArray[22]}, {1, SMFArray[16]}, {2, SMFArray[19]}}},
                      {nullptr, {{0, SMFArray[15]}, {2, SMFArray[21]}}},
                      {Address(SpriteCopySM_S5_Action), {{0, SMFArray[17]}, {1, SMFArray[20]}}},
                      {nullptr, {{0, SMFArray[18]}, {4, SMFArray[23]}}},
                      {Address(SpriteCopySM_S8_Action), {{3, SMFArray[24]}}},
                  },
                  "SpriteCopySM");
}

TEST_F(LogicTablesTest, TimerTemplatesStoreTheirCallbackDelayUnitAndMode) {
    constexpr std::uint32_t ms = 1, frames = 0;
    constexpr std::int32_t oneShot = 0, periodic = 1;
    const TimerRecord expected[10] = {
        {true, ms, 15000, 15000, oneShot, 4}, {true, ms, 370, 370, periodic, 7},   {true, ms, 1000, 1000, oneShot, 8},
        {true, ms, 950, 950, oneShot, 9},     {true, ms, 4350, 4350, oneShot, 10}, {true, ms, 4350, 4350, oneShot, 11},
        {true, frames, 1, 1, oneShot, 17},    {true, frames, 1, 1, oneShot, 18},   {true, frames, 1, 1, oneShot, 19},
        {true, frames, 90, 90, oneShot, 21},
    };
    for (int i = 0; i < 10; ++i) {
        const TimerRecord r = Stored(TMArray[i], folder / "timer.bin");
        const TimerRecord& e = expected[i];
        EXPECT_EQ(r.running, e.running) << "timer " << i;
        EXPECT_EQ(r.unit, e.unit) << "timer " << i;
        EXPECT_EQ(r.remaining, e.remaining) << "timer " << i;
        EXPECT_EQ(r.reload, e.reload) << "timer " << i;
        EXPECT_EQ(r.mode, e.mode) << "timer " << i;
        EXPECT_EQ(r.callback, e.callback) << "timer " << i;
    }
}

TEST_F(LogicTablesTest, NumbersPastTheTablesAreRefusedAndTheLastOnesAccepted) {
    struct Case {
        int kind;  // 0 function, 1 state machine, 2 timer
        unsigned int number;
        bool accepted;
    };
    const Case cases[] = {
        {0, 21, true}, {0, 22, false}, {1, 1, true}, {1, 2, false}, {2, 9, true}, {2, 10, false},
    };
    for (const Case& c : cases) {
        Behavior b;
        ClearReports();
        if (c.kind == 0) b.AddFunction(c.number, true);
        if (c.kind == 1) b.AddStateMachine(c.number, true);
        if (c.kind == 2) b.AddTimer(c.number, true);
        EXPECT_EQ(b.Count(), c.accepted ? 1u : 0u) << "kind " << c.kind << " number " << c.number;
        if (!c.accepted) {
            EXPECT_NE(std::string(_UE.ErrorMessage).find("cannot be found"), std::string::npos) << _UE.ErrorMessage;
        }
    }
    Sprite s;
    s.AddLocalVariable(2);
    EXPECT_EQ(s.LocalData(), nullptr);
    EXPECT_NE(std::string(_UE.ErrorMessage).find("cannot be found"), std::string::npos) << _UE.ErrorMessage;
    s.AddLocalVariable(1);
    EXPECT_NE(dynamic_cast<GuardLD*>(s.LocalData()), nullptr);
}

TEST_F(LogicTablesTest, TheProjectileTimerFiresEvery22FramesAtSixtyAndTheOthersOnce) {
    struct Case {
        unsigned int timer;
        std::vector<int> firings;  // frames (from 1) on which the callback ran, up to frame 60
    };
    // clearDelete (timer 0) after 900 frames, so not within 60; projectileDelete every 22.
    const Case cases[] = {{0, {}}, {1, {22, 44}}};
    for (const Case& c : cases) {
        Sprite s;
        s.behavior.AddTimer(c.timer, true);
        std::vector<int> fired;
        for (int frame = 1; frame <= 60; ++frame) {
            s.behavior.Update(&s);
            if (s.DeleteFlag()) {
                fired.push_back(frame);
                s.DeleteFlag(false);
            }
        }
        EXPECT_EQ(fired, c.firings) << "timer " << c.timer;
    }
}

TEST_F(LogicTablesTest, LevelListHoldsThe39LevelsInPlayOrderWithTheirFunctions) {
    Game::gameNodeList.del();
    gNode = nullptr;
    Qel();
    const char* names[39] = {
        "Menu",
        "Level_1",
        "Level_2",
        "Level_3",
        "Level_4",
        "Level_5",
        "Level_6",
        "Level_7",
        "Level_8",
        "Level_9",
        "Level_10",
        "In_Media_Res",
        "Level_11",
        "Level_12",
        "Level_13",
        "Level_14",
        "Level_15",
        "Level_16",
        "Level_17",
        "Level_18",
        "Level_19",
        "Level_20",
        "Deus_Ex_Machina",
        "Level_21",
        "Level_22",
        "Level_23",
        "Level_24",
        "Level_25",
        "Level_26",
        "Level_27",
        "Level_28",
        "Level_29",
        "Level_30",
        "Dies_Tenebrosa_Sicut_Nox",
        "Level_31",
        "Level_32",
        "Level_33",
        "Level_34",
        "Level_40",
    };
    LevelFunction builders[39] = {
        Menu,
        Level_1,
        Level_2,
        Level_3,
        Level_4,
        Level_5,
        Level_6,
        Level_7,
        Level_8,
        Level_9,
        Level_10,
        In_Media_Res,
        Level_11,
        Level_12,
        Level_13,
        Level_14,
        Level_15,
        Level_16,
        Level_17,
        Level_18,
        Level_19,
        Level_20,
        Deus_Ex_Machina,
        Level_21,
        Level_22,
        Level_23,
        Level_24,
        Level_25,
        Level_26,
        Level_27,
        Level_28,
        Level_29,
        Level_30,
        Dies_Tenebrosa_Sicut_Nox,
        Level_31,
        Level_32,
        Level_33,
        Level_34,
        Level_40,
    };
    EXPECT_EQ(Game::gameNodeList.Count(), 39u);
    for (int k = 0; k < 39; ++k) {
        GameNode* level = Game::Search(k);
        ASSERT_NE(level, nullptr) << "level " << k;
        EXPECT_EQ(level->Id(), k + 1);
        EXPECT_STREQ(level->Name(), names[k]);
        EXPECT_EQ(level->BuildLevelP, builders[k]) << names[k];
        EXPECT_EQ(level->OnLevelChangeP, EmptyLevelFunction) << names[k];
        EXPECT_EQ(level->OnLevelExitP, EmptyLevelFunction) << names[k];
        LevelFunction actors = BuildStandardActors;
        if (k == 0) actors = BuildMenuActors;
        if (k == 11 || k == 22 || k == 33) actors = BuildInterludeActors;
        if (k == 34) actors = BuildLevel31Actors;
        if (k == 38) actors = BuildLevel40Actors;
        EXPECT_EQ(level->BuildActorsP, actors) << names[k];
    }
    Behavior& everyLevel = myGame->GetBehavior();
    EXPECT_EQ(everyLevel.Count(), 2u);
    EXPECT_TRUE(everyLevel.IsFunctionAdded(FunctionNo::leftright));
    EXPECT_TRUE(everyLevel.IsFunctionAdded(FunctionNo::altF4));
}
