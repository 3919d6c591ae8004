// The command line of the game's own process (bench_game_levels) and of its
// bare-SDL reference (bench_sdl_levels): both take the same options, so that
// one run of either is asked for in the same words.
#pragma once
#include <sys/prctl.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace levelrun {

struct Options {
    int frames = 20;
    int idleFrames = 0;
    bool all = false;
    std::string plan;
    std::vector<std::string> levels;
};

// False on an unknown option, no frames, or no level named.
inline bool ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--no-thp")
            prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
        else if (arg == "--frames" && hasValue)
            options.frames = std::atoi(argv[++i]);
        else if (arg == "--idle" && hasValue)
            options.idleFrames = std::atoi(argv[++i]);
        else if (arg == "--plan" && hasValue)
            options.plan = argv[++i];
        else if (arg == "--all")
            options.all = true;
        else if (arg.rfind("--", 0) == 0)
            return false;
        else
            options.levels.push_back(arg);
    }
    return options.frames > 0 && (options.all || !options.levels.empty());
}

}  // namespace levelrun
