#include "runtime/EngineGlobalsInternal.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "logic/LogicTablesInternal.h"
#include "logic/PathTablesInternal.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "runtime/GameNode.h"

GameHook SetDataPathP = nullptr;
GameHook LoadGameFileP = nullptr;
GameHook ModeP = nullptr;
GameHook BuildLogicP = nullptr;
GameHook QelP = nullptr;
GameHook OnGameStartP = nullptr;
GameHook OnGameEndP = nullptr;
SaveLoadHook OnSaveP = nullptr;
SaveLoadHook OnLoadP = nullptr;

// Defined in this order so that the roots can copy the working directory.
String workingDirectory(qel::CurrentDirectory().c_str());
String paletteBitmapName;
String RTDPath(workingDirectory);
String ArtAssetsPath(workingDirectory);
String actorsFolder;
String mapsFolder;
String sfxFolder;
String musicFolder;
String dataFolder;
String currentAssetFolder;

Game* myGame = nullptr;
GameNode* gNode = nullptr;
void* game = nullptr;
Keyboard* pKeyboard = nullptr;
Mouse* pMouse = nullptr;
QelCursor* pQelCursor = nullptr;
GeometricsDrawn* pDraw = nullptr;
GammaRamp* Effect_GammaRamp = nullptr;
OpenClose* Effect_OpenClose = nullptr;
RandomDissolve* Effect_RandomDissolve = nullptr;
HWND _Ghwnd = nullptr;
bool _IsWindowed = false;
bool _IsScreenSaver = false;
File* _GameFile = nullptr;
File* _LevelFile = nullptr;
QelRect zrect = {0, 0, 0, 0};

qel::AutoResetEvent gameLoopEvent;
Array<std::int32_t> netActiveIds;
qel::CriticalSection NetQueueLock;
qel::CriticalSection PlayerListLock;

bool _IsSuspended = false;
bool _IsQuitting = false;
std::atomic<bool> waitingForPlayers{false};
bool minimizedWhileSuspended = false;
std::uint32_t gameLoopCounter = 0;
Sprite* pMainCharacter = nullptr;

HINSTANCE gameInstance = nullptr;
std::int32_t screenSaverParent = 0;
bool screenSaverPreview = false;
std::int32_t windowWidth = 0;
std::int32_t windowHeight = 0;
std::int32_t screenWidth = 0;
std::int32_t screenHeight = 0;

GameNode* NewGameNode() { return new GameNode(); }

HINSTANCE GetGameInstance() { return gameInstance; }

void CreateBinaryGameFile(const char* name) {
    if (name == nullptr) name = "";
    String path = qel::FindProgramResource("RCDATA", name) != nullptr ? String(name) : dataFolder + String(name);
    delete _GameFile;
    _GameFile = new File(path, File::Reading);
}

void* GetFunction(int i) { return FArray != nullptr && WithinBound(i, maxFIndex) ? FArray[i] : nullptr; }

void* GetTimerFunction(int i) { return GetFunction(i); }

StateMachine* GetStateMachine(int i) {
    return SMArray != nullptr && WithinBound(i, maxSMIndex) ? &SMArray[i] : nullptr;
}

Timer* GetTimer(int i) { return TMArray != nullptr && WithinBound(i, maxTMIndex) ? &TMArray[i] : nullptr; }

// The callback table has no bound of its own: its allocator recorded its size.
void* GetStateFunction(int i) { return VoidPointerAt(SMFArray, i); }

void* GetEdgeFunction(int i) { return GetStateFunction(i); }

void FreeGameTables() {
    FreeVoidPointers(LVFArray);
    LVFArray = nullptr;
    FreeVoidPointers(SMFArray);
    SMFArray = nullptr;
    FreeStateMachines(SMArray);
    SMArray = nullptr;
    maxSMIndex = -1;
    FreePathStateMachines(PSMArray);
    PSMArray = nullptr;
    maxPSMIndex = -1;
    FreeVoidPointers(FArray);
    FArray = nullptr;
    maxFIndex = -1;
    FreeMovementPatterns(MPArray);
    MPArray = nullptr;
    maxMPIndex = -1;
    FreeNodePointers(NArray);
    NArray = nullptr;
    maxNIndex = -1;
    FreeTimers(TMArray);
    TMArray = nullptr;
    maxTMIndex = -1;
}

void AttachLocalData(unsigned int index, const char* signature, node*& object, std::int32_t& objectIndex) {
    constexpr int MsgLocalVariable = 1;
    if (!WithinBound(index, maxNIndex) || NArray == nullptr || NArray[index] == nullptr) {
        UserError::Report(signature, MessageTable[MsgLocalVariable], index);
        return;
    }
    delete object;
    objectIndex = std::int32_t(index);
    object = NArray[index]->Clone();
}

void ForgetMainCharacter(const Sprite* sprite) {
    if (sprite != nullptr && pMainCharacter == sprite) pMainCharacter = nullptr;
}

namespace {

bool PathExists(const String& path) {
    if (path.empty()) return false;
    std::error_code error;
    return std::filesystem::exists(qel::NativePath(path), error);
}

String Folder(const String& root, const char* tail) { return String(qel::NativePath((root + String(tail))).c_str()); }

}  // namespace

void BuildAssetFolders() {
    if (!PathExists(ArtAssetsPath)) ArtAssetsPath = workingDirectory;
    if (!PathExists(RTDPath)) RTDPath = workingDirectory;
    actorsFolder = Folder(ArtAssetsPath, "/Art Assets/Actors/");
    mapsFolder = Folder(ArtAssetsPath, "/Art Assets/Maps/");
    sfxFolder = Folder(ArtAssetsPath, "/Art Assets/Sounds/SFX/");
    musicFolder = Folder(ArtAssetsPath, "/Art Assets/Sounds/Music/");
    dataFolder = Folder(RTDPath, "/Data/");
}
