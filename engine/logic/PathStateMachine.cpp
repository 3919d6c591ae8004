#include "logic/PathStateMachine.h"

#include <cmath>
#include <limits>
#include <new>

#include "display/GeometricsDrawn.h"
#include "runtime/EngineGlobals.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"

PathStateMachine::PathStateMachine(int n) {
    if (n <= 0) return;
    const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    try {
        distance.assign(cells, -1);
        via.assign(cells, -2);
        linkWeight.assign(cells, -1.0f);
    } catch (const std::bad_alloc&) {
        // A station count no memory can hold leaves an empty machine.
        distance.clear();
        via.clear();
        linkWeight.clear();
        return;
    }
    stationCount = n;
    for (int i = 0; i < n; ++i) {
        distance[At(i, i)] = 0;
        via[At(i, i)] = -1;
        linkWeight[At(i, i)] = 0.0f;
    }
}

PathStateMachine::PathStateMachine(const PathStateMachine& other) : StateMachine(), stationCount(0) { *this = other; }

PathStateMachine& PathStateMachine::operator=(const PathStateMachine& other) {
    if (this == &other) return *this;
    StateMachine::operator=(other);
    distance = other.distance;
    via = other.via;
    linkWeight = other.linkWeight;
    stations = other.stations;
    DeleteGates();
    gates.reserve(other.gates.size());
    for (CollisionSegment* g : other.gates) gates.push_back(new CollisionSegment(*g));
    stationCount = other.stationCount;
    return *this;
}

PathStateMachine::~PathStateMachine() { DeleteGates(); }

void PathStateMachine::DeleteGates() {
    for (CollisionSegment* g : gates) delete g;
    gates.clear();
}

float PathStateMachine::Distance(int i, int j) const {
    const Position a = GetStation(i), b = GetStation(j);
    const float dx = a.x - b.x, dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

void PathStateMachine::AddStation(const Position& p) { stations.push_back(p); }

Position PathStateMachine::GetStation(int i) const {
    return HasStation(i) ? stations[static_cast<std::size_t>(i)] : Position{};
}

void PathStateMachine::AddCollisionData(CollisionSegment& gate) { gates.push_back(new CollisionSegment(gate)); }

float PathStateMachine::LinkWeight(int i, int j) const { return Inside(i, j) ? linkWeight[At(i, j)] : -1.0f; }

bool PathStateMachine::LinkWeight(int i, int j, float length) {
    if (!Inside(i, j)) return false;
    linkWeight[At(i, j)] = length;
    return true;
}

std::int32_t PathStateMachine::PathDistance(int i, int j) const { return Inside(i, j) ? distance[At(i, j)] : -1; }

std::int32_t PathStateMachine::Via(int i, int j) const { return Inside(i, j) ? via[At(i, j)] : -2; }

void PathStateMachine::ComputeShortestPath() {
    const int n = stationCount;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float w = linkWeight[At(i, j)];
            distance[At(i, j)] = TruncToInt32(w);
            via[At(i, j)] = i == j ? -1 : (w == -1.0f ? -2 : -1);
        }
    constexpr std::int64_t longest = std::numeric_limits<std::int32_t>::max();
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i) {
            const std::int32_t ik = distance[At(i, k)];
            if (ik == -1) continue;
            for (int j = 0; j < n; ++j) {
                const std::int32_t kj = distance[At(k, j)];
                if (kj == -1) continue;
                // Summed wide and capped, so that huge links cannot wrap round
                // to a short (or a "no path") length.
                std::int64_t sum = std::int64_t(ik) + std::int64_t(kj);
                if (sum > longest) sum = longest;
                if (sum == -1) sum = -2;
                std::int32_t& ij = distance[At(i, j)];
                if (ij == -1 || sum < ij) {
                    ij = static_cast<std::int32_t>(sum);
                    via[At(i, j)] = k;
                }
            }
        }
}

void PathStateMachine::DisplayPath(unsigned long colour, Sprite* sprite) {
    if (pDraw == nullptr) return;
    Map* map = sprite != nullptr ? sprite->BelongToMapPtr() : nullptr;
    const float wx = sprites::MapWorldX(map), wy = sprites::MapWorldY(map);
    const int stateCount = GetNumberOfStates();
    for (int s = 0; s < stationCount && s < stateCount; ++s) {
        for (const Edge& e : States()[static_cast<std::size_t>(s)].Edges()) {
            if (e.To() < 0 || e.To() >= stateCount) continue;
            for (const Edge& f : States()[static_cast<std::size_t>(e.To())].Edges()) {
                if (f.To() < 0 || f.To() >= stationCount) continue;
                const Position a = GetStation(s), b = GetStation(f.To());
                pDraw->Line(a.x + wx, a.y + wy, b.x + wx, b.y + wy, colour);
            }
        }
    }
}
