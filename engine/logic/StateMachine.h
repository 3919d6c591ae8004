// A state machine as a plain description: numbered states with their actions
// and edges, and the state a new run starts in. It holds no running state; each
// run goes through its own StateMachineTraverser.
#pragma once
#include <cstdint>
#include <vector>

#include "QelExport.h"
#include "logic/State.h"

class QEL_API StateMachine {
public:
    StateMachine() = default;

    // Appends a copy of the state with its edges; its number is its position.
    void AddState(const State& state);
    // True and set when 0 <= n < number of states; otherwise false and unchanged.
    bool SetStartingState(int n);
    int GetStartingState() const { return startingState; }
    int GetNumberOfStates() const { return static_cast<int>(states.size()); }
    std::vector<State>& States() { return states; }
    const std::vector<State>& States() const { return states; }

private:
    std::vector<State> states;
    std::int32_t startingState = 0;
};
