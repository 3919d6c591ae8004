// One state of a state machine: the action run every frame while the machine is
// in it, its outgoing edges (tried in the order added) and an optional nested
// machine. The path fields are used only by path state machines.
#pragma once
#include <cstdint>
#include <vector>

#include "QelExport.h"
#include "logic/Edge.h"
#include "logic/LogicTypes.h"

class StateMachine;

class QEL_API State {
public:
    // A plain state. The nested machine is shared, never owned: it must outlive
    // every traverser that runs it.
    State(StateAction action = nullptr, StateMachine* nested = nullptr);
    // A path state: no edges, no nested machine.
    State(StateAction action, unsigned int speed, unsigned char key, int targetStation, bool stop, int pathKind);

    void AddEdge(const Edge& edge);
    std::vector<Edge>& Edges() { return edges; }
    const std::vector<Edge>& Edges() const { return edges; }

    StateAction Action() const { return action; }
    StateMachine* NestedMachine() const { return nested; }
    unsigned int Speed() const { return speed; }
    unsigned char Key() const { return key; }
    bool Stop() const { return stop; }
    int PathKind() const { return pathKind; }
    int TargetStation() const { return targetStation; }

private:
    std::vector<Edge> edges;
    StateAction action;
    StateMachine* nested;
    std::uint32_t speed = 0;
    unsigned char key = 0xFF;
    bool stop = false;
    std::int32_t pathKind = -1;
    std::int32_t targetStation = -1;
};
