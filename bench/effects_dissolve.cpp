// One update of a one-second dissolve (60 frames, 204 blocks marked per
// update) on a 640 x 480 display once nearly every block is marked: the
// marking tries plus up to 12288 blocks of 5 x 5 pixels repainted into the
// back buffer, for each kind and the depths the game uses. The reference
// paints the same blocks, in the same order and with a colour drawn per block
// for the random kinds, with SDL_FillRect into an SDL surface of the same
// depth (it does not mark blocks: the blocks are those the engine marked).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "BenchRatio.h"
#include "display/DisplayInternal.h"
#include "display/RandomDissolve.h"
#include "display/Screen.h"
#include "platform/Surface.h"

namespace {

constexpr int W = 640, H = 480, Block = 5;
constexpr std::uint32_t Unpainted = 0x123456;

// Runs a dissolve of that kind past its start on a back buffer of that
// depth, then hands it over with the surface.
template <class Measure>
void WithDissolve(int depth, int kind, Measure measure) {
    displayWidth = W;
    displayHeight = H;
    displayDepth = depth;
    auto back = qel::Surface::Create(W, H, depth);
    back->Fill(nullptr, Unpainted);
    pBackBuffer = back.get();
    Screen screen(*back);
    pScreen = &screen;
    RandomDissolve dissolve;
    // The long delay keeps the dissolve running with its blocks painted.
    if (kind == 0) dissolve.OneColor(0x00FF00, 60, 1 << 30);
    if (kind == 1) dissolve.MultiColor(60, 1 << 30);
    if (kind == 2) dissolve.BlackAndWhite(60, 1 << 30);
    for (int i = 0; i < 120; ++i) dissolve.Update();
    measure(dissolve, *back);
    pScreen = nullptr;
    pBackBuffer = nullptr;
}

void DissolveUpdate(benchmark::State& state) {
    WithDissolve(int(state.range(0)), int(state.range(1)), [&state](RandomDissolve& dissolve, qel::Surface& back) {
        for (auto _ : state) {
            dissolve.Update();
            benchmark::DoNotOptimize(back.Pixels());
        }
    });
}

void SdlFill(benchmark::State& state) {
    const int depth = int(state.range(0)), kind = int(state.range(1));
    // The blocks the engine's dissolve has marked, columns outer as it paints them.
    std::vector<SDL_Rect> blocks;
    WithDissolve(depth, kind, [&blocks](RandomDissolve&, qel::Surface& back) {
        const std::uint32_t unpainted = back.BitsPerPixel() == 16 ? (Unpainted & 0xFFFF) : Unpainted;
        for (int x = 0; x < W / Block; ++x)
            for (int y = 0; y < H / Block; ++y)
                if (back.GetRawPixel(x * Block, y * Block) != unpainted)
                    blocks.push_back({x * Block, y * Block, Block, Block});
    });
    SDL_Surface* back =
        SDL_CreateRGBSurfaceWithFormat(0, W, H, depth, depth == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888);
    std::uint32_t seed = 1;
    auto draw = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return Uint8((seed >> 16) % unsigned(range));
    };
    for (auto _ : state) {
        for (const SDL_Rect& r : blocks) {
            Uint32 colour = 0;
            if (kind == 0) {
                colour = SDL_MapRGB(back->format, 0x00, 0xFF, 0x00);
            } else if (kind == 1) {
                const Uint8 red = draw(256), green = draw(256), blue = draw(256);
                colour = SDL_MapRGB(back->format, red, green, blue);
            } else {
                const Uint8 grey = draw(256);
                colour = SDL_MapRGB(back->format, grey, grey, grey);
            }
            SDL_FillRect(back, &r, colour);
        }
        benchmark::DoNotOptimize(back->pixels);
    }
    state.counters["blocks"] = double(blocks.size());
    SDL_FreeSurface(back);
}

}  // namespace

BENCHMARK(DissolveUpdate)->ArgsProduct({{16, 32}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(SdlFill)->ArgsProduct({{16, 32}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    std::vector<benchratio::Pair> pairs;
    for (const char* depth : {"16", "32"})
        for (const char* kind : {"0", "1", "2"}) {
            const std::string args = std::string("/") + depth + "/" + kind;
            pairs.push_back({"DissolveUpdate" + args, "SdlFill" + args});
        }
    return benchratio::RunInterleaved(argc, argv, pairs, {}, 5);
}
