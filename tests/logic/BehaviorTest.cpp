#include <functional>
#include <memory>

#include "LogicFixture.h"
#include "logic/Behavior.h"
#include "logic/StateMachineTraverser.h"

namespace logictest {
namespace {

Behavior* list = nullptr;

void F0(void*) { trace.push_back("f0"); }
void F1(void*) { trace.push_back("f1"); }
void F2(void*) { trace.push_back("f2"); }
void AppendsF2(void*) {
    trace.push_back("f0+");
    list->AddFunction(2, true);
}
void SwitchesOffF2(void*) {
    trace.push_back("f1-");
    list->FunctionActiveStatus(2, false);
}
void Clears(void*) {
    trace.push_back("clear");
    list->Clear();
}
void Assigns(void*) {
    trace.push_back("assign");
    *list = Behavior();
}
void TimerAppends(void*) {
    trace.push_back("t");
    for (unsigned int n = 0; n < 20; ++n)
        if (!list->IsFunctionAdded(n)) list->AddFunction(n, false);
}
void Act(int e, void*) { trace.push_back("s" + std::to_string(e)); }

// Two kinds of engine object, and a function written for one of them.
struct Crate : node {};
struct Barrel : node {};
void CrateFunction(void* owner) { trace.push_back(qel::OwnerAs<Crate>(owner) != nullptr ? "crate" : "refused"); }
void CrateAction(int, void* owner) { CrateFunction(owner); }
bool Always(void*) { return true; }

class BehaviorTest : public LogicTest {
protected:
    // Functions 0..2 (and empty slots up to 19), one two-state machine that
    // alternates every frame, timers 0 (3 frames) and 1 (1000 ms, periodic).
    void FillTables() {
        MakeTables(20, 1, 2);
        FArray[0] = reinterpret_cast<void*>(&F0);
        FArray[1] = reinterpret_cast<void*>(&F1);
        FArray[2] = reinterpret_cast<void*>(&F2);
        State s0(&Act), s1(&Act);
        s0.AddEdge(Edge(1, &Always, false));
        s1.AddEdge(Edge(0, &Always, false));
        SMArray[0].AddState(s0);
        SMArray[0].AddState(s1);
        TMArray[0] = Timer(reinterpret_cast<BehaviorFunction>(FArray[1]), 3, 0, true, 0);
        TMArray[1] = Timer(reinterpret_cast<BehaviorFunction>(FArray[2]), 1000, 1, true, 1);
    }

    Bytes Saved(Behavior& b) {
        return Written([&](File& f) { b.Save(f); });
    }
};

// What every numbered operation is, for the refusal table.
struct Operation {
    const char* target;
    int kind;  // 0 function, 1 state machine, 2 timer
    bool isAdd;
    bool isQuery;  // Is*Added: no "not added" test
    std::function<long long(Behavior&, unsigned int)> call;
    long long refusedAnswer;
};

const char* const kindWords[] = {"function", "state machine", "timer"};

std::vector<Operation> Operations() {
    return {
        {"void Behavior::AddFunction(unsigned int,bool)", 0, true, false,
         [](Behavior& b, unsigned int n) {
             b.AddFunction(n, true);
             return 0LL;
         },
         0},
        {"void Behavior::AddStateMachine(unsigned int,bool)", 1, true, false,
         [](Behavior& b, unsigned int n) {
             b.AddStateMachine(n, true);
             return 0LL;
         },
         0},
        {"void Behavior::AddTimer(unsigned int,bool)", 2, true, false,
         [](Behavior& b, unsigned int n) {
             b.AddTimer(n, true);
             return 0LL;
         },
         0},
        {"bool Behavior::IsFunctionAdded(unsigned int)", 0, false, true,
         [](Behavior& b, unsigned int n) { return (long long)b.IsFunctionAdded(n); }, 0},
        {"bool Behavior::IsStateMachineAdded(unsigned int)", 1, false, true,
         [](Behavior& b, unsigned int n) { return (long long)b.IsStateMachineAdded(n); }, 0},
        {"bool Behavior::IsTimerAdded(unsigned int)", 2, false, true,
         [](Behavior& b, unsigned int n) { return (long long)b.IsTimerAdded(n); }, 0},
        {"void Behavior::FunctionActiveStatus(unsigned int,bool)", 0, false, false,
         [](Behavior& b, unsigned int n) {
             b.FunctionActiveStatus(n, true);
             return 0LL;
         },
         0},
        {"void Behavior::StateMachineActiveStatus(unsigned int,bool)", 1, false, false,
         [](Behavior& b, unsigned int n) {
             b.StateMachineActiveStatus(n, true);
             return 0LL;
         },
         0},
        {"void Behavior::TimerActiveStatus(unsigned int,bool)", 2, false, false,
         [](Behavior& b, unsigned int n) {
             b.TimerActiveStatus(n, true);
             return 0LL;
         },
         0},
        {"bool Behavior::FunctionActiveStatus(unsigned int)", 0, false, false,
         [](Behavior& b, unsigned int n) { return (long long)b.FunctionActiveStatus(n); }, 0},
        {"bool Behavior::StateMachineActiveStatus(unsigned int)", 1, false, false,
         [](Behavior& b, unsigned int n) { return (long long)b.StateMachineActiveStatus(n); }, 0},
        {"bool Behavior::TimerActiveStatus(unsigned int)", 2, false, false,
         [](Behavior& b, unsigned int n) { return (long long)b.TimerActiveStatus(n); }, 0},
        {"void Behavior::ResetTimer(unsigned int index, unsigned int delay, TimerMode mode)", 2, false, false,
         [](Behavior& b, unsigned int n) {
             b.ResetTimer(n, 5, 1);
             return 0LL;
         },
         0},
        {"unsigned int Behavior::TimeRemaining(unsigned int index)", 2, false, false,
         [](Behavior& b, unsigned int n) { return (long long)b.TimeRemaining(n); }, 0},
        {"void Behavior::ChangeState(unsigned int,unsigned int)", 1, false, false,
         [](Behavior& b, unsigned int n) {
             b.ChangeState(n, 1);
             return 0LL;
         },
         0},
        {"int Behavior::GetCurrentState(unsigned int index)", 1, false, false,
         [](Behavior& b, unsigned int n) { return (long long)b.GetCurrentState(n); }, -1},
    };
}

// Numbers are shown as %d shows them.
std::string Message(const char* pattern, int kind, unsigned int n) {
    return std::string("The ") + kindWords[kind] + " " + std::to_string(static_cast<int>(n)) + " " + pattern;
}

TEST_F(BehaviorTest, EveryNumberedOperationRefusesWithItsOwnReport) {
    struct Situation {
        const char* name;
        bool emptyTables;
        unsigned int number;
        bool secondTest;  // the number is found: "already added" or "not added"
    };
    const Situation situations[] = {
        {"empty tables", true, 0, false},
        {"beyond the bound", false, 20, false},
        {"far beyond the bound", false, 4294967295u, false},
        {"not added / already added", false, 0, true},
    };
    for (const Situation& s : situations) {
        for (const Operation& op : Operations()) {
            if (s.emptyTables)
                MakeTables(0, 0, 0);
            else
                FillTables();
            Behavior b;
            const bool secondTest = s.secondTest;
            // For the Add operations the second test is "already added".
            if (secondTest && op.isAdd) op.call(b, s.number);
            const unsigned int countBefore = b.Count();
            ClearReport();
            const long long answer = op.call(b, s.number);
            std::string expected;
            if (!secondTest)
                expected = Message("cannot be found.", op.kind, s.number);
            else if (op.isAdd)
                expected = Message("has already been added.", op.kind, s.number);
            else if (!op.isQuery)
                expected = Message("has not been added.", op.kind, s.number);
            const std::string where = std::string(s.name) + ": " + op.target;
            EXPECT_EQ(ReportedMessage(), expected) << where;
            EXPECT_EQ(ReportedTarget(), expected.empty() ? "" : op.target) << where;
            EXPECT_EQ(answer, op.refusedAnswer) << where;
            EXPECT_EQ(b.Count(), countBefore) << where;
        }
    }
}

TEST_F(BehaviorTest, AddedEntriesKeepTheirFlagsAndAnswerByNumber) {
    FillTables();
    frameRate = 60;
    Behavior b;
    b.AddFunction(1, false);
    b.AddTimer(1, true);
    b.AddStateMachine(0, true);
    b.AddFunction(1, true);  // refused: the first entry stays inactive
    EXPECT_EQ(b.Count(), 3u);
    EXPECT_TRUE(b.IsFunctionAdded(1));
    EXPECT_FALSE(b.FunctionActiveStatus(1));
    EXPECT_TRUE(b.TimerActiveStatus(1));
    EXPECT_EQ(b.TimeRemaining(1), 60u);  // 1000 ms in frames
    EXPECT_EQ(b.GetCurrentState(0), 0);
    b.Update(nullptr);
    EXPECT_EQ(trace, std::vector<std::string>{"s1"});  // the inactive function did not run
    b.FunctionActiveStatus(1, true);
    b.ResetTimer(1, 50, 0);
    EXPECT_EQ(b.TimeRemaining(1), 2u);
    b.ChangeState(0, 1);
    EXPECT_EQ(b.GetCurrentState(0), 1);

    b.Clear();
    EXPECT_EQ(b.Count(), 0u);
    EXPECT_FALSE(b.IsFunctionAdded(1));
    b.AddFunction(1, true);
    EXPECT_EQ(b.Count(), 1u);
    EXPECT_TRUE(b.FunctionActiveStatus(1));
}

TEST_F(BehaviorTest, UpdateRunsEntriesInOrderIncludingThoseAddedMeanwhile) {
    FillTables();
    FArray[0] = reinterpret_cast<void*>(&AppendsF2);
    FArray[1] = reinterpret_cast<void*>(&SwitchesOffF2);
    Behavior b;
    list = &b;
    b.AddFunction(0, true);
    b.Update(nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"f0+", "f2"}));  // appended, run in the same pass

    Behavior c;
    list = &c;
    c.AddFunction(2, true);
    c.AddFunction(1, true);
    trace.clear();
    c.Update(nullptr);
    c.Update(nullptr);
    // f2 ran before f1 switched it off; in the next pass it is skipped.
    EXPECT_EQ(trace, (std::vector<std::string>{"f2", "f1-", "f1-"}));
}

TEST_F(BehaviorTest, ClearAndAssignmentAreRefusedWhileUpdating) {
    FillTables();
    FArray[0] = reinterpret_cast<void*>(&Clears);
    FArray[1] = reinterpret_cast<void*>(&Assigns);
    Behavior b;
    list = &b;
    b.AddFunction(0, true);
    b.AddFunction(1, true);
    b.AddFunction(2, true);
    b.Update(nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"clear", "assign", "f2"}));
    EXPECT_EQ(ReportedMessage(), "Cannot assign a new value to a behavior while it is running.");
    EXPECT_EQ(ReportedTarget(), "Behavior & Behavior::operator=(const Behavior &)");
    EXPECT_EQ(b.Count(), 3u);
    ClearReport();
    FArray[1] = reinterpret_cast<void*>(&F1);
    Behavior only;
    list = &only;
    only.AddFunction(0, true);
    only.Update(nullptr);
    EXPECT_EQ(ReportedMessage(), "Cannot clear a behavior while it is running.");
    EXPECT_EQ(ReportedTarget(), "void Behavior::Clear()");
    // The flag is cleared after the pass: now both are allowed.
    only.Clear();
    EXPECT_EQ(only.Count(), 0u);
    b = only;
    EXPECT_EQ(b.Count(), 0u);
}

TEST_F(BehaviorTest, APeriodicTimerReloadsAfterItsCallbackGrewTheList) {
    FillTables();
    FArray[3] = reinterpret_cast<void*>(&TimerAppends);
    TMArray[0] = Timer(&TimerAppends, 2, 0, true, 1);
    Behavior b;
    list = &b;
    b.AddTimer(0, true);
    for (int frame = 0; frame < 6; ++frame) b.Update(nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"t", "t", "t"}));
    EXPECT_EQ(b.Count(), 21u);
    EXPECT_EQ(b.TimeRemaining(0), 2u);
}

TEST_F(BehaviorTest, AssignedListsRunTheirStateMachinesIndependently) {
    FillTables();
    Behavior a;
    a.AddStateMachine(0, true);
    a.AddTimer(0, true);
    a.Update(nullptr);
    Behavior b;
    b = a;
    Behavior c(a);
    a.Update(nullptr);
    EXPECT_EQ(a.GetCurrentState(0), 1);
    EXPECT_EQ(b.GetCurrentState(0), 0);
    EXPECT_EQ(c.GetCurrentState(0), 0);
    EXPECT_EQ(a.TimeRemaining(0), 1u);
    EXPECT_EQ(b.TimeRemaining(0), 2u);
    b.Update(nullptr);
    b.Update(nullptr);
    EXPECT_EQ(b.GetCurrentState(0), 0);
    EXPECT_EQ(a.GetCurrentState(0), 1);
    b = b;
    EXPECT_EQ(b.Count(), 2u);
}

TEST_F(BehaviorTest, SaveLoadSaveGivesTheSameBytes) {
    FillTables();
    Behavior original;
    original.AddTimer(1, true);
    original.AddFunction(2, false);
    original.AddStateMachine(0, true);
    original.AddTimer(0, true);
    original.AddFunction(0, true);
    for (int frame = 0; frame < 5; ++frame) original.Update(nullptr);
    const Bytes saved = Saved(original);

    // The record starts with the entry count and the first entry, a timer.
    const Bytes head = Record().U32(5).I32(1).Bool(true).I32(2).Bool(true).U32(1).U32(55).U32(60).I32(1).I32(2).bytes;
    ASSERT_GE(saved.size(), head.size());
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + static_cast<long>(head.size())), head);

    Behavior loaded;
    loaded.AddFunction(1, true);  // replaced by the load
    ASSERT_TRUE(ReadBack(saved, [&](File& f) { loaded.Load(f); }));
    EXPECT_EQ(Saved(loaded), saved);
    EXPECT_EQ(loaded.Count(), 5u);
    EXPECT_FALSE(loaded.IsFunctionAdded(1));
    EXPECT_FALSE(loaded.FunctionActiveStatus(2));
    EXPECT_EQ(loaded.TimeRemaining(1), original.TimeRemaining(1));
    EXPECT_EQ(loaded.GetCurrentState(0), original.GetCurrentState(0));

    // Both go on alike.
    trace.clear();
    original.Update(nullptr);
    const auto originalTrace = trace;
    trace.clear();
    loaded.Update(nullptr);
    EXPECT_EQ(trace, originalTrace);
    EXPECT_EQ(Saved(loaded), Saved(original));
}

TEST_F(BehaviorTest, DamagedRecordsLoadWithoutHarm) {
    FillTables();
    struct Case {
        const char* name;
        Bytes bytes;
        bool sound;
        unsigned int count;
    };
    const Case cases[] = {
        {"huge entry count", Record().U32(0xFFFFFFFFu).I32(0).bytes, false, 0},
        {"huge map size", Record().U32(0).U32(0x40000000u).I32(-1).bytes, false, 0},
        {"slot beyond the entries",
         Record().U32(1).I32(0).Bool(true).I32(0).U32(3).I32(-1).I32(0).I32(9).U32(0).U32(0).bytes, false, 1},
        {"slot leading to another kind", Record().U32(1).I32(0).Bool(true).I32(0).U32(0).U32(1).I32(0).U32(0).bytes,
         false, 1},
        {"unknown kind", Record().U32(1).I32(4).Bool(true).I32(9).U32(0).U32(0).U32(0).bytes, true, 1},
        {"function beyond FArray", Record().U32(1).I32(500).Bool(true).I32(0).U32(0).U32(0).U32(0).bytes, true, 1},
        {"traverser of an unknown class",
         Record().U32(1).I32(0).Bool(true).I32(1).Ref("Nothing", 1).U32(0).U32(0).U32(0).bytes, false, 0},
        {"traverser of another class",
         Record()
             .U32(1)
             .I32(0)
             .Bool(true)
             .I32(1)
             .Ref("Behavior", 1)
             .U32(0)
             .U32(0)
             .U32(0)
             .U32(0)
             .U32(0)
             .U32(0)
             .U32(0)
             .bytes,
         false, 0},
        {"one traverser for two entries",
         Record()
             .U32(2)
             .I32(0)
             .Bool(true)
             .I32(1)
             .Ref("StateMachineTraverser", 1)
             .I32(0)
             .I32(0)
             .I32(0)
             .Bool(false)
             .Null()
             .I32(0)
             .Bool(true)
             .I32(1)
             .Ref("StateMachineTraverser", 1)
             .U32(0)
             .U32(0)
             .U32(0)
             .bytes,
         false, 0},
        {"traverser in a state beyond its machine",
         Record()
             .U32(1)
             .I32(0)
             .Bool(true)
             .I32(1)
             .Ref("StateMachineTraverser", 1)
             .I32(0)
             .I32(99)
             .I32(0)
             .Bool(false)
             .Null()
             .U32(0)
             .U32(1)
             .I32(0)
             .U32(0)
             .bytes,
         true, 1},
    };
    for (const Case& c : cases) {
        Behavior b;
        list = &b;
        const bool sound = ReadBack(c.bytes, [&](File& f) { b.Load(f); });
        EXPECT_EQ(sound, c.sound) << c.name;
        EXPECT_EQ(b.Count(), c.count) << c.name;
        // Whatever was kept runs, answers and saves without harm.
        for (int frame = 0; frame < 3; ++frame) b.Update(nullptr);
        for (unsigned int n = 0; n < 3; ++n) {
            b.FunctionActiveStatus(n);
            b.TimeRemaining(n);
            b.GetCurrentState(n);
            b.ChangeState(n, 0);
        }
        Saved(b);
    }
}

TEST_F(BehaviorTest, EveryCutOfASavedBehaviorLoadsWithoutHarm) {
    FillTables();
    Behavior original;
    original.AddStateMachine(0, true);
    original.AddTimer(1, true);
    original.AddFunction(2, true);
    original.Update(nullptr);
    const Bytes saved = Saved(original);
    for (std::size_t cut = 0; cut < saved.size(); ++cut) {
        Behavior b;
        EXPECT_FALSE(ReadBack(Bytes(saved.begin(), saved.begin() + static_cast<long>(cut)), [&](File& f) {
            b.Load(f);
        })) << cut;
        b.Update(nullptr);
        b.AddFunction(0, true);
    }
}

TEST_F(BehaviorTest, AMapLoadedFromSmallerTablesRefusesLargerNumbers) {
    FillTables();
    Behavior b;
    // A function map of one slot: function 1 lies beyond it, though within FArray.
    ASSERT_TRUE(ReadBack(Record().U32(0).U32(1).I32(-1).U32(0).U32(0).bytes, [&](File& f) { b.Load(f); }));
    ClearReport();
    b.AddFunction(1, true);
    EXPECT_EQ(ReportedMessage(), "The function 1 cannot be found.");
    b.AddFunction(0, true);
    EXPECT_EQ(b.Count(), 1u);
}

// A file may bind any function to any object: a function written for one kind
// of owner can tell when the engine runs it for another, as a function or a
// state's action, while a direct call keeps the type its caller gave.
TEST_F(BehaviorTest, FunctionsTellWhatKindOfObjectTheyRunFor) {
    FillTables();
    FArray[0] = reinterpret_cast<void*>(&CrateFunction);
    SMArray[0] = StateMachine();
    SMArray[0].AddState(State(&CrateAction));
    Crate crate;
    Barrel barrel;
    Behavior b;
    b.AddFunction(0, true);
    b.AddStateMachine(0, true);

    b.Update(crate);
    EXPECT_EQ(trace, (std::vector<std::string>{"crate", "crate"}));
    trace.clear();
    b.Update(barrel);
    EXPECT_EQ(trace, (std::vector<std::string>{"refused", "refused"}));
    trace.clear();
    {
        qel::CallbackOwnerScope running(&barrel, &barrel);
        CrateFunction(&crate);
    }
    CrateFunction(&crate);
    EXPECT_EQ(trace, (std::vector<std::string>{"crate", "crate"}));
}

}  // namespace
}  // namespace logictest

namespace logictest {
namespace {

TEST(LogicRegistry, SavedLogicClassesAreMadeAgainByName) {
    for (const char* name : {"Bnode", "Behavior", "StateMachineTraverser"}) {
        std::unique_ptr<node> made(File::CreateObject(name));
        ASSERT_NE(made, nullptr) << name;
        EXPECT_STREQ(made->ClassName(), name);
    }
}

}  // namespace
}  // namespace logictest
