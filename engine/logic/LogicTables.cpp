#include "logic/LogicTables.h"

#include <new>

#include "logic/StateMachine.h"
#include "logic/Timer.h"

void** FArray = nullptr;
StateMachine* SMArray = nullptr;
void** SMFArray = nullptr;
Timer* TMArray = nullptr;
node** NArray = nullptr;
PathStateMachine* PSMArray = nullptr;
MovementPattern* MPArray = nullptr;
void** LVFArray = nullptr;

std::int32_t maxFIndex = -1;
std::int32_t maxSMIndex = -1;
std::int32_t maxTMIndex = -1;
std::int32_t maxNIndex = -1;
std::int32_t maxPSMIndex = -1;
std::int32_t maxMPIndex = -1;

StateMachine* NewStateMachines(unsigned int n) { return new (std::nothrow) StateMachine[n]; }

Timer* NewTimers(unsigned int n) { return new (std::nothrow) Timer[n]; }

// Pointer tables start null so that an unfilled slot reads as "no function".
void** NewVoidPointers(unsigned int n) { return new (std::nothrow) void* [n] {}; }

node** NewNodePointers(unsigned int n) { return new (std::nothrow) node* [n] {}; }

void FreeStateMachines(StateMachine* table) { delete[] table; }
void FreeTimers(Timer* table) { delete[] table; }
void FreeVoidPointers(void** table) { delete[] table; }
void FreeNodePointers(node** table) { delete[] table; }
