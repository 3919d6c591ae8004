// The game's start as nolt makes it, through to its first level (the Menu),
// then its end: the engine's share of the start-up bench.
#include "logic/GameDeclarations.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/QelMain.h"

extern const qel::ResourceTable noltResources;

int main() {
    InstallGameHooks();
    // The first pass enters the Menu; the quit request ends the run after it.
    OnGameStartP = [] { myGame->EndGame(); };
    char commandLine[] = "";
    constexpr int ShowNormal = 1;
    return QelMain(&noltResources, nullptr, commandLine, ShowNormal);
}
