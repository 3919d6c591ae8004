// Runs of the game's own process (bench_game_levels) and of its bare-SDL
// reference (bench_sdl_levels) for the benches that measure the game as it
// runs: each a fresh process in the game's folder, with SDL's dummy drivers
// unless the environment names others, and a folder of its own for the
// single-instance lock, so that a game running elsewhere does not stop it.
// Their lines ("switch", "level", "idle") are parsed here.
#pragma once
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace gameruns {

const std::string Build = QEL_BINARY_DIR;
const std::string Engine = Build + "/bench/bench_game_levels";
const std::string Reference = Build + "/bench/bench_sdl_levels";

struct Switch {
    std::string level;
    double cpuMs = 0, wallMs = 0;
};

struct InLevel {
    std::string level;
    double residentMiB = 0, heapInUseMiB = 0, heapArenaMiB = 0;
};

struct IdleFrames {
    double cpuMsPerFrame = 0, frameMs = 0, spreadMs = 0, farthestMs = 0;
};

struct Run {
    bool ok = false;
    std::vector<Switch> switches;
    std::vector<InLevel> levels;
    IdleFrames idle;
};

inline void PrepareEnvironment() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    static const std::string lockFolder = [] {
        char folder[] = "/tmp/qel-bench-game-XXXXXX";
        return std::string(mkdtemp(folder) ? folder : "/tmp");
    }();
    setenv("XDG_RUNTIME_DIR", lockFolder.c_str(), 1);
}

inline Run Parse(const std::string& text) {
    Run run;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream f(line);
        std::string word;
        f >> word;
        if (word == "switch") {
            Switch s;
            f >> s.level >> s.cpuMs >> s.wallMs;
            run.switches.push_back(s);
        } else if (word == "level") {
            InLevel l;
            f >> l.level >> l.residentMiB >> l.heapInUseMiB >> l.heapArenaMiB;
            run.levels.push_back(l);
        } else if (word == "idle") {
            std::string level;
            f >> level >> run.idle.cpuMsPerFrame >> run.idle.frameMs >> run.idle.spreadMs >> run.idle.farthestMs;
        }
    }
    return run;
}

// The program with these arguments, its standard output parsed.
inline Run Start(const std::string& program, const std::vector<std::string>& arguments) {
    PrepareEnvironment();
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The game finds its data in the folder it runs in.
    posix_spawn_file_actions_addchdir_np(&actions, (Build + "/game").c_str());
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; spawned == 0 && (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    close(fds[0]);
    if (spawned != 0) return {};
    int status = 0;
    waitpid(pid, &status, 0);
    Run run = Parse(text);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

inline double Min(const std::vector<double>& v) {
    double m = v.empty() ? 0 : v.front();
    for (double x : v) m = x < m ? x : m;
    return m;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

inline double Max(const std::vector<double>& v) {
    double m = v.empty() ? 0 : v.front();
    for (double x : v) m = x > m ? x : m;
    return m;
}

// Element-wise a[i] / b[i] for the pairs both have.
inline std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> r;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0) r.push_back(a[i] / b[i]);
    return r;
}

// Strips "--name=value" from the command line and returns the value, or
// `fallback` when it is not given.
inline int TakeFlag(int& argc, char** argv, const std::string& name, int fallback) {
    const std::string prefix = "--" + name + "=";
    int value = fallback;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind(prefix, 0) == 0)
            value = std::atoi(argv[i] + prefix.size());
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return value;
}

// The machine's load when a figure was taken, for the record beside it.
inline std::string LoadAverage() {
    std::FILE* f = std::fopen("/proc/loadavg", "r");
    if (!f) return "?";
    char text[64] = {};
    const bool got = std::fgets(text, sizeof text, f) != nullptr;
    std::fclose(f);
    std::string s = got ? text : "?";
    return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
}

}  // namespace gameruns
