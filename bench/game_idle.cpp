// The game idling in a level: the game's own process (bench/game/GameLevels.cpp,
// nolt as it runs, with its window, display, music and frame pacing) standing
// in Level_1 and in Level_31 with no key pressed, against a bare SDL2 program
// (bench/game/SdlLevels.cpp) with the same display and audio device doing the
// same blits each frame (the map's part in view and every sprite the engine
// drew in that level's frame, with their colour keys, through SDL's RLE key,
// its faster blit for the game's art), presenting, streaming
// the same music and waiting with SDL_Delay for the frame's end. The
// reference runs no game logic, so it is a lower bound. Each run enters the
// level after the Menu, waits 60 frames, then measures 240: the whole
// process's CPU per frame, the mean frame length, the spread of frame
// lengths (standard deviation) and the farthest frame from the mean.
//
// A repetition's time is its child's CPU per frame (manual time); the
// summary after the table pairs the n-th engine and reference repetitions.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "game/GameRuns.h"

namespace {

constexpr int SettleFrames = 60, MeasuredFrames = 240;

// The reference's plan: the blits of each level's frame after the settling
// frames, written by an engine run through both levels.
const std::string& PlanFile() {
    static const std::string file = [] {
        char name[] = "/tmp/qel-bench-idle-plan-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        gameruns::Start(gameruns::Engine,
                        {"--frames", std::to_string(SettleFrames), "--plan", name, "Level_1", "Level_31"});
        return std::string(name);
    }();
    return file;
}

std::map<std::string, std::vector<gameruns::IdleFrames>> measured;

void Idle(benchmark::State& state, const std::string& name, bool engine, const std::string& level) {
    std::vector<std::string> args{"--frames", std::to_string(SettleFrames), "--idle", std::to_string(MeasuredFrames)};
    if (!engine) args.insert(args.end(), {"--plan", PlanFile()});
    args.push_back(level);
    gameruns::IdleFrames idle;
    for (auto _ : state) {
        const gameruns::Run run = gameruns::Start(engine ? gameruns::Engine : gameruns::Reference, args);
        if (!run.ok || run.idle.frameMs == 0) {
            state.SkipWithError("the program did not run");
            return;
        }
        idle = run.idle;
        state.SetIterationTime(idle.cpuMsPerFrame / 1e3);
    }
    state.counters["frame_ms"] = idle.frameMs;
    state.counters["spread_ms"] = idle.spreadMs;
    state.counters["farthest_ms"] = idle.farthestMs;
    measured[name].push_back(idle);
}

void EngineLevel1(benchmark::State& state) { Idle(state, "EngineLevel1", true, "Level_1"); }
void SdlLevel1(benchmark::State& state) { Idle(state, "SdlLevel1", false, "Level_1"); }
void EngineLevel31(benchmark::State& state) { Idle(state, "EngineLevel31", true, "Level_31"); }
void SdlLevel31(benchmark::State& state) { Idle(state, "SdlLevel31", false, "Level_31"); }

void PrintSummary(const char* level, const std::string& engineName, const std::string& referenceName) {
    const std::vector<gameruns::IdleFrames>& e = measured[engineName];
    const std::vector<gameruns::IdleFrames>& r = measured[referenceName];
    auto field = [](const std::vector<gameruns::IdleFrames>& v, double gameruns::IdleFrames::*f) {
        std::vector<double> out;
        for (const gameruns::IdleFrames& i : v) out.push_back(i.*f);
        return out;
    };
    using gameruns::Max;
    using gameruns::Median;
    using gameruns::Min;
    const std::vector<double> ratio = gameruns::Ratios(field(e, &gameruns::IdleFrames::cpuMsPerFrame),
                                                       field(r, &gameruns::IdleFrames::cpuMsPerFrame));
    std::printf(
        "%-9s cpu ms/frame engine %.3f (%.3f to %.3f), bare SDL %.3f (%.3f to %.3f), ratio min/median %.2f/%.2f\n",
        level, Median(field(e, &gameruns::IdleFrames::cpuMsPerFrame)),
        Min(field(e, &gameruns::IdleFrames::cpuMsPerFrame)), Max(field(e, &gameruns::IdleFrames::cpuMsPerFrame)),
        Median(field(r, &gameruns::IdleFrames::cpuMsPerFrame)), Min(field(r, &gameruns::IdleFrames::cpuMsPerFrame)),
        Max(field(r, &gameruns::IdleFrames::cpuMsPerFrame)), Min(ratio), Median(ratio));
    std::printf(
        "%-9s frame ms engine %.2f, spread %.2f, farthest %.2f; bare SDL %.2f, spread %.2f, farthest %.2f "
        "(medians)\n",
        level, Median(field(e, &gameruns::IdleFrames::frameMs)), Median(field(e, &gameruns::IdleFrames::spreadMs)),
        Median(field(e, &gameruns::IdleFrames::farthestMs)), Median(field(r, &gameruns::IdleFrames::frameMs)),
        Median(field(r, &gameruns::IdleFrames::spreadMs)), Median(field(r, &gameruns::IdleFrames::farthestMs)));
}

}  // namespace

BENCHMARK(EngineLevel1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(SdlLevel1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(EngineLevel31)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(SdlLevel31)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) {
    gameruns::PrepareEnvironment();
    const std::string loadBefore = gameruns::LoadAverage();
    PlanFile();
    const int result =
        benchratio::RunInterleaved(argc, argv, {{"EngineLevel1", "SdlLevel1"}, {"EngineLevel31", "SdlLevel31"}}, {}, 5);
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    std::printf(
        "\nThe children's figures, repetitions paired in order (video driver %s; load average %s before, %s "
        "after):\n",
        driver ? driver : "(SDL's choice)", loadBefore.c_str(), gameruns::LoadAverage().c_str());
    PrintSummary("Level_1", "EngineLevel1", "SdlLevel1");
    PrintSummary("Level_31", "EngineLevel31", "SdlLevel31");
    std::printf("(the table's ms columns are the children's CPU per frame; its cpu columns are this process's)\n");
    std::remove(PlanFile().c_str());
    return result;
}
