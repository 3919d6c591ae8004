// Allocation and lookup of the path-state-machine and movement-pattern tables
// (PSMArray, MPArray) of the game's logic.
#pragma once
#include "QelExport.h"

class PathStateMachine;
class MovementPattern;

// n machines of 0 stations; null when the allocation fails.
QEL_API PathStateMachine* NewPathStateMachines(unsigned int n);
// n empty patterns; null when the allocation fails.
QEL_API MovementPattern* NewMovementPatterns(unsigned int n);
// Entry i of PSMArray when 0 <= i <= maxPSMIndex, else null.
QEL_API PathStateMachine* GetPathStateMachine(int i);
