// Runs one PathStateMachine for one sprite: steps it along the machine's
// edges once per frame, steers the sprite toward the station its leg leads
// to, and plans and follows shortest routes between stations. Objects come
// from a class pool.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "QelExport.h"
#include "logic/StateMachineTraverser.h"

class PathStateMachine;
class Sprite;
class State;

class QEL_API PathStateMachineTraverser : public StateMachineTraverser {
public:
    // In m's starting state, entering 1, reset set, no route, path enabled.
    explicit PathStateMachineTraverser(PathStateMachine* m);
    PathStateMachineTraverser(const PathStateMachineTraverser& other);
    PathStateMachineTraverser& operator=(const PathStateMachineTraverser& other);
    ~PathStateMachineTraverser() override;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    // One step for the owner sprite: at most one edge, then the state's action.
    void Go(void* owner) override;

    // A shortest route is being followed.
    bool ShortPath() const { return routeActive; }
    // Plans a route from the current station (or the leg's nearer end) to the
    // target station and starts following it; a target that is not a station
    // makes no route.
    void ShortestPath(unsigned int target);
    void StopShortestPath();
    // The current state is the last station of the planned route.
    bool EndOfShortestPath() const;
    // At a station on an active route: allows the hop to the next station,
    // or ends the route at its target.
    void StationAction();
    // On a leg with an active route: the route starts behind the sprite and
    // does not go on through the station ahead.
    bool IntermediateCondition() const;
    void ArrangeNodes(unsigned int from, unsigned int to);
    void SetShortestPathNodes(unsigned int from, unsigned int to);
    // The station nearest to the owner sprite (the current one when it stands on one).
    unsigned int NearestStationNumber(void* owner) const;

    PathStateMachine* PathMachine() const { return pathMachine; }
    bool PathEnabled() const { return pathEnabled; }
    void PathEnabled(bool on) { pathEnabled = on; }
    std::int32_t RouteLength() const { return routeLength; }
    const std::vector<std::int32_t>& Route() const { return route; }
    bool HopAllowed(int station) const;

    // Deletes t, or, while t's own Go is running (an action replaced the
    // sprite's traverser), lets that Go delete it when it returns.
    static void Release(PathStateMachineTraverser* t);

    static node* CreateObject();
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size);
    static CREATE cr;

private:
    int StationCount() const;
    bool IsStation(int n) const { return n >= 0 && n < StationCount(); }
    const State* StateAt(int n) const;
    // Fits the route and the bits to the machine's station count.
    void FitToMachine();
    bool EdgeFires(int state, std::size_t edge, Sprite* sprite);
    void RunAction(Sprite* sprite);
    // The built-in conditions and actions of path edges and states.
    static bool EdgeReachedStation(Sprite* sprite, int station, unsigned int tolerance);
    static bool EdgeKeyOrRouteCondition(Sprite* sprite, int station, unsigned char key, bool unconditional);
    static bool EdgeIntermediateCondition(Sprite* sprite, unsigned char key, bool unconditional);
    static void StationStateAction(int entering, Sprite* sprite, bool stop);
    static void IntermediateStateAction(Sprite* sprite, int station, unsigned char key, unsigned int smooth, bool stop);
    // The traverser that the built-ins read: the sprite's own.
    static PathStateMachineTraverser* OwnTraverser(Sprite* sprite);
    static bool KeyHeld(Sprite* sprite, unsigned char key);

    bool routeActive = false;
    std::int32_t routeLength = 0;
    std::vector<std::int32_t> route;
    PathStateMachine* pathMachine = nullptr;
    bool pathEnabled = true;
    std::vector<bool> hopBits;
    // Go calls in progress on this object, and whether it was released meanwhile.
    int running = 0;
    bool released = false;
};
