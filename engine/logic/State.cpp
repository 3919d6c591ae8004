#include "logic/State.h"

State::State(StateAction action, StateMachine* nested) : action(action), nested(nested) {}

State::State(StateAction action, unsigned int speed, unsigned char key, int targetStation, bool stop, int pathKind)
    : action(action),
      nested(nullptr),
      speed(speed),
      key(key),
      stop(stop),
      pathKind(pathKind),
      targetStation(targetStation) {}

void State::AddEdge(const Edge& edge) { edges.push_back(edge); }
