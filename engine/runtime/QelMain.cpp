#include "runtime/QelMainInternal.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/DisplayInternal.h"
#include "display/GammaRamp.h"
#include "display/GeometricsDrawn.h"
#include "display/OpenClose.h"
#include "display/RandomDissolve.h"
#include "foundation/Console.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "logic/FrameRateInternal.h"
#include "network/NetSession.h"
#include "network/NetworkRequest.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/FileSync.h"
#include "platform/HeapTuning.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/GameWindowInternal.h"
#include "runtime/MainLoopInternal.h"
#include "sound/LevelSounds.h"
#include "sprites/SpriteListInternal.h"

namespace {

constexpr int MsgLevelNumber = 21;
constexpr int MsgCannotOpenForWriting = 105;
constexpr int MsgNoSettings = 112;
constexpr int MsgOneInstance = 113;
constexpr int MsgSoundDevice = 114;
constexpr int MsgGraphicsFailed = 115;
constexpr const char* ExitCaption = "Exit error.";
// What a refused start returns, so that a launcher or a script can tell that
// the game did not run.
constexpr int RefusedStartStatus = 1;

qel::InstanceLock instanceMutex;

void ExitBox(HWND owner, const char* text) {
    qel::ShowMessageBox(owner, text, ExitCaption, qel::MessageBoxIcon::Error);
}

// Another copy runs, or the lock file itself could not be made: each is said
// as it is.
void RefusedStartBox(qel::InstanceLock::Result result) {
    if (result == qel::InstanceLock::Result::AlreadyHeld) {
        ExitBox(nullptr, MessageTable[MsgOneInstance]);
        return;
    }
    const std::string path = qel::InstanceLock::DefaultPath("QEL");
    std::vector<char> text(std::strlen(MessageTable[MsgCannotOpenForWriting]) + path.size() + 1);
    std::snprintf(text.data(), text.size(), MessageTable[MsgCannotOpenForWriting], path.c_str());
    ExitBox(nullptr, text.data());
}

unsigned int FrameRateOfCurrentLevel() { return gNode != nullptr ? gNode->FramesPerSecond() : DefaultFrameRate; }

void ShowGameCursor(bool show) {
    if (myGame != nullptr) myGame->ShowCursor(show);
}

HWND GameWindow() { return _Ghwnd; }

void PrepareForMessageBox() {
    if (pMouse != nullptr) pMouse->StopReceivingData();
    if (pKeyboard != nullptr) pKeyboard->StopReceivingData();
    if (pDirectDraw != nullptr) pDirectDraw->FlipToGdiSurface();
    qel::ShowCursor(true);
}

// What the foundation and the logic need of the runtime.
void LinkSubsystems() {
    fatalExitLinks.prepareForMessageBox = PrepareForMessageBox;
    fatalExitLinks.gameWindow = GameWindow;
    fatalExitLinks.shutdownEngine = TearDownEngine;
    Console::links.frameCounter = &gameLoopCounter;
    Console::links.showCursor = ShowGameCursor;
    SetFrameRateSource(FrameRateOfCurrentLevel);
}

// A run starts from the state the library had when it was loaded.
void ResetRunState() {
    _IsQuitting = false;
    _IsSuspended = false;
    waitingForPlayers = false;
    minimizedWhileSuspended = false;
    gameLoopCounter = 0;
    screenSaverParent = 0;
    screenSaverPreview = false;
    ResetLevelSwitching();
    qel::ClearMessageQueue();
}

// The number that follows the letter within its piece of the command line
// (which ends at the next "/"), once the first decimal digit is found.
bool NumberAfterLetter(const char* piece, std::int32_t& number) {
    const char* p = piece + 1;
    while (*p != '\0' && *p != '/' && !std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    number = static_cast<std::int32_t>(std::strtol(p, nullptr, 10));
    return true;
}

// Acts on the screen saver's command letter; false: start-up stops here.
bool HandleScreenSaverCommand(const char* commandLine) {
    const char* piece = commandLine != nullptr ? commandLine : "";
    while (*piece == '/') ++piece;
    if (*piece == '\0') return false;
    std::int32_t number = 0;
    switch (std::tolower(static_cast<unsigned char>(*piece))) {
        case 'a':
            // The system has no screen-saver password here: nothing to change.
            if (!NumberAfterLetter(piece, number)) return true;
            screenSaverParent = number;
            return false;
        case 'c':
            if (NumberAfterLetter(piece, number)) {
                screenSaverParent = number;
                qel::ShowMessageBox(nullptr, MessageTable[MsgNoSettings], "Information",
                                    qel::MessageBoxIcon::Information);
            }
            return false;
        case 'p':
            if (NumberAfterLetter(piece, number) && number != 0) {
                screenSaverParent = number;
                screenSaverPreview = true;
            }
            return true;
        default: return true;
    }
}

bool SoundDeviceAvailable() { return sound::ProbeSoundDevice(); }

// Each global is null before its object goes, so that nothing reached while
// it is being destroyed (a fatal exit included) finds it half gone.
template <class T>
void DeleteGlobal(T*& global) {
    T* object = global;
    global = nullptr;
    delete object;
}

void DestroyGameWindow() {
    if (qel::IsWindow(_Ghwnd)) {
        // Its destruction is not the end of a run: no quit message.
        _Ghwnd->SetProcedure({});
        qel::DestroyWindow(_Ghwnd);
    }
    _Ghwnd = nullptr;
}

// An early stop of start-up: nothing made so far survives it.
int StopStartUp() {
    DisplayRelease();
    DestroyGameWindow();
    instanceMutex.Release();
    DeleteGlobal(_GameFile);
    qel::ClearMessageQueue();
    return 0;
}

}  // namespace

void TearDownEngine() {
    // No session may reach into the levels while they go, and no network
    // worker may be left waiting for the main thread. Releasing is for good,
    // so it is done only when a worker is still about.
    net::Close();
    if (myGame != nullptr) myGame->ReapFinishedThreads();
    if (netRequest.Pending() || (myGame != nullptr && myGame->ThreadCount() > 0)) netRequest.ReleaseAll();
    if (myGame != nullptr) {
        // The current level's own destruction clears the actor frames and
        // leaves gNode null.
        Game::gameNodeList.del();
        DeleteGlobal(myGame);
    }
    gNode = nullptr;
    pMainCharacter = nullptr;
    EmptyActorTable();
    FreeGameTables();
    DeleteGlobal(Effect_GammaRamp);
    DeleteGlobal(Effect_OpenClose);
    DeleteGlobal(Effect_RandomDissolve);
    DeleteGlobal(pDraw);
    DeleteGlobal(pConsole);
    DisplayRelease();
    instanceMutex.Release();
}

int ShutDown(int quitCode) {
    OnGameEndP();
    TearDownEngine();
    // The keyboard and the mouse themselves end with QelMain's stack.
    pMouse = nullptr;
    pKeyboard = nullptr;
    DestroyGameWindow();
    return quitCode;
}

int QelMain(HINSTANCE instance, HINSTANCE, char* commandLine, int showCommand) {
    qel::TuneHeap();  // before the game's first pictures
    ResetRunState();
    // A save past the file-size limit fails and says so; the game goes on.
    qel::WritesPastFileSizeLimitFail();
    qel::SetProgramResources(instance);
    LinkSubsystems();

    SetDataPathP();
    BuildAssetFolders();
    LoadGameFileP();
    ModeP();
    if (_IsScreenSaver && !HandleScreenSaverCommand(commandLine)) return StopStartUp();

    // A lock that cannot be taken at all cannot tell whether another copy
    // runs: that start is refused as well.
    const qel::InstanceLock::Result lock = instanceMutex.Acquire("QEL");
    if (lock != qel::InstanceLock::Result::Acquired) {
        if (!_IsScreenSaver) RefusedStartBox(lock);
        StopStartUp();
        return RefusedStartStatus;
    }
    if (!SoundDeviceAvailable()) {
        ExitBox(nullptr, MessageTable[MsgSoundDevice]);
        return StopStartUp();
    }
    ComputeWindowSize();
    if (!CreateGameWindow(instance, showCommand)) {
        ExitBox(nullptr, "Internal error!");
        return StopStartUp();
    }
    if (!DisplayInit()) {
        ExitBox(_Ghwnd, MessageTable[MsgGraphicsFailed]);
        return StopStartUp();
    }
    qel::Sleep(1000);
    BuildLogicP();
    myGame = new Game();
    QelP();
    DeleteGlobal(_GameFile);
    Effect_GammaRamp = new GammaRamp();
    Effect_OpenClose = new OpenClose();
    Effect_RandomDissolve = new RandomDissolve();
    pDraw = new GeometricsDrawn();
    pConsole = new Console();
    gNode = Game::Search(0);
    if (gNode == nullptr) FatalExit(MessageTable[MsgLevelNumber], 0);
    Keyboard keyboard(_Ghwnd, gameInstance);
    pKeyboard = &keyboard;
    Mouse mouse(_Ghwnd, gameInstance);
    pMouse = &mouse;
    OnGameStartP();
    return RunMainLoop();
}
