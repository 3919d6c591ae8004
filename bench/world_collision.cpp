// The four sweep tests of the collision shapes and a map's grid query, at a few
// speeds (the speed is also the sweep's step count, as the sprites use it).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>
#include "foundation/List.h"
#include "runtime/EngineGlobals.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/Geometry.h"
#include "world/Map.h"

namespace {

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

void WriteBmp(const std::string& path, int w, int h) {
    const int row = (w * 3 + 3) & ~3;
    std::vector<unsigned char> b(size_t(54 + row * h), 0x40);
    auto put = [&](size_t at, unsigned v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = (unsigned char)(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, unsigned(b.size()));
    put(6, 0);
    put(10, 54);
    put(14, 40);
    put(18, unsigned(w));
    put(22, unsigned(h));
    b[26] = 1;
    b[27] = 0;
    b[28] = 24;
    b[29] = 0;
    for (size_t i = 30; i < 54; ++i) b[i] = 0;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// A 4000 x 1000 map with 2000 random segments; a 32 x 32 box swept by the speed
// visits the cells under it and tests their segments.
void GridQuery(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qel-world-bench";
    std::filesystem::create_directories(dir);
    WriteBmp((dir / "bench.bmp").string(), 4000, 1000);
    mapsFolder = (dir.string() + "/").c_str();
    Map map("bench", "bench.bmp", Map::StandardMap, 0, 0, 0, true, QelRect{});
    map.SpacePartitionGridSize(128);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> x(0, 4000), y(0, 1000), d(-60, 60);
    for (int i = 0; i < 2000; ++i) {
        const float ax = x(rng), ay = y(rng);
        map.AddCollisionData(CollisionSegment(ax, ay, ax + d(rng), ay + d(rng), i % 5, 0, 0));
    }
    const float speed = float(state.range(0));
    const float size = float(map.SpacePartitionGridSize());
    float px = 100, py = 100;
    for (auto _ : state) {
        const float left = px, top = py, right = px + 32 + speed, bottom = py + 32 + speed;
        const int i0 = int(left / size), i1 = std::min(map.GridColumns() - 1, int(right / size));
        const int j0 = int(top / size), j1 = std::min(map.GridRows() - 1, int(bottom / size));
        int hits = 0;
        for (int i = i0; i <= i1; ++i)
            for (int j = j0; j <= j1; ++j) {
                List* cell = map.Cell(i, j);
                for (node* n = cell->Head(); !n->EOList(); n = n->Next()) {
                    const auto* s = static_cast<const CollisionSegment*>(n);
                    hits += SegmentIntersectsRect(s->OriginX(), s->OriginY(), s->EndX(), s->EndY(), left, top,
                                                  right, bottom);
                }
            }
        benchmark::DoNotOptimize(hits);
        px = px > 3800 ? 100 : px + 37;
        py = py > 800 ? 100 : py + 23;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(SegmentSegment)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(SegmentCircle)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(CircleSegment)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(CircleCircle)->Arg(1)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK(GridQuery)->Arg(1)->Arg(4)->Arg(16)->Arg(64);

BENCHMARK_MAIN();
