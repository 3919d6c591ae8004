// Frames per second of two peers in lockstep on loopback, with 0, 25 and 50 ms
// added to every delivery between them. Each frame waits for the other
// peer's input of that frame, so a frame cannot take less than the delay;
// the frames are not paced, so 0 ms shows the exchange's own cost.
#include <benchmark/benchmark.h>

#include <chrono>

#include "../tests/network/LockstepPair.h"

namespace {

constexpr int FramesPerRound = 20;

void LockstepFrames(benchmark::State& state) {
    LockstepPair pair{std::chrono::milliseconds(state.range(0))};
    if (!pair.Ready()) {
        state.SkipWithError("the peers could not open their session");
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!pair.RunFrames(FramesPerRound)) {
            state.SkipWithError("a frame waited more than five seconds");
            return;
        }
    }
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    const auto frames = double(state.iterations()) * FramesPerRound;
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["ms_per_frame"] = spent.count() / frames;
}

}  // namespace

BENCHMARK(LockstepFrames)->Arg(0)->Arg(25)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
