// The collision part of a frame: one player colliding by shapes with the map
// and the sprites, plus N movers colliding by box, N from 10 to 5000. In the
// game-like case one mover in a hundred checks the sprites around it; in the
// stress case every mover does. Each prints its time per frame and per
// sprite, and the fitted growth with N; the reference runs the same frame
// with the plain walk that tests every pair the frame step names, and the
// ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchRatio.h"
#include "display/Display.h"
#include "platform/ImageEncoder.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteList.h"
#include "world/CollisionSegment.h"
#include "world/LevelView.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

constexpr int BoxActor = 1, PlayerActor = 2;
constexpr int MapW = 2048, MapH = 1024;

void WriteBmp(const std::string& path, int w, int h) {
    qel::SaveBmp24(*qel::Surface::Create(w, h, 32), path);
}

void OneFrameActor(int slot) {
    SpriteElem& s = SpriteList[slot];
    s.AnimationCount = 1;
    s.Animations = new AnimationElem[1];
    s.Animations[0].FrameCount = 1;
    s.Animations[0].Frames = new FrameElem[1];
    s.Animations[0].Frames[0].Width = s.Animations[0].Frames[0].Height = 32;
}

struct Scene {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "qel-bench-collision";
    std::unique_ptr<qel::Surface> backBuffer = qel::Surface::Create(64, 48, 32);
    GameNode level;
    std::unique_ptr<Map> map;

    Scene(int movers, bool allCheck) {
        std::filesystem::create_directories(folder);
        WriteBmp((folder / "level.bmp").string(), MapW, MapH);
        displayDepth = 32;
        pBackBuffer = backBuffer.get();
        mapsFolder = (folder.string() + "/").c_str();
        gNode = &level;
        level.WorldWidth(MapW);
        level.WorldHeight(MapH);
        LevelViewPort() = ViewPort(MapW, MapH, 0, 0, 640, 480);
        map = std::make_unique<Map>("level", "level.bmp", Map::StandardMap, 0, 0, 0, false, QelRect{0, 0, 640, 480});
        map->SpacePartitionGridSize(128);
        // A platform level: ledges every 96 pixels, walls every 256.
        for (int y = 96; y < MapH; y += 96)
            for (int x = 0; x < MapW; x += 192) map->AddCollisionData(CollisionSegment(x + 160.0f, y, x, y, 0, 0, 0));
        for (int x = 256; x < MapW; x += 256) map->AddCollisionData(CollisionSegment(x, 0, x, MapH - 1.0f, 1, 0, 0));

        OneFrameActor(BoxActor);
        OneFrameActor(PlayerActor);
        FrameElem& body = SpriteList[PlayerActor].Animations[0].Frames[0];
        body.AddCollisionData(CollisionSegment(0, 31, 31, 31, 1, 0, 0));
        body.AddCollisionData(CollisionSegment(31, 31, 31, 0, 2, 0, 0));
        body.AddCollisionData(CollisionSegment(31, 0, 0, 0, 3, 0, 0));
        body.AddCollisionData(CollisionSegment(0, 0, 0, 31, 2, 0, 0));
        body.hFCollisionList();
        body.vFCollisionList();
        body.hvFCollisionList();

        Add(PlayerActor, 300, 40, false, true, 6, 1, 1);
        for (int i = 0; i < movers; ++i) {
            const bool checks = allCheck || i % 100 == 0;
            Add(BoxActor, float((i * 37) % (MapW - 40)), float((i * 53) % (MapH - 40)), true, checks, 3.5f,
                i % 2 ? 1.0f : -1.0f, 0.5f);
        }
    }

    void Add(int actor, float x, float y, bool byBox, bool checks, float speed, float dx, float dy) {
        Sprite proto;
        proto.ActorIndex(actor);
        Sprite* s = proto.CreateSprite();
        s->BelongToMapPtr(map.get());
        s->MapPosition(x, y, false);
        s->CollisionType(byBox);
        s->CheckCollisionWithMap(true);
        s->ActivateCollisionWithSprite(true);
        s->CheckCollisionWithSprite(checks);
        s->CheckSameDisplayList(true);
        s->VectorDirection(dx, dy, 0);
        s->Speed(speed);
    }

    ~Scene() {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        map.reset();
        SpriteList[BoxActor].Empty();
        SpriteList[PlayerActor].Empty();
        pBackBuffer = nullptr;
        gNode = nullptr;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // The plain walk: every pair the frame step names, tested one by one.
    void AllPairs(Sprite& s) {
        if (!s.CheckCollisionWithSprite() || !s.ActivateCollisionWithSprite()) return;
        for (int n = 0; n < GameNode::DisplayListCount; ++n) {
            if (n == s.DisplayListNumber() && !s.CheckSameDisplayList()) continue;
            for (node* p = level.DisplayList(n).Head(); !p->EOList(); p = p->Next()) {
                Sprite* other = static_cast<Sprite*>(p);
                if (other == &s || !other->ActivateCollisionWithSprite() || other->Unused()) continue;
                if (other->BelongToMapPtr() != map.get()) continue;
                sprites::CheckSpriteCollision(s, other);
            }
        }
    }

    // The frame step's collision work for every sprite. Positions are not
    // updated, so every frame measures the same scene.
    void Frame(bool allPairs = false) {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) {
            List& list = level.DisplayList(n);
            for (node* p = list.Head(); !p->EOList(); p = p->Next()) {
                Sprite& s = *static_cast<Sprite*>(p);
                s.GetTranslation();
                sprites::HandleAlarms(s);
                s.ResetCollisionState(true);
                if (s.CheckCollisionWithMap()) sprites::CheckMapCollision(s, map.get());
                if (allPairs)
                    AllPairs(s);
                else
                    sprites::CheckSpriteCollisions(s, map.get());
                s.UpdateTranslation();
            }
        }
    }
};

void Run(benchmark::State& state, bool allCheck, bool allPairs = false) {
    const int movers = static_cast<int>(state.range(0));
    Scene scene(movers, allCheck);
    for (auto _ : state) scene.Frame(allPairs);
    state.SetComplexityN(movers);
    // Seconds per frame and sprite, scaled to microseconds.
    state.counters["us_per_sprite"] =
        benchmark::Counter(static_cast<double>(movers + 1) / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void GameLike(benchmark::State& state) { Run(state, false); }
void Stress(benchmark::State& state) { Run(state, true); }
void GameLikeAllPairs(benchmark::State& state) { Run(state, false, true); }
void StressAllPairs(benchmark::State& state) { Run(state, true, true); }

}  // namespace

BENCHMARK(GameLike)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(Stress)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(GameLikeAllPairs)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(StressAllPairs)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return benchratio::RunWithRatios(argc, argv,
                                     {{"GameLike/1000", "GameLikeAllPairs/1000"},
                                      {"GameLike/5000", "GameLikeAllPairs/5000"},
                                      {"Stress/1000", "StressAllPairs/1000"},
                                      {"Stress/5000", "StressAllPairs/5000"}});
}
