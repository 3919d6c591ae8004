// The game's logic tables: every function, state machine, timer and local-data
// prototype under the number by which levels and save files name it.
#include <initializer_list>

#include "logic/BehaviourFunctions.h"
#include "logic/GameDeclarations.h"
#include "logic/GuardLD.h"
#include "logic/PlayerLD.h"
#include "logic/PlayerMovement.h"
#include "logic/PlayerShooting.h"
#include "logic/LogicTables.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"
#include "runtime/EngineGlobals.h"

namespace {

template <class F>
void* Address(F* f) {
    return reinterpret_cast<void*>(f);
}

// State actions and edge conditions, by their number in SMFArray.
void* const stateFunctions[] = {
    Address(FallenOffPlat),                     // 0
    Address(platform),                          // 1
    Address(JumpFromFalling),                   // 2
    Address(JumpFromPlatform),                  // 3
    Address(Ini),                               // 4
    Address(PlyrOnWhatSM_S1_To_S2_Condition),   // 5
    Address(PlyrOnWhatSM_S1_To_S3_Condition),   // 6
    Address(PlyrOnWhatSM_S3_To_S2_Condition),   // 7
    Address(PlyrOnWhatSM_S4_To_S2_Condition),   // 8
    Address(PlyrOnWhatSM_S2_To_S4_Condition),   // 9
    Address(PlyrOnWhatSM_S5_To_S2_Condition),   // 10
    Address(PlyrOnWhatSM_S5_To_S3_Condition),   // 11
    Address(PlyrOnWhatSM_S2_To_S1b_Condition),  // 12
    Address(SpriteCopySM_S5_Action),            // 13
    Address(SpriteCopySM_S8_Action),            // 14
    Address(SpriteCopySM_S3_To_S1_Condition),   // 15
    Address(SpriteCopySM_S1_To_S3_Condition),   // 16
    Address(SpriteCopySM_S5_To_S1_Condition),   // 17
    Address(SpriteCopySM_S7_To_S1_Condition),   // 18
    Address(SpriteCopySM_S1_To_S5_Condition),   // 19
    Address(SpriteCopySM_S5_To_S3_Condition),   // 20
    Address(SpriteCopySM_S3_To_S5_Condition),   // 21
    Address(SpriteCopySM_S1_To_S7_Condition),   // 22
    Address(SpriteCopySM_S7_To_S8_Condition),   // 23
    Address(SpriteCopySM_S8_To_S7_Condition),   // 24
};

// Behaviour functions, by their number in FArray.
void* const behaviourFunctions[] = {
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

constexpr unsigned int StateFunctionCount = sizeof stateFunctions / sizeof stateFunctions[0];
constexpr unsigned int BehaviourFunctionCount = sizeof behaviourFunctions / sizeof behaviourFunctions[0];
static_assert(StateFunctionCount == 25 && BehaviourFunctionCount == 22);

constexpr TimerUnit Frames = 0, Milliseconds = 1;
constexpr TimerMode OneShot = 0, Periodic = 1;

struct TimerTemplate {
    int function;
    unsigned int delay;
    TimerUnit unit;
    TimerMode mode;
};

// Timer templates, by their number in TMArray; all start running.
constexpr TimerTemplate timers[] = {
    {FunctionNo::clearDelete, 15000, Milliseconds, OneShot},
    {FunctionNo::projectileDelete, 370, Milliseconds, Periodic},
    {FunctionNo::ClearGeneration, 1000, Milliseconds, OneShot},
    {FunctionNo::ClearGenerationW, 950, Milliseconds, OneShot},
    {FunctionNo::FinishGame, 4350, Milliseconds, OneShot},
    {FunctionNo::FinishWorld, 4350, Milliseconds, OneShot},
    {FunctionNo::CopyGradient, 1, Frames, OneShot},
    {FunctionNo::CopyReveal, 1, Frames, OneShot},
    {FunctionNo::clearWorld3, 1, Frames, OneShot},
    {FunctionNo::creditsBehavoir, 90, Frames, OneShot},
};
constexpr unsigned int TimerCount = sizeof timers / sizeof timers[0];

struct EdgeTemplate {
    int target;
    int condition;  // number in SMFArray
};

struct StateTemplate {
    int action;  // number in SMFArray, -1 for none
    std::initializer_list<EdgeTemplate> edges;
};

// Edges are tested in the order listed.
StateMachine BuildMachine(std::initializer_list<StateTemplate> states, int startingState) {
    StateMachine machine;
    for (const StateTemplate& t : states) {
        State state(t.action < 0 ? nullptr : reinterpret_cast<StateAction>(GetStateFunction(t.action)));
        for (const EdgeTemplate& e : t.edges)
            state.AddEdge(Edge(e.target, reinterpret_cast<EdgeCondition>(GetEdgeFunction(e.condition)), false));
        machine.AddState(state);
    }
    machine.SetStartingState(startingState);
    return machine;
}

StateMachine PlyrOnWhatSM() {
    return BuildMachine(
        {
            {0, {{1, 5}, {2, 6}}},    // S1 FallenOffPlat
            {1, {{3, 9}, {0, 12}}},   // S2 platform
            {2, {{1, 7}}},            // S3 JumpFromFalling
            {3, {{1, 8}}},            // S4 JumpFromPlatform
            {4, {{1, 10}, {2, 11}}},  // S5 Ini
        },
        4);
}

StateMachine SpriteCopySM() {
    return BuildMachine(
        {
            {-1, {{3, 22}, {1, 16}, {2, 19}}},  // S1
            {-1, {{0, 15}, {2, 21}}},           // S3
            {13, {{0, 17}, {1, 20}}},           // S5
            {-1, {{0, 18}, {4, 23}}},           // S7
            {14, {{3, 24}}},                    // S8
        },
        0);
}

// The prototypes live until program exit; GuardLD, made second, goes first.
PlayerLD& PlayerPrototype() {
    static PlayerLD prototype;
    return prototype;
}

GuardLD& GuardPrototype() {
    static GuardLD prototype;
    return prototype;
}

}  // namespace

void BuildLogic() {
    SMArray = NewStateMachines(2);
    SMFArray = NewVoidPointers(StateFunctionCount);
    for (unsigned int i = 0; i < StateFunctionCount; ++i) SMFArray[i] = stateFunctions[i];
    FArray = NewVoidPointers(BehaviourFunctionCount);
    for (unsigned int i = 0; i < BehaviourFunctionCount; ++i) FArray[i] = behaviourFunctions[i];
    // Timers take their callbacks through this bound, so it comes first.
    maxSMIndex = 1;
    maxFIndex = BehaviourFunctionCount - 1;

    TMArray = NewTimers(TimerCount);
    for (unsigned int i = 0; i < TimerCount; ++i) {
        const TimerTemplate& t = timers[i];
        TMArray[i] =
            Timer(reinterpret_cast<BehaviorFunction>(GetTimerFunction(t.function)), t.delay, t.unit, true, t.mode);
    }
    maxTMIndex = TimerCount - 1;

    NArray = NewNodePointers(2);
    NArray[LocalDataNo::PlayerLD] = &PlayerPrototype();
    NArray[LocalDataNo::GuardLD] = &GuardPrototype();
    maxNIndex = 1;

    SMArray[StateMachineNo::PlyrOnWhatSM] = PlyrOnWhatSM();
    SMArray[StateMachineNo::SpriteCopySM] = SpriteCopySM();
}
