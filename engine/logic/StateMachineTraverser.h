// One running instance of a StateMachine for one owner: it knows the current
// state, moves on by at most one edge per frame, and runs the current state's
// nested machine through a child traverser. Objects come from a class pool.
#pragma once
#include <cstddef>
#include <cstdint>

#include "QelExport.h"
#include "foundation/Node.h"
#include "logic/LogicTypes.h"

struct CREATE;
class File;
class StateMachine;

class QEL_API StateMachineTraverser : public node {
public:
    // Starts in m's starting state (0 without a machine), entering 1, reset set.
    explicit StateMachineTraverser(StateMachine* m);
    // A deep copy: the child chain is copied too.
    StateMachineTraverser(const StateMachineTraverser& other);
    StateMachineTraverser& operator=(const StateMachineTraverser& other);
    ~StateMachineTraverser() override;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    // Makes state i current, to be entered afresh at the next Go; a number that
    // is not a state of the machine is reported and changes nothing.
    virtual void SetCurrentState(int i);
    int GetCurrentState() const { return currentState; }
    // One step: an edge (or the re-entry after a reset), the action, the child.
    virtual void Go(void* owner);

    StateMachine* Machine() const { return machine; }
    int EnteringValue() const { return entering; }
    bool ResetPending() const { return reset; }
    StateMachineTraverser* Child() const { return child; }

    // A new traverser without machine, for the class registry.
    static node* CreateObject();
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size);

    static CREATE cr;

    // Reads a traverser reference that its reader is to own: a new plain
    // traverser, or null. A reference to an object read before (it has an owner
    // already) or to another class marks the file in error and gives null.
    static StateMachineTraverser* ReadOwnedTraverser(File& file);

protected:
    // Replaces the child by a new traverser over the current state's nested
    // machine, or by none when that state has no nested machine.
    void RestartChild();

    StateMachine* machine;
    std::int32_t currentState;
    std::int32_t entering;
    StateMachineTraverser* child;
    bool reset;

private:
    // The edge's condition decides, or its unconditional flag when it has none.
    bool EdgeFires(int state, std::size_t edge, void* owner);
    // After a load: a current state outside the machine restarts the machine. A
    // child whose machine was not in SMArray stays without one: it does nothing
    // until its parent enters the state again and builds a fresh child.
    void RepairAfterLoad();
};
