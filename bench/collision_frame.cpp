// The collision part of a frame in the frame step's order: for every sprite,
// its translation, its map collision, its tests against the other sprites,
// then its move. One player colliding by shapes plus N movers colliding by
// box; in the game-like case one mover in a hundred checks the sprites around
// it, in the stress case every mover does. The movers turn back every 30
// frames, so the scene stays the same over a run.
//
// Three walks choose whom each sprite is tested against, all ending in the
// engine's own pair test, and all giving the same hit lists (checked before
// timing):
// - the engine: its grid, kept up to date as sprites move;
// - a uniform grid of 64-pixel cells written here, rebuilt every frame and
//   updated after each move (what a game knowing where its sprites move
//   would write);
// - every pair the frame step names, the moving sprite's side of the test
//   worked out once per sprite.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "display/DisplayInternal.h"
#include "platform/ImageEncoder.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteList.h"
#include "world/CollisionSegment.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

constexpr int BoxActor = 1, PlayerActor = 2;
constexpr int MapW = 2048, MapH = 1024;

enum class Walk { Engine, Grid, AllPairs };

void WriteBmp(const std::string& path, int w, int h) { qel::SaveBmp24(*qel::Surface::Create(w, h, 32), path); }

void OneFrameActor(int slot) {
    SpriteElem& s = SpriteList[slot];
    s.AnimationCount = 1;
    s.Animations = new AnimationElem[1];
    s.Animations[0].FrameCount = 1;
    s.Animations[0].Frames = new FrameElem[1];
    s.Animations[0].Frames[0].Width = s.Animations[0].Frames[0].Height = 32;
}

bool Checks(const Sprite& s) { return s.CheckCollisionWithSprite() && s.ActivateCollisionWithSprite(); }

// Whether the frame step's walk for s names other at all.
bool Named(const Sprite& s, const Sprite& other, int list, const Map* m) {
    if (list == s.DisplayListNumber() && !s.CheckSameDisplayList()) return false;
    return &other != &s && other.ActivateCollisionWithSprite() && !other.Unused() && other.BelongToMapPtr() == m;
}

// A sprite's requested frame box at its world position.
struct Area {
    float left, top, right, bottom;
};

Area BoxOf(const Sprite& s) {
    const FrameElem* frame = s.RequestedFrame();
    if (!frame) return {0, 0, -1, -1};
    const tagRECT& b = sprites::FrameVariant{*frame, s.HFlip() != 0, s.VFlip() != 0}.Box();
    const float x = s.mapX + s.BelongToMapPtr()->WorldPositionX(), y = s.mapY + s.BelongToMapPtr()->WorldPositionY();
    return {float(b.left) + x, float(b.top) + y, float(b.right) + x, float(b.bottom) + y};
}

// The uniform grid: each sprite listed in every cell its box touches.
class UniformGrid {
public:
    static constexpr float Cell = 64, Margin = 2;

    void Build(const std::vector<Sprite*>& walk) {
        if (cells_.empty()) cells_.resize(std::size_t(Columns * Rows));
        for (auto& c : cells_) c.clear();
        placed_.assign(walk.size(), Range{});
        seen_.assign(walk.size(), 0);
        for (std::size_t i = 0; i < walk.size(); ++i) Place(std::int32_t(i), *walk[i]);
    }

    void Moved(std::int32_t i, const Sprite& s) {
        const Range& r = placed_[std::size_t(i)];
        for (std::int32_t y = r.y0; y <= r.y1; ++y)
            for (std::int32_t x = r.x0; x <= r.x1; ++x) {
                auto& c = cells_[std::size_t(y * Columns + x)];
                c.erase(std::find(c.begin(), c.end(), i));
            }
        Place(i, s);
    }

    // The others s is tested against, in walk order.
    void Walk(Sprite& s, const std::vector<Sprite*>& walk, const Map* m) {
        if (!Checks(s)) return;
        Area a = BoxOf(s);
        const float vx = 1.01f * s.TranslationX(), vy = 1.01f * s.TranslationY();
        a = {a.left + std::min(0.0f, vx), a.top + std::min(0.0f, vy), a.right + std::max(0.0f, vx),
             a.bottom + std::max(0.0f, vy)};
        const Range r = Cover(a);
        ++question_;
        found_.clear();
        for (std::int32_t y = r.y0; y <= r.y1; ++y)
            for (std::int32_t x = r.x0; x <= r.x1; ++x)
                for (const std::int32_t i : cells_[std::size_t(y * Columns + x)]) {
                    if (seen_[std::size_t(i)] == question_) continue;
                    seen_[std::size_t(i)] = question_;
                    found_.push_back(i);
                }
        std::sort(found_.begin(), found_.end());
        others_.clear();
        for (const std::int32_t i : found_)
            if (Named(s, *walk[std::size_t(i)], 0, m)) others_.push_back(walk[std::size_t(i)]);
        sprites::CheckSpriteCollisions(s, others_.data(), others_.size());
    }

private:
    static constexpr std::int32_t Columns = std::int32_t(MapW / Cell) + 1, Rows = std::int32_t(MapH / Cell) + 1;
    struct Range {
        std::int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    };

    static std::int32_t Clamp(float v, std::int32_t n) {
        return std::clamp(std::int32_t(std::floor(v / Cell)), std::int32_t(0), n - 1);
    }
    static Range Cover(const Area& a) {
        return {Clamp(a.left - Margin, Columns), Clamp(a.top - Margin, Rows), Clamp(a.right + Margin, Columns),
                Clamp(a.bottom + Margin, Rows)};
    }

    void Place(std::int32_t i, const Sprite& s) {
        const Range r = Cover(BoxOf(s));
        placed_[std::size_t(i)] = r;
        for (std::int32_t y = r.y0; y <= r.y1; ++y)
            for (std::int32_t x = r.x0; x <= r.x1; ++x) cells_[std::size_t(y * Columns + x)].push_back(i);
    }

    std::vector<std::vector<std::int32_t>> cells_;
    std::vector<Range> placed_;
    std::vector<std::uint32_t> seen_;
    std::uint32_t question_ = 0;
    std::vector<std::int32_t> found_;
    std::vector<Sprite*> others_;
};

struct Scene {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "qel-bench-collision";
    std::unique_ptr<qel::Surface> backBuffer = qel::Surface::Create(64, 48, 32);
    GameNode level;
    std::unique_ptr<Map> map;
    std::vector<Sprite*> walk;  // display list 0, from its head
    UniformGrid grid;
    std::vector<Sprite*> others;
    int frames = 0;

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

        Add("player", PlayerActor, 300, 40, false, true, 6, 1, 1);
        for (int i = 0; i < movers; ++i) {
            const bool checks = allCheck || i % 100 == 0;
            Add(("m" + std::to_string(i)).c_str(), BoxActor, float((i * 37) % (MapW - 40)),
                float((i * 53) % (MapH - 40)), true, checks, 3.5f, i % 2 ? 1.0f : -1.0f, 0.5f);
        }
        for (node* p = level.DisplayList(0).Head(); !p->EOList(); p = p->Next())
            walk.push_back(static_cast<Sprite*>(p));
    }

    void Add(const char* name, int actor, float x, float y, bool byBox, bool checks, float speed, float dx, float dy) {
        Sprite proto;
        proto.Name(name);
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

    void AllPairs(Sprite& s) {
        if (!Checks(s)) return;
        others.clear();
        for (Sprite* other : walk)
            if (Named(s, *other, 0, map.get())) others.push_back(other);
        sprites::CheckSpriteCollisions(s, others.data(), others.size());
    }

    // One frame of the frame step's collision work, sprites in display-list order.
    void Frame(Walk how) {
        ++gameLoopCounter;
        const bool turn = ++frames % 30 == 0;
        if (how == Walk::Grid) grid.Build(walk);
        for (std::size_t i = 0; i < walk.size(); ++i) {
            Sprite& s = *walk[i];
            if (turn) s.VectorDirection(-s.DirectionX(), -s.DirectionY(), 0);
            s.GetTranslation();
            sprites::HandleAlarms(s);
            s.ResetCollisionState(true);
            if (s.CheckCollisionWithMap()) sprites::CheckMapCollision(s, map.get());
            switch (how) {
                case Walk::Engine: sprites::CheckSpriteCollisions(s, map.get()); break;
                case Walk::Grid: grid.Walk(s, walk, map.get()); break;
                case Walk::AllPairs: AllPairs(s); break;
            }
            s.UpdateTranslation();
            s.UpdateSprite();
            if (how == Walk::Grid) grid.Moved(std::int32_t(i), s);
        }
    }

    // What the frame left: every sprite's hits and where it stands.
    std::string Outcome() const {
        std::string out;
        for (const Sprite* s : walk) {
            out += std::to_string(s->CollisionFactor()) + ' ' + std::to_string(s->mapX) + ',' + std::to_string(s->mapY);
            for (unsigned i = 0; i < s->spriteNamesHit.Size(); ++i) out += ' ' + std::string(s->spriteNamesHit[i]);
            out += '\n';
        }
        return out;
    }
};

// The outcome of the first frames with every pair tested, per scene.
const std::string& Expected(int movers, bool allCheck) {
    static std::map<std::pair<int, bool>, std::string> known;
    auto found = known.find({movers, allCheck});
    if (found != known.end()) return found->second;
    Scene scene(movers, allCheck);
    for (int f = 0; f < 3; ++f) scene.Frame(Walk::AllPairs);
    return known[{movers, allCheck}] = scene.Outcome();
}

void Run(benchmark::State& state, bool allCheck, Walk how) {
    const int movers = static_cast<int>(state.range(0));
    const std::string& expected = Expected(movers, allCheck);
    Scene scene(movers, allCheck);
    for (int f = 0; f < 3; ++f) scene.Frame(how);
    if (scene.Outcome() != expected) {
        state.SkipWithError("the hit lists differ from testing every pair");
        return;
    }
    for (auto _ : state) scene.Frame(how);
    state.counters["us_per_sprite"] =
        benchmark::Counter(static_cast<double>(movers + 1) / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void GameLike(benchmark::State& state) { Run(state, false, Walk::Engine); }
void GameLikeGrid(benchmark::State& state) { Run(state, false, Walk::Grid); }
void GameLikeAllPairs(benchmark::State& state) { Run(state, false, Walk::AllPairs); }
void Stress(benchmark::State& state) { Run(state, true, Walk::Engine); }
void StressGrid(benchmark::State& state) { Run(state, true, Walk::Grid); }
void StressAllPairs(benchmark::State& state) { Run(state, true, Walk::AllPairs); }

}  // namespace

BENCHMARK(GameLike)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(GameLikeGrid)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(GameLikeAllPairs)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(Stress)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(StressGrid)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(StressAllPairs)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return benchratio::RunInterleaved(argc, argv,
                                      {{"GameLike/1000", "GameLikeGrid/1000"},
                                       {"GameLike/1000", "GameLikeAllPairs/1000"},
                                       {"GameLike/20000", "GameLikeGrid/20000"},
                                       {"GameLike/20000", "GameLikeAllPairs/20000"},
                                       {"Stress/1000", "StressGrid/1000"},
                                       {"Stress/1000", "StressAllPairs/1000"},
                                       {"Stress/5000", "StressGrid/5000"},
                                       {"Stress/5000", "StressAllPairs/5000"}},
                                      {{"GameLike/20000", benchratio::FrameMs, "one frame at 60 per second"}});
}
