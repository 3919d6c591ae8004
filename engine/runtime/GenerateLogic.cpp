// The game file's second part: the timer, state-machine, path-state-machine
// and movement-pattern tables. Each is built aside and replaces the game's
// table only when the whole part has read well; a count of 0 keeps a table.
#include <cstddef>
#include <memory>
#include <vector>

#include "foundation/File.h"
#include "logic/Edge.h"
#include "logic/LogicTablesInternal.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachine.h"
#include "logic/PathTablesInternal.h"
#include "logic/State.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameFileLoadersInternal.h"

namespace gamefile {

namespace {

using namespace stored;

// The smallest stored size of each record, for checking counts against the
// data: every count 0, every text empty, no gates.
constexpr long TimerBytes = 3 * Int + Bool + Int;
constexpr long MachineBytes = Int + Int;  // no states, then the starting state
constexpr long StateBytes = 3 * Int;      // action, nested machine, no edges
constexpr long EdgeBytes = 2 * Int + Bool;
constexpr long PathMachineBytes = 3 * Int + Int + Bool;  // counts and starting state, no links, no gates
constexpr long PathStateBytes = 2 * Int + Byte + Int + Bool + Int + Int;
constexpr long PathEdgeBytes = 2 * Int + 2 * Bool + Byte + 3 * Int;
constexpr long StationBytes = 2 * Float;
constexpr long LinkBytes = 2 * Int;
constexpr long GateBytes = Bool;  // a gate that is not there
constexpr long PatternBytes = EmptyText + Int;
constexpr long LegBytes = 2 * Int;

template <class T>
using Table = std::unique_ptr<T[], void (*)(T*)>;

StateAction StateFunction(std::int32_t i) { return reinterpret_cast<StateAction>(GetStateFunction(i)); }
EdgeCondition EdgeFunction(std::int32_t i) { return reinterpret_cast<EdgeCondition>(GetEdgeFunction(i)); }

// A callback number names an entry of the game's callback table; a negative one names none.
bool CallbackKnown(Reader& r, std::int32_t number, const char* kind, std::int32_t machine) {
    if (number < 0 || number < static_cast<long long>(VoidPointerCount(SMFArray))) return true;
    r.Fail("%s %d calls callback %d, which the game does not have", kind, machine, number);
    return false;
}

// An edge must lead to one of its machine's states.
bool EdgeTargetsAState(Reader& r, std::int32_t target, std::int32_t states, const char* kind, std::int32_t machine) {
    if (target >= 0 && target < states) return true;
    r.Fail("an edge of %s %d leads to state %d, which it does not have", kind, machine, target);
    return false;
}

bool StartingStateRead(Reader& r, StateMachine& m, const char* kind, std::int32_t machine) {
    const std::int32_t start = r.Int();
    if (!r.Ok()) return false;
    if (m.SetStartingState(start) || (m.GetNumberOfStates() == 0 && start == 0)) return true;
    r.Fail("%s %d starts in state %d, which it does not have", kind, machine, start);
    return false;
}

Table<Timer> ReadTimers(Reader& r, std::int32_t& count) {
    r.Section("timers");
    Table<Timer> table(nullptr, FreeTimers);
    count = r.Count("timers", TimerBytes);
    if (count == 0) return table;
    table.reset(NewTimers(static_cast<unsigned int>(count)));
    if (!table) r.Fail("there is no memory for %d timers", count);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        const std::int32_t function = r.Int();
        const std::uint32_t delay = r.UInt();
        const std::int32_t unit = r.Int();
        const bool running = r.Bool();
        const std::uint32_t mode = r.UInt();
        table[i] = Timer(reinterpret_cast<BehaviorFunction>(GetTimerFunction(function)), delay, unit, running,
                         static_cast<TimerMode>(mode));
    }
    return table;
}

// A machine that holds, through its states, itself or one that holds it
// would be entered without end.
bool NestingHasNoCircle(Reader& r, const std::vector<std::vector<std::int32_t>>& nests) {
    const std::size_t n = nests.size();
    std::vector<std::int32_t> holders(n, 0);
    for (const auto& nested : nests)
        for (std::int32_t m : nested) ++holders[static_cast<std::size_t>(m)];
    std::vector<std::size_t> free;
    for (std::size_t m = 0; m < n; ++m)
        if (holders[m] == 0) free.push_back(m);
    std::vector<bool> done(n, false);
    std::size_t doneCount = 0;
    while (!free.empty()) {
        const std::size_t m = free.back();
        free.pop_back();
        done[m] = true;
        ++doneCount;
        for (std::int32_t k : nests[m])
            if (--holders[static_cast<std::size_t>(k)] == 0) free.push_back(static_cast<std::size_t>(k));
    }
    if (doneCount == n) return true;
    // Every machine left is held by another one left: walking back from any
    // of them n times ends on the circle.
    std::vector<std::size_t> holderOf(n, n);
    for (std::size_t m = 0; m < n; ++m)
        if (!done[m])
            for (std::int32_t k : nests[m])
                if (!done[static_cast<std::size_t>(k)]) holderOf[static_cast<std::size_t>(k)] = m;
    std::size_t at = 0;
    while (done[at]) ++at;
    for (std::size_t step = 0; step < n; ++step) at = holderOf[at];
    r.Fail("state machine %d is nested in itself", static_cast<int>(at));
    return false;
}

Table<StateMachine> ReadStateMachines(Reader& r, std::int32_t& count) {
    r.Section("state machines");
    Table<StateMachine> table(nullptr, FreeStateMachines);
    count = r.Count("state machines", MachineBytes);
    if (count == 0) return table;
    table.reset(NewStateMachines(static_cast<unsigned int>(count)));
    if (!table) r.Fail("there is no memory for %d state machines", count);
    std::vector<std::vector<std::int32_t>> nests(table ? static_cast<std::size_t>(count) : 0);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        StateMachine& m = table[i];
        const std::int32_t states = r.Count("states", StateBytes);
        for (std::int32_t s = 0; s < states && r.Ok(); ++s) {
            const std::int32_t action = r.Int(), nested = r.Int();
            // Callbacks are looked up only with numbers that were read whole.
            if (!r.Ok() || !CallbackKnown(r, action, "state machine", i)) break;
            // Nested machines are those of this table, as the lookup would find them.
            StateMachine* inner = nested >= 0 && nested < count ? &table[nested] : nullptr;
            if (inner != nullptr) nests[static_cast<std::size_t>(i)].push_back(nested);
            State state(StateFunction(action), inner);
            const std::int32_t edges = r.Count("edges", EdgeBytes);
            for (std::int32_t e = 0; e < edges && r.Ok(); ++e) {
                const std::int32_t target = r.Int(), condition = r.Int();
                const bool unconditional = r.Bool();
                if (!r.Ok() || !EdgeTargetsAState(r, target, states, "state machine", i) ||
                    !CallbackKnown(r, condition, "state machine", i))
                    break;
                state.AddEdge(Edge(target, EdgeFunction(condition), unconditional));
            }
            m.AddState(state);
        }
        if (!r.Ok() || !StartingStateRead(r, m, "state machine", i)) break;
    }
    if (r.Ok()) NestingHasNoCircle(r, nests);
    return table;
}

void ReadPathStates(Reader& r, PathStateMachine& m, std::int32_t states, std::int32_t machine) {
    for (std::int32_t s = 0; s < states && r.Ok(); ++s) {
        const std::int32_t action = r.Int();
        const std::uint32_t speed = r.UInt();
        const std::uint8_t key = r.Byte();
        const std::int32_t station = r.Int();
        const bool stop = r.Bool();
        const std::int32_t kind = r.Int();
        if (!r.Ok() || !CallbackKnown(r, action, "path state machine", machine)) return;
        State state(StateFunction(action), speed, key, station, stop, kind);
        const std::int32_t edges = r.Count("path edges", PathEdgeBytes);
        for (std::int32_t e = 0; e < edges && r.Ok(); ++e) {
            const std::int32_t target = r.Int(), condition = r.Int();
            const bool unconditional = r.Bool(), entering = r.Bool();
            const std::uint8_t edgeKey = r.Byte();
            const std::uint32_t tolerance = r.UInt();
            const std::int32_t edgeStation = r.Int(), edgeKind = r.Int();
            if (!r.Ok() || !EdgeTargetsAState(r, target, states, "path state machine", machine) ||
                !CallbackKnown(r, condition, "path state machine", machine))
                break;
            state.AddEdge(Edge(target, EdgeFunction(condition), unconditional, entering, edgeKey, tolerance,
                               edgeStation, edgeKind));
        }
        m.AddState(state);
    }
}

void ReadGates(Reader& r, PathStateMachine& m) {
    if (!r.Bool()) return;
    const std::int32_t gates = r.Count("gates", GateBytes);
    for (std::int32_t g = 0; g < gates && r.Ok(); ++g) {
        if (!r.Bool()) continue;
        CollisionSegment first = r.Segment();
        if (!r.Ok()) return;
        m.AddCollisionData(first);
        if (!r.Bool()) continue;
        CollisionSegment second = r.Segment();
        if (r.Ok()) m.AddCollisionData(second);
    }
}

// One machine, built whole before it is stored.
void ReadPathStateMachine(Reader& r, PathStateMachine& stored, std::int32_t machine) {
    const std::int32_t states = r.Count("path states", PathStateBytes);
    const std::int32_t stations = r.Int();
    if (!r.Ok()) return;
    if (stations < 0 || stations > MaxPathStations || stations > r.file.BytesLeft() / StationBytes) {
        r.Fail("path state machine %d has %d stations, more than it can hold", machine, stations);
        return;
    }
    PathStateMachine m(stations);
    if (m.NumberOfStations() != stations) {
        r.Fail("there is no memory for the %d stations of path state machine %d", stations, machine);
        return;
    }
    ReadPathStates(r, m, states, machine);
    if (!r.Ok() || !StartingStateRead(r, m, "path state machine", machine)) return;
    for (std::int32_t s = 0; s < stations; ++s) {
        const float x = r.Float(), y = r.Float();
        m.AddStation(Position{x, y});
    }
    const std::int32_t links = r.Count("station links", LinkBytes);
    for (std::int32_t l = 0; l < links && r.Ok(); ++l) {
        const std::int32_t i = r.Int(), j = r.Int();
        if (r.Ok() && !m.LinkWeight(i, j, m.Distance(i, j)))
            r.Fail("path state machine %d links stations %d and %d, which it does not have", machine, i, j);
    }
    if (r.Ok()) ReadGates(r, m);
    if (!r.Ok()) return;
    m.ComputeShortestPath();
    stored = m;
}

Table<PathStateMachine> ReadPathStateMachines(Reader& r, std::int32_t& count) {
    r.Section("path state machines");
    Table<PathStateMachine> table(nullptr, FreePathStateMachines);
    count = r.Count("path state machines", PathMachineBytes);
    if (count == 0) return table;
    table.reset(NewPathStateMachines(static_cast<unsigned int>(count)));
    if (!table) r.Fail("there is no memory for %d path state machines", count);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) ReadPathStateMachine(r, table[i], i);
    return table;
}

Table<MovementPattern> ReadMovementPatterns(Reader& r, std::int32_t& count) {
    r.Section("movement patterns");
    Table<MovementPattern> table(nullptr, FreeMovementPatterns);
    count = r.Count("movement patterns", PatternBytes);
    if (count == 0) return table;
    table.reset(NewMovementPatterns(static_cast<unsigned int>(count)));
    if (!table) r.Fail("there is no memory for %d movement patterns", count);
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        MovementPattern pattern;
        pattern.Name(r.Text());
        const std::int32_t legs = r.Count("movement vectors", LegBytes);
        if (!r.Ok()) break;
        pattern.NumberOfVectors(static_cast<unsigned int>(legs));
        if (static_cast<std::int32_t>(pattern.NumberOfVectors()) != legs && legs != 0) {
            r.Fail("there is no memory for the %d vectors of movement pattern %d", legs, i);
            break;
        }
        for (std::int32_t v = 0; v < legs && r.Ok(); ++v) {
            const std::int32_t dx = r.Int(), dy = r.Int();
            pattern.CalculateVectorPattern(v, dx, dy);
        }
        if (r.Ok()) table[i] = pattern;
    }
    return table;
}

// The new table replaces the game's (whose old entries go) and sets its bound.
template <class T>
void Install(Table<T>& table, std::int32_t count, T*& slot, std::int32_t& bound, void (*release)(T*)) {
    if (!table) return;
    release(slot);
    slot = table.release();
    bound = count - 1;
}

}  // namespace

bool ReadLogic(Reader& r) {
    std::int32_t timerCount = 0, machineCount = 0, pathCount = 0, patternCount = 0;
    Table<Timer> timers = ReadTimers(r, timerCount);
    Table<StateMachine> machines(nullptr, FreeStateMachines);
    Table<PathStateMachine> paths(nullptr, FreePathStateMachines);
    Table<MovementPattern> patterns(nullptr, FreeMovementPatterns);
    if (r.Ok()) machines = ReadStateMachines(r, machineCount);
    if (r.Ok()) paths = ReadPathStateMachines(r, pathCount);
    if (r.Ok()) patterns = ReadMovementPatterns(r, patternCount);
    if (!r.Ok()) return false;
    Install(timers, timerCount, TMArray, maxTMIndex, FreeTimers);
    Install(machines, machineCount, SMArray, maxSMIndex, FreeStateMachines);
    Install(paths, pathCount, PSMArray, maxPSMIndex, FreePathStateMachines);
    Install(patterns, patternCount, MPArray, maxMPIndex, FreeMovementPatterns);
    return true;
}

}  // namespace gamefile

void GenerateLogic() { gamefile::ReadGamePart("void GenerateLogic(void)", gamefile::ReadLogic); }
