#include "logic/PathTablesInternal.h"

#include <new>

#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachine.h"

PathStateMachine* NewPathStateMachines(unsigned int n) { return new (std::nothrow) PathStateMachine[n]; }

MovementPattern* NewMovementPatterns(unsigned int n) { return new (std::nothrow) MovementPattern[n]; }

PathStateMachine* GetPathStateMachine(int i) {
    return PSMArray != nullptr && WithinBound(i, maxPSMIndex) ? &PSMArray[i] : nullptr;
}

MovementPattern* GetMovementPattern(int i) {
    return MPArray != nullptr && WithinBound(i, maxMPIndex) ? &MPArray[i] : nullptr;
}

void FreePathStateMachines(PathStateMachine* table) { delete[] table; }

void FreeMovementPatterns(MovementPattern* table) { delete[] table; }
