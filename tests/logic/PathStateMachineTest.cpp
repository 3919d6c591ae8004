#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "logic/LogicTables.h"
#include "logic/PathStateMachine.h"
#include "logic/PathTablesInternal.h"
#include "world/CollisionSegment.h"

namespace {

struct Link {
    int from, to;
    float length;
};

PathStateMachine Linked(int n, std::initializer_list<Link> links) {
    PathStateMachine m(n);
    for (const Link& l : links) EXPECT_TRUE(m.LinkWeight(l.from, l.to, l.length));
    m.ComputeShortestPath();
    return m;
}

TEST(PathStateMachine, ANewMachineHasOnlyItsDiagonal) {
    PathStateMachine m(3);
    EXPECT_EQ(m.NumberOfStations(), 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(m.PathDistance(i, j), i == j ? 0 : -1);
            EXPECT_EQ(m.Via(i, j), i == j ? -1 : -2);
            EXPECT_EQ(m.LinkWeight(i, j), i == j ? 0.0f : -1.0f);
        }
    PathStateMachine none(0);
    none.ComputeShortestPath();
    EXPECT_EQ(none.NumberOfStations(), 0);
    EXPECT_EQ(none.PathDistance(0, 0), -1);
    EXPECT_EQ(PathStateMachine(-4).NumberOfStations(), 0);
}

struct RouteCase {
    const char* name;
    int stations;
    std::vector<Link> links;
    int from, to;
    int distance, via;
};

TEST(PathStateMachine, ShortestRoutesOnSmallGraphs) {
    const RouteCase cases[] = {
        {"no link, no path", 3, {{0, 1, 5}}, 0, 2, -1, -2},
        {"direct link truncated", 2, {{0, 1, 37.9f}}, 0, 1, 37, -1},
        {"two hops sum truncated lengths", 3, {{0, 1, 1.6f}, {1, 2, 1.6f}}, 0, 2, 2, 1},
        {"links are one-way", 3, {{0, 1, 1}, {1, 2, 1}}, 2, 0, -1, -2},
        {"shorter detour replaces the link", 3, {{0, 2, 10}, {0, 1, 4}, {1, 2, 5}}, 0, 2, 9, 1},
        {"equal detour keeps the link", 3, {{0, 2, 9}, {0, 1, 4}, {1, 2, 5}}, 0, 2, 9, -1},
        {"zero-length link is a link", 2, {{0, 1, 0}}, 0, 1, 0, -1},
        {"long chain goes through its last middle station", 4, {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}}, 0, 3, 3, 2},
        {"first of two equal routes wins", 4, {{0, 1, 1}, {1, 3, 1}, {0, 2, 1}, {2, 3, 1}}, 0, 3, 2, 1},
        // Huge links neither wrap round to short routes nor to "no path".
        {"huge links saturate", 3, {{0, 1, 2.0e9f}, {1, 2, 2.0e9f}}, 0, 2, 2147483647, 1},
    };
    for (const RouteCase& c : cases) {
        PathStateMachine m = Linked(c.stations, {});
        for (const Link& l : c.links) m.LinkWeight(l.from, l.to, l.length);
        m.ComputeShortestPath();
        EXPECT_EQ(m.PathDistance(c.from, c.to), c.distance) << c.name;
        EXPECT_EQ(m.Via(c.from, c.to), c.via) << c.name;
    }
}

TEST(PathStateMachine, StationNumbersOutsideTheMachineAreHarmless) {
    PathStateMachine m(2);
    EXPECT_FALSE(m.LinkWeight(2, 0, 1.0f));
    EXPECT_FALSE(m.LinkWeight(-1, 0, 1.0f));
    EXPECT_EQ(m.LinkWeight(5, 5), -1.0f);
    EXPECT_EQ(m.PathDistance(7, 0), -1);
    EXPECT_EQ(m.Via(0, 9), -2);
    m.AddStation({3, 4});
    EXPECT_EQ(m.GetStation(0).x, 3.0f);
    EXPECT_EQ(m.GetStation(1).x, 0.0f);  // never added
    EXPECT_FLOAT_EQ(m.Distance(0, 1), 5.0f);
}

TEST(PathStateMachine, AssignmentCopiesEverythingAndOwnsItsGates) {
    auto source = std::make_unique<PathStateMachine>(2);
    source->AddStation({0, 0});
    source->AddStation({30, 40});
    source->LinkWeight(0, 1, source->Distance(0, 1));
    source->AddState(State());
    source->AddState(State());
    source->SetStartingState(1);
    CollisionSegment gate(0, 0, 10, 0, 0, 1, 7);
    source->AddCollisionData(gate);
    source->ComputeShortestPath();

    PathStateMachine copy;
    copy.AddCollisionData(gate);  // replaced by the assignment
    copy = *source;
    PathStateMachine constructed(*source);
    source.reset();
    for (const PathStateMachine* m : {&copy, &constructed}) {
        EXPECT_EQ(m->NumberOfStations(), 2);
        EXPECT_EQ(m->GetNumberOfStates(), 2);
        EXPECT_EQ(m->GetStartingState(), 1);
        EXPECT_EQ(m->PathDistance(0, 1), 50);
        EXPECT_EQ(m->GetStation(1).y, 40.0f);
        ASSERT_EQ(m->Gates().size(), 1u);
        EXPECT_EQ(m->Gates()[0]->Tag(), 7);
        EXPECT_EQ(m->Gates()[0]->EndX(), 10.0f);
    }
    copy = copy;
    EXPECT_EQ(copy.Gates().size(), 1u);
}

TEST(PathStateMachine, TablesAreMadeAndFoundWithinTheirBounds) {
    PathStateMachine* table = NewPathStateMachines(2);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[1].NumberOfStations(), 0);
    PathStateMachine* saved = PSMArray;
    const std::int32_t savedBound = maxPSMIndex;
    PSMArray = table;
    maxPSMIndex = 1;
    EXPECT_EQ(GetPathStateMachine(1), &table[1]);
    EXPECT_EQ(GetPathStateMachine(2), nullptr);
    EXPECT_EQ(GetPathStateMachine(-1), nullptr);
    PSMArray = saved;
    maxPSMIndex = savedBound;
    FreePathStateMachines(table);
    FreePathStateMachines(nullptr);
}

}  // namespace
