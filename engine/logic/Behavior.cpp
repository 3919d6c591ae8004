#include "logic/Behavior.h"

#include <utility>

#include "foundation/Create.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/BnodeInternal.h"
#include "logic/LogicTables.h"
#include "logic/StateMachine.h"
#include "logic/StateMachineTraverser.h"
#include "logic/Timer.h"

// Registered together so that the entry class comes first, whatever the order
// in which the modules start.
CREATE Bnode::cr("Bnode", &Bnode::CreateObject);
CREATE Behavior::cr("Behavior", &Behavior::CreateObject);

namespace {

// The words of the reports, by kind (function, state machine, timer).
const char* const NotFound[] = {"The function %d cannot be found.", "The state machine %d cannot be found.",
                                "The timer %d cannot be found."};
const char* const AlreadyAdded[] = {"The function %d has already been added.",
                                    "The state machine %d has already been added.",
                                    "The timer %d has already been added."};
const char* const NotAdded[] = {"The function %d has not been added.", "The state machine %d has not been added.",
                                "The timer %d has not been added."};

// A table that is not there counts as empty, whatever its bound says.
std::int32_t BoundOf(int kind) {
    switch (kind) {
        case Bnode::FunctionKind: return FArray ? maxFIndex : -1;
        case Bnode::StateMachineKind: return SMArray ? maxSMIndex : -1;
        default: return TMArray ? maxTMIndex : -1;
    }
}

std::vector<std::int32_t> EmptyMap(std::int32_t bound) {
    return std::vector<std::int32_t>(bound < 0 ? 0 : static_cast<std::size_t>(bound) + 1, -1);
}

// Every stored count is bounded by the bytes left, at 4 bytes per item at least.
bool CountFits(File& file, std::uint32_t count) {
    return !file.HasError() && static_cast<long long>(count) * 4 <= static_cast<long long>(file.BytesLeft());
}

}  // namespace

node* Behavior::CreateObject() { return new Behavior; }

const char* Behavior::ClassName() const { return "Behavior"; }

Behavior::Behavior() { ResetToEmpty(); }

Behavior::Behavior(const Behavior& other)
    : node(), functionMap(other.functionMap), stateMachineMap(other.stateMachineMap), timerMap(other.timerMap) {
    entries.reserve(other.entries.size());
    for (const auto& entry : other.entries) entries.push_back(std::make_unique<Bnode>(*entry));
}

Behavior::~Behavior() = default;

Behavior& Behavior::operator=(const Behavior& other) {
    if (updating) {
        UserError::Report("Behavior & Behavior::operator=(const Behavior &)",
                          "Cannot assign a new value to a behavior while it is running.");
        return *this;
    }
    if (this == &other) return *this;
    std::vector<std::unique_ptr<Bnode>> copies;
    copies.reserve(other.entries.size());
    for (const auto& entry : other.entries) copies.push_back(std::make_unique<Bnode>(*entry));
    entries = std::move(copies);
    functionMap = other.functionMap;
    stateMachineMap = other.stateMachineMap;
    timerMap = other.timerMap;
    return *this;
}

void Behavior::ResetToEmpty() {
    entries.clear();
    functionMap = EmptyMap(maxFIndex);
    stateMachineMap = EmptyMap(maxSMIndex);
    timerMap = EmptyMap(maxTMIndex);
}

std::vector<std::int32_t>& Behavior::MapOf(int kind) {
    switch (kind) {
        case Bnode::FunctionKind: return functionMap;
        case Bnode::StateMachineKind: return stateMachineMap;
        default: return timerMap;
    }
}

bool Behavior::NumberFound(int kind, unsigned int n, const char* target) {
    if (WithinBound(n, BoundOf(kind)) && n < MapOf(kind).size()) return true;
    UserError::Report(target, NotFound[kind], static_cast<int>(n));
    return false;
}

bool Behavior::CanAdd(int kind, unsigned int n, const char* target) {
    if (!NumberFound(kind, n, target)) return false;
    if (MapOf(kind)[n] == -1) return true;
    UserError::Report(target, AlreadyAdded[kind], static_cast<int>(n));
    return false;
}

Bnode* Behavior::AddedEntry(int kind, unsigned int n, const char* target) {
    if (!NumberFound(kind, n, target)) return nullptr;
    const std::int32_t position = MapOf(kind)[n];
    if (position != -1) return entries[static_cast<std::size_t>(position)].get();
    UserError::Report(target, NotAdded[kind], static_cast<int>(n));
    return nullptr;
}

void Behavior::Append(std::unique_ptr<Bnode> entry, unsigned int n) {
    MapOf(entry->kind)[n] = static_cast<std::int32_t>(entries.size());
    entries.push_back(std::move(entry));
}

void Behavior::AddFunction(unsigned int n, bool active) {
    if (!CanAdd(Bnode::FunctionKind, n, "void Behavior::AddFunction(unsigned int,bool)")) return;
    auto entry = std::make_unique<Bnode>();
    entry->index = static_cast<std::int32_t>(n);
    entry->active = active;
    entry->kind = Bnode::FunctionKind;
    entry->function = reinterpret_cast<BehaviorFunction>(FArray[n]);
    Append(std::move(entry), n);
}

void Behavior::AddStateMachine(unsigned int n, bool active) {
    if (!CanAdd(Bnode::StateMachineKind, n, "void Behavior::AddStateMachine(unsigned int,bool)")) return;
    auto entry = std::make_unique<Bnode>();
    entry->index = static_cast<std::int32_t>(n);
    entry->active = active;
    entry->kind = Bnode::StateMachineKind;
    entry->traverser = new StateMachineTraverser(&SMArray[n]);
    Append(std::move(entry), n);
}

void Behavior::AddTimer(unsigned int n, bool active) {
    if (!CanAdd(Bnode::TimerKind, n, "void Behavior::AddTimer(unsigned int,bool)")) return;
    auto entry = std::make_unique<Bnode>();
    entry->index = static_cast<std::int32_t>(n);
    entry->active = active;
    entry->kind = Bnode::TimerKind;
    entry->timer = TMArray[n];
    entry->timer.Init();
    Append(std::move(entry), n);
}

bool Behavior::IsFunctionAdded(unsigned int n) {
    return NumberFound(Bnode::FunctionKind, n, "bool Behavior::IsFunctionAdded(unsigned int)") && functionMap[n] != -1;
}

bool Behavior::IsStateMachineAdded(unsigned int n) {
    return NumberFound(Bnode::StateMachineKind, n, "bool Behavior::IsStateMachineAdded(unsigned int)") &&
           stateMachineMap[n] != -1;
}

bool Behavior::IsTimerAdded(unsigned int n) {
    return NumberFound(Bnode::TimerKind, n, "bool Behavior::IsTimerAdded(unsigned int)") && timerMap[n] != -1;
}

void Behavior::FunctionActiveStatus(unsigned int n, bool active) {
    if (Bnode* e = AddedEntry(Bnode::FunctionKind, n, "void Behavior::FunctionActiveStatus(unsigned int,bool)"))
        e->active = active;
}

void Behavior::StateMachineActiveStatus(unsigned int n, bool active) {
    if (Bnode* e = AddedEntry(Bnode::StateMachineKind, n, "void Behavior::StateMachineActiveStatus(unsigned int,bool)"))
        e->active = active;
}

void Behavior::TimerActiveStatus(unsigned int n, bool active) {
    if (Bnode* e = AddedEntry(Bnode::TimerKind, n, "void Behavior::TimerActiveStatus(unsigned int,bool)"))
        e->active = active;
}

bool Behavior::FunctionActiveStatus(unsigned int n) {
    Bnode* e = AddedEntry(Bnode::FunctionKind, n, "bool Behavior::FunctionActiveStatus(unsigned int)");
    return e != nullptr && e->active;
}

bool Behavior::StateMachineActiveStatus(unsigned int n) {
    Bnode* e = AddedEntry(Bnode::StateMachineKind, n, "bool Behavior::StateMachineActiveStatus(unsigned int)");
    return e != nullptr && e->active;
}

bool Behavior::TimerActiveStatus(unsigned int n) {
    Bnode* e = AddedEntry(Bnode::TimerKind, n, "bool Behavior::TimerActiveStatus(unsigned int)");
    return e != nullptr && e->active;
}

void Behavior::ResetTimer(unsigned int index, unsigned int delay, TimerMode mode) {
    if (Bnode* e = AddedEntry(Bnode::TimerKind, index,
                              "void Behavior::ResetTimer(unsigned int index, unsigned int delay, TimerMode mode)"))
        e->timer.Reset(delay, mode);
}

unsigned int Behavior::TimeRemaining(unsigned int index) {
    Bnode* e = AddedEntry(Bnode::TimerKind, index, "unsigned int Behavior::TimeRemaining(unsigned int index)");
    return e != nullptr ? e->timer.TimeRemaining() : 0;
}

void Behavior::ChangeState(unsigned int n, unsigned int state) {
    Bnode* e = AddedEntry(Bnode::StateMachineKind, n, "void Behavior::ChangeState(unsigned int,unsigned int)");
    if (e != nullptr && e->traverser != nullptr) e->traverser->SetCurrentState(static_cast<int>(state));
}

int Behavior::GetCurrentState(unsigned int index) {
    Bnode* e = AddedEntry(Bnode::StateMachineKind, index, "int Behavior::GetCurrentState(unsigned int index)");
    if (e == nullptr || e->traverser == nullptr) return -1;
    return e->traverser->GetCurrentState();
}

void Behavior::Clear() {
    if (updating) {
        UserError::Report("void Behavior::Clear()", "Cannot clear a behavior while it is running.");
        return;
    }
    entries.clear();
    for (auto* map : {&functionMap, &stateMachineMap, &timerMap})
        for (auto& slot : *map) slot = -1;
}

void Behavior::Update(void* owner) {
    updating = true;
    // The count is read afresh at every step, and each entry is reached through
    // its own stable address, so callbacks may append to this list.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Bnode* entry = entries[i].get();
        if (!entry->active) continue;
        switch (entry->kind) {
            case Bnode::FunctionKind:
                if (entry->function != nullptr) entry->function(owner);
                break;
            case Bnode::StateMachineKind:
                if (entry->traverser != nullptr) entry->traverser->Go(owner);
                break;
            case Bnode::TimerKind: entry->timer.Tick(owner); break;
            default: break;
        }
    }
    updating = false;
}

void Behavior::Save(File& file) {
    file.Write(static_cast<std::uint32_t>(entries.size()));
    for (const auto& entry : entries) entry->Save(file);
    for (const auto* map : {&functionMap, &stateMachineMap, &timerMap}) {
        file.Write(static_cast<std::uint32_t>(map->size()));
        for (std::int32_t slot : *map) file.Write(slot);
    }
}

void Behavior::Load(File& file) {
    entries.clear();
    functionMap.clear();
    stateMachineMap.clear();
    timerMap.clear();
    updating = false;

    std::uint32_t count = 0;
    file.Read(count);
    if (!CountFits(file, count)) {
        file.SetError();
        ResetToEmpty();
        return;
    }
    for (std::uint32_t i = 0; i < count && !file.HasError(); ++i) {
        auto entry = std::make_unique<Bnode>();
        entry->Load(file);
        entries.push_back(std::move(entry));
    }
    for (auto* map : {&functionMap, &stateMachineMap, &timerMap}) {
        std::uint32_t size = 0;
        file.Read(size);
        if (!CountFits(file, size)) {
            file.SetError();
            ResetToEmpty();
            return;
        }
        map->resize(size);
        for (auto& slot : *map) file.Read(slot);
    }
    if (file.HasError()) {
        ResetToEmpty();
        return;
    }
    if (!DropInconsistentSlots()) file.SetError();
}

bool Behavior::DropInconsistentSlots() {
    bool consistent = true;
    for (int kind = Bnode::FunctionKind; kind <= Bnode::TimerKind; ++kind) {
        auto& map = MapOf(kind);
        for (std::size_t n = 0; n < map.size(); ++n) {
            const std::int32_t position = map[n];
            if (position == -1) continue;
            const bool valid = position >= 0 && static_cast<std::size_t>(position) < entries.size() &&
                               entries[static_cast<std::size_t>(position)]->kind == kind &&
                               entries[static_cast<std::size_t>(position)]->index == static_cast<std::int64_t>(n);
            if (!valid) {
                map[n] = -1;
                consistent = false;
            }
        }
    }
    return consistent;
}
