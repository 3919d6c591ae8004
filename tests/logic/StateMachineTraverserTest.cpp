#include <memory>
#include <sstream>

#include "LogicFixture.h"
#include "logic/StateMachineTraverser.h"

namespace logictest {
namespace {

class TraverserTest : public LogicTest {};

std::string Joined() {
    std::ostringstream out;
    for (std::size_t i = 0; i < trace.size(); ++i) out << (i ? " " : "") << trace[i];
    return out.str();
}

// Flags that the conditions of the nested chain answer.
bool toB = false, toA = false, mNext = false;
StateMachineTraverser* current = nullptr;

void ActA(int e, void*) { trace.push_back("A:" + std::to_string(e)); }
void ActB(int e, void*) { trace.push_back("B:" + std::to_string(e)); }
void ActM0(int e, void*) { trace.push_back("M0:" + std::to_string(e)); }
void ActM1(int e, void*) { trace.push_back("M1:" + std::to_string(e)); }
void ActL0(int e, void*) { trace.push_back("L0:" + std::to_string(e)); }
void ActL1(int e, void*) { trace.push_back("L1:" + std::to_string(e)); }
bool AtoB(void*) {
    trace.push_back("A?B");
    return toB;
}
bool BtoA(void*) {
    trace.push_back("B?A");
    return toA;
}
bool M0toM1(void*) {
    trace.push_back("M0?M1");
    return mNext;
}
bool L0toL1(void*) {
    trace.push_back("L0?L1");
    return true;
}
bool L1toL0(void*) {
    trace.push_back("L1?L0");
    return true;
}

// A top machine T (A with nested M, B), M (M0 with nested L, M1) and L (L0, L1).
// T is element 0 of SMArray; M and L are held elsewhere.
struct NestedChain {
    StateMachine m, l;
    NestedChain() {
        State l0(&ActL0);
        l0.AddEdge(Edge(1, &L0toL1, false));
        State l1(&ActL1);
        l1.AddEdge(Edge(0, &L1toL0, false));
        l.AddState(l0);
        l.AddState(l1);

        State m0(&ActM0, &l);
        m0.AddEdge(Edge(1, &M0toM1, false));
        State m1(&ActM1);
        m1.AddEdge(Edge(0, nullptr, true));
        m.AddState(m0);
        m.AddState(m1);

        State a(&ActA, &m);
        a.AddEdge(Edge(1, &AtoB, false));
        State b(&ActB);
        b.AddEdge(Edge(0, &BtoA, false));
        SMArray[0].AddState(a);
        SMArray[0].AddState(b);
    }
};

struct Frame {
    bool toB, toA, mNext;
    const char* expected;
};

// One transition per level and frame; each level acts after its own edge test
// and before its child runs.
const Frame chainFrames[] = {
    {false, false, false, "A:1 M0:1 L0:1"},
    {false, false, false, "A?B A:0 M0?M1 M0:0 L0?L1 L1:1"},
    {false, false, false, "A?B A:0 M0?M1 M0:0 L1?L0 L0:1"},
    {false, false, true, "A?B A:0 M0?M1 M1:1"},
    {false, false, false, "A?B A:0 M0:1 L0:1"},
    {true, false, false, "A?B B:1"},
    {false, false, false, "B?A B:0"},
    {false, true, false, "B?A A:1 M0:1 L0:1"},
    {false, false, false, "A?B A:0 M0?M1 M0:0 L0?L1 L1:1"},
    {false, false, false, "A?B A:0 M0?M1 M0:0 L1?L0 L0:1"},
};

void Step(StateMachineTraverser& t, const Frame& f) {
    toB = f.toB;
    toA = f.toA;
    mNext = f.mNext;
    trace.clear();
    t.Go(nullptr);
}

TEST_F(TraverserTest, NestedMachinesStepOneStatePerFrameInOrder) {
    MakeTables(0, 1, 0);
    NestedChain chain;
    StateMachineTraverser t(&SMArray[0]);
    for (std::size_t i = 0; i < std::size(chainFrames); ++i) {
        Step(t, chainFrames[i]);
        EXPECT_EQ(Joined(), chainFrames[i].expected) << "frame " << i + 1;
    }
}

TEST_F(TraverserTest, ASavedChainLoadsAndChildrenOfUnlistedMachinesWaitForTheirStateToBeEntered) {
    MakeTables(0, 1, 0);
    NestedChain chain;
    StateMachineTraverser original(&SMArray[0]);
    for (int i = 0; i < 8; ++i) Step(original, chainFrames[i]);

    const Bytes saved = Written([&](File& f) { f.Write(static_cast<node*>(&original)); });
    node* object = nullptr;
    ASSERT_TRUE(ReadBack(saved, [&](File& f) {
        f.Read(object);
        f.Claim(object);
    }));
    std::unique_ptr<StateMachineTraverser> loaded(dynamic_cast<StateMachineTraverser*>(object));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Written([&](File& f) { f.Write(static_cast<node*>(loaded.get())); }), saved);

    // The nested machines are not in SMArray: the loaded children have none
    // and do nothing until the top machine enters A again.
    const Frame afterLoad[] = {
        {false, false, false, "A?B A:0"},
        {true, false, false, "A?B B:1"},
        {false, true, false, "B?A A:1 M0:1 L0:1"},
        {false, false, false, "A?B A:0 M0?M1 M0:0 L0?L1 L1:1"},
    };
    for (std::size_t i = 0; i < std::size(afterLoad); ++i) {
        Step(*loaded, afterLoad[i]);
        EXPECT_EQ(Joined(), afterLoad[i].expected) << "frame " << i + 1 << " after loading";
    }
}

// A machine of three states whose actions record themselves and can move the
// traverser from inside.
int setFromAction = -1;
void Act0(int e, void*) {
    trace.push_back("S0:" + std::to_string(e));
    if (setFromAction >= 0) current->SetCurrentState(setFromAction);
    setFromAction = -1;
}
void Act1(int e, void*) { trace.push_back("S1:" + std::to_string(e)); }
void Act2(int e, void*) { trace.push_back("S2:" + std::to_string(e)); }
bool Never(void*) {
    trace.push_back("never");
    return false;
}
bool Always(void*) {
    trace.push_back("always");
    return true;
}

TEST_F(TraverserTest, EdgesAreTriedInOrderAndTheFirstThatFiresWins) {
    StateMachine m;
    State s0(&Act0);
    s0.AddEdge(Edge(2, nullptr, false));  // no condition, not unconditional: never fires
    s0.AddEdge(Edge(2, &Never, true));    // a condition ignores the flag
    s0.AddEdge(Edge(1, &Always, false));
    s0.AddEdge(Edge(2, &Always, false));  // not reached
    m.AddState(s0);
    m.AddState(State(&Act1));
    m.AddState(State(&Act2));
    StateMachineTraverser t(&m);
    current = &t;

    t.Go(nullptr);
    EXPECT_EQ(Joined(), "S0:1");  // the first Go tests no edge
    trace.clear();
    t.Go(nullptr);
    EXPECT_EQ(Joined(), "never always S1:1");
    EXPECT_EQ(t.GetCurrentState(), 1);
    trace.clear();
    t.Go(nullptr);
    EXPECT_EQ(Joined(), "S1:0");  // no edges: it stays
}

TEST_F(TraverserTest, SetCurrentStateReentersAtTheNextGoWithoutTestingEdges) {
    StateMachine nested;
    nested.AddState(State(&Act2));
    nested.AddState(State(&Act2));
    StateMachine m;
    State s0(&Act0, &nested);
    s0.AddEdge(Edge(1, &Always, false));
    m.AddState(s0);
    m.AddState(State(&Act1));
    StateMachineTraverser t(&m);
    current = &t;

    t.Go(nullptr);
    EXPECT_EQ(Joined(), "S0:1 S2:1");
    t.Child()->SetCurrentState(1);
    // From the action: the rest of this Go still runs the old child.
    setFromAction = 1;
    trace.clear();
    t.SetCurrentState(0);  // re-entering the current state restarts it
    t.Go(nullptr);
    EXPECT_EQ(Joined(), "S0:1 S2:1");
    EXPECT_EQ(t.Child()->GetCurrentState(), 0);  // the nested machine restarted
    EXPECT_EQ(t.GetCurrentState(), 1);
    EXPECT_EQ(t.EnteringValue(), 1);
    trace.clear();
    t.Go(nullptr);
    EXPECT_EQ(Joined(), "S1:1");
    EXPECT_EQ(t.Child(), nullptr);
}

TEST_F(TraverserTest, StateNumbersOutsideTheMachineAreRefused) {
    StateMachine m;
    m.AddState(State(&Act0));
    m.AddState(State(&Act1));
    StateMachine empty;
    StateMachineTraverser t(&m), none(&empty), unbound(nullptr);
    t.Go(nullptr);
    struct Case {
        StateMachineTraverser* traverser;
        int state;
    };
    for (const Case& c : {Case{&t, 2}, Case{&t, -1}, Case{&none, 0}, Case{&unbound, 0}}) {
        ClearReport();
        const int before = c.traverser->GetCurrentState();
        c.traverser->SetCurrentState(c.state);
        EXPECT_EQ(ReportedMessage(), "State number " + std::to_string(c.state) + " not found.");
        EXPECT_EQ(ReportedTarget(), "void StateMachineTraverser::SetCurrentState(int i)");
        EXPECT_EQ(c.traverser->GetCurrentState(), before);
    }
    EXPECT_FALSE(t.ResetPending());
    trace.clear();
    none.Go(nullptr);
    unbound.Go(nullptr);
    EXPECT_TRUE(trace.empty());
}

TEST_F(TraverserTest, AnEdgeToAMissingStateIsIgnoredWithAReport) {
    StateMachine m;
    State s0(&Act0);
    s0.AddEdge(Edge(7, &Always, false));
    s0.AddEdge(Edge(1, &Always, false));
    m.AddState(s0);
    m.AddState(State(&Act1));
    StateMachineTraverser t(&m);
    t.Go(nullptr);
    trace.clear();
    t.Go(nullptr);
    EXPECT_EQ(Joined(), "always always S1:1");
    EXPECT_EQ(ReportedMessage(), "State number 7 not found.");
}

TEST_F(TraverserTest, CopiesRunIndependently) {
    MakeTables(0, 1, 0);
    NestedChain chain;
    StateMachineTraverser a(&SMArray[0]);
    Step(a, chainFrames[0]);
    Step(a, chainFrames[1]);
    StateMachineTraverser b(a);
    ASSERT_NE(b.Child(), nullptr);
    EXPECT_NE(b.Child(), a.Child());
    EXPECT_NE(b.Child()->Child(), a.Child()->Child());
    Step(a, chainFrames[2]);
    EXPECT_EQ(b.Child()->Child()->GetCurrentState(), 1);
    EXPECT_EQ(a.Child()->Child()->GetCurrentState(), 0);
    b = a;
    EXPECT_EQ(b.Child()->Child()->GetCurrentState(), 0);
    b = b;
    EXPECT_EQ(b.Child()->Child()->GetCurrentState(), 0);
}

TEST_F(TraverserTest, DamagedRecordsLoadIntoSafeTraversers) {
    MakeTables(0, 1, 0);
    NestedChain chain;
    struct Case {
        const char* name;
        Bytes bytes;
        bool sound;
        int state;
        bool hasMachine;
    };
    const Case cases[] = {
        // A state beyond the machine restarts it from its starting state.
        {"state 99", Record().Ref("StateMachineTraverser", 1).I32(0).I32(99).I32(0).Bool(false).Null().bytes, true, 0,
         true},
        {"negative state", Record().Ref("StateMachineTraverser", 1).I32(0).I32(-3).I32(0).Bool(false).Null().bytes,
         true, 0, true},
        {"machine beyond SMArray",
         Record().Ref("StateMachineTraverser", 1).I32(5).I32(1).I32(0).Bool(false).Null().bytes, true, 1, false},
        {"child is itself",
         Record()
             .Ref("StateMachineTraverser", 1)
             .I32(0)
             .I32(0)
             .I32(0)
             .Bool(false)
             .Ref("StateMachineTraverser", 1)
             .bytes,
         false, 0, true},
        {"child of another class",
         Record()
             .Ref("StateMachineTraverser", 1)
             .I32(0)
             .I32(0)
             .I32(0)
             .Bool(false)
             .Ref("Behavior", 2)
             .U32(0)
             .U32(0)
             .U32(0)
             .U32(0)
             .bytes,
         false, 0, true},
        {"truncated", Record().Ref("StateMachineTraverser", 1).I32(0).I32(1).bytes, false, 1, true},
    };
    for (const Case& c : cases) {
        node* object = nullptr;
        const bool sound = ReadBack(c.bytes, [&](File& f) {
            f.Read(object);
            f.Claim(object);
        });
        EXPECT_EQ(sound, c.sound) << c.name;
        std::unique_ptr<StateMachineTraverser> t(dynamic_cast<StateMachineTraverser*>(object));
        ASSERT_NE(t, nullptr) << c.name;
        EXPECT_EQ(t->GetCurrentState(), c.state) << c.name;
        EXPECT_EQ(t->Machine() != nullptr, c.hasMachine) << c.name;
        EXPECT_NE(t->Child(), t.get()) << c.name;
        for (int frame = 0; frame < 3; ++frame) t->Go(nullptr);
    }
}

TEST_F(TraverserTest, EveryCutOfASavedChainLoadsWithoutHarm) {
    MakeTables(0, 1, 0);
    NestedChain chain;
    StateMachineTraverser original(&SMArray[0]);
    for (int i = 0; i < 3; ++i) Step(original, chainFrames[i]);
    const Bytes saved = Written([&](File& f) { f.Write(static_cast<node*>(&original)); });
    for (std::size_t cut = 0; cut < saved.size(); ++cut) {
        node* object = nullptr;
        EXPECT_FALSE(ReadBack(Bytes(saved.begin(), saved.begin() + static_cast<long>(cut)), [&](File& f) {
            f.Read(object);
            f.Claim(object);
        })) << cut;
        std::unique_ptr<node> owned(object);
        if (auto* t = dynamic_cast<StateMachineTraverser*>(object)) t->Go(nullptr);
    }
}

}  // namespace
}  // namespace logictest
