// One update of a one-second dissolve (60 frames, 204 blocks marked per
// update) on a 640 x 480 display once nearly every block is marked: the
// marking tries plus up to 12288 blocks of 5 x 5 pixels repainted into the
// back buffer, for each kind and the depths the game uses. A frame at 60 per
// second has 16.7 ms.
#include <benchmark/benchmark.h>

#include <memory>

#include "display/Display.h"
#include "display/RandomDissolve.h"
#include "display/Screen.h"
#include "platform/Surface.h"

namespace {

void DissolveUpdate(benchmark::State& state) {
    const int depth = int(state.range(0));
    const int kind = int(state.range(1));
    displayWidth = 640;
    displayHeight = 480;
    displayDepth = depth;
    auto back = qel::Surface::Create(640, 480, depth);
    pBackBuffer = back.get();
    Screen screen(*back);
    pScreen = &screen;
    RandomDissolve dissolve;
    // The long delay keeps the dissolve running with its blocks painted.
    if (kind == 0) dissolve.OneColor(0x00FF00, 60, 1 << 30);
    if (kind == 1) dissolve.MultiColor(60, 1 << 30);
    if (kind == 2) dissolve.BlackAndWhite(60, 1 << 30);
    for (int i = 0; i < 120; ++i) dissolve.Update();
    for (auto _ : state) {
        dissolve.Update();
        benchmark::DoNotOptimize(back->Pixels());
    }
    pScreen = nullptr;
    pBackBuffer = nullptr;
}

}  // namespace

BENCHMARK(DissolveUpdate)->ArgsProduct({{16, 32}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
