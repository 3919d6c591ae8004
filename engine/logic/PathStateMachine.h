// A state machine laid over a map: its first N states are stations (points of
// the map), the later ones the legs between them. It keeps the station
// positions, a directed link length for each pair of stations, gate segments,
// and the all-pairs shortest routes computed once from the links.
#pragma once
#include <cstdint>
#include <vector>

#include "QelExport.h"
#include "logic/StateMachine.h"

class CollisionSegment;
class Sprite;

// A station's place in the coordinates of the map its sprite belongs to.
struct QEL_API Position {
    float x = 0;
    float y = 0;
};

class QEL_API PathStateMachine : public StateMachine {
public:
    // N stations (a negative count, or one whose matrices cannot be had,
    // gives 0): distances 0 on the diagonal and -1 elsewhere, via -1 on the
    // diagonal and -2 elsewhere, link weights 0.0 on the diagonal and -1.0
    // (no link) elsewhere.
    explicit PathStateMachine(int stations = 0);
    PathStateMachine(const PathStateMachine& other);
    PathStateMachine& operator=(const PathStateMachine& other);
    ~PathStateMachine();

    int NumberOfStations() const { return stationCount; }
    // Euclidean distance of stations i and j (0 for a station that has no position).
    float Distance(int i, int j) const;
    void AddStation(const Position& p);
    // Station i's position; (0, 0) for a number without one.
    Position GetStation(int i) const;
    bool HasStation(int i) const { return i >= 0 && i < static_cast<int>(stations.size()); }
    // Appends an owned copy of the segment; its tag is the state a sprite
    // switches to on touching it.
    void AddCollisionData(CollisionSegment& gate);
    const std::vector<CollisionSegment*>& Gates() const { return gates; }

    // The directed link i -> j: its length, -1.0 for none. Numbers outside
    // the stations read as no link and are not written (false).
    float LinkWeight(int i, int j) const;
    bool LinkWeight(int i, int j, float length);
    // Shortest route length i -> j in whole pixels (-1: none), and the
    // station it passes through (-1: the direct link, -2: unreachable).
    // Numbers outside the stations read -1 and -2.
    std::int32_t PathDistance(int i, int j) const;
    std::int32_t Via(int i, int j) const;

    // Fills the distance and via matrices from the link weights.
    void ComputeShortestPath();
    // Draws every two-hop link station -> state -> station, in world
    // coordinates of the sprite's map.
    void DisplayPath(unsigned long colour, Sprite* sprite);

private:
    bool Inside(int i, int j) const { return i >= 0 && j >= 0 && i < stationCount && j < stationCount; }
    std::size_t At(int i, int j) const { return static_cast<std::size_t>(i) * stationCount + j; }
    void DeleteGates();

    std::vector<std::int32_t> distance;
    std::vector<std::int32_t> via;
    std::vector<float> linkWeight;
    std::vector<Position> stations;
    std::vector<CollisionSegment*> gates;  // owned
    std::int32_t stationCount = 0;
};
