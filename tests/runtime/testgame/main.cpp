// A small game on the engine: three levels, each left for the next after 40
// frames; after --close-after N frames the window is asked to close, as the
// player would do. It prints what it saw, and returns QelMain's result.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QelEngine.h>

namespace {

int closeAfter = 120;
int frames = 0;
std::string visited;
bool ended = false;

constexpr int FramesPerLevel = 40;

void CountFrame(void*) {
    ++frames;
    if (frames == closeAfter) qel::SimulateWindowEvent(_Ghwnd, qel::SimulatedEvent::CloseRequested);
    if (frames % FramesPerLevel == 0) {
        if (gNode->Id() == 3)
            myGame->LevelNumber(0);
        else
            myGame->NextLevel();
    }
}

void BuildLevel(GameNode* level) {
    visited += " " + std::to_string(level->Id());
    level->GetBehavior().AddFunction(0, true);
}

void SetDataPath() {}
void LoadGameFile() {}
void Mode() {
    SetMode(640, 480, 32);
    _IsWindowed = true;
}
void BuildLogic() {
    FArray = NewVoidPointers(1);
    FArray[0] = reinterpret_cast<void*>(&CountFrame);
    maxFIndex = 0;
}
void Qel() {
    for (int id = 1; id <= 3; ++id) {
        GameNode* level = NewGameNode();
        level->Id(id);
        level->Name(("Level_" + std::to_string(id)).c_str());
        level->BuildLevelP = BuildLevel;
        myGame->Add(level);
    }
    myGame->Title("QelEngine test game");
}
void OnGameStart() {}
void OnGameEnd() { ended = true; }

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--close-after") == 0) closeAfter = std::atoi(argv[i + 1]);
    SetDataPathP = SetDataPath;
    LoadGameFileP = LoadGameFile;
    ModeP = Mode;
    BuildLogicP = BuildLogic;
    QelP = Qel;
    OnGameStartP = OnGameStart;
    OnGameEndP = OnGameEnd;
    char commandLine[] = "";
    const int result = QelMain(nullptr, nullptr, commandLine, 1);
    std::printf("levels%s frames %d %s result %d\n", visited.c_str(), frames, ended ? "ended" : "not ended", result);
    return result;
}
