#include "EngineRun.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "display/Display.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/QelMain.h"
#include "testing/TestHooks.h"

std::vector<std::string> EngineRun::calls;
std::function<void(int)> EngineRun::script;
std::function<void()> EngineRun::setDataPath;
std::function<void()> EngineRun::mode;
std::function<void()> EngineRun::levels;
std::function<void(GameNode*)> EngineRun::buildLevel;
int EngineRun::pass = 0;

namespace {

constexpr int LastPass = 200;

void Record(const std::string& call) { EngineRun::calls.push_back(call); }
std::string IdOf(GameNode* level) { return std::to_string(level->Id()); }

void SetDataPath() {
    Record("SetDataPath");
    if (EngineRun::setDataPath) EngineRun::setDataPath();
}
void LoadGameFile() { Record("LoadGameFile"); }
void Mode() {
    Record("Mode");
    SetMode(640, 480, 32);
    _IsWindowed = true;
    if (EngineRun::mode) EngineRun::mode();
}
void BuildLogic() { Record("BuildLogic"); }
void Qel() {
    Record("Qel");
    if (EngineRun::levels)
        EngineRun::levels();
    else
        EngineRun::AddLevels({1, 2, 3});
}
void OnGameStart() { Record("OnGameStart"); }
void OnGameEnd() { Record("OnGameEnd"); }

void BuildLevel(GameNode* level) {
    Record("build:" + IdOf(level));
    if (EngineRun::buildLevel) EngineRun::buildLevel(level);
}
void LevelExit(GameNode* level) { Record("exit:" + IdOf(level)); }
void LevelChange(GameNode* level) { Record("change:" + IdOf(level)); }

}  // namespace

int EngineRun::Count(const std::string& call) {
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
}

void EngineRun::AddLevels(std::initializer_list<int> ids) {
    for (int id : ids) {
        GameNode* level = NewGameNode();
        level->Id(id);
        level->Name(("level" + std::to_string(id)).c_str());
        level->BuildLevelP = BuildLevel;
        level->OnLevelExitP = LevelExit;
        level->OnLevelChangeP = LevelChange;
        myGame->Add(level);
    }
}

int EngineRun::Run(const char* commandLine) {
    SetDataPathP = SetDataPath;
    LoadGameFileP = LoadGameFile;
    ModeP = Mode;
    BuildLogicP = BuildLogic;
    QelP = Qel;
    OnGameStartP = OnGameStart;
    OnGameEndP = OnGameEnd;
    pass = 0;
    qel::SetFrameHook([] {
        ++pass;
        if (script) script(pass);
        if (pass >= LastPass && myGame != nullptr) myGame->EndGame();
    });
    std::string line = commandLine;
    return QelMain(nullptr, nullptr, line.data(), 1);
}

void EngineRunTest::SetUp() {
    EngineRun::calls.clear();
    EngineRun::script = nullptr;
    EngineRun::setDataPath = nullptr;
    EngineRun::mode = nullptr;
    EngineRun::levels = nullptr;
    EngineRun::buildLevel = nullptr;
    previousFolder = std::filesystem::current_path().string();
    char pattern[] = "/tmp/qel-runtime-XXXXXX";
    folder = mkdtemp(pattern);
    std::filesystem::current_path(folder);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    qel::SetDesktopDepthForTests(32);
    qel::UseVirtualClock(1000, 1);
    qel::SetMessageBoxObserver([this](const char* text, const char* caption, qel::MessageBoxIcon) {
        boxes.push_back({text, caption});
    });
}

void EngineRunTest::TearDown() {
    qel::SetFrameHook({});
    qel::SetMessageBoxObserver({});
    qel::UseRealClock();
    qel::SetDesktopDepthForTests(0);
    _IsScreenSaver = false;
    std::filesystem::current_path(previousFolder);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}
