// Presenting a 640 x 480 x 32 frame and blitting a colour-keyed 640 x 480 map
// plus 200 colour-keyed sprites, each through the platform layer and through
// bare SDL calls doing the same work; the ratios are printed at the end. The
// synthetic art keys every third pixel (the worst case, which no game has);
// the game's own art (Level_1's map, the player, its shot and the goal) is
// what a frame really draws. SDL is measured both ways a programmer may use
// it: its plain colour-key blit (SDL_BlitSurface without SDL_RLEACCEL: a
// test of every pixel against the key, SDL's faster path for the synthetic
// art) and its RLE-encoded colour key (SDL_RLEACCEL, faster for the game's
// art).
//
// The windows: 64 x 64 keyed blits from a large map (7000 x 480 and
// 4096 x 2048), as a scrolling game draws it, steadily and with one pixel of
// the map written before each blit (a game drawing into its map), against
// SDL's plain colour-key blit of the same window after the same write.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Display.h"
#include "platform/MessageQueue.h"
#include "platform/Surface.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"

namespace {

constexpr int W = 640, H = 480, Sprites = 200, Side = 32;
constexpr std::uint32_t Key = 0xDC00FF;

// The game's art: its key is the COLORREF 0xDC00FF, stored as 0xFF00DC.
const std::string Art = std::string(QEL_BINARY_DIR) + "/game/Art Assets/";
constexpr COLORREF ArtKey = 0xDC00FF;
constexpr std::uint32_t ArtKeyRaw = 0xFF00DC;
const char* const ArtSprites[] = {"protag.bmp", "projectile.bmp", "goal.bmp", "protagr.bmp"};

struct Placement {
    int x, y;
};

// Fixed positions, some hanging over the edges so the clipper works too.
std::vector<Placement> SpritePlaces() {
    std::vector<Placement> out;
    std::uint32_t seed = 12345;
    for (int i = 0; i < Sprites; ++i) {
        seed = seed * 1103515245 + 12345;
        int x = int((seed >> 8) % (W + Side)) - Side / 2;
        seed = seed * 1103515245 + 12345;
        int y = int((seed >> 8) % (H + Side)) - Side / 2;
        out.push_back({x, y});
    }
    return out;
}

// Every third pixel holds the key; the rest a pattern.
template <typename Set>
void Paint(int w, int h, Set set) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) set(x, y, (x + y) % 3 == 0 ? Key : std::uint32_t(x * 2654435761u ^ y) & 0xFFFFFF);
}

void BM_LayerPresent(benchmark::State& state) {
    HWND window = qel::Window::Create({"bench", W, H, false, true});
    auto display = qel::Display::Create(window, W, H, 32);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    display->BackBuffer().Fill(nullptr, 0x336699);
    for (auto _ : state) display->Present();
    display.reset();
    qel::DestroyWindow(window);
    qel::ClearMessageQueue();
}

// The frame covers the whole window and replaces it, so a plain SDL program
// needs no clear; `cleared` clears first, as the engine did before.
void SdlPresent(benchmark::State& state, bool cleared) {
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, W, H, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, W, H);
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_FillRect(frame, nullptr, 0x336699);
    for (auto _ : state) {
        SDL_UpdateTexture(texture, nullptr, frame->pixels, frame->pitch);
        if (cleared) SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }
    SDL_FreeSurface(frame);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
}

void BM_SdlPresent(benchmark::State& state) { SdlPresent(state, false); }
void BM_SdlPresentCleared(benchmark::State& state) { SdlPresent(state, true); }

void BM_LayerBlits(benchmark::State& state) {
    auto back = qel::Surface::Create(W, H, 32);
    back->SetClipRect({0, 0, W, H});
    auto map = qel::Surface::Create(W, H, 32);
    auto sprite = qel::Surface::Create(Side, Side, 32);
    Paint(W, H, [&](int x, int y, std::uint32_t v) { map->SetRawPixel(x, y, v); });
    Paint(Side, Side, [&](int x, int y, std::uint32_t v) { sprite->SetRawPixel(x, y, v); });
    map->SetColorKey(Key);
    sprite->SetColorKey(Key);
    const auto places = SpritePlaces();
    for (auto _ : state) {
        back->Blit({0, 0, W, H}, *map, {0, 0, W, H}, qel::BlitSourceKey);
        for (const Placement& p : places)
            back->Blit({p.x, p.y, p.x + Side, p.y + Side}, *sprite, {0, 0, Side, Side}, qel::BlitSourceKey);
        benchmark::DoNotOptimize(back->Pixels());
    }
}

void BM_SdlBlits(benchmark::State& state) {
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* map = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, Side, Side, 32, SDL_PIXELFORMAT_RGB888);
    auto setter = [](SDL_Surface* s) {
        return
            [s](int x, int y, std::uint32_t v) { static_cast<std::uint32_t*>(s->pixels)[y * (s->pitch / 4) + x] = v; };
    };
    Paint(W, H, setter(map));
    Paint(Side, Side, setter(sprite));
    SDL_SetColorKey(map, SDL_TRUE, Key);
    SDL_SetColorKey(sprite, SDL_TRUE, Key);
    const auto places = SpritePlaces();
    for (auto _ : state) {
        SDL_BlitSurface(map, nullptr, back, nullptr);
        for (const Placement& p : places) {
            SDL_Rect dst{p.x, p.y, Side, Side};
            SDL_BlitSurface(sprite, nullptr, back, &dst);
        }
        benchmark::DoNotOptimize(back->pixels);
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(map);
    SDL_FreeSurface(back);
}

void BM_SdlRleBlits(benchmark::State& state) {
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* map = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, Side, Side, 32, SDL_PIXELFORMAT_RGB888);
    auto setter = [](SDL_Surface* s) {
        return
            [s](int x, int y, std::uint32_t v) { static_cast<std::uint32_t*>(s->pixels)[y * (s->pitch / 4) + x] = v; };
    };
    Paint(W, H, setter(map));
    Paint(Side, Side, setter(sprite));
    SDL_SetColorKey(map, SDL_TRUE | SDL_RLEACCEL, Key);
    SDL_SetColorKey(sprite, SDL_TRUE | SDL_RLEACCEL, Key);
    const auto places = SpritePlaces();
    for (auto _ : state) {
        SDL_BlitSurface(map, nullptr, back, nullptr);
        for (const Placement& p : places) {
            SDL_Rect dst{p.x, p.y, Side, Side};
            SDL_BlitSurface(sprite, nullptr, back, &dst);
        }
        benchmark::DoNotOptimize(back->pixels);
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(map);
    SDL_FreeSurface(back);
}

// A large map, keyed in blocks (what a level's transparent areas look like).
template <typename Set>
void PaintMap(int w, int h, Set set) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            set(x, y, (x / 48 + y / 40) % 3 == 0 ? Key : std::uint32_t(x * 2654435761u ^ y) & 0xFFFFFF);
}

constexpr int Window = 64;

// The i-th window's corner and the pixel written before it is drawn.
struct WindowPlace {
    int x, y, writeX, writeY;
};

WindowPlace WindowAt(int i, int w, int h) {
    const int x = (i * 97) % (w - Window), y = (i * 31) % (h - Window);
    return {x, y, x + 5, y + i % Window};
}

void LayerWindows(benchmark::State& state, bool write) {
    const int w = int(state.range(0)), h = int(state.range(1));
    auto back = qel::Surface::Create(W, H, 32);
    back->SetClipRect({0, 0, W, H});
    auto map = qel::Surface::Create(w, h, 32);
    PaintMap(w, h, [&](int x, int y, std::uint32_t v) { map->SetRawPixel(x, y, v); });
    map->SetColorKey(Key);
    int i = 0;
    for (auto _ : state) {
        const WindowPlace p = WindowAt(i++, w, h);
        if (write) map->SetRawPixel(p.writeX, p.writeY, std::uint32_t(i) & 0xFFFF);
        back->Blit({100, 100, 100 + Window, 100 + Window}, *map, {p.x, p.y, p.x + Window, p.y + Window},
                   qel::BlitSourceKey);
        benchmark::DoNotOptimize(back->Pixels());
    }
}

void SdlWindows(benchmark::State& state, bool write) {
    const int w = int(state.range(0)), h = int(state.range(1));
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* map = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    auto* pixels = static_cast<std::uint32_t*>(map->pixels);
    const int stride = map->pitch / 4;
    PaintMap(w, h, [&](int x, int y, std::uint32_t v) { pixels[y * stride + x] = v; });
    SDL_SetColorKey(map, SDL_TRUE, Key);
    int i = 0;
    for (auto _ : state) {
        const WindowPlace p = WindowAt(i++, w, h);
        if (write) pixels[p.writeY * stride + p.writeX] = std::uint32_t(i) & 0xFFFF;
        SDL_Rect from{p.x, p.y, Window, Window}, to{100, 100, Window, Window};
        SDL_BlitSurface(map, &from, back, &to);
        benchmark::DoNotOptimize(back->pixels);
    }
    SDL_FreeSurface(map);
    SDL_FreeSurface(back);
}

void BM_LayerWindow(benchmark::State& state) { LayerWindows(state, false); }
void BM_SdlWindow(benchmark::State& state) { SdlWindows(state, false); }
void BM_LayerWindowAfterWrite(benchmark::State& state) { LayerWindows(state, true); }
void BM_SdlWindowAfterWrite(benchmark::State& state) { SdlWindows(state, true); }

// The game's bitmaps loaded the engine's way (32-bit display).
void BM_LayerGameArt(benchmark::State& state) {
    displayDepth = 32;
    const std::string maps = Art + "Maps/", actors = Art + "Actors/";
    currentAssetFolder = maps.c_str();
    std::unique_ptr<qel::Surface> map(LoadImageFile(nullptr, "noltlvl1dash1.bmp", ArtKey));
    currentAssetFolder = actors.c_str();
    std::vector<std::unique_ptr<qel::Surface>> sprites;
    for (const char* name : ArtSprites) sprites.emplace_back(LoadImageFile(nullptr, name, ArtKey));
    for (const auto& s : sprites)
        if (!s || !map) {
            state.SkipWithError("the game's art is missing");
            return;
        }
    auto back = qel::Surface::Create(W, H, 32);
    back->SetClipRect({0, 0, W, H});
    const auto places = SpritePlaces();
    for (auto _ : state) {
        back->Blit({0, 0, W, H}, *map, {0, 0, W, H}, qel::BlitSourceKey);
        for (std::size_t i = 0; i < places.size(); ++i) {
            const qel::Surface& s = *sprites[i % sprites.size()];
            const Placement& p = places[i];
            back->Blit({p.x, p.y, p.x + s.Width(), p.y + s.Height()}, s, {0, 0, s.Width(), s.Height()},
                       qel::BlitSourceKey);
        }
        benchmark::DoNotOptimize(back->Pixels());
    }
}

// The same bitmaps as SDL surfaces of the same format with the same key.
void SdlGameArt(benchmark::State& state, bool rle) {
    auto load = [](const std::string& path, bool withRle) {
        SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
        if (!loaded) return static_cast<SDL_Surface*>(nullptr);
        SDL_Surface* shown = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
        SDL_FreeSurface(loaded);
        if (shown) SDL_SetColorKey(shown, SDL_TRUE | (withRle ? SDL_RLEACCEL : 0), ArtKeyRaw);
        return shown;
    };
    SDL_Surface* map = load(Art + "Maps/noltlvl1dash1.bmp", rle);
    std::vector<SDL_Surface*> sprites;
    for (const char* name : ArtSprites) sprites.push_back(load(Art + "Actors/" + name, rle));
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    const auto places = SpritePlaces();
    bool complete = map != nullptr;
    for (SDL_Surface* s : sprites) complete = complete && s != nullptr;
    if (!complete) state.SkipWithError("the game's art is missing");
    for (auto _ : state) {
        if (!complete) break;
        SDL_BlitSurface(map, nullptr, back, nullptr);
        for (std::size_t i = 0; i < places.size(); ++i) {
            SDL_Surface* s = sprites[i % sprites.size()];
            SDL_Rect dst{places[i].x, places[i].y, s->w, s->h};
            SDL_BlitSurface(s, nullptr, back, &dst);
        }
        benchmark::DoNotOptimize(back->pixels);
    }
    for (SDL_Surface* s : sprites) SDL_FreeSurface(s);
    SDL_FreeSurface(map);
    SDL_FreeSurface(back);
}

void BM_SdlGameArt(benchmark::State& state) { SdlGameArt(state, false); }
void BM_SdlRleGameArt(benchmark::State& state) { SdlGameArt(state, true); }

BENCHMARK(BM_LayerPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlPresentCleared)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LayerBlits)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlBlits)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlRleBlits)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LayerGameArt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlGameArt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlRleGameArt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LayerWindow)->Args({7000, 480})->Args({4096, 2048})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlWindow)->Args({7000, 480})->Args({4096, 2048})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LayerWindowAfterWrite)->Args({7000, 480})->Args({4096, 2048})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlWindowAfterWrite)->Args({7000, 480})->Args({4096, 2048})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    const int result =
        benchratio::RunInterleaved(argc, argv,
                                   {{"BM_LayerPresent", "BM_SdlPresent"},
                                    {"BM_LayerPresent", "BM_SdlPresentCleared"},
                                    {"BM_LayerBlits", "BM_SdlBlits"},
                                    {"BM_LayerBlits", "BM_SdlRleBlits"},
                                    {"BM_LayerGameArt", "BM_SdlGameArt"},
                                    {"BM_LayerGameArt", "BM_SdlRleGameArt"},
                                    {"BM_LayerWindow/7000/480", "BM_SdlWindow/7000/480"},
                                    {"BM_LayerWindow/4096/2048", "BM_SdlWindow/4096/2048"},
                                    {"BM_LayerWindowAfterWrite/7000/480", "BM_SdlWindowAfterWrite/7000/480"},
                                    {"BM_LayerWindowAfterWrite/4096/2048", "BM_SdlWindowAfterWrite/4096/2048"}},
                                   {}, 5);
    SDL_Quit();
    return result;
}
