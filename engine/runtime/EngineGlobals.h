// The data through which the game program and the engine meet: the hooks the
// engine calls, the asset roots, the engine's singletons and flags. The
// runtime's own globals are in runtime/EngineGlobalsInternal.h.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "platform/Handles.h"
#include "platform/Resources.h"

class Game;
class GameNode;
class Keyboard;
class Mouse;
class QelCursor;
class GeometricsDrawn;
class GammaRamp;
class OpenClose;
class RandomDissolve;
class File;
class StateMachine;
class Timer;

// A hook of the game program: no arguments, no result.
typedef void (*GameHook)();
// A hook given the open save file.
typedef void (*SaveLoadHook)(File&);

// --- exported: set by the game program before QelMain ---
extern QEL_API GameHook SetDataPathP;
extern QEL_API GameHook LoadGameFileP;
extern QEL_API GameHook ModeP;
extern QEL_API GameHook BuildLogicP;
extern QEL_API GameHook QelP;
extern QEL_API GameHook OnGameStartP;
extern QEL_API GameHook OnGameEndP;
extern QEL_API SaveLoadHook OnSaveP;
extern QEL_API SaveLoadHook OnLoadP;

// Roots of the "Art Assets" and "Data" folders; the working directory at load.
extern QEL_API String ArtAssetsPath;
extern QEL_API String RTDPath;

// --- exported: the engine's objects and flags ---
extern QEL_API Game* myGame;
extern QEL_API GameNode* gNode;
extern QEL_API void* game;  // kept for the game program; the engine does not use it
extern QEL_API Keyboard* pKeyboard;
extern QEL_API Mouse* pMouse;
extern QEL_API QelCursor* pQelCursor;
// pConsole is the console's own (foundation/Console.h).
extern QEL_API GeometricsDrawn* pDraw;
extern QEL_API GammaRamp* Effect_GammaRamp;
extern QEL_API OpenClose* Effect_OpenClose;
extern QEL_API RandomDissolve* Effect_RandomDissolve;
extern QEL_API HWND _Ghwnd;
extern QEL_API bool _IsWindowed;
extern QEL_API bool _IsScreenSaver;
extern QEL_API File* _GameFile;
extern QEL_API File* _LevelFile;
extern QEL_API QelRect zrect;

// --- exported functions ---
QEL_API GameNode* NewGameNode();
// _GameFile := the game file opened for reading: the program's RCDATA resource
// of that name, else the data folder + name.
QEL_API void CreateBinaryGameFile(const char* name);
QEL_API HINSTANCE GetGameInstance();

// Lookups in the logic tables: null outside a table.
QEL_API void* GetFunction(int i);
QEL_API void* GetTimerFunction(int i);
QEL_API StateMachine* GetStateMachine(int i);
QEL_API Timer* GetTimer(int i);
QEL_API void* GetStateFunction(int i);
QEL_API void* GetEdgeFunction(int i);
