#include "logic/StateMachine.h"

void StateMachine::AddState(const State& state) { states.push_back(state); }

bool StateMachine::SetStartingState(int n) {
    if (n < 0 || n >= GetNumberOfStates()) return false;
    startingState = n;
    return true;
}
