// One outgoing edge of a state: where it leads and what lets it fire. The path
// fields are used only by path state machines.
#pragma once
#include <cstdint>

#include "QelExport.h"
#include "logic/LogicTypes.h"

class QEL_API Edge {
public:
    // A plain edge: the path fields keep their defaults.
    Edge(int target, EdgeCondition condition, bool unconditional);
    // A path edge, every field given.
    Edge(int target, EdgeCondition condition, bool unconditional, bool entering2, unsigned char key,
         unsigned int tolerance, int station, int pathKind);

    int To() const { return target; }
    EdgeCondition Condition() const { return condition; }
    bool Unconditional() const { return unconditional; }
    int PathKind() const { return pathKind; }
    int Station() const { return station; }
    bool EnteringTwo() const { return entering2; }
    unsigned char Key() const { return key; }
    unsigned int Tolerance() const { return tolerance; }

private:
    std::int32_t target;
    std::int32_t pathKind = -1;
    std::int32_t station = -1;
    EdgeCondition condition;
    bool unconditional;
    bool entering2 = false;
    unsigned char key = 0xFF;
    std::uint32_t tolerance = 2;
};
