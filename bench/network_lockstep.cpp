// Frames per second of two peers in lockstep on loopback, each frame through
// the engine's own exchange (net::ExchangeInput: the frame's records out,
// then the admitted input awaited in 10 ms steps), with 0, 25 and 50 ms added
// to every delivery between them. There is no faster program to compare
// with: the protocol itself sets the limit. Each frame waits for every
// peer's input of that frame, so a frame cannot take less than one one-way
// trip, and the engine looks for the input every 10 ms: the limit is the
// larger of the two, printed as limit_ms, and over_limit is the ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "../tests/network/LockstepPair.h"

namespace {

constexpr int FramesPerRound = 20;
constexpr double PollStepMs = 10;

void LockstepFrames(benchmark::State& state) {
    LockstepOptions options;
    options.latency = std::chrono::milliseconds(state.range(0));
    options.enginePath = true;
    LockstepPair pair(options);
    if (!pair.Ready() || !pair.RunFrames(1)) {
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
    const double limit = std::max(double(state.range(0)), PollStepMs);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["ms_per_frame"] = spent.count() / frames;
    state.counters["limit_ms"] = limit;
    state.counters["over_limit"] = spent.count() / frames / limit;
}

}  // namespace

BENCHMARK(LockstepFrames)->Arg(0)->Arg(25)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

BENCHMARK_MAIN();
