#include "logic/Edge.h"

Edge::Edge(int target, EdgeCondition condition, bool unconditional)
    : target(target), condition(condition), unconditional(unconditional) {}

Edge::Edge(int target, EdgeCondition condition, bool unconditional, bool entering2, unsigned char key,
           unsigned int tolerance, int station, int pathKind)
    : target(target),
      pathKind(pathKind),
      station(station),
      condition(condition),
      unconditional(unconditional),
      entering2(entering2),
      key(key),
      tolerance(tolerance) {}
