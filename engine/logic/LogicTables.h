// The game's logic tables: behaviour functions, state machines, their callbacks,
// timer templates and local-data prototypes, each picked by its number, with the
// highest valid number of each table (-1 while it is empty) and their allocators.
// The game's logic hook (or the game-file loader) fills them before the game
// object exists; the engine frees them at shut-down.
#pragma once
#include <cstdint>

#include "QelExport.h"

class StateMachine;
class Timer;
class node;
class PathStateMachine;
class MovementPattern;

extern QEL_API void** FArray;               // BehaviorFunction by number, 0..maxFIndex
extern QEL_API StateMachine* SMArray;       // 0..maxSMIndex
extern QEL_API void** SMFArray;             // state actions and edge conditions by number
extern QEL_API Timer* TMArray;              // timer templates, 0..maxTMIndex
extern QEL_API node** NArray;               // local-data prototypes, 0..maxNIndex
extern QEL_API PathStateMachine* PSMArray;  // path state machines, 0..maxPSMIndex
extern QEL_API MovementPattern* MPArray;    // movement patterns, 0..maxMPIndex
extern QEL_API void** LVFArray;             // level functions of the data-driven loaders

extern QEL_API std::int32_t maxFIndex;
extern QEL_API std::int32_t maxSMIndex;
extern QEL_API std::int32_t maxTMIndex;
extern QEL_API std::int32_t maxNIndex;
extern QEL_API std::int32_t maxPSMIndex;
extern QEL_API std::int32_t maxMPIndex;

// n default-constructed machines; null when the allocation fails.
QEL_API StateMachine* NewStateMachines(unsigned int n);
// n timers, each Timer(null, 0, frames, running, periodic); null on failure.
QEL_API Timer* NewTimers(unsigned int n);
// n null pointers (for FArray, SMFArray, LVFArray); null on failure. The
// table's size is recorded for VoidPointerCount.
QEL_API void** NewVoidPointers(unsigned int n);
// The number of entries of a table made by NewVoidPointers and not yet freed;
// 0 for null or for any other pointer.
QEL_API unsigned int VoidPointerCount(void* const* table);
// Entry i of such a table, or null when i lies outside it.
QEL_API void* VoidPointerAt(void* const* table, long long i);
// n null node pointers (for NArray); null on failure.
QEL_API node** NewNodePointers(unsigned int n);

// True when 0 <= n <= bound, compared as signed numbers so that the bound -1
// of an empty table refuses every number.
constexpr bool WithinBound(long long n, std::int32_t bound) { return n >= 0 && n <= static_cast<long long>(bound); }
