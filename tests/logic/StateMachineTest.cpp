#include "LogicFixture.h"
#include "logic/StateMachine.h"

namespace logictest {
namespace {

class StateMachineTest : public LogicTest {};

void Act(int, void*) {}
bool Yes(void*) { return true; }

TEST_F(StateMachineTest, StartingStateIsSetOnlyForAnExistingState) {
    struct Case {
        int states;
        int requested;
        bool accepted;
        int startingAfter;
    };
    const Case cases[] = {{0, 0, false, 0}, {3, -1, false, 0}, {3, 3, false, 0},
                          {3, 2, true, 2},  {3, 0, true, 0},   {1, 1, false, 0}};
    for (const Case& c : cases) {
        StateMachine m;
        for (int i = 0; i < c.states; ++i) m.AddState(State(&Act));
        EXPECT_EQ(m.SetStartingState(c.requested), c.accepted) << c.states << " states, " << c.requested;
        EXPECT_EQ(m.GetStartingState(), c.startingAfter);
        EXPECT_EQ(m.GetNumberOfStates(), c.states);
    }
}

TEST_F(StateMachineTest, StatesAreCopiedWithTheEdgesTheyHadWhenAdded) {
    StateMachine m;
    State early(&Act);
    m.AddState(early);  // added before its edges
    early.AddEdge(Edge(1, &Yes, false));
    State late(&Act);
    late.AddEdge(Edge(0, nullptr, true));
    late.AddEdge(Edge(1, &Yes, false));
    m.AddState(late);
    late.AddEdge(Edge(0, &Yes, false));  // after adding: does not reach the machine

    ASSERT_EQ(m.GetNumberOfStates(), 2);
    EXPECT_TRUE(m.States()[0].Edges().empty());
    ASSERT_EQ(m.States()[1].Edges().size(), 2u);
    EXPECT_EQ(m.States()[1].Edges()[0].To(), 0);
    EXPECT_TRUE(m.States()[1].Edges()[0].Unconditional());
    EXPECT_EQ(m.States()[1].Edges()[1].To(), 1);
    EXPECT_EQ(m.States()[1].Edges()[1].Condition(), &Yes);
}

TEST_F(StateMachineTest, PlainRecordsKeepThePathDefaults) {
    const Edge plain(3, &Yes, false);
    EXPECT_EQ(plain.PathKind(), -1);
    EXPECT_EQ(plain.Station(), -1);
    EXPECT_FALSE(plain.EnteringTwo());
    EXPECT_EQ(plain.Key(), 0xFF);
    EXPECT_EQ(plain.Tolerance(), 2u);
    const Edge path(4, nullptr, true, true, 0x1E, 9, 2, 1);
    EXPECT_EQ(path.To(), 4);
    EXPECT_TRUE(path.EnteringTwo());
    EXPECT_EQ(path.Key(), 0x1E);
    EXPECT_EQ(path.Tolerance(), 9u);
    EXPECT_EQ(path.Station(), 2);
    EXPECT_EQ(path.PathKind(), 1);

    const State state(&Act);
    EXPECT_EQ(state.Speed(), 0u);
    EXPECT_EQ(state.Key(), 0xFF);
    EXPECT_FALSE(state.Stop());
    EXPECT_EQ(state.PathKind(), -1);
    EXPECT_EQ(state.TargetStation(), -1);
    const State pathState(&Act, 4u, 0x2A, 3, true, 0);
    EXPECT_EQ(pathState.NestedMachine(), nullptr);
    EXPECT_EQ(pathState.Speed(), 4u);
    EXPECT_EQ(pathState.Key(), 0x2A);
    EXPECT_EQ(pathState.TargetStation(), 3);
    EXPECT_TRUE(pathState.Stop());
    EXPECT_EQ(pathState.PathKind(), 0);
}

TEST_F(StateMachineTest, CopiedMachinesShareTheirNestedMachines) {
    StateMachine inner;
    inner.AddState(State(&Act));
    StateMachine outer;
    outer.AddState(State(&Act, &inner));
    outer.AddState(State(&Act));
    outer.SetStartingState(1);

    StateMachine copy;
    copy = outer;
    StateMachine constructed(outer);
    EXPECT_EQ(copy.States()[0].NestedMachine(), &inner);
    EXPECT_EQ(constructed.States()[0].NestedMachine(), &inner);
    EXPECT_EQ(copy.GetStartingState(), 1);
    outer.States()[0].AddEdge(Edge(1, &Yes, false));
    EXPECT_TRUE(copy.States()[0].Edges().empty());  // the states themselves are copies
}

TEST_F(StateMachineTest, TableAllocatorsBuildDefaultElements) {
    StateMachine* machines = NewStateMachines(3);
    ASSERT_NE(machines, nullptr);
    EXPECT_EQ(machines[2].GetNumberOfStates(), 0);
    EXPECT_EQ(machines[2].GetStartingState(), 0);
    FreeStateMachines(machines);

    Timer* timers = NewTimers(2);
    ASSERT_NE(timers, nullptr);
    EXPECT_TRUE(timers[1].IsRunning());
    EXPECT_EQ(timers[1].GetMode(), 1);
    EXPECT_EQ(timers[1].TimeRemaining(), 0u);
    FreeTimers(timers);

    void** pointers = NewVoidPointers(4);
    node** nodes = NewNodePointers(4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pointers[i], nullptr);
        EXPECT_EQ(nodes[i], nullptr);
    }
    FreeVoidPointers(pointers);
    FreeNodePointers(nodes);
}

TEST_F(StateMachineTest, BoundsCompareAsSignedNumbers) {
    EXPECT_FALSE(WithinBound(0u, -1));
    EXPECT_FALSE(WithinBound(4294967295u, -1));
    EXPECT_FALSE(WithinBound(-1, 5));
    EXPECT_TRUE(WithinBound(0u, 0));
    EXPECT_TRUE(WithinBound(5u, 5));
    EXPECT_FALSE(WithinBound(6u, 5));
}

}  // namespace
}  // namespace logictest
