#include "logic/PathStateMachineTraverser.h"

#include <cmath>
#include <new>

#include "foundation/Create.h"
#include "foundation/File.h"
#include "foundation/ClassPool.h"
#include "foundation/UserError.h"
#include "input/Keyboard.h"
#include "logic/LogicTables.h"
#include "logic/PathStateMachine.h"
#include "runtime/EngineGlobals.h"
#include "sprites/Sprite.h"

namespace {

constexpr unsigned char NoKey = 0xFF;
// The distance a leg's end counts as when it is missing or cannot reach the target.
constexpr std::int32_t FarAway = 100000;

MemoryPool& poolAtStart = ClassPool<PathStateMachineTraverser>::Pool();

PathStateMachine* MachineOfNumber(std::int32_t number) {
    if (PSMArray == nullptr || !WithinBound(number, maxPSMIndex)) return nullptr;
    return &PSMArray[number];
}

std::int32_t NumberOfMachine(const StateMachine* m) {
    if (m == nullptr || PSMArray == nullptr) return -1;
    for (std::int32_t i = 0; WithinBound(i, maxPSMIndex); ++i)
        if (static_cast<const StateMachine*>(&PSMArray[i]) == m) return i;
    return -1;
}

// A stored count fits when the file still holds that many entries.
bool CountFits(File& file, std::int32_t count, long entryBytes) {
    return count >= 0 && static_cast<long>(count) <= file.BytesLeft() / entryBytes;
}

}  // namespace

CREATE PathStateMachineTraverser::cr("PathStateMachineTraverser", &PathStateMachineTraverser::CreateObject);

void* PathStateMachineTraverser::operator new(std::size_t size) {
    return ClassPool<PathStateMachineTraverser>::Alloc(size);
}

void PathStateMachineTraverser::operator delete(void* block, std::size_t size) {
    ClassPool<PathStateMachineTraverser>::Free(block, size);
}

node* PathStateMachineTraverser::CreateObject() { return new PathStateMachineTraverser(nullptr); }

const char* PathStateMachineTraverser::ClassName() const { return "PathStateMachineTraverser"; }

PathStateMachineTraverser::PathStateMachineTraverser(PathStateMachine* m) : StateMachineTraverser(m), pathMachine(m) {
    FitToMachine();
}

PathStateMachineTraverser::PathStateMachineTraverser(const PathStateMachineTraverser& other)
    : StateMachineTraverser(other),
      routeActive(other.routeActive),
      routeLength(other.routeLength),
      route(other.route),
      pathMachine(other.pathMachine),
      pathEnabled(other.pathEnabled),
      hopBits(other.hopBits) {}

PathStateMachineTraverser& PathStateMachineTraverser::operator=(const PathStateMachineTraverser& other) {
    if (this == &other) return *this;
    StateMachineTraverser::operator=(other);
    routeActive = other.routeActive;
    routeLength = other.routeLength;
    route = other.route;
    pathMachine = other.pathMachine;
    pathEnabled = other.pathEnabled;
    hopBits = other.hopBits;
    return *this;
}

PathStateMachineTraverser::~PathStateMachineTraverser() = default;

void PathStateMachineTraverser::Release(PathStateMachineTraverser* t) {
    if (t == nullptr) return;
    if (t->running > 0)
        t->released = true;
    else
        delete t;
}

int PathStateMachineTraverser::StationCount() const {
    return pathMachine != nullptr ? pathMachine->NumberOfStations() : 0;
}

const State* PathStateMachineTraverser::StateAt(int n) const {
    if (machine == nullptr || n < 0 || n >= machine->GetNumberOfStates()) return nullptr;
    return &machine->States()[static_cast<std::size_t>(n)];
}

void PathStateMachineTraverser::FitToMachine() {
    if (pathMachine == nullptr) return;
    const std::size_t n = static_cast<std::size_t>(StationCount());
    route.resize(n, -1);
    hopBits.resize(n, false);
}

bool PathStateMachineTraverser::HopAllowed(int station) const {
    return station >= 0 && static_cast<std::size_t>(station) < hopBits.size() &&
           hopBits[static_cast<std::size_t>(station)];
}

// --- routes ---

void PathStateMachineTraverser::StopShortestPath() {
    routeActive = false;
    hopBits.assign(hopBits.size(), false);
}

void PathStateMachineTraverser::ShortestPath(unsigned int target) {
    const int n = StationCount();
    if (n == 0) return;
    routeActive = false;
    hopBits.assign(hopBits.size(), false);
    route.assign(route.size(), -1);
    if (target >= static_cast<unsigned int>(n)) return;
    const int to = static_cast<int>(target);
    if (IsStation(currentState)) {
        ArrangeNodes(static_cast<unsigned int>(currentState), target);
        routeActive = !route.empty() && route[0] != -1;
        return;
    }
    const State* current = StateAt(currentState);
    if (current == nullptr || current->Edges().empty()) return;
    int a = -1, b = -1;
    for (const Edge& e : current->Edges()) {
        if (IsStation(e.To())) {
            a = e.To();
            continue;
        }
        const State* leg = StateAt(e.To());
        if (leg == nullptr) continue;
        for (const Edge& f : leg->Edges())
            if (IsStation(f.To())) {
                b = f.To();
                break;
            }
    }
    auto reach = [&](int from) {
        const std::int32_t d = from == -1 ? -1 : pathMachine->PathDistance(from, to);
        return d == -1 ? FarAway : d;
    };
    const int start = reach(b) < reach(a) ? b : a;
    if (start == -1) return;
    ArrangeNodes(static_cast<unsigned int>(start), target);
    routeActive = !route.empty() && route[0] != -1;
}

void PathStateMachineTraverser::ArrangeNodes(unsigned int from, unsigned int to) {
    routeLength = 0;
    if (pathMachine == nullptr || route.empty()) return;
    const int i = static_cast<int>(from), j = static_cast<int>(to);
    if (!IsStation(i) || !IsStation(j) || pathMachine->Via(i, j) == -2) return;
    route[0] = i;
    routeLength = 1;
    SetShortestPathNodes(from, to);
}

void PathStateMachineTraverser::SetShortestPathNodes(unsigned int from, unsigned int to) {
    if (pathMachine == nullptr) return;
    // Walked with an explicit stack, its work bounded: a route lists at most
    // N stations, and via links damaged into a loop must not hang the frame.
    struct Pair {
        int i, j;
    };
    const int n = StationCount();
    if (!IsStation(static_cast<int>(from)) || !IsStation(static_cast<int>(to))) return;
    std::vector<Pair> pending{{static_cast<int>(from), static_cast<int>(to)}};
    long budget = 4L * n + 8;
    while (!pending.empty() && budget-- > 0) {
        const Pair p = pending.back();
        pending.pop_back();
        const std::int32_t v = pathMachine->Via(p.i, p.j);
        if (v == -2) continue;
        if (v == -1) {
            if (p.j != p.i && routeLength < n) route[static_cast<std::size_t>(routeLength++)] = p.j;
            continue;
        }
        if (!IsStation(v)) continue;
        // Left half first: the right half waits below it.
        pending.push_back({v, p.j});
        pending.push_back({p.i, v});
    }
}

bool PathStateMachineTraverser::EndOfShortestPath() const {
    std::size_t m = 0;
    while (m < route.size() && route[m] != -1) ++m;
    return m > 0 && currentState == route[m - 1];
}

void PathStateMachineTraverser::StationAction() {
    hopBits.assign(hopBits.size(), false);
    const int n = static_cast<int>(route.size());
    int k = 0;
    while (k < n && route[static_cast<std::size_t>(k)] != currentState) ++k;
    if (k == n) return;
    if (k + 1 == n || route[static_cast<std::size_t>(k + 1)] == -1) {
        StopShortestPath();
        return;
    }
    const int next = route[static_cast<std::size_t>(k + 1)];
    const State* here = StateAt(currentState);
    if (here == nullptr || !IsStation(next) || static_cast<std::size_t>(next) >= hopBits.size()) return;
    for (const Edge& e : here->Edges()) {
        const State* leg = StateAt(e.To());
        if (leg == nullptr) continue;
        for (const Edge& f : leg->Edges())
            if (f.To() == next) {
                hopBits[static_cast<std::size_t>(next)] = true;
                break;
            }
    }
}

bool PathStateMachineTraverser::IntermediateCondition() const {
    const State* here = StateAt(currentState);
    if (here == nullptr) return false;
    const int first = route.empty() ? -1 : route[0];
    const int second = route.size() > 1 ? route[1] : -1;
    bool behind = false, clear = true;
    for (const Edge& e : here->Edges()) {
        if (IsStation(e.To())) {
            if (e.To() == second) clear = false;
            continue;
        }
        const State* leg = StateAt(e.To());
        if (leg == nullptr) continue;
        for (const Edge& f : leg->Edges())
            if (IsStation(f.To())) {
                if (f.To() == first) behind = true;
                break;
            }
    }
    return behind && clear;
}

unsigned int PathStateMachineTraverser::NearestStationNumber(void* owner) const {
    if (StationCount() == 0) return 0;
    if (IsStation(currentState)) return static_cast<unsigned int>(currentState);
    Sprite* sprite = static_cast<Sprite*>(owner);
    const State* here = StateAt(currentState);
    if (sprite == nullptr || here == nullptr) return 0;
    const float px = sprite->LeftPosition() + sprite->HotSpotX(0);
    const float py = sprite->TopPosition() + sprite->HotSpotY(0);
    float best = 200000.0f;
    unsigned int result = 0;
    auto consider = [&](int s) {
        const Position p = pathMachine->GetStation(s);
        const float dx = p.x - px, dy = p.y - py;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < best) {
            best = d;
            result = static_cast<unsigned int>(s);
        }
    };
    for (const Edge& e : here->Edges()) {
        if (IsStation(e.To())) {
            consider(e.To());
            continue;
        }
        const State* leg = StateAt(e.To());
        if (leg == nullptr) continue;
        for (const Edge& f : leg->Edges())
            if (IsStation(f.To())) consider(f.To());
    }
    return result;
}

// --- one step ---

PathStateMachineTraverser* PathStateMachineTraverser::OwnTraverser(Sprite* sprite) {
    return sprite != nullptr ? sprite->traverser : nullptr;
}

bool PathStateMachineTraverser::KeyHeld(Sprite* sprite, unsigned char key) {
    if (sprite->networkPlayer) return sprite->keys[key].pressed != 0;
    return pKeyboard != nullptr && pKeyboard->IsPressed(key);
}

bool PathStateMachineTraverser::EdgeReachedStation(Sprite* sprite, int station, unsigned int tolerance) {
    PathStateMachineTraverser* own = OwnTraverser(sprite);
    if (own == nullptr || own->pathMachine == nullptr || !own->pathMachine->HasStation(station)) return false;
    const Position p = own->pathMachine->GetStation(station);
    const float dx = p.x - (sprite->MapPositionX() + sprite->HotSpotX(0));
    const float dy = p.y - (sprite->MapPositionY() + sprite->HotSpotY(0));
    return std::sqrt(dx * dx + dy * dy) < float(tolerance) + sprite->Speed() * 0.5f;
}

bool PathStateMachineTraverser::EdgeKeyOrRouteCondition(Sprite* sprite, int station, unsigned char key,
                                                        bool unconditional) {
    PathStateMachineTraverser* own = OwnTraverser(sprite);
    if (own != nullptr && own->routeActive) return own->HopAllowed(station);
    if (key == NoKey) return unconditional;
    return KeyHeld(sprite, key);
}

bool PathStateMachineTraverser::EdgeIntermediateCondition(Sprite* sprite, unsigned char key, bool unconditional) {
    PathStateMachineTraverser* own = OwnTraverser(sprite);
    if (own != nullptr && own->routeActive) return own->IntermediateCondition();
    if (key == NoKey) return unconditional;
    return KeyHeld(sprite, key);
}

void PathStateMachineTraverser::StationStateAction(int entering, Sprite* sprite, bool stop) {
    PathStateMachineTraverser* own = OwnTraverser(sprite);
    if (own != nullptr && own->routeActive) own->StationAction();
    if (entering == 1 && stop) sprite->VectorDirection(0, 0, 0);
}

void PathStateMachineTraverser::IntermediateStateAction(Sprite* sprite, int station, unsigned char key,
                                                        unsigned int smooth, bool stop) {
    PathStateMachineTraverser* own = OwnTraverser(sprite);
    if (own != nullptr && own->pathMachine != nullptr && own->pathMachine->HasStation(station)) {
        const Position p = own->pathMachine->GetStation(station);
        sprite->VectorDirection(p.x - (sprite->MapPositionX() + sprite->HotSpotX(0)),
                                p.y - (sprite->MapPositionY() + sprite->HotSpotY(0)), smooth);
    }
    const bool routed = own != nullptr && own->routeActive;
    if (stop && !routed && key != NoKey && !KeyHeld(sprite, key)) sprite->VectorDirection(0, 0, 0);
}

bool PathStateMachineTraverser::EdgeFires(int state, std::size_t edge, Sprite* sprite) {
    // Reached by index every time: a condition may change this traverser.
    const State* s = StateAt(state);
    if (s == nullptr || edge >= s->Edges().size()) return false;
    const Edge e = s->Edges()[edge];
    bool fires = false;
    switch (e.PathKind()) {
        case -1: fires = e.Condition() != nullptr ? e.Condition()(sprite) : e.Unconditional(); break;
        case 0: fires = sprite != nullptr && EdgeReachedStation(sprite, e.To(), e.Tolerance()); break;
        case 1:
            fires = sprite != nullptr && EdgeKeyOrRouteCondition(sprite, e.Station(), e.Key(), e.Unconditional());
            break;
        case 2: fires = sprite != nullptr && EdgeIntermediateCondition(sprite, e.Key(), e.Unconditional()); break;
        default: break;
    }
    if (!fires) return false;
    if (StateAt(e.To()) != nullptr) return true;
    UserError::Report("void PathStateMachineTraverser::Go(void *)", "State number %d not found.", e.To());
    return false;
}

void PathStateMachineTraverser::RunAction(Sprite* sprite) {
    const State* s = StateAt(currentState);
    if (s == nullptr) return;
    switch (s->PathKind()) {
        case -1:
            if (s->Action() != nullptr) s->Action()(entering, sprite);
            break;
        case 0:
            if (sprite != nullptr) StationStateAction(entering, sprite, s->Stop());
            break;
        case 1:
            if (sprite != nullptr) IntermediateStateAction(sprite, s->TargetStation(), s->Key(), s->Speed(), s->Stop());
            break;
        default: break;
    }
}

void PathStateMachineTraverser::Go(void* owner) {
    if (StateAt(currentState) == nullptr) return;
    Sprite* sprite = static_cast<Sprite*>(owner);
    ++running;
    if (!reset) {
        const int scanned = currentState;
        const State* s = StateAt(scanned);
        const std::size_t edgeCount = s != nullptr ? s->Edges().size() : 0;
        for (std::size_t i = 0; i < edgeCount && !released; ++i) {
            if (!EdgeFires(scanned, i, sprite)) continue;
            const State* again = StateAt(scanned);
            if (again == nullptr || i >= again->Edges().size()) break;
            const Edge& fired = again->Edges()[i];
            currentState = fired.To();
            entering = fired.EnteringTwo() ? 2 : 1;
            break;
        }
    } else {
        reset = false;
    }
    if (!released) RunAction(sprite);
    if (!reset) entering = 0;
    if (--running == 0 && released) delete this;
}

// --- the saved record ---

void PathStateMachineTraverser::Save(File& file) {
    file.Write(NumberOfMachine(machine));
    file.Write(currentState);
    file.Write(entering);
    file.Write(reset);
    file.Write(routeActive);
    file.Write(routeLength);
    file.Write(static_cast<std::int32_t>(route.size()));
    for (std::int32_t r : route) file.Write(r);
    file.Write(static_cast<std::int32_t>(hopBits.size()));
    for (bool b : hopBits) file.Write(b);
    file.Write(NumberOfMachine(pathMachine));
    file.Write(pathEnabled);
}

void PathStateMachineTraverser::Load(File& file) {
    route.clear();
    hopBits.clear();
    std::int32_t number = -1, pathNumber = -1, count = 0;
    file.Read(number);
    file.Read(currentState);
    file.Read(entering);
    file.Read(reset);
    file.Read(routeActive);
    file.Read(routeLength);
    file.Read(count);
    if (!CountFits(file, count, 4)) {
        file.SetError();
        count = 0;
    }
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        std::int32_t r = -1;
        file.Read(r);
        route.push_back(r);
    }
    count = 0;
    file.Read(count);
    if (!CountFits(file, count, 1)) {
        file.SetError();
        count = 0;
    }
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        bool b = false;
        file.Read(b);
        hopBits.push_back(b);
    }
    file.Read(pathNumber);
    file.Read(pathEnabled);
    // The state steps and the route must read one machine.
    if (number != pathNumber) file.SetError();
    pathMachine = MachineOfNumber(pathNumber);
    machine = pathMachine;
    if (pathMachine == nullptr) return;  // Go leaves a traverser without machine alone
    FitToMachine();
    // A station number outside the machine ends the route there.
    for (std::int32_t& r : route)
        if (!IsStation(r)) r = -1;
    if (routeLength < 0 || routeLength > StationCount()) routeLength = 0;
    if (StateAt(currentState) == nullptr) {
        currentState = machine->GetStartingState();
        entering = 1;
        reset = true;
    }
}
