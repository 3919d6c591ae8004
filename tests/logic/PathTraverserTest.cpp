#include <chrono>
#include <string>
#include <vector>

#include "LogicFixture.h"
#include "logic/PathStateMachine.h"
#include "logic/PathStateMachineTraverser.h"
#include "logic/PathTablesInternal.h"
#include "sprites/Sprite.h"

namespace logictest {
namespace {

constexpr unsigned char NoKey = 0xFF;
constexpr unsigned char KeyW = 0x11;

// Path states and edges in the shapes the builder uses.
State Station(bool stop = false) { return State(nullptr, 0, NoKey, -1, stop, 0); }
State Leg(int target, unsigned char key = NoKey, bool stop = false) { return State(nullptr, 0, key, target, stop, 1); }
Edge Reached(int station, bool entering2 = false) { return Edge(station, nullptr, false, entering2, NoKey, 2, -1, 0); }
Edge LeaveFor(int leg, int station, unsigned char key = NoKey, bool unconditional = false) {
    return Edge(leg, nullptr, unconditional, false, key, 2, station, 1);
}

class PathTraverserTest : public LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        PSMArray = NewPathStateMachines(2);
        maxPSMIndex = 1;
    }
    void TearDown() override {
        FreePathStateMachines(PSMArray);
        PSMArray = nullptr;
        maxPSMIndex = -1;
        LogicTest::TearDown();
    }

    // Stations 0..5 ten pixels apart on a line; links and legs 0 -> 2 -> 5
    // (states 6 and 7), and a costly direct link 0 -> 5 without a leg.
    PathStateMachine& Line() {
        PathStateMachine m(6);
        for (int i = 0; i < 6; ++i) m.AddStation({10.0f * i, 0});
        for (int i = 0; i < 6; ++i) m.AddState(Station());
        m.AddState(Leg(2));
        m.AddState(Leg(5));
        m.States()[0].AddEdge(LeaveFor(6, 2));
        m.States()[6].AddEdge(Reached(2));
        m.States()[2].AddEdge(LeaveFor(7, 5));
        m.States()[7].AddEdge(Reached(5));
        m.LinkWeight(0, 2, m.Distance(0, 2));
        m.LinkWeight(2, 5, m.Distance(2, 5));
        m.LinkWeight(0, 5, 500);
        m.ComputeShortestPath();
        PSMArray[0] = m;
        return PSMArray[0];
    }

    static std::vector<int> Bits(const PathStateMachineTraverser& t, int n) {
        std::vector<int> set;
        for (int i = 0; i < n; ++i)
            if (t.HopAllowed(i)) set.push_back(i);
        return set;
    }

    Sprite sprite;
};

void Act(int e, void*) { trace.push_back("act:" + std::to_string(e)); }
void Other(int e, void*) { trace.push_back("other:" + std::to_string(e)); }
bool Yes(void*) {
    trace.push_back("yes");
    return true;
}

TEST_F(PathTraverserTest, FirstStepActsWithoutEdgesThenOneEdgePerStepFirstFiringWins) {
    PathStateMachine m(0);
    m.AddState(State(&Act));
    m.AddState(State(&Other));
    m.AddState(State(&Act));
    m.States()[0].AddEdge(Edge(1, &Yes, false));
    m.States()[0].AddEdge(Edge(2, nullptr, true));
    m.States()[1].AddEdge(Edge(5, nullptr, true));  // leads nowhere: never taken
    PSMArray[0] = m;
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser* t = sprite.Traverser();
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->PathEnabled());
    t->Go(&sprite);
    t->Go(&sprite);
    t->Go(&sprite);
    EXPECT_EQ(trace, (std::vector<std::string>{"act:1", "yes", "other:1", "other:0"}));
    EXPECT_EQ(t->GetCurrentState(), 1);
    EXPECT_EQ(ReportedMessage(), "State number 5 not found.");
}

TEST_F(PathTraverserTest, ARouteAllowsOneHopAtATimeAndStopsAtItsTarget) {
    Line();
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser& t = *sprite.Traverser();
    t.Go(&sprite);  // enters station 0
    t.ShortestPath(5);
    EXPECT_TRUE(t.ShortPath());
    EXPECT_EQ(t.RouteLength(), 3);
    EXPECT_EQ(t.Route(), (std::vector<std::int32_t>{0, 2, 5, -1, -1, -1}));
    EXPECT_FALSE(t.EndOfShortestPath());

    t.Go(&sprite);  // no hop allowed yet; the station's action allows one
    EXPECT_EQ(t.GetCurrentState(), 0);
    EXPECT_EQ(Bits(t, 6), std::vector<int>{2});
    t.Go(&sprite);  // leaves on the leg toward 2 and turns to it
    EXPECT_EQ(t.GetCurrentState(), 6);
    EXPECT_EQ(sprite.DirectionX(), 1.0f);
    sprite.mapX = 19.5f;
    t.Go(&sprite);
    EXPECT_EQ(t.GetCurrentState(), 2);
    EXPECT_EQ(Bits(t, 6), std::vector<int>{5});
    t.Go(&sprite);
    EXPECT_EQ(t.GetCurrentState(), 7);
    sprite.mapX = 50;
    t.Go(&sprite);
    EXPECT_EQ(t.GetCurrentState(), 5);
    EXPECT_FALSE(t.ShortPath());
    EXPECT_TRUE(t.EndOfShortestPath());
    EXPECT_TRUE(Bits(t, 6).empty());
}

TEST_F(PathTraverserTest, ARouteToTheStationStoodOnEndsAtTheNextStationAction) {
    Line();
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser& t = *sprite.Traverser();
    t.ShortestPath(0);
    EXPECT_EQ(t.Route()[0], 0);
    EXPECT_EQ(t.Route()[1], -1);
    EXPECT_TRUE(t.ShortPath());
    t.Go(&sprite);
    EXPECT_FALSE(t.ShortPath());
    EXPECT_TRUE(t.EndOfShortestPath());
    // A target that is no station, or one that cannot be reached, makes no route.
    t.ShortestPath(6);
    EXPECT_FALSE(t.ShortPath());
    t.ShortestPath(1);
    EXPECT_FALSE(t.ShortPath());
    EXPECT_EQ(t.RouteLength(), 0);
}

TEST_F(PathTraverserTest, PlanningFromALegStartsAtItsNearerEnd) {
    Line();
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser& t = *sprite.Traverser();
    t.SetCurrentState(7);  // on the leg 2 -> 5
    t.ShortestPath(5);
    EXPECT_TRUE(t.ShortPath());
    EXPECT_EQ(t.Route()[0], 5);
    t.SetCurrentState(6);  // leg 0 -> 2, whose end 2 reaches 5
    t.ShortestPath(5);
    EXPECT_EQ(t.Route(), (std::vector<std::int32_t>{2, 5, -1, -1, -1, -1}));
}

TEST_F(PathTraverserTest, AStationHaltsTheSpriteOnlyWhenEnteredPlainly) {
    for (bool passThrough : {false, true}) {
        PathStateMachine m(2);
        m.AddStation({0, 0});
        m.AddStation({0, 100});
        m.AddState(State(nullptr, 0, NoKey, -1, false, -1));
        m.AddState(Station(true));
        m.States()[0].AddEdge(Edge(1, nullptr, true, passThrough, NoKey, 2, -1, -1));
        PSMArray[0] = m;
        sprite.ApplyPathStateMachine(0);
        sprite.directionX = 1;
        sprite.Traverser()->Go(&sprite);
        sprite.Traverser()->Go(&sprite);
        EXPECT_EQ(sprite.Traverser()->GetCurrentState(), 1);
        EXPECT_EQ(sprite.DirectionX(), passThrough ? 1.0f : 0.0f) << passThrough;
    }
}

TEST_F(PathTraverserTest, AStopLegIsTravelledOnlyWhileItsKeyIsHeld) {
    PathStateMachine m(1);
    m.AddStation({100, 0});
    m.AddState(Station());
    m.AddState(Leg(0, KeyW, true));
    PSMArray[0] = m;
    sprite.networkPlayer = true;  // keys come from the sprite's own key states
    sprite.ApplyPathStateMachine(0);
    sprite.Traverser()->SetCurrentState(1);
    for (bool held : {true, false}) {
        sprite.keys[KeyW].pressed = held;
        sprite.Traverser()->Go(&sprite);
        EXPECT_EQ(sprite.DirectionX(), held ? 1.0f : 0.0f) << held;
    }
}

TEST_F(PathTraverserTest, NearestStationIsTheCurrentOneOrTheNearestLegEnd) {
    Line();
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser& t = *sprite.Traverser();
    sprite.mapX = 45;
    t.SetCurrentState(2);
    EXPECT_EQ(t.NearestStationNumber(&sprite), 2u);
    EXPECT_EQ(sprite.NearestStationNumber(true), 2u);
    EXPECT_EQ(sprite.NearestStationNumber(false), 4u);  // over all stations, ties to the lower
    t.SetCurrentState(7);
    EXPECT_EQ(t.NearestStationNumber(&sprite), 5u);
    sprite.mapX = 21;
    EXPECT_EQ(t.NearestStationNumber(&sprite), 5u);  // only the stations the leg leads to count
}

TEST_F(PathTraverserTest, RecordsRoundTripByteForByte) {
    Line();
    PSMArray[1] = PSMArray[0];
    sprite.ApplyPathStateMachine(1);
    PathStateMachineTraverser& t = *sprite.Traverser();
    t.Go(&sprite);
    t.ShortestPath(5);
    t.Go(&sprite);
    t.PathEnabled(false);
    const Bytes first = Written([&](File& f) { f.Write(static_cast<node*>(&t)); });
    // Machine 1 both times, state 0, entering 0, reset clear, route active,
    // length 3, six route entries, six bits, enabled clear.
    Record expected;
    expected.Ref("PathStateMachineTraverser", 1).I32(1).I32(0).I32(0).Bool(false).Bool(true).I32(3);
    expected.I32(6).I32(0).I32(2).I32(5).I32(-1).I32(-1).I32(-1);
    expected.I32(6).Bool(false).Bool(false).Bool(true).Bool(false).Bool(false).Bool(false);
    expected.I32(1).Bool(false);
    EXPECT_EQ(first, expected.bytes);

    node* loaded = nullptr;
    ASSERT_TRUE(ReadBack(first, [&](File& f) {
        f.Read(loaded);
        f.Claim(loaded);
    }));
    auto* back = static_cast<PathStateMachineTraverser*>(loaded);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->PathMachine(), &PSMArray[1]);
    EXPECT_EQ(back->Machine(), &PSMArray[1]);
    EXPECT_TRUE(back->ShortPath());
    EXPECT_TRUE(back->HopAllowed(2));
    EXPECT_FALSE(back->PathEnabled());
    EXPECT_EQ(Written([&](File& f) { f.Write(loaded); }), first);
    delete back;
}

TEST_F(PathTraverserTest, ATraverserSavedWithoutAMachineLoadsIdle) {
    Record r;
    r.Ref("PathStateMachineTraverser", 1).I32(-1).I32(3).I32(1).Bool(true).Bool(false).I32(0);
    r.I32(2).I32(4).I32(-1).I32(0).I32(-1).Bool(true);
    node* loaded = nullptr;
    ASSERT_TRUE(ReadBack(r.bytes, [&](File& f) {
        f.Read(loaded);
        f.Claim(loaded);
    }));
    auto* t = static_cast<PathStateMachineTraverser*>(loaded);
    t->Go(&sprite);
    t->ShortestPath(1);
    EXPECT_EQ(t->GetCurrentState(), 3);
    EXPECT_EQ(Written([&](File& f) { f.Write(loaded); }), r.bytes);
    delete t;
}

TEST_F(PathTraverserTest, HostileRecordsLoadWithoutHarm) {
    Line();
    struct Case {
        const char* name;
        Record record;
        bool sound;
    };
    std::vector<Case> cases;
    // Route entries and length far outside the stations, a state outside the machine.
    cases.push_back({"wild numbers", {}, true});
    cases.back().record.Ref("PathStateMachineTraverser", 1).I32(0).I32(99).I32(1).Bool(false).Bool(true).I32(1000);
    cases.back().record.I32(3).I32(0).I32(99).I32(-7).I32(2).Bool(true).Bool(true).I32(0).Bool(true);
    // Counts larger than the file.
    cases.push_back({"huge route count", {}, false});
    cases.back().record.Ref("PathStateMachineTraverser", 1).I32(0).I32(0).I32(1).Bool(false).Bool(true).I32(0);
    cases.back().record.I32(0x7FFFFFFF).I32(0);
    cases.push_back({"negative bit count", {}, false});
    cases.back().record.Ref("PathStateMachineTraverser", 1).I32(0).I32(0).I32(1).Bool(false).Bool(true).I32(0);
    cases.back().record.I32(0).I32(-5).I32(0).Bool(true);
    // The steps and the route must read one machine.
    cases.push_back({"two machines", {}, false});
    cases.back().record.Ref("PathStateMachineTraverser", 1).I32(0).I32(0).I32(1).Bool(false).Bool(false).I32(0);
    cases.back().record.I32(0).I32(0).I32(1).Bool(true);
    cases.push_back({"cut short", {}, false});
    cases.back().record.Ref("PathStateMachineTraverser", 1).I32(0).I32(0);
    for (Case& c : cases) {
        node* loaded = nullptr;
        EXPECT_EQ(ReadBack(c.record.bytes,
                           [&](File& f) {
                               f.Read(loaded);
                               f.Claim(loaded);
                           }),
                  c.sound)
            << c.name;
        auto* t = static_cast<PathStateMachineTraverser*>(loaded);
        if (t == nullptr) continue;
        sprite.traverser = t;
        for (int i = 0; i < 4; ++i) t->Go(&sprite);
        t->StationAction();
        t->IntermediateCondition();
        t->EndOfShortestPath();
        t->NearestStationNumber(&sprite);
        t->ShortestPath(5);
        EXPECT_LE(t->RouteLength(), 6) << c.name;
        sprite.traverser = nullptr;
        delete t;
    }
}

TEST_F(PathTraverserTest, ViaLinksDamagedIntoLoopsCannotHangTheRoute) {
    PathStateMachine m(3);
    m.AddState(Station());
    m.AddState(Station());
    m.AddState(Station());
    m.LinkWeight(0, 1, -5);
    m.LinkWeight(1, 0, -5);
    m.LinkWeight(1, 2, 1);
    m.ComputeShortestPath();
    PSMArray[0] = m;
    PathStateMachineTraverser t(&PSMArray[0]);
    const auto start = std::chrono::steady_clock::now();
    t.ShortestPath(2);
    t.ArrangeNodes(0, 0);
    EXPECT_LE(t.RouteLength(), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// An action that binds the sprite to a new machine while its old traverser runs.
void Rebind(int, void* owner) {
    trace.push_back("rebind");
    static_cast<Sprite*>(owner)->ApplyPathStateMachine(1);
}

TEST_F(PathTraverserTest, AnActionMayReplaceTheTraverserThatRunsIt) {
    PathStateMachine m(0);
    m.AddState(State(&Rebind));
    PSMArray[0] = m;
    PathStateMachine other(0);
    other.AddState(State(&Act));
    PSMArray[1] = other;
    sprite.ApplyPathStateMachine(0);
    PathStateMachineTraverser* first = sprite.Traverser();
    first->Go(&sprite);  // deletes itself once done
    ASSERT_NE(sprite.Traverser(), nullptr);
    EXPECT_EQ(sprite.Traverser()->PathMachine(), &PSMArray[1]);
    sprite.Traverser()->Go(&sprite);
    EXPECT_EQ(trace, (std::vector<std::string>{"rebind", "act:1"}));
}

TEST_F(PathTraverserTest, SpriteSideBindingRoutesAndStateChanges) {
    Line();
    sprite.ApplyPathStateMachine(2);
    EXPECT_EQ(ReportedMessage(), "Path State Machine number 2 not found.");
    EXPECT_EQ(ReportedTarget(), "void Sprite::ApplyPathStateMachine(int)");
    EXPECT_EQ(sprite.Traverser(), nullptr);
    sprite.ShortestPath(3);  // no traverser: nothing
    EXPECT_FALSE(sprite.EndOfShortestPath());
    EXPECT_FALSE(sprite.EnablePath());
    EXPECT_EQ(sprite.NearestStationNumber(true), 0u);

    sprite.ApplyPathStateMachine(0);
    ClearReport();
    sprite.ShortestPath(6);
    EXPECT_EQ(ReportedMessage(),
              "The station specified must be in the range of stations created between station number 0 and station "
              "number 5.");
    EXPECT_EQ(ReportedTarget(), "void Sprite::ShortestPath(unsigned int)");
    sprite.ShortestPath(5);
    EXPECT_TRUE(sprite.Traverser()->ShortPath());
    sprite.ChangePathState(7);
    EXPECT_FALSE(sprite.Traverser()->ShortPath());
    EXPECT_EQ(sprite.Traverser()->GetCurrentState(), 7);
    EXPECT_TRUE(sprite.Traverser()->ResetPending());
    sprite.EnablePath(false);
    EXPECT_FALSE(sprite.EnablePath());
    EXPECT_TRUE(sprite.gateWait);

    // A copied sprite runs its own copy of the traverser.
    Sprite copy(sprite);
    ASSERT_NE(copy.Traverser(), nullptr);
    EXPECT_NE(copy.Traverser(), sprite.Traverser());
    EXPECT_EQ(copy.Traverser()->GetCurrentState(), 7);
    EXPECT_FALSE(copy.EnablePath());
}

}  // namespace
}  // namespace logictest
