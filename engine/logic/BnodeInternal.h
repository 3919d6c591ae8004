// One entry of a Behavior: a function, a state machine (through the traverser
// it owns) or a timer (its own copy), picked by its number in a logic table.
#pragma once
#include <cstdint>

#include "foundation/Node.h"
#include "logic/LogicTypes.h"
#include "logic/Timer.h"

struct CREATE;
class StateMachineTraverser;

class Bnode : public node {
public:
    enum Kind : std::int32_t { NoKind = -1, FunctionKind = 0, StateMachineKind = 1, TimerKind = 2 };

    Bnode() = default;
    // Copies everything but the node part; the traverser is copied deeply.
    Bnode(const Bnode& other);
    Bnode& operator=(const Bnode& other);
    ~Bnode() override;

    // The entry's record, written with no class name or id before it.
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    static node* CreateObject();
    static CREATE cr;

    std::int32_t index = -1;
    bool active = false;
    std::int32_t kind = NoKind;
    BehaviorFunction function = nullptr;
    StateMachineTraverser* traverser = nullptr;  // owned
    Timer timer;
};
