// Level switches, measured two ways.
//
// First in the game's own process (bench/game/GameLevels.cpp: nolt's hooks,
// the shared engine, its window and display, frames drawn and presented at
// 60 fps, the main loop's switch with its loading screen), against a bare
// SDL2 program with the same display and frames (bench/game/SdlLevels.cpp),
// which at each switch frees the last level's pictures and loads the next
// level's bitmaps with the colour key, and each frame blits what the engine's
// frame of that level blitted: it builds no level objects, so it is a lower
// bound. Level_1 -> Level_31 -> Level_32 three times and back to Level_1, with
// huge pages as the system gives them and refused: the resident memory back
// in Level_1 against a process that only entered Level_1, the first Level_32
// switch and the later switches. Then the whole game in the order of play,
// Menu to Level_40, each level entered once as a player enters it. Every run
// is a fresh process; engine and reference runs are paired, in random order
// within a pair.
//
// Then in this process (the Google Benchmark part), the switch alone: the
// level left is emptied with the actor table, the next one built (its actor
// table, its builder with sounds, maps and sprites, the actors' surfaces),
// its texts placed and the free heap given back, as the main loop does, with
// no display or frames between. The timed runs repeat Level_1 -> Level_31 ->
// Level_32 -> Level_1 ..., each timed switch after the untimed ones before it:
// later switches of a process whose heap has served these levels before. The
// reference frees the last level's pictures and loads the next level's
// bitmaps with bare SDL into the display's format with the colour key, on
// SDL's own allocator (the C library's, with the settings the engine gives it
// at start-up, as in any program the engine runs in).
//
// --game_pairs=N and --whole_game_pairs=N set the number of pairs of the game
// processes' parts (5 and 3; 0 leaves a part out).
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchRatio.h"
#include "display/Display.h"
#include "display/DisplayInternal.h"
#include "game/GameRuns.h"
#include "foundation/Variable.h"
#include "levels/LevelData.h"
#include "logic/GameDeclarations.h"
#include "platform/HeapTuning.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteListInternal.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

namespace {

const std::string Assets = std::string(QEL_BINARY_DIR) + "/game/Art Assets/";
const std::vector<std::string> PlayOrder = {"Level_1", "Level_31", "Level_32"};

// The game's tables and its registered levels, once for the program.
struct TheGame {
    std::unique_ptr<qel::Surface> back;
    GameNode* idle = nullptr;

    TheGame() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        qel::TuneHeap();  // as the engine's start-up does
        back = qel::Surface::Create(64, 48, 32);
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

int LevelNumber(const std::string& name) {
    for (int k = 0; k < nolt::LevelCount; ++k)
        if (nolt::LevelRecordOf(k).name == name) return k;
    return -1;
}

// The main loop's switch without its loading screen and input resets.
bool SwitchTo(const std::string& name) {
    Game0();
    auto* level = static_cast<GameNode*>(Game::Search(name.c_str()));
    if (!level) return false;
    gNode->Empty();
    EmptyActorTable();
    pMainCharacter = nullptr;
    gNode = level;
    level->Execute();
    Variable::UpdateTextMaps();
    qel::GiveBackFreeHeap();
    return true;
}

const std::string& NextInPlay(const std::string& current) {
    auto at = std::find(PlayOrder.begin(), PlayOrder.end(), current);
    if (at == PlayOrder.end() || ++at == PlayOrder.end()) return PlayOrder.front();
    return *at;
}

const std::string& PreviousInPlay(const std::string& target) {
    auto at = std::find(PlayOrder.begin(), PlayOrder.end(), target);
    return at == PlayOrder.begin() ? PlayOrder.back() : *(at - 1);
}

// The bitmap files the current level shows: its map and its actors' frames.
std::vector<std::string> BitmapsOfCurrent(const std::string& name) {
    std::vector<std::string> files{Assets + "Maps/" + nolt::LevelRecordOf(LevelNumber(name)).mapBitmap};
    std::set<std::string> actors;
    for (SpriteElem& slot : SpriteList)
        for (std::int32_t a = 0; slot.Animations && a < slot.AnimationCount; ++a)
            for (std::int32_t f = 0; slot.Animations[a].Frames && f < slot.Animations[a].FrameCount; ++f)
                if (const char* file = slot.Animations[a].Frames[f].FileName) actors.insert(file);
    for (const std::string& a : actors) files.push_back(Assets + "Actors/" + a);
    return files;
}

// --- the engine in play order ---

std::string engineLevel;  // the level the engine is in

void EngineSwitch(benchmark::State& state, const std::string& target) {
    const std::string& before = PreviousInPlay(target);
    for (auto _ : state) {
        state.PauseTiming();
        while (engineLevel != before) {
            engineLevel = NextInPlay(engineLevel);
            SwitchTo(engineLevel);
        }
        state.ResumeTiming();
        if (!SwitchTo(target)) {
            state.SkipWithError("no such level");
            return;
        }
        engineLevel = target;
    }
}

// --- bare SDL in the same order ---

struct SdlLevels {
    std::vector<std::vector<std::string>> files;  // by place in PlayOrder

    SdlLevels() {
        for (const std::string& name : PlayOrder) {
            SwitchTo(name);
            files.push_back(BitmapsOfCurrent(name));
        }
        SwitchTo(PlayOrder.front());
        engineLevel = PlayOrder.front();
    }
};

const SdlLevels& Bitmaps() {
    static const SdlLevels levels;
    return levels;
}

std::string sdlLevel;
std::vector<SDL_Surface*> sdlShown;

// The bare-SDL switch: the old level's surfaces go, the new level's bitmaps
// are read and converted to the display's format with the engine's colour key.
void SdlShow(std::vector<SDL_Surface*>& shown, const std::vector<std::string>& files) {
    for (SDL_Surface* s : shown) SDL_FreeSurface(s);
    shown.clear();
    for (const std::string& file : files) {
        SDL_Surface* loaded = SDL_LoadBMP(file.c_str());
        if (!loaded) continue;
        SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
        SDL_FreeSurface(loaded);
        SDL_SetColorKey(converted, SDL_TRUE, 0xDC00FF);
        shown.push_back(converted);
    }
}

void SdlSwitchTo(const std::string& name) {
    const std::size_t place = std::size_t(std::find(PlayOrder.begin(), PlayOrder.end(), name) - PlayOrder.begin());
    SdlShow(sdlShown, Bitmaps().files[place]);
    sdlLevel = name;
}

void SdlSwitch(benchmark::State& state, const std::string& target) {
    Bitmaps();
    const std::string& before = PreviousInPlay(target);
    for (auto _ : state) {
        state.PauseTiming();
        while (sdlLevel != before) SdlSwitchTo(NextInPlay(sdlLevel));
        state.ResumeTiming();
        SdlSwitchTo(target);
    }
    const std::size_t place = std::size_t(std::find(PlayOrder.begin(), PlayOrder.end(), target) - PlayOrder.begin());
    state.counters["bitmaps"] = double(Bitmaps().files[place].size());
}

void SwitchLevel1(benchmark::State& state) { EngineSwitch(state, "Level_1"); }
void SwitchLevel31(benchmark::State& state) { EngineSwitch(state, "Level_31"); }
void SwitchLevel32(benchmark::State& state) { EngineSwitch(state, "Level_32"); }
void SdlLevel1(benchmark::State& state) { SdlSwitch(state, "Level_1"); }
void SdlLevel31(benchmark::State& state) { SdlSwitch(state, "Level_31"); }
void SdlLevel32(benchmark::State& state) { SdlSwitch(state, "Level_32"); }

// --- the game's own process ---

using gameruns::Max;
using gameruns::Median;
using gameruns::Min;
using gameruns::Ratios;

constexpr int FramesPerLevel = 20;
const std::vector<std::string> Once = {"Level_1"};
const std::vector<std::string> Rounds = {"Level_1",  "Level_31", "Level_32", "Level_1",  "Level_31",
                                         "Level_32", "Level_1",  "Level_31", "Level_32", "Level_1"};

// The reference's plan (each level's bitmaps and its frame's blits), written
// by a run of the engine through the whole game.
const std::string& PlanFile() {
    static const std::string file = [] {
        char name[] = "/tmp/qel-bench-plan-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        gameruns::Start(gameruns::Engine, {"--frames", std::to_string(FramesPerLevel), "--plan", name, "--all"});
        return std::string(name);
    }();
    return file;
}

gameruns::Run Play(bool engine, bool refuseHugePages, const std::vector<std::string>& levels) {
    std::vector<std::string> args{"--frames", std::to_string(FramesPerLevel)};
    if (refuseHugePages) args.push_back("--no-thp");
    if (!engine) args.insert(args.end(), {"--plan", PlanFile()});
    args.insert(args.end(), levels.begin(), levels.end());
    return gameruns::Start(engine ? gameruns::Engine : gameruns::Reference, args);
}

double ResidentAtEnd(const gameruns::Run& run) { return run.levels.empty() ? 0 : run.levels.back().residentMiB; }

// The CPU of the rounds' switches into `level`: the first one, or the median
// of the later ones (after the first round).
double SwitchCpu(const gameruns::Run& run, const std::string& level, bool first) {
    std::vector<double> later;
    bool seen = false;
    for (const gameruns::Switch& s : run.switches) {
        if (s.level != level) continue;
        if (!seen) {
            seen = true;
            if (first) return s.cpuMs;
            continue;
        }
        later.push_back(s.cpuMs);
    }
    return first ? 0 : Median(later);
}

double FirstWall(const gameruns::Run& run, const std::string& level) {
    for (const gameruns::Switch& s : run.switches)
        if (s.level == level) return s.wallMs;
    return 0;
}

struct Side {
    std::vector<double> once, back, ratio, first32, first32Wall, later1, later31, later32;

    void Add(const gameruns::Run& single, const gameruns::Run& rounds) {
        once.push_back(ResidentAtEnd(single));
        back.push_back(ResidentAtEnd(rounds));
        ratio.push_back(once.back() > 0 ? back.back() / once.back() : 0);
        first32.push_back(SwitchCpu(rounds, "Level_32", true));
        first32Wall.push_back(FirstWall(rounds, "Level_32"));
        later1.push_back(SwitchCpu(rounds, "Level_1", false));
        later31.push_back(SwitchCpu(rounds, "Level_31", false));
        later32.push_back(SwitchCpu(rounds, "Level_32", false));
    }
};

void PrintRow(const char* what, const std::vector<double>& engine, const std::vector<double>& reference,
              bool withRatio = true) {
    std::printf("%-34s %7.2f %7.2f %7.2f   %7.2f %7.2f %7.2f", what, Min(engine), Median(engine), Max(engine),
                Min(reference), Median(reference), Max(reference));
    const std::vector<double> r = Ratios(engine, reference);
    if (withRatio && !r.empty()) std::printf("   %5.2f/%-5.2f", Min(r), Median(r));
    std::printf("\n");
}

// Level_1 -> Level_31 -> Level_32 three times and back to Level_1, in pairs
// of fresh game processes against the bare-SDL reference, with huge pages as
// the system gives them and refused: the resident memory back in Level_1
// against a process that only entered Level_1, and the CPU of the switches.
void ReportGameRounds(int pairs) {
    if (pairs <= 0) return;
    PlanFile();
    std::mt19937 order(2026);
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    for (const bool refuse : {false, true}) {
        Side engine, reference;
        const std::string loadBefore = gameruns::LoadAverage();
        for (int p = 0; p < pairs; ++p) {
            const bool engineFirst = order() % 2 == 0;
            for (int k = 0; k < 2; ++k) {
                const bool isEngine = (k == 0) == engineFirst;
                const gameruns::Run single = Play(isEngine, refuse, Once);
                const gameruns::Run rounds = Play(isEngine, refuse, Rounds);
                if (!single.ok || !rounds.ok)
                    std::printf("(a run of the %s failed)\n", isEngine ? "engine" : "reference");
                (isEngine ? engine : reference).Add(single, rounds);
            }
        }
        std::printf(
            "The game's process, Level_1 -> Level_31 -> Level_32 three times and back to Level_1, %d frames a level;\n"
            "huge pages %s; %d pairs of fresh processes; video driver %s; load average %s before, %s after\n",
            FramesPerLevel, refuse ? "refused (PR_SET_THP_DISABLE)" : "as the system gives them", pairs,
            driver ? driver : "(SDL's choice)", loadBefore.c_str(), gameruns::LoadAverage().c_str());
        std::printf("%-34s %23s   %23s   %s\n", "", "engine min/median/max", "bare SDL min/median/max",
                    "ratio min/median");
        PrintRow("resident, only Level_1, MiB", engine.once, reference.once);
        PrintRow("resident back in Level_1, MiB", engine.back, reference.back);
        PrintRow("back in Level_1 / only Level_1", engine.ratio, reference.ratio, false);
        PrintRow("first Level_32 switch, cpu ms", engine.first32, reference.first32);
        PrintRow("first Level_32 switch, wall ms", engine.first32Wall, reference.first32Wall);
        PrintRow("later Level_1 switches, cpu ms", engine.later1, reference.later1);
        PrintRow("later Level_31 switches, cpu ms", engine.later31, reference.later31);
        PrintRow("later Level_32 switches, cpu ms", engine.later32, reference.later32);
        std::printf("\n");
    }
}

// Every level in the order of play, Menu to Level_40, each entered once, in
// pairs of fresh game processes against the bare-SDL reference.
void ReportWholeGame(int pairs) {
    if (pairs <= 0) return;
    PlanFile();
    std::mt19937 order(12345);
    std::vector<gameruns::Run> engine, reference;
    const std::string loadBefore = gameruns::LoadAverage();
    for (int p = 0; p < pairs; ++p) {
        const bool engineFirst = order() % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool isEngine = (k == 0) == engineFirst;
            std::vector<std::string> args{"--frames", std::to_string(FramesPerLevel)};
            if (!isEngine) args.insert(args.end(), {"--plan", PlanFile()});
            args.push_back("--all");
            (isEngine ? engine : reference)
                .push_back(gameruns::Start(isEngine ? gameruns::Engine : gameruns::Reference, args));
        }
    }
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    std::printf(
        "The game's process through the whole game in play order, each level entered once, %d frames a level;\n"
        "%d pairs of fresh processes; video driver %s; load average %s before, %s after\n",
        FramesPerLevel, pairs, driver ? driver : "(SDL's choice)", loadBefore.c_str(), gameruns::LoadAverage().c_str());
    std::printf("%-26s %8s %8s %13s %10s %10s\n", "switch to", "eng cpu", "ref cpu", "ratio min/med", "eng MiB",
                "ref MiB");
    const std::size_t count = engine.empty() ? 0 : engine.front().switches.size();
    std::vector<double> engineTotal(engine.size(), 0), referenceTotal(reference.size(), 0);
    for (std::size_t at = 0; at < count; ++at) {
        std::vector<double> e, r, eMiB, rMiB;
        for (std::size_t i = 0; i < engine.size(); ++i)
            if (at < engine[i].switches.size()) {
                e.push_back(engine[i].switches[at].cpuMs);
                engineTotal[i] += e.back();
                if (at + 1 < engine[i].levels.size()) eMiB.push_back(engine[i].levels[at + 1].residentMiB);
            }
        for (std::size_t i = 0; i < reference.size(); ++i)
            if (at < reference[i].switches.size()) {
                r.push_back(reference[i].switches[at].cpuMs);
                referenceTotal[i] += r.back();
                if (at + 1 < reference[i].levels.size()) rMiB.push_back(reference[i].levels[at + 1].residentMiB);
            }
        const std::vector<double> ratio = Ratios(e, r);
        std::printf("%-26s %8.2f %8.2f %6.2f/%-6.2f %10.2f %10.2f\n", engine.front().switches[at].level.c_str(),
                    Median(e), Median(r), Min(ratio), Median(ratio), Median(eMiB), Median(rMiB));
    }
    const std::vector<double> ratio = Ratios(engineTotal, referenceTotal);
    std::printf(
        "%-26s %8.2f %8.2f %6.2f/%-6.2f   (cpu ms, medians; totals per process %.1f to %.1f against %.1f to %.1f)\n\n",
        "all switches", Median(engineTotal), Median(referenceTotal), Min(ratio), Median(ratio), Min(engineTotal),
        Max(engineTotal), Min(referenceTotal), Max(referenceTotal));
}

}  // namespace

BENCHMARK(SwitchLevel1)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel1)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SwitchLevel31)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel31)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SwitchLevel32)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel32)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    const int roundPairs = gameruns::TakeFlag(argc, argv, "game_pairs", 5);
    const int wholeGamePairs = gameruns::TakeFlag(argc, argv, "whole_game_pairs", 3);
    ReportGameRounds(roundPairs);
    ReportWholeGame(wholeGamePairs);
    if (roundPairs > 0 || wholeGamePairs > 0) std::remove(PlanFile().c_str());
    return benchratio::RunInterleaved(
        argc, argv, {{"SwitchLevel1", "SdlLevel1"}, {"SwitchLevel31", "SdlLevel31"}, {"SwitchLevel32", "SdlLevel32"}},
        {}, 5);
}
