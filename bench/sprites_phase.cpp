// The sprite phase of a frame (animation, translation, position update and
// drawing of every sprite of one map) for 10 to 5000 sprites, with the time
// per sprite, to show how it grows. The sprites pace to and fro inside the
// view, so every one of them is drawn (a keyed 32 x 32 blit) every frame.
// The reference does the same work plainly over an array of structs with
// bare SDL: each sprite's frame counter, its move by direction times speed
// (turning back every 30 frames) and the keyed blit of its frame, clipped to
// the back buffer, through SDL's plain colour-key blit and through its RLE
// colour key (the faster for these discs).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "BenchRatio.h"

#include "display/DisplayInternal.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

namespace {

constexpr int Actor = 1;
constexpr std::uint32_t Key = 0x00FF00;

struct Scene {
    GameNode level;
    std::unique_ptr<qel::Surface> backBuffer = qel::Surface::Create(640, 480, 32);
    std::vector<std::unique_ptr<qel::Surface>> images;
    int frames = 0;

    explicit Scene(int sprites) {
        gNode = &level;
        level.WorldWidth(2048);
        level.WorldHeight(1024);
        LevelViewPort() = ViewPort(2048, 1024, 0, 0, 640, 480);
        pBackBuffer = backBuffer.get();
        SpriteElem& slot = SpriteList[Actor];
        slot.AnimationCount = 1;
        slot.Animations = new AnimationElem[1];
        AnimationElem& walk = slot.Animations[0];
        walk.FrameCount = 4;
        walk.Frames = new FrameElem[4];
        for (int f = 0; f < 4; ++f) {
            FrameElem& frame = walk.Frames[f];
            frame.Width = frame.Height = 32;
            frame.Delay = 3;
            frame.UseColorKey = true;
            frame.HasHFlip = true;
            for (int s = 0; s < 4; ++s) {
                images.push_back(qel::Surface::Create(32, 32, 32));
                Paint(*images.back(), f);
                images.back()->SetColorKey(Key);
                frame.Surfaces[s] = images.back().get();
            }
        }
        for (int i = 0; i < sprites; ++i) {
            Sprite s;
            s.ActorIndex(Actor);
            s.MapPosition(static_cast<float>(200 + (i * 37) % 240), static_cast<float>(100 + (i * 53) % 250), false);
            s.Speed(5.5f);
            s.VectorDirection(i % 2 ? 1.0f : -1.0f, 0.25f, 0);
            s.CreateSprite();
        }
    }

    ~Scene() {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        for (int f = 0; f < 4; ++f)
            for (int s = 0; s < 4; ++s) SpriteList[Actor].Animations[0].Frames[f].Surfaces[s] = nullptr;
        SpriteList[Actor].Empty();
        pBackBuffer = nullptr;
        gNode = nullptr;
    }

    static void Paint(qel::Surface& image, int frame) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) image.SetRawPixel(x, y, Figure(x, y, frame));
    }

    // A figure: a disc of colour on the key, a little different per frame.
    static std::uint32_t Figure(int x, int y, int frame) {
        const int dx = x - 16, dy = y - 16;
        return dx * dx + dy * dy < 14 * 14 ? 0x204080u + std::uint32_t(frame * 0x101010 + x * 4) : Key;
    }

    // The frame step's per-sprite work without collisions. Every 30 frames
    // the sprites turn back, so that they stay in view.
    void Frame() {
        const bool turn = ++frames % 30 == 0;
        for (int n = 0; n < GameNode::DisplayListCount; ++n) {
            List& list = level.DisplayList(n);
            for (node* p = list.Head(); !p->EOList(); p = p->Next()) {
                Sprite& s = *static_cast<Sprite*>(p);
                if (turn) s.VectorDirection(-s.DirectionX(), -s.DirectionY(), 0);
                s.UpdateAnimation();
                s.GetTranslation();
                s.ResetCollisionState(true);
                s.UpdateTranslation();
                s.UpdateSprite();
                s.DisplaySprite();
                s.HandleLastFlipPR();
                s.EndDisplacement();
            }
        }
    }
};

void PerSprite(benchmark::State& state) {
    state.counters["per_sprite"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SpritePhase(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) scene.Frame();
    PerSprite(state);
}

// The same sprites as plain records and SDL surfaces.
struct PlainSprite {
    float x, y, dx, dy;
    int frame, delay;
};

void PlainPhase(benchmark::State& state, bool rle) {
    const int count = static_cast<int>(state.range(0));
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* frames[4];
    for (int f = 0; f < 4; ++f) {
        frames[f] = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 32, SDL_PIXELFORMAT_RGB888);
        auto* pixels = static_cast<std::uint32_t*>(frames[f]->pixels);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) pixels[y * (frames[f]->pitch / 4) + x] = Scene::Figure(x, y, f);
        SDL_SetColorKey(frames[f], SDL_TRUE | (rle ? SDL_RLEACCEL : 0), Key);
    }
    constexpr float Speed = 5.5f;
    std::vector<PlainSprite> sprites;
    for (int i = 0; i < count; ++i) {
        const float dx = i % 2 ? 1.0f : -1.0f, dy = 0.25f, length = std::sqrt(dx * dx + dy * dy);
        sprites.push_back({float(200 + (i * 37) % 240), float(100 + (i * 53) % 250), dx / length, dy / length, 0, 3});
    }
    int frameCount = 0;
    for (auto _ : state) {
        const bool turn = ++frameCount % 30 == 0;
        for (PlainSprite& s : sprites) {
            if (turn) {
                s.dx = -s.dx;
                s.dy = -s.dy;
            }
            if (--s.delay == 0) {
                s.frame = (s.frame + 1) % 4;
                s.delay = 3;
            }
            s.x += s.dx * Speed;
            s.y += s.dy * Speed;
            SDL_Rect to{int(s.x), int(s.y), 32, 32};
            SDL_BlitSurface(frames[s.frame], nullptr, back, &to);
        }
        benchmark::DoNotOptimize(back->pixels);
    }
    for (SDL_Surface* f : frames) SDL_FreeSurface(f);
    SDL_FreeSurface(back);
    PerSprite(state);
}

void PlainSdl(benchmark::State& state) { PlainPhase(state, false); }
void PlainSdlRle(benchmark::State& state) { PlainPhase(state, true); }

}  // namespace

BENCHMARK(SpritePhase)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainSdl)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainSdlRle)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return benchratio::RunInterleaved(argc, argv,
                                      {{"SpritePhase/100", "PlainSdl/100"},
                                       {"SpritePhase/100", "PlainSdlRle/100"},
                                       {"SpritePhase/1000", "PlainSdl/1000"},
                                       {"SpritePhase/1000", "PlainSdlRle/1000"},
                                       {"SpritePhase/5000", "PlainSdl/5000"},
                                       {"SpritePhase/5000", "PlainSdlRle/5000"}},
                                      {}, 5);
}
