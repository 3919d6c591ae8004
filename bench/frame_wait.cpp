// Frames of a level at 60 fps that each blit a 640 x 480 picture, as the
// Menu and Level_1 draw their background, then wait for the end of the
// frame: the CPU the whole process takes per frame, and how exactly frames
// keep their length (the spread of frame times around their mean, and the
// farthest frame). The engine waits with its level's own pacing on its
// millisecond clock; the reference is a plain SDL2 loop doing the same blit
// and pacing with SDL_Delay on SDL_GetTicks.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchRatio.h"
#include "runtime/GameNode.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Width = 640, Height = 480;

// The frame's work: a whole-screen picture onto the back buffer.
struct Screen {
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, Width, Height, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, Width, Height, 32, SDL_PIXELFORMAT_RGB888);

    Screen() { SDL_FillRect(picture, nullptr, 0x336699); }
    ~Screen() {
        SDL_FreeSurface(picture);
        SDL_FreeSurface(back);
    }
    void Draw() { SDL_BlitSurface(picture, nullptr, back, nullptr); }
};

struct Lengths {
    std::vector<double> ms;
    Clock::time_point last = Clock::now();

    void FrameEnded() {
        const Clock::time_point now = Clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }

    void Report(benchmark::State& state) {
        if (ms.size() < 3) return;
        ms.erase(ms.begin());  // the first frame started before the loop
        double mean = 0;
        for (double l : ms) mean += l;
        mean /= double(ms.size());
        double square = 0, farthest = 0;
        for (double l : ms) {
            square += (l - mean) * (l - mean);
            farthest = std::max(farthest, std::fabs(l - mean));
        }
        state.counters["frame_ms"] = mean;
        state.counters["spread_ms"] = std::sqrt(square / double(ms.size()));
        state.counters["farthest_ms"] = farthest;
    }
};

void EngineFrames(benchmark::State& state) {
    Screen screen;
    GameNode level;
    level.FPStoMS(60);
    Lengths lengths;
    for (auto _ : state) {
        level.StartTimer();
        screen.Draw();
        level.EndTimer();
        level.Idle();
        lengths.FrameEnded();
    }
    lengths.Report(state);
}

void SdlDelayFrames(benchmark::State& state) {
    Screen screen;
    constexpr std::uint32_t period = 1000 / 60;
    Lengths lengths;
    for (auto _ : state) {
        const std::uint32_t start = SDL_GetTicks();
        screen.Draw();
        const std::uint32_t elapsed = SDL_GetTicks() - start;
        if (elapsed < period) SDL_Delay(period - elapsed);
        lengths.FrameEnded();
    }
    lengths.Report(state);
}

}  // namespace

BENCHMARK(EngineFrames)->Unit(benchmark::kMillisecond)->Iterations(240)->MeasureProcessCPUTime();
BENCHMARK(SdlDelayFrames)->Unit(benchmark::kMillisecond)->Iterations(240)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    SDL_Init(SDL_INIT_TIMER);
    const int result = benchratio::RunInterleaved(argc, argv, {{"EngineFrames", "SdlDelayFrames"}}, {}, 5);
    SDL_Quit();
    return result;
}
