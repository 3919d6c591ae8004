#include "runtime/FrameStep.h"

#include "display/Display.h"
#include "foundation/Console.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/MainLoop.h"
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

void DrawMap(Map* map) {
    if (!map->Pause()) {
        if (map->Unused()) return;
        map->GetBehavior().Update(map);
    }
    map->DisplayMap();
    // Each alarm's shapes when it shows them (Alarm::ShowAlarmCollision),
    // once alarms exist.
    if (map->Type() == Map::WrappedMap) return;
    // On a visible map, its texts that are not top-most (text display), the
    // sprite step for display lists 0 to 15 (sprites), then its top-most texts.
    gNode->UpdateParticleSystem(map);
}

void DrawMaps() {
    if (gNode->Maps().Count() == 0) ClearBackBuffer();
    for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) DrawMap(static_cast<Map*>(n));
}

}  // namespace

void FrameStep() {
    ++gameLoopCounter;
    // netRequest.Service() first, ending the step when it served a request
    // (network play).
    myGame->ReapFinishedThreads();
    // Deferred save, then load (save games).
    MouseEvent* mouseOut = mouseEvents;
    unsigned char* keyOut = keyEvents;
    if (pMouse != nullptr) pMouse->Update(mouseOut);
    if (pKeyboard != nullptr) pKeyboard->Update(keyOut);
    // HandleSystemKeys() (system keys).
    gameLoopEvent.Set();

    if (Simulating()) {
        // The network lockstep of a networked level comes here (network play).
        RunBehaviours();
        DrawMaps();
    }
    if (!waitingForPlayers) {
        gNode->DisplayTextNoMap();
        gNode->UpdateCursor();
        if (gNode->ShowScrollingBoundingBox()) gNode->GetViewPort().DisplayBB();
    }
    if (pConsole != nullptr) pConsole->Display();
    if (Simulating()) {
        // The screen transitions' Update, then the z-order queue is drained
        // (transitions, sprites).
    }
    if (!myGame->ChangePending() || TransitionRunning()) gNode->UpdateScreen();
    gNode->GetViewPort().Commit();
}
