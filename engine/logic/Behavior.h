// The list of numbered behaviours (functions, state machines and timers) that
// one engine object runs once per frame with itself as the owner. Entries keep
// their place for the life of the list; they are switched on and off, never
// removed singly.
#pragma once
#include <concepts>
#include <cstdint>
#include <memory>
#include <vector>

#include "QelExport.h"
#include "foundation/Node.h"
#include "logic/CallbackOwner.h"
#include "logic/LogicTypes.h"

struct CREATE;
class Bnode;

class QEL_API Behavior : public node {
public:
    // Empty, with one map slot per number of each logic table.
    Behavior();
    Behavior(const Behavior& other);
    ~Behavior() override;
    // Refused while this list is updating; otherwise entries are copied deeply,
    // maps with their sizes.
    Behavior& operator=(const Behavior& other);

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    static node* CreateObject();
    static CREATE cr;

    void AddFunction(unsigned int n, bool active);
    void AddStateMachine(unsigned int n, bool active);
    void AddTimer(unsigned int n, bool active);
    bool IsFunctionAdded(unsigned int n);
    bool IsStateMachineAdded(unsigned int n);
    bool IsTimerAdded(unsigned int n);
    void FunctionActiveStatus(unsigned int n, bool active);
    void StateMachineActiveStatus(unsigned int n, bool active);
    void TimerActiveStatus(unsigned int n, bool active);
    bool FunctionActiveStatus(unsigned int n);
    bool StateMachineActiveStatus(unsigned int n);
    bool TimerActiveStatus(unsigned int n);
    void ResetTimer(unsigned int index, unsigned int delay, TimerMode mode);
    unsigned int TimeRemaining(unsigned int index);
    void ChangeState(unsigned int n, unsigned int state);
    int GetCurrentState(unsigned int index);
    unsigned int Count() const { return static_cast<unsigned int>(entries.size()); }
    // Refused while updating.
    void Clear();
    // Runs the active entries once, in list order; entries appended meanwhile
    // run in the same pass.
    void Update(void* owner);
    // The same for an engine object, whose functions can then check what
    // they were handed (qel::OwnerAs).
    template <class Owner>
    requires std::derived_from<Owner, node>
    void Update(Owner& owner) {
        qel::CallbackOwnerScope scope(&owner, &owner);
        Update(static_cast<void*>(&owner));
    }

private:
    // kind: 0 function, 1 state machine, 2 timer.
    std::vector<std::int32_t>& MapOf(int kind);
    // The first check of every numbered operation: 0 <= n <= the table's bound
    // and n within the map; reports and answers false otherwise.
    bool NumberFound(int kind, unsigned int n, const char* target);
    // Both checks of the Add operations.
    bool CanAdd(int kind, unsigned int n, const char* target);
    // Both checks of the other operations: the entry of number n, or null after
    // a report.
    Bnode* AddedEntry(int kind, unsigned int n, const char* target);
    void Append(std::unique_ptr<Bnode> entry, unsigned int n);
    // No entries; maps sized from the current tables, every slot -1.
    void ResetToEmpty();
    // Slots that do not lead to an entry of their own number and kind become -1.
    bool DropInconsistentSlots();

    std::vector<std::unique_ptr<Bnode>> entries;
    std::vector<std::int32_t> functionMap;
    std::vector<std::int32_t> stateMachineMap;
    std::vector<std::int32_t> timerMap;
    bool updating = false;
};
