#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CollisionFixture.h"
#include "display/GeometricsDrawn.h"
#include "foundation/File.h"
#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachine.h"
#include "logic/PathStateMachineTraverser.h"
#include "logic/PathTablesInternal.h"

namespace {

// A sprite bound to a two-station machine whose gate, a wall at x = 118,
// switches it to state 1; and a two-leg movement pattern.
class PathFollowGateTest : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        Frame(BoxActor).HotSpots[0] = QelPoint{16, 16};
        PSMArray = NewPathStateMachines(1);
        maxPSMIndex = 0;
        MPArray = NewMovementPatterns(1);
        maxMPIndex = 0;
        MPArray[0].NumberOfVectors(2);
        MPArray[0].CalculateVectorPattern(0, 10, 0);
        MPArray[0].CalculateVectorPattern(1, 0, 10);
        map = &NewMap(1000, 600);
        walker = Add("walker", BoxActor, map, 100, 100);  // probe at x 115..117
    }
    void TearDown() override {
        CollisionTest::TearDown();
        FreePathStateMachines(PSMArray);
        PSMArray = nullptr;
        maxPSMIndex = -1;
        FreeMovementPatterns(MPArray);
        MPArray = nullptr;
        maxMPIndex = -1;
    }

    void Machine(unsigned char gateType) {
        PathStateMachine m(2);
        m.AddStation({0, 0});
        m.AddStation({500, 0});
        m.AddState(State());
        m.AddState(State());
        CollisionSegment gate(118, 0, 118, 300, 0, gateType, 1);  // faces left
        m.AddCollisionData(gate);
        PSMArray[0] = m;
        walker->ApplyPathStateMachine(0);
    }

    static std::vector<char> Bytes(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void SaveTo(const std::filesystem::path& p, Sprite* s) {
        File f(p.c_str(), File::Writing);
        f.Write(static_cast<node*>(s));
        ASSERT_TRUE(f.Close());
    }

    Map* map = nullptr;
    Sprite* walker = nullptr;
};

TEST_F(PathFollowGateTest, AWaitingSpriteSwitchesStateAtTheFirstGateFromItsSecondFrame) {
    const struct {
        const char* name;
        unsigned char gateType;
        float directionX;
        bool switches;
        bool cutsTheMove;
    } cases[] = {
        {"blocking gate", 0, 1, true, true},
        {"gate that only records", 1, 1, true, false},
        {"moving away from the gate", 0, -1, false, false},
    };
    for (const auto& c : cases) {
        walker->MapPosition(100, 100, false);
        Machine(c.gateType);
        walker->EnablePath(false);
        EXPECT_FALSE(walker->EnablePath());
        Aim(walker, c.directionX, 0, 4);
        walker->ResetCollisionState(true);
        walker->UpdatePSM();  // first frame of waiting: no test
        EXPECT_EQ(walker->Traverser()->GetCurrentState(), 0) << c.name;
        EXPECT_EQ(walker->psmCounter, 1) << c.name;
        walker->UpdatePSM();
        EXPECT_EQ(walker->Traverser()->GetCurrentState(), c.switches ? 1 : 0) << c.name;
        EXPECT_EQ(walker->EnablePath(), c.switches) << c.name;
        EXPECT_EQ(walker->CollisionWithPath(), c.switches) << c.name;
        EXPECT_EQ(walker->CollisionFactor() < 1.0f, c.cutsTheMove) << c.name;
        EXPECT_EQ(walker->psmCounter, c.switches ? 0 : 2) << c.name;
    }
}

TEST_F(PathFollowGateTest, TheTraverserAndThePatternTravelInTheSpritesRecord) {
    Machine(0);
    // Without a map, so that the record holds the sprite alone.
    walker = Add("loose", BoxActor, nullptr, 100, 100);
    walker->ApplyPathStateMachine(0);
    walker->Traverser()->Go(walker);
    walker->ShortestPath(0);
    walker->ApplyMovementPattern(0);
    walker->StartMovementPattern(true, true);
    walker->Speed(3);
    walker->UpdateMovementPattern();
    const auto dir = std::filesystem::temp_directory_path() / ("qel-path-gate-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    SaveTo(dir / "first.sav", walker);
    node* loaded = nullptr;
    {
        File in((dir / "first.sav").c_str(), File::Reading);
        in.Read(loaded);
        in.Claim(loaded);
        EXPECT_FALSE(in.HasError());
    }
    ASSERT_NE(loaded, nullptr);
    auto* copy = static_cast<Sprite*>(loaded);
    SaveTo(dir / "second.sav", copy);
    EXPECT_EQ(Bytes(dir / "first.sav"), Bytes(dir / "second.sav"));
    ASSERT_NE(copy->Traverser(), nullptr);
    EXPECT_EQ(copy->Traverser()->PathMachine(), &PSMArray[0]);
    EXPECT_EQ(copy->patternStep, 0);
    EXPECT_EQ(copy->MovementPatternName(), MPArray[0].Name());

    // A leg number beyond the pattern marks the record bad and is not kept.
    walker->patternStep = 5;
    SaveTo(dir / "bad.sav", walker);
    node* bad = nullptr;
    {
        File in((dir / "bad.sav").c_str(), File::Reading);
        in.Read(bad);
        in.Claim(bad);
        EXPECT_TRUE(in.HasError());
    }
    if (auto* s = static_cast<Sprite*>(bad)) {
        EXPECT_EQ(s->patternStep, -1);
        s->UpdateMovementPattern();
        delete s;
    }
    delete copy;
    std::filesystem::remove_all(dir);
}

TEST_F(PathFollowGateTest, ThePathAndThePatternAreDrawnOnlyWhenAsked) {
    GeometricsDrawn drawer;
    pDraw = &drawer;
    PathStateMachine m(2);
    m.AddStation({2, 2});
    m.AddStation({40, 2});
    m.AddState(State());
    m.AddState(State());
    m.AddState(State());
    m.States()[0].AddEdge(Edge(2, nullptr, true));
    m.States()[2].AddEdge(Edge(1, nullptr, true));  // station 0 -> leg 2 -> station 1
    PSMArray[0] = m;
    walker->ApplyPathStateMachine(0);
    back->Fill(nullptr, 0);
    walker->DisplayPath(false, 0xFFFFFF);
    EXPECT_EQ(back->GetRawPixel(20, 2), 0u);
    walker->DisplayPath(true, 0xFFFFFF);
    EXPECT_NE(back->GetRawPixel(20, 2), 0u);
    EXPECT_EQ(back->GetRawPixel(20, 10), 0u);

    back->Fill(nullptr, 0);
    walker->MapPosition(2, 20, false);
    walker->ApplyMovementPattern(0);
    walker->StartMovementPattern(false, false);
    walker->UpdateMovementPattern();  // not shown
    EXPECT_EQ(back->GetRawPixel(8, 20), 0u);
    walker->ShowMovementPattern(true);
    walker->UpdateMovementPattern();
    EXPECT_NE(back->GetRawPixel(8, 20), 0u);   // leg 0, rightward
    EXPECT_NE(back->GetRawPixel(12, 25), 0u);  // leg 1, downward from its end
    pDraw = nullptr;
}

}  // namespace
