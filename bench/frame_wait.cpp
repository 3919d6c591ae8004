// The frame wait of a level at 60 fps with no work in the frame: the CPU it
// takes per frame and how exactly frames keep their length (the spread of
// frame times around their mean, and the farthest frame). The reference is
// a wait that spins on the clock for the whole time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchRatio.h"
#include "platform/Clock.h"
#include "runtime/GameNode.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Wait>
void Frames(benchmark::State& state, Wait wait) {
    GameNode level;
    level.FPStoMS(60);
    std::vector<double> lengths;
    Clock::time_point last = Clock::now();
    for (auto _ : state) {
        level.StartTimer();
        level.EndTimer();
        wait(level);
        const Clock::time_point now = Clock::now();
        lengths.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    if (lengths.size() < 3) return;
    lengths.erase(lengths.begin());  // the first frame started before the loop
    double mean = 0;
    for (double l : lengths) mean += l;
    mean /= double(lengths.size());
    double square = 0, farthest = 0;
    for (double l : lengths) {
        square += (l - mean) * (l - mean);
        farthest = std::max(farthest, std::fabs(l - mean));
    }
    state.counters["frame_ms"] = mean;
    state.counters["spread_ms"] = std::sqrt(square / double(lengths.size()));
    state.counters["farthest_ms"] = farthest;
}

void EngineWait(benchmark::State& state) {
    Frames(state, [](GameNode& level) { level.Idle(); });
}

// The whole wait spent reading the clock.
void SpinWait(benchmark::State& state) {
    Frames(state, [](GameNode& level) {
        const std::uint32_t wait = level.Period() > level.Elapsed() ? level.Period() - level.Elapsed() : 0;
        const std::uint32_t t0 = qel::TimeGetTime();
        while (qel::TimeGetTime() - t0 < wait) {
        }
    });
}

}  // namespace

BENCHMARK(EngineWait)->Unit(benchmark::kMillisecond)->Iterations(240);
BENCHMARK(SpinWait)->Unit(benchmark::kMillisecond)->Iterations(240);

int main(int argc, char** argv) { return benchratio::RunWithRatios(argc, argv, {{"EngineWait", "SpinWait"}}); }
