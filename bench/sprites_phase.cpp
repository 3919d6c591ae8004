// The sprite phase of a frame (animation, translation, position update and
// drawing of every sprite of one map) for 10 to 5000 sprites, with the time
// per sprite, to show how it grows. The sprites pace to and fro inside the
// view, so every one of them is drawn (a keyed 32 x 32 blit) every frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "display/Display.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/LevelView.h"
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

    // A figure: a disc of colour on the key, a little different per frame.
    static void Paint(qel::Surface& image, int frame) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int dx = x - 16, dy = y - 16;
                image.SetRawPixel(x, y, dx * dx + dy * dy < 14 * 14 ? 0x204080u + std::uint32_t(frame * 0x101010 + x * 4) : Key);
            }
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

void SpritePhase(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) scene.Frame();
    state.counters["per_sprite"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(SpritePhase)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
