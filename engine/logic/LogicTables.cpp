#include "logic/LogicTablesInternal.h"

#include <new>
#include <unordered_map>

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

namespace {

// The callback and level-function tables carry no bound of their own: their
// sizes are kept here, by table, so that a number read from a file is checked
// against the table it indexes. Never destroyed, so that a table freed late
// in the program's exit still finds it.
std::unordered_map<void* const*, unsigned int>& VoidPointerSizes() {
    static auto* sizes = new std::unordered_map<void* const*, unsigned int>();
    return *sizes;
}

}  // namespace

// Pointer tables start null so that an unfilled slot reads as "no function".
void** NewVoidPointers(unsigned int n) {
    void** table = new (std::nothrow) void* [n] {};
    if (table != nullptr) VoidPointerSizes()[table] = n;
    return table;
}

unsigned int VoidPointerCount(void* const* table) {
    if (table == nullptr) return 0;
    const auto found = VoidPointerSizes().find(table);
    return found != VoidPointerSizes().end() ? found->second : 0;
}

void* VoidPointerAt(void* const* table, long long i) {
    return i >= 0 && i < static_cast<long long>(VoidPointerCount(table)) ? table[i] : nullptr;
}

node** NewNodePointers(unsigned int n) {
    return new (std::nothrow) node* [n] {};
}

void FreeStateMachines(StateMachine* table) { delete[] table; }
void FreeTimers(Timer* table) { delete[] table; }
void FreeVoidPointers(void** table) {
    if (table != nullptr) VoidPointerSizes().erase(table);
    delete[] table;
}
void FreeNodePointers(node** table) { delete[] table; }
