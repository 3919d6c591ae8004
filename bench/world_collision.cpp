// The four sweep tests of the collision shapes and a sprite's map collision,
// at a few speeds (the speed is also the sweep's step count, as the sprites
// use it). There is no outside code doing the same sampled sweeps to compare
// with; each figure at speed 4 (a walking sprite) is held against the share
// of a frame it may take under the collision goal, 20,000 sprites colliding
// with their map within one frame of 16.7 ms: 0.83 us for one sprite's map
// collision, and a sixteenth of that (four own segments against four map
// shapes near them) for one sweep test.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "BenchRatio.h"
#include "common/BmpWriter.h"
#include "display/DisplayInternal.h"
#include "foundation/List.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteList.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

constexpr int Actor = 1;

// One frame, 32 x 32, a square of outward-facing segments.
void SquareActor() {
    SpriteElem& slot = SpriteList[Actor];
    slot.AnimationCount = 1;
    slot.Animations = new AnimationElem[1];
    slot.Animations[0].FrameCount = 1;
    slot.Animations[0].Frames = new FrameElem[1];
    FrameElem& body = slot.Animations[0].Frames[0];
    body.Width = body.Height = 32;
    body.AddCollisionData(CollisionSegment(0, 31, 31, 31, 1, 0, 0));
    body.AddCollisionData(CollisionSegment(31, 31, 31, 0, 2, 0, 0));
    body.AddCollisionData(CollisionSegment(31, 0, 0, 0, 3, 0, 0));
    body.AddCollisionData(CollisionSegment(0, 0, 0, 31, 2, 0, 0));
    body.hFCollisionList();
    body.vFCollisionList();
    body.hvFCollisionList();
}

// A miss costs the most: every sample is taken.
void SegmentSegment(benchmark::State& state) {
    const float speed = float(state.range(0));
    CollisionSegment own(0, 10, 20, 10, 1, 0, 0), floor(-100, 10 + speed * 3, 100, 10 + speed * 3, 2, 0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(own.DetectCollision(&floor, 0, 0, 0, 0, 0, speed, speed));
}

void SegmentCircle(benchmark::State& state) {
    const float speed = float(state.range(0));
    CollisionSegment own(0, 10, 20, 10, 1, 0, 0);
    CollisionCircle ball(10, 10 + speed * 3, 4, 2, 0);
    for (auto _ : state) benchmark::DoNotOptimize(own.DetectCollision(&ball, 0, 0, 0, 0, 0, speed, speed));
}

void CircleSegment(benchmark::State& state) {
    const float speed = float(state.range(0));
    CollisionCircle own(10, 10, 4, 1, 0);
    CollisionSegment floor(-100, 20 + speed * 3, 100, 20 + speed * 3, 2, 0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(own.DetectCollision(&floor, 0, 0, 0, 0, 0, speed, speed));
}

void CircleCircle(benchmark::State& state) {
    const float speed = float(state.range(0));
    CollisionCircle own(10, 10, 4, 1, 0), other(10, 20 + speed * 3, 4, 2, 0);
    for (auto _ : state) benchmark::DoNotOptimize(own.DetectCollision(&other, 0, 0, 0, 0, 0, speed, speed));
}

void WriteBmp(const std::string& path, int w, int h) { bmp24::WriteSolid(path, w, h, 0x404040); }

// A 4000 x 1000 map with 2000 random segments; a 32 x 32 square of segments
// moving at the speed goes through the engine's map collision (the grid
// cells under its sweep, the sweep tests, the hit lists and the surface
// struck), from a new place every frame.
void MapCollision(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qel-world-bench";
    std::filesystem::create_directories(dir);
    WriteBmp((dir / "bench.bmp").string(), 4000, 1000);
    mapsFolder = (dir.string() + "/").c_str();
    auto back = qel::Surface::Create(64, 48, 32);
    pBackBuffer = back.get();
    GameNode level;
    gNode = &level;
    LevelViewPort() = ViewPort(4000, 1000, 0, 0, 640, 480);
    {
        Map map("bench", "bench.bmp", Map::StandardMap, 0, 0, 0, true, QelRect{});
        map.SpacePartitionGridSize(128);
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> x(0, 4000), y(0, 1000), d(-60, 60);
        for (int i = 0; i < 2000; ++i) {
            const float ax = x(rng), ay = y(rng);
            map.AddCollisionData(CollisionSegment(ax, ay, ax + d(rng), ay + d(rng), i % 5, 0, 0));
        }
        SquareActor();
        Sprite proto;
        proto.ActorIndex(Actor);
        Sprite* body = proto.CreateSprite();
        body->BelongToMapPtr(&map);
        body->CollisionType(false);
        body->CheckCollisionWithMap(true);
        body->VectorDirection(0.6f, 0.8f, 0);
        body->Speed(float(state.range(0)));
        float px = 100, py = 100;
        for (auto _ : state) {
            body->MapPosition(px, py, false);
            body->GetTranslation();
            body->ResetCollisionState(true);
            sprites::CheckMapCollision(*body, &map);
            benchmark::DoNotOptimize(body->CollisionFactor());
            px = px > 3800 ? 100 : px + 37;
            py = py > 800 ? 100 : py + 23;
        }
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        SpriteList[Actor].Empty();
    }
    gNode = nullptr;
    pBackBuffer = nullptr;
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(SegmentSegment)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(SegmentCircle)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(CircleSegment)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(CircleCircle)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(MapCollision)->Arg(1)->Arg(4)->Arg(16)->Arg(64);

int main(int argc, char** argv) {
    const double sprite = benchratio::FrameMs / 20000;
    const std::string perSprite = "16.7 ms shared by 20,000 sprites";
    const std::string perTest = perSprite + ", 16 sweep tests each";
    return benchratio::RunInterleaved(argc, argv, {},
                                      {{"SegmentSegment/4", sprite / 16, perTest},
                                       {"SegmentCircle/4", sprite / 16, perTest},
                                       {"CircleSegment/4", sprite / 16, perTest},
                                       {"CircleCircle/4", sprite / 16, perTest},
                                       {"MapCollision/4", sprite, perSprite}},
                                      5);
}
