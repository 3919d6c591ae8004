// The release of the logic tables, for the engine's shut-down.
#pragma once
#include "logic/LogicTables.h"

// The matching releases, for the shut-down that frees the tables. The node
// prototypes an NArray points to are not deleted. Null is allowed.
void FreeStateMachines(StateMachine* table);
void FreeTimers(Timer* table);
void FreeVoidPointers(void** table);
void FreeNodePointers(node** table);
