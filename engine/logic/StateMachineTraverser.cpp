#include "logic/StateMachineTraverser.h"

#include <cstring>
#include <new>

#include "foundation/Create.h"
#include "foundation/File.h"
#include "foundation/ClassPool.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "logic/StateMachine.h"

namespace {

// Nesting deeper than this comes only from a machine nested in itself or from a
// damaged file; it is cut there instead of exhausting the stack.
constexpr int MaxNesting = 64;
int goDepth = 0;
int loadDepth = 0;

// The pool exists before the class is registered, as the library's start-up has it.
MemoryPool& poolAtStart = ClassPool<StateMachineTraverser>::Pool();

StateMachine* MachineOfNumber(std::int32_t number) {
    if (SMArray == nullptr || !WithinBound(number, maxSMIndex)) return nullptr;
    return &SMArray[number];
}

std::int32_t NumberOfMachine(const StateMachine* m) {
    if (m == nullptr || SMArray == nullptr) return -1;
    for (std::int32_t i = 0; WithinBound(i, maxSMIndex); ++i)
        if (&SMArray[i] == m) return i;
    return -1;
}

bool IsState(const StateMachine* m, long long i) { return m != nullptr && i >= 0 && i < m->GetNumberOfStates(); }

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    bool TooDeep() const { return depth > MaxNesting; }
};

}  // namespace

CREATE StateMachineTraverser::cr("StateMachineTraverser", &StateMachineTraverser::CreateObject);

void* StateMachineTraverser::operator new(std::size_t size) { return ClassPool<StateMachineTraverser>::Alloc(size); }

void StateMachineTraverser::operator delete(void* block, std::size_t size) {
    ClassPool<StateMachineTraverser>::Free(block, size);
}

node* StateMachineTraverser::CreateObject() { return new StateMachineTraverser(nullptr); }

const char* StateMachineTraverser::ClassName() const { return "StateMachineTraverser"; }

StateMachineTraverser::StateMachineTraverser(StateMachine* m)
    : machine(m), currentState(m ? m->GetStartingState() : 0), entering(1), child(nullptr), reset(true) {}

StateMachineTraverser::StateMachineTraverser(const StateMachineTraverser& other)
    : node(), machine(nullptr), currentState(0), entering(1), child(nullptr), reset(true) {
    *this = other;
}

StateMachineTraverser& StateMachineTraverser::operator=(const StateMachineTraverser& other) {
    if (this == &other) return *this;
    machine = other.machine;
    currentState = other.currentState;
    entering = other.entering;
    reset = other.reset;
    StateMachineTraverser* copy = other.child ? new StateMachineTraverser(*other.child) : nullptr;
    delete child;
    child = copy;
    return *this;
}

StateMachineTraverser::~StateMachineTraverser() { delete child; }

void StateMachineTraverser::SetCurrentState(int i) {
    if (!IsState(machine, i)) {
        UserError::Report("void StateMachineTraverser::SetCurrentState(int i)", "State number %d not found.", i);
        return;
    }
    currentState = i;
    entering = 1;
    reset = true;
}

void StateMachineTraverser::RestartChild() {
    delete child;
    child = nullptr;
    StateMachine* nested = machine->States()[static_cast<std::size_t>(currentState)].NestedMachine();
    if (nested != nullptr) child = new StateMachineTraverser(nested);
}

bool StateMachineTraverser::EdgeFires(int state, std::size_t edge, void* owner) {
    // Reached by index every time: a condition may change this traverser.
    const Edge& e = machine->States()[static_cast<std::size_t>(state)].Edges()[edge];
    const bool fires = e.Condition() != nullptr ? e.Condition()(owner) : e.Unconditional();
    if (!fires) return false;
    const Edge& fired = machine->States()[static_cast<std::size_t>(state)].Edges()[edge];
    if (IsState(machine, fired.To())) return true;
    UserError::Report("void StateMachineTraverser::Go(void *)", "State number %d not found.", fired.To());
    return false;
}

void StateMachineTraverser::Go(void* owner) {
    if (machine == nullptr || machine->GetNumberOfStates() == 0 || !IsState(machine, currentState)) return;
    DepthGuard depth(goDepth);
    if (depth.TooDeep()) return;

    if (!reset) {
        const int scanned = currentState;
        const std::size_t edgeCount = machine->States()[static_cast<std::size_t>(scanned)].Edges().size();
        for (std::size_t i = 0; i < edgeCount; ++i) {
            if (!EdgeFires(scanned, i, owner)) continue;
            reset = false;
            currentState = machine->States()[static_cast<std::size_t>(scanned)].Edges()[i].To();
            entering = 1;
            RestartChild();
            break;
        }
    } else {
        reset = false;
        RestartChild();
    }

    StateAction action = machine->States()[static_cast<std::size_t>(currentState)].Action();
    if (action != nullptr) action(entering, owner);
    if (!reset) entering = 0;
    if (child != nullptr) child->Go(owner);
}

void StateMachineTraverser::Save(File& file) {
    file.Write(NumberOfMachine(machine));
    file.Write(currentState);
    file.Write(entering);
    file.Write(reset);
    file.Write(static_cast<node*>(child));
}

void StateMachineTraverser::Load(File& file) {
    DepthGuard depth(loadDepth);
    delete child;
    child = nullptr;
    std::int32_t number = -1;
    file.Read(number);
    file.Read(currentState);
    file.Read(entering);
    file.Read(reset);
    machine = MachineOfNumber(number);
    if (depth.TooDeep()) {
        file.SetError();
    } else {
        child = ReadOwnedTraverser(file);
    }
    RepairAfterLoad();
}

StateMachineTraverser* StateMachineTraverser::ReadOwnedTraverser(File& file) {
    node* object = nullptr;
    file.Read(object);
    if (object == nullptr) return nullptr;
    // A traverser has one owner: a shared, cyclic or foreign reference is a
    // damaged file (Claim marks it so).
    if (!file.Claim(object)) return nullptr;
    if (std::strcmp(object->ClassName(), "StateMachineTraverser") != 0) {
        delete object;
        file.SetError();
        return nullptr;
    }
    return static_cast<StateMachineTraverser*>(object);
}

void StateMachineTraverser::RepairAfterLoad() {
    if (machine == nullptr || IsState(machine, currentState)) return;
    currentState = machine->GetStartingState();
    entering = 1;
    reset = true;
}
