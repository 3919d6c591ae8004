#include "runtime/FrameStepInternal.h"

#include <cstdint>

#include "display/DisplayInternal.h"
#include "display/GammaRamp.h"
#include "display/OpenClose.h"
#include "display/RandomDissolve.h"
#include "foundation/Console.h"
#include "foundation/Variable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "logic/Alarm.h"
#include "network/NetSession.h"
#include "network/NetworkRequest.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/MainLoopInternal.h"
#include "runtime/SpriteStepInternal.h"
#include "runtime/SystemKeysInternal.h"
#include "world/Map.h"

namespace {

// This frame's input events, for the network exchange.
MouseEvent mouseEvents[256];
unsigned char keyEvents[512];

bool Simulating() { return !_IsSuspended && !waitingForPlayers; }

void RunBehaviours() {
    myGame->GetBehavior().Update(*myGame);
    gNode->GetBehavior().Update(*gNode);
}

// While the level's own lists are walked, their callbacks may not empty them.
class ContentsRunningScope {
public:
    explicit ContentsRunningScope(GameNode& level) : level(level) { level.ContentsRunning(true); }
    ~ContentsRunningScope() { level.ContentsRunning(false); }
    ContentsRunningScope(const ContentsRunningScope&) = delete;
    ContentsRunningScope& operator=(const ContentsRunningScope&) = delete;

private:
    GameNode& level;
};

void ShowAlarms(Map* map) {
    List& alarms = map->Alarms();
    for (node* n = alarms.Head(); !n->EOList(); n = n->Next()) {
        Alarm* alarm = static_cast<Alarm*>(n);
        if (alarm->ShowCollision()) alarm->ShowAlarmCollision(map);
    }
}

// The map's texts of one layer: below the sprites, or top-most above them.
void DisplayMapTexts(Map* map, bool topMost) {
    if (!map->Visible()) return;
    Array<Variable*>& texts = map->TextVariables();
    for (unsigned int i = 0; i < texts.Size(); ++i)
        if (texts[i]->TopMost() == topMost) texts[i]->DisplayTextMap();
}

void StepTransitions() {
    if (Effect_GammaRamp != nullptr) Effect_GammaRamp->Update();
    if (Effect_OpenClose != nullptr) Effect_OpenClose->Update();
    if (Effect_RandomDissolve != nullptr) Effect_RandomDissolve->Update();
}

void RunMap(Map* map, bool& cursorSeen) {
    if (!map->Pause()) {
        if (map->Unused()) return;
        map->GetBehavior().Update(*map);
    }
    map->DisplayMap();
    ShowAlarms(map);
    // Only master and standard maps carry texts, sprites and particles.
    if (map->Type() != Map::MasterMap && map->Type() != Map::StandardMap) return;
    DisplayMapTexts(map, false);
    RunSpriteStep(map, cursorSeen);
    DisplayMapTexts(map, true);
    gNode->UpdateParticleSystem(map);
}

void RunMaps() {
    if (gNode->Maps().Count() == 0) ClearBackBuffer();
    bool cursorSeen = false;
    for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) RunMap(static_cast<Map*>(n), cursorSeen);
}

}  // namespace

void FrameStep() {
    ++gameLoopCounter;
    // A network worker's dialog was shown: that was this frame.
    if (netRequest.Service()) return;
    myGame->ReapFinishedThreads();
    if (myGame->saveRequested) myGame->RealSaveGame();
    if (myGame->loadRequested) myGame->RealLoadGame();
    MouseEvent* mouseOut = mouseEvents;
    unsigned char* keyOut = keyEvents;
    const std::uint32_t mouseCount = pMouse != nullptr ? pMouse->Update(mouseOut) : 0;
    const std::uint32_t keyCount = pKeyboard != nullptr ? pKeyboard->Update(keyOut) : 0;
    HandleSystemKeys();
    gameLoopEvent.Set();

    if (Simulating()) {
        // Every player's input for this frame is in before anything moves; the
        // time-out has already asked for the disconnect level. Without a
        // session there is no one to wait for.
        if (gNode->NetworkLevel && !myGame->ChangePending() && net::SessionOpen() &&
            !net::Lockstep(mouseOut, int(mouseCount), keyOut, int(keyCount)))
            return;
        RunBehaviours();
        ContentsRunningScope running(*gNode);
        gNode->GetNewVariableStates();
        RunMaps();
    }
    if (!waitingForPlayers) {
        ContentsRunningScope running(*gNode);
        gNode->DisplayTextNoMap();
        gNode->UpdateCursor();
        if (gNode->ShowScrollingBoundingBox()) gNode->GetViewPort().DisplayBB();
    }
    if (pConsole != nullptr) pConsole->Display();
    if (Simulating()) {
        StepTransitions();
        gNode->ZOrders().Drain(*gNode);
    }
    if (!myGame->ChangePending() || TransitionRunning()) gNode->UpdateScreen();
    gNode->GetViewPort().Commit();
}
