// Start-up: the game started as nolt starts it, through to its first level
// (the Menu), and ended (bench/start/EngineStart.cpp), against a bare SDL2
// program doing the same set-up (bench/start/SdlStart.cpp: init, window,
// renderer and streaming texture, audio device, the fonts the engine opens,
// the Menu's bitmap and one present, its actors' bitmaps, its sounds and
// the start of its music). Each run is a fresh process; the figures are its CPU time (user
// and system) and its peak resident memory, as the system counts them when
// it ends. The engine's specified one-second pause after its display is up
// costs no CPU; it is left out of the wall time shown.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <map>
#include <string>
#include <vector>

#include "BenchRatio.h"

extern char** environ;

namespace {

const std::string Build = QEL_BINARY_DIR;

struct Child {
    double cpuMs = 0;
    double peakMiB = 0;
    bool ok = false;
};

// Runs a program in `folder`, with its own folder for the single-instance
// lock, so that a game running elsewhere on the machine does not stop it.
Child Run(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return child;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return child;
    child.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    child.cpuMs = (double(use.ru_utime.tv_sec) + double(use.ru_stime.tv_sec)) * 1e3 +
                  (double(use.ru_utime.tv_usec) + double(use.ru_stime.tv_usec)) / 1e3;
    child.peakMiB = double(use.ru_maxrss) / 1024.0;
    return child;
}

// Per repetition: the peak resident memory of its last child, and its
// children's mean CPU time. The ratios printed by the runner compare this
// process's own CPU, which here is only waiting; these compare the children.
std::map<std::string, std::vector<double>> peaks;
std::map<std::string, std::vector<double>> cpus;

// The time of an iteration is the child's CPU time.
void Start(benchmark::State& state, const std::string& name, const std::vector<std::string>& args) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    static std::string lockFolder = [] {
        char folder[] = "/tmp/qel-bench-start-XXXXXX";
        return std::string(mkdtemp(folder) ? folder : "/tmp");
    }();
    setenv("XDG_RUNTIME_DIR", lockFolder.c_str(), 1);
    double peak = 0;
    double cpuMs = 0;
    for (auto _ : state) {
        // The game finds its data in the folder it runs in.
        const Child child = Run(args, Build + "/game");
        if (!child.ok) {
            state.SkipWithError("the program did not run");
            return;
        }
        state.SetIterationTime(child.cpuMs / 1e3);
        peak = child.peakMiB;
        cpuMs += child.cpuMs;
    }
    state.counters["peak_mib"] = peak;
    peaks[name].push_back(peak);
    cpus[name].push_back(cpuMs / double(state.iterations()));
}

void EngineStart(benchmark::State& state) { Start(state, "EngineStart", {Build + "/bench/bench_start_engine"}); }

// What the engine's start to the Menu opens: the faces its console and
// frame-rate texts stand on, the Menu's map, the actors' bitmaps, the sound
// effects and the music it starts.
std::vector<std::string> MenuFiles() {
    const std::string art = Build + "/game/Art Assets/";
    std::vector<std::string> files{art + "Maps/title.bmp", "font:Liberation Sans", "font:Liberation Sans:bold",
                                   "font:Liberation Sans Narrow:bold"};
    for (const char* actor : {"titlescreen", "protag", "protagy", "protagr", "protagm", "protagg", "protagb", "decider",
                              "clearObstWhite", "clearObst", "clear", "camera"})
        files.push_back(art + "Actors/" + actor + ".bmp");
    for (const char* effect : {"Jump", "Shoot"}) files.push_back(art + "Sounds/SFX/" + effect + ".wav");
    files.push_back(art + "Sounds/Music/Enter.wav");
    return files;
}

void SdlStart(benchmark::State& state) {
    std::vector<std::string> args{Build + "/bench/bench_start_sdl"};
    for (const std::string& file : MenuFiles()) args.push_back(file);
    Start(state, "SdlStart", args);
}

}  // namespace

BENCHMARK(EngineStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(SdlStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char** argv) {
    const int result = benchratio::RunInterleaved(argc, argv, {{"EngineStart", "SdlStart"}}, {}, 5);
    using R = benchratio::RatioReporter;
    // The n-th repetitions of engine and reference are a pair, as the runner pairs them.
    auto print = [](const char* what, const char* unit, const std::vector<double>& e, const std::vector<double>& r) {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < e.size() && i < r.size(); ++i) ratios.push_back(e[i] / r[i]);
        std::printf("%s: engine %.2f %s, bare SDL %.2f %s, ratio min/median %.2f/%.2f\n", what, R::Median(e), unit,
                    R::Median(r), unit, R::Min(ratios), R::Median(ratios));
    };
    std::printf("\n");
    print("child CPU", "ms", cpus["EngineStart"], cpus["SdlStart"]);
    print("peak resident", "MiB", peaks["EngineStart"], peaks["SdlStart"]);
    std::printf(
        "(the ms columns above are the child processes' CPU time; the table's cpu columns are this process's)\n");
    return result;
}
