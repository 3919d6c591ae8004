// Switching to a level of the game: the engine leaves the previous level
// (emptying it and the actor table) and enters the new one (its actor table,
// its builder with sounds, map and sprites, and the actors' surfaces), with
// the generated art of the build. Level_1 is a 640-pixel level, Level_32 the
// widest (7,000 pixels). The reference loads the same bitmaps with bare SDL
// into surfaces of the display's format with an RLE colour key, which is the
// least any engine has to do to show the level. The time per switch is that
// of a switch whose memory the process has had before (every switch but the
// first); the first one is reported beside it.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "display/Display.h"
#include "levels/LevelData.h"
#include "logic/GameDeclarations.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteList.h"
#include "world/LevelView.h"
#include "world/ViewPort.h"

namespace {

const std::string Assets = std::string(QEL_BINARY_DIR) + "/game/Art Assets/";

// The game's tables and its registered levels, once for the program.
struct TheGame {
    std::unique_ptr<qel::Surface> back = qel::Surface::Create(64, 48, 32);
    GameNode* idle = nullptr;

    TheGame() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        displayDepth = 32;
        pBackBuffer = back.get();
        mapsFolder = (Assets + "Maps/").c_str();
        actorsFolder = (Assets + "Actors/").c_str();
        sfxFolder = (Assets + "Sounds/SFX/").c_str();
        musicFolder = (Assets + "Sounds/Music/").c_str();
        currentAssetFolder = mapsFolder;
        BuildLogic();
        myGame = new Game();
        idle = NewGameNode();
        idle->Id(1000);
        myGame->Add(idle);
        gNode = idle;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);
        Qel();
    }
};

TheGame& Game0() {
    static TheGame* game = new TheGame();
    return *game;
}

int LevelNumber(const char* name) {
    for (int k = 0; k < 40; ++k)
        if (nolt::LevelRecordOf(k).name == name) return k;
    return -1;
}

GameNode* Enter(const char* name) {
    auto* level = static_cast<GameNode*>(Game::Search(name));
    if (!level) return nullptr;
    gNode = level;
    level->Execute();
    return level;
}

void Leave(GameNode* level) {
    level->Empty();
    EmptyActorTable();
    pMainCharacter = nullptr;
    gNode = Game0().idle;
}

// The bitmap files a level shows: its map and its actors' frames.
std::vector<std::string> BitmapsOf(const char* name) {
    std::vector<std::string> files;
    const int k = LevelNumber(name);
    if (k < 0) return files;
    files.push_back(Assets + "Maps/" + nolt::LevelRecordOf(k).mapBitmap);
    GameNode* level = Enter(name);
    if (!level) return files;
    std::set<std::string> actors;
    for (SpriteElem& slot : SpriteList)
        for (std::int32_t a = 0; slot.Animations && a < slot.AnimationCount; ++a)
            for (std::int32_t f = 0; slot.Animations[a].Frames && f < slot.Animations[a].FrameCount; ++f)
                if (const char* file = slot.Animations[a].Frames[f].FileName) actors.insert(file);
    Leave(level);
    for (const std::string& a : actors) files.push_back(Assets + "Actors/" + a);
    return files;
}

// The first switch of a process also maps in fresh memory for the level's
// pictures; later ones reuse what earlier maps gave back.
double FirstSwitchMs(const char* name) {
    static std::map<std::string, double> first;
    auto found = first.find(name);
    if (found != first.end()) return found->second;
    const auto start = std::chrono::steady_clock::now();
    if (GameNode* level = Enter(name)) Leave(level);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    first[name] = ms;
    return ms;
}

void Switch(benchmark::State& state, const char* name) {
    Game0();
    state.counters["first_switch_ms"] = FirstSwitchMs(name);
    for (auto _ : state) {
        GameNode* level = Enter(name);
        if (!level) {
            state.SkipWithError("no such level");
            return;
        }
        Leave(level);
    }
}

void SdlLoad(benchmark::State& state, const char* name) {
    Game0();
    const std::vector<std::string> files = BitmapsOf(name);
    for (auto _ : state) {
        for (const std::string& file : files) {
            SDL_Surface* loaded = SDL_LoadBMP(file.c_str());
            if (!loaded) continue;
            SDL_Surface* shown = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
            SDL_FreeSurface(loaded);
            SDL_SetColorKey(shown, SDL_TRUE | SDL_RLEACCEL, 0xDC00FF);
            SDL_FreeSurface(shown);
        }
    }
    state.counters["bitmaps"] = double(files.size());
}

void SwitchLevel1(benchmark::State& state) { Switch(state, "Level_1"); }
void SwitchLevel32(benchmark::State& state) { Switch(state, "Level_32"); }
void SdlLevel1(benchmark::State& state) { SdlLoad(state, "Level_1"); }
void SdlLevel32(benchmark::State& state) { SdlLoad(state, "Level_32"); }

}  // namespace

BENCHMARK(SwitchLevel1)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(SdlLevel1)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(SwitchLevel32)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(SdlLevel32)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char** argv) {
    return benchratio::RunWithRatios(argc, argv, {{"SwitchLevel1", "SdlLevel1"}, {"SwitchLevel32", "SdlLevel32"}});
}
