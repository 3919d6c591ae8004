// Level switches as the main loop makes them: the level left is emptied with
// the actor table, the next one built (its actor table, its builder with
// sounds, maps and sprites, the actors' surfaces) and its texts placed, with
// the generated art of the build.
//
// First, the whole game in the order of play, Menu to Level_40, each level
// entered once as a player enters it: each repetition is a fresh process
// for the engine and another for the reference, so that every switch pays
// what it pays in play (a heap grown for the first time, pages touched for
// the first time). Then what only a process's first switches pay (the first
// Level_32 switch after Level_1 and Level_31), and the memory a process holds
// back in Level_1 after Level_32 against one that only played Level_1.
//
// The timed runs then repeat Level_1 -> Level_31 -> Level_32 -> Level_1 ...
// in one process, each timed switch after the untimed ones before it: later
// switches of a process that has already been through these levels, whose
// heap has served them before (the game enters each level once, so these are
// warmer than play; Level_32 is the widest level, 7,000 pixels).
//
// The reference does the least any program must do for the same levels in
// the same order with bare SDL on SDL's own allocator: free the last level's
// pictures, load the next level's bitmaps and convert them to the display's
// format with the colour key.
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
#include "display/DisplayInternal.h"
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

// --- fresh processes ---

double CpuMs() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (double(use.ru_utime.tv_sec) + double(use.ru_stime.tv_sec)) * 1e3 +
           (double(use.ru_utime.tv_usec) + double(use.ru_stime.tv_usec)) / 1e3;
}

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Runs `measure` in a child process and returns the numbers it wrote.
template <class Measure>
std::vector<double> InChild(Measure measure, std::size_t count) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::vector<double> out = measure();
        (void)!write(fds[1], out.data(), out.size() * sizeof(double));
        _exit(0);
    }
    close(fds[1]);
    std::vector<double> got(count);
    const ssize_t n = read(fds[0], got.data(), count * sizeof(double));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (n != ssize_t(count * sizeof(double))) return {};
    return got;
}

// CPU and wall milliseconds of each of a process's first switches in play.
std::vector<double> FirstSwitches() {
    Game0();
    std::vector<double> out;
    for (const std::string& name : PlayOrder) {
        const double cpu = CpuMs();
        const auto start = std::chrono::steady_clock::now();
        SwitchTo(name);
        out.push_back(CpuMs() - cpu);
        out.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return out;
}

std::vector<double> ResidentAfter(const std::vector<std::string>& levels) {
    for (const std::string& name : levels) SwitchTo(name);
    return {ResidentMiB()};
}

void ReportFreshProcesses(int runs) {
    std::vector<double> cpu32, wall32, onlyLevel1, afterLevel32;
    for (int r = 0; r < runs; ++r) {
        const std::vector<double> first = InChild(FirstSwitches, 2 * PlayOrder.size());
        if (first.size() == 6) {
            cpu32.push_back(first[4]);
            wall32.push_back(first[5]);
        }
        const std::vector<double> only = InChild([] { return ResidentAfter({"Level_1"}); }, 1);
        const std::vector<double> back = InChild(
            [] {
                return ResidentAfter({"Level_1", "Level_31", "Level_32", "Level_1"});
            },
            1);
        if (!only.empty() && !back.empty()) {
            onlyLevel1.push_back(only[0]);
            afterLevel32.push_back(back[0]);
        }
    }
    using R = benchratio::RatioReporter;
    auto maxOf = [](const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); };
    std::printf("Fresh processes (%d of each)             min     median     max\n", runs);
    std::printf("first Level_32 switch, cpu ms      %9.2f %9.2f %9.2f\n", R::Min(cpu32), R::Median(cpu32),
                maxOf(cpu32));
    std::printf("first Level_32 switch, wall ms     %9.2f %9.2f %9.2f\n", R::Min(wall32), R::Median(wall32),
                maxOf(wall32));
    std::printf("resident in Level_1 only, MiB      %9.2f %9.2f %9.2f\n", R::Min(onlyLevel1), R::Median(onlyLevel1),
                maxOf(onlyLevel1));
    std::printf("resident back in Level_1, MiB      %9.2f %9.2f %9.2f\n", R::Min(afterLevel32), R::Median(afterLevel32),
                maxOf(afterLevel32));
    if (!onlyLevel1.empty())
        std::printf("back in Level_1 / Level_1 only     %9.2f\n\n", R::Median(afterLevel32) / R::Median(onlyLevel1));
}

// --- the whole game in play order, each level entered once ---

// Every level in the order the game plays them (the order nolt registers
// them in, Menu first, Level_40 last), each with the bitmap files it shows.
struct LevelFiles {
    std::string name;
    std::vector<std::string> files;
};

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double WallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs `measure` in a child process and returns the text it wrote.
template <class Measure>
std::string TextFromChild(Measure measure) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::string out = measure();
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += std::size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, std::size_t(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return got;
}

// Worked out in a child, so that this process builds no level before the
// measuring children are forked from it.
std::vector<LevelFiles> WholeGameFiles() {
    const std::string text = TextFromChild([] {
        Game0();
        std::map<int, std::string> byId;
        for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next()) {
            auto* level = static_cast<GameNode*>(n);
            if (level != Game0().idle) byId[level->Id()] = level->Name();
        }
        std::string out;
        for (const auto& [id, name] : byId) {
            SwitchTo(name);
            std::vector<std::string> files;
            const int number = LevelNumber(name);
            if (number >= 0) files = BitmapsOfCurrent(name);
            out += name;
            for (const std::string& f : files) out += '|' + f;
            out += '\n';
        }
        return out;
    });
    std::vector<LevelFiles> levels;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream parts(line);
        LevelFiles level;
        std::getline(parts, level.name, '|');
        for (std::string f; std::getline(parts, f, '|');) level.files.push_back(f);
        levels.push_back(level);
    }
    return levels;
}

// One switch's costs: CPU and wall milliseconds, resident MiB once entered.
struct SwitchCost {
    double cpu = 0, wall = 0, resident = 0;
};

std::vector<SwitchCost> ParseCosts(const std::string& text) {
    std::vector<SwitchCost> costs;
    std::istringstream in(text);
    for (SwitchCost c; in >> c.cpu >> c.wall >> c.resident;) costs.push_back(c);
    return costs;
}

template <class Enter>
std::string TimeEachSwitch(const std::vector<LevelFiles>& levels, Enter enter) {
    std::string out;
    for (const LevelFiles& level : levels) {
        const double cpu = ProcessCpuMs(), wall = WallMs();
        enter(level);
        out += std::to_string(ProcessCpuMs() - cpu) + ' ' + std::to_string(WallMs() - wall) + ' ' +
               std::to_string(ResidentMiB()) + '\n';
    }
    return out;
}

std::string EngineWholeGame(const std::vector<LevelFiles>& levels) {
    Game0();
    return TimeEachSwitch(levels, [](const LevelFiles& level) { SwitchTo(level.name); });
}

std::string SdlWholeGame(const std::vector<LevelFiles>& levels) {
    qel::TuneHeap();  // the C library's heap as the engine leaves it for any program it runs in
    std::vector<SDL_Surface*> shown;
    std::string out = TimeEachSwitch(levels, [&shown](const LevelFiles& level) { SdlShow(shown, level.files); });
    return out;
}

// Pairs of fresh processes, one playing the engine's switches through the
// whole game and one the reference's, in random order within each pair.
void ReportWholeGame(int pairs) {
    const std::vector<LevelFiles> levels = WholeGameFiles();
    if (levels.empty()) return;
    std::vector<std::vector<SwitchCost>> engine, sdl;
    std::mt19937 order(12345);
    for (int p = 0; p < pairs; ++p) {
        const bool engineFirst = order() % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            if ((k == 0) == engineFirst)
                engine.push_back(ParseCosts(TextFromChild([&] { return EngineWholeGame(levels); })));
            else
                sdl.push_back(ParseCosts(TextFromChild([&] { return SdlWholeGame(levels); })));
        }
    }
    using R = benchratio::RatioReporter;
    auto column = [](const std::vector<std::vector<SwitchCost>>& runs, std::size_t at, double SwitchCost::*field) {
        std::vector<double> v;
        for (const auto& run : runs)
            if (at < run.size()) v.push_back(run[at].*field);
        return v;
    };
    auto ratios = [&](std::size_t at) {
        std::vector<double> r;
        for (std::size_t p = 0; p < engine.size() && p < sdl.size(); ++p)
            if (at < engine[p].size() && at < sdl[p].size() && sdl[p][at].cpu > 0)
                r.push_back(engine[p][at].cpu / sdl[p][at].cpu);
        return r;
    };
    std::printf("The whole game's switches in play order, each level entered once (%d pairs of fresh processes)\n",
                pairs);
    std::printf("%-26s %8s %8s %13s %10s %10s\n", "level", "eng cpu", "ref cpu", "ratio min/med", "eng MiB", "ref MiB");
    std::vector<double> engineTotal(engine.size(), 0), sdlTotal(sdl.size(), 0);
    for (std::size_t at = 0; at < levels.size(); ++at) {
        for (std::size_t p = 0; p < engine.size(); ++p)
            if (at < engine[p].size()) engineTotal[p] += engine[p][at].cpu;
        for (std::size_t p = 0; p < sdl.size(); ++p)
            if (at < sdl[p].size()) sdlTotal[p] += sdl[p][at].cpu;
        const std::vector<double> r = ratios(at);
        std::printf("%-26s %8.2f %8.2f %6.2f/%-6.2f %10.2f %10.2f\n", levels[at].name.c_str(),
                    R::Median(column(engine, at, &SwitchCost::cpu)), R::Median(column(sdl, at, &SwitchCost::cpu)),
                    R::Min(r), R::Median(r), R::Median(column(engine, at, &SwitchCost::resident)),
                    R::Median(column(sdl, at, &SwitchCost::resident)));
    }
    std::vector<double> totalRatios;
    for (std::size_t p = 0; p < engineTotal.size() && p < sdlTotal.size(); ++p)
        if (sdlTotal[p] > 0) totalRatios.push_back(engineTotal[p] / sdlTotal[p]);
    std::printf("%-26s %8.2f %8.2f %6.2f/%-6.2f   (cpu ms, medians)\n\n", "all switches", R::Median(engineTotal),
                R::Median(sdlTotal), R::Min(totalRatios), R::Median(totalRatios));
}

}  // namespace

BENCHMARK(SwitchLevel1)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel1)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SwitchLevel31)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel31)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SwitchLevel32)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();
BENCHMARK(SdlLevel32)->Unit(benchmark::kMillisecond)->Iterations(10)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    // Before this process has built anything, so that the children start cold.
    ReportWholeGame(5);
    ReportFreshProcesses(5);
    return benchratio::RunInterleaved(
        argc, argv, {{"SwitchLevel1", "SdlLevel1"}, {"SwitchLevel31", "SdlLevel31"}, {"SwitchLevel32", "SdlLevel32"}},
        {}, 5);
}
