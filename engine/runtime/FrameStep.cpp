#include "runtime/FrameStep.h"

#include "display/Display.h"
#include "foundation/Console.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "logic/Alarm.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/MainLoop.h"
#include "runtime/SpriteStep.h"
#include "runtime/SystemKeys.h"
#include "world/Map.h"

namespace {

// This frame's input events, for the network exchange.
MouseEvent mouseEvents[256];
unsigned char keyEvents[512];

bool Simulating() { return !_IsSuspended && !waitingForPlayers; }

void RunBehaviours() {
    myGame->GetBehavior().Update(myGame);
    gNode->GetBehavior().Update(gNode);
    gNode->GetNewVariableStates();
}

void ShowAlarms(Map* map) {
    List& alarms = map->Alarms();
    for (node* n = alarms.Head(); !n->EOList(); n = n->Next()) {
        Alarm* alarm = static_cast<Alarm*>(n);
        if (alarm->ShowCollision()) alarm->ShowAlarmCollision(map);
    }
}

void RunMap(Map* map, bool& cursorSeen) {
    if (!map->Pause()) {
        if (map->Unused()) return;
        map->GetBehavior().Update(map);
    }
    map->DisplayMap();
    ShowAlarms(map);
    // Only master and standard maps carry texts, sprites and particles.
    if (map->Type() != Map::MasterMap && map->Type() != Map::StandardMap) return;
    // A visible map's texts that are not top-most are drawn here
    // (Variable::DisplayTextMap), with the text display.
    RunSpriteStep(map, cursorSeen);
    // A visible map's top-most texts are drawn here, with the text display.
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
    // netRequest.Service() first, ending the step when it served a request
    // (network play).
    myGame->ReapFinishedThreads();
    if (myGame->saveRequested) myGame->RealSaveGame();
    if (myGame->loadRequested) myGame->RealLoadGame();
    MouseEvent* mouseOut = mouseEvents;
    unsigned char* keyOut = keyEvents;
    if (pMouse != nullptr) pMouse->Update(mouseOut);
    if (pKeyboard != nullptr) pKeyboard->Update(keyOut);
    HandleSystemKeys();
    gameLoopEvent.Set();

    if (Simulating()) {
        // The network lockstep of a networked level comes here (network play).
        RunBehaviours();
        RunMaps();
    }
    if (!waitingForPlayers) {
        gNode->DisplayTextNoMap();
        gNode->UpdateCursor();
        if (gNode->ShowScrollingBoundingBox()) gNode->GetViewPort().DisplayBB();
    }
    if (pConsole != nullptr) pConsole->Display();
    if (Simulating()) {
        // The three screen transitions' Update comes here, with the transitions.
        gNode->ZOrders().Drain(*gNode);
    }
    if (!myGame->ChangePending() || TransitionRunning()) gNode->UpdateScreen();
    gNode->GetViewPort().Commit();
}
