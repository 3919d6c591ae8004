#include "logic/BnodeInternal.h"

#include "foundation/File.h"
#include "logic/LogicTables.h"
#include "logic/StateMachineTraverser.h"

node* Bnode::CreateObject() { return new Bnode; }

const char* Bnode::ClassName() const { return "Bnode"; }

Bnode::Bnode(const Bnode& other)
    : node(),
      index(other.index),
      active(other.active),
      kind(other.kind),
      function(other.function),
      traverser(other.traverser ? new StateMachineTraverser(*other.traverser) : nullptr),
      timer(other.timer) {}

Bnode& Bnode::operator=(const Bnode& other) {
    if (this == &other) return *this;
    delete traverser;
    traverser = other.traverser ? new StateMachineTraverser(*other.traverser) : nullptr;
    index = other.index;
    active = other.active;
    kind = other.kind;
    function = other.function;
    timer = other.timer;
    return *this;
}

Bnode::~Bnode() { delete traverser; }

void Bnode::Save(File& file) {
    file.Write(index);
    if (index < 0) return;
    file.Write(active);
    file.Write(kind);
    if (kind == StateMachineKind) {
        file.Write(static_cast<node*>(traverser));
    } else if (kind == TimerKind) {
        timer.Save(file);
    }
}

void Bnode::Load(File& file) {
    delete traverser;
    traverser = nullptr;
    function = nullptr;
    active = false;
    kind = NoKind;
    timer = Timer();
    file.Read(index);
    if (index < 0) return;
    file.Read(active);
    file.Read(kind);
    switch (kind) {
        case FunctionKind:
            if (FArray != nullptr && WithinBound(index, maxFIndex))
                function = reinterpret_cast<BehaviorFunction>(FArray[index]);
            break;
        case StateMachineKind: traverser = StateMachineTraverser::ReadOwnedTraverser(file); break;
        case TimerKind: timer.Load(file); break;
        default: break;  // an unknown kind is kept but never runs
    }
}
