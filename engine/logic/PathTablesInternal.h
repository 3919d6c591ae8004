// The engine's own lookup of MPArray and the release of both tables.
#pragma once
#include "logic/PathTables.h"

// Entry i of MPArray when 0 <= i <= maxMPIndex, else null.
MovementPattern* GetMovementPattern(int i);

// The matching releases (every element destroyed); null is allowed.
void FreePathStateMachines(PathStateMachine* table);
void FreeMovementPatterns(MovementPattern* table);
