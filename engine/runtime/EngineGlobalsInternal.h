// The runtime's own globals (folders, locks, frame counter, main character,
// window sizes) and its helpers: shared by the engine's modules, neither
// installed nor exported.
#pragma once
#include <atomic>
#include <cstdint>
#include "foundation/Array.h"
#include "foundation/String.h"
#include "platform/Handles.h"
#include "platform/Sync.h"
#include "runtime/EngineGlobals.h"

class node;
class Sprite;

extern String workingDirectory;  // current directory when the library was loaded
// Built by start-up from the two roots.
extern String actorsFolder;
extern String mapsFolder;
extern String sfxFolder;
extern String musicFolder;
extern String dataFolder;
// The folder that image loading looks in (actors or maps, as last set).
extern String currentAssetFolder;
extern String paletteBitmapName;

extern qel::AutoResetEvent gameLoopEvent;  // set once per frame for the network threads
extern Array<std::int32_t> netActiveIds;   // sprite ids taken by network players
// NetQueueLock guards the sprites' network queues and the received-from-players
// flag; PlayerListLock the network player data.
extern qel::CriticalSection NetQueueLock;
extern qel::CriticalSection PlayerListLock;

extern bool _IsSuspended;
extern bool _IsQuitting;
extern std::atomic<bool> waitingForPlayers;  // written by network workers too
extern bool minimizedWhileSuspended;
extern std::uint32_t gameLoopCounter;
extern Sprite* pMainCharacter;

extern HINSTANCE gameInstance;
extern std::int32_t screenSaverParent;
extern bool screenSaverPreview;
extern std::int32_t windowWidth;
extern std::int32_t windowHeight;
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;

// Frees every logic table and leaves it null with bound -1; safe to repeat.
void FreeGameTables();

// The game's or a level's local data becomes a clone of NArray[index] (an
// earlier object is deleted); an index with no prototype is reported under
// the signature and changes nothing.
void AttachLocalData(unsigned int index, const char* signature, node*& object, std::int32_t& objectIndex);

// Forgets the main character when it is this sprite (it is going away).
void ForgetMainCharacter(const Sprite* sprite);

// Builds the five asset folders from ArtAssetsPath and RTDPath, first putting
// the working directory in place of a root that does not exist.
void BuildAssetFolders();
