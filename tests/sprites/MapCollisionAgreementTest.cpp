// A sprite's map test lists the shapes a move can strike once per frame and
// skips cells and shapes that cannot be touched. These tests hold it against
// the straightforward walk (every sample and every own shape walking the grid
// cells afresh, every shape put through the full tests) on random maps and
// moves: the same factor, hit lists, surface and sweep marks, bit for bit.
#include <bit>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>

#include "CollisionFixture.h"
#include "sprites/FrameVariant.h"
#include "sprites/SpriteCollisionSharedInternal.h"
#include "sprites/SpriteLevelInternal.h"

namespace {

using namespace sprites::collide;
using sprites::FrameVariant;

// The straightforward walk.
struct WalkEveryCell {
    Sprite& s;
    Map& map;
    float baseX, baseY, shapeX, shapeY, cellX, cellY, dirX, dirY;

    bool Stops(const CollisionData* shape) const { return !RecordOnly(shape) && !s.GhostCollisionWithMap(); }

    bool Reachable(const CollisionData* shape, const CellWindow& r) const {
        if (IsSegment(shape)) {
            const auto& seg = *static_cast<const CollisionSegment*>(shape);
            const WorldSegment p = Placed(seg, shapeX, shapeY);
            return SegmentIntersectsRect(p.x1, p.y1, p.x2, p.y2, r.left, r.top, r.right, r.bottom) &&
                   FacesMotion(seg, dirX, dirY);
        }
        return CircleTouches(*static_cast<const CollisionCircle*>(shape), shapeX, shapeY, r);
    }

    void ByBox(const tagRECT& frameBox) {
        const float left = float(frameBox.left) + baseX, top = float(frameBox.top) + baseY;
        const float right = float(frameBox.right) + baseX, bottom = float(frameBox.bottom) + baseY;
        const SweepSchedule schedule(s.Speed());
        const float dt = schedule.Dt();
        const bool slow = !(s.Speed() > 1.0f);
        for (std::int32_t k = 0; k <= schedule.LastBelowOnePlusDt(); ++k) {
            const float t = schedule.At(k);
            const float mx = t * s.TranslationX(), my = t * s.TranslationY();
            const CellWindow r = CellsUnder(map, cellX, cellY, std::min(left, left + mx), std::min(top, top + my),
                                            std::max(right, right + mx), std::max(bottom, bottom + my));
            ForEachCellShape(map, r, [&](CollisionData* shape) {
                if (!Reachable(shape, r)) return false;
                if (Stops(shape)) {
                    float h = IsSegment(shape) && !slow ? t - dt : 0.0f;
                    if (h < 0) h = 0;
                    if (h < s.collisionFactor) s.collisionFactor = h;
                    s.lastHitSegment = CollisionSegment();
                }
                s.collisionWithMap = true;
                AddDistinct(s.mapShapesHit, shape);
                return false;
            });
            if (s.collisionFactor < kNoHit) return;
        }
    }

    void ByShapes(const FrameVariant& frame) {
        const List& own = frame.Collisions();
        if (own.Count() == 0) return;
        const tagRECT& box = frame.Box();
        const float vx = s.TranslationX(), vy = s.TranslationY();
        const std::int32_t sl = TruncToInt32(float(box.left) + baseX), st = TruncToInt32(float(box.top) + baseY);
        const std::int32_t sr = TruncToInt32(float(box.right) + baseX), sb = TruncToInt32(float(box.bottom) + baseY);
        const std::int32_t el = TruncToInt32(float(sl) + vx), et = TruncToInt32(float(st) + vy);
        const std::int32_t er = TruncToInt32(float(sr) + vx), eb = TruncToInt32(float(sb) + vy);
        const float rl = float(sl < el ? sl : el), rr = float(sl < el ? er : sr);
        const float rt = float(st < et ? st : et), rb = float(st < et ? eb : sb);
        const CellWindow r = CellsUnder(map, cellX, cellY, rl, rt, rr, rb);
        ForEachCellShape(map, r, [](CollisionData* shape) {
            if (IsSegment(shape)) {
                AsSegment(shape)->HitTime(kNoHit);
                AsSegment(shape)->EndInside(false);
            } else {
                AsCircle(shape)->HitTime(kNoHit);
            }
            return false;
        });
        bool segmentPairHit = false;
        for (node* n = own.Head(); !n->EOList(); n = n->Next()) {
            auto* mine = static_cast<CollisionData*>(n);
            const bool hit =
                IsSegment(mine) ? OwnSegment(*AsSegment(n), r, segmentPairHit) : OwnCircle(*AsCircle(n), r);
            if (hit && s.ownShapesHit.Size() < kShapeListCap) s.ownShapesHit.Add(mine);
        }
        if (s.collisionWithMap && segmentPairHit) ChooseLastHitSegment(s, s.mapShapesHit);
    }

    bool OwnSegment(CollisionSegment& mine, const CellWindow& r, bool& segmentPairHit) {
        mine.HitTime(kNoHit);
        mine.EndInside(false);
        if (mine.NormalX() * dirX + mine.NormalY() * dirY < 0.0f) return false;
        float vx = s.TranslationX(), vy = s.TranslationY();
        if (vx == 0.0f && vy == 0.0f) {
            vx = mine.NormalX();
            vy = mine.NormalY();
        }
        return Sweep(mine, r, vx, vy, [&](CollisionSegment& target) {
            segmentPairHit = true;
            if (Stops(&target) && mine.HitTime() <= s.collisionFactor) s.collisionFactor = mine.HitTime();
            if (target.EndInside()) mine.EndInside(true);
        });
    }

    bool OwnCircle(CollisionCircle& mine, const CellWindow& r) {
        mine.HitTime(kNoHit);
        return Sweep(mine, r, s.TranslationX(), s.TranslationY(), [&](CollisionSegment& target) {
            if (mine.HitTime() > s.collisionFactor) return;
            if (Stops(&target)) s.collisionFactor = mine.HitTime();
            if (target.ContactX() != kUnset && target.ContactY() != kUnset) {
                SetLastHit(s, target.ContactX(), target.ContactY(), -target.ContactY(), target.ContactX());
                s.lastHitSegment.Id(target.Id());
            } else {
                SetLastHit(s, target.DirectionX(), target.DirectionY(), -target.DirectionY(), target.DirectionX());
            }
        });
    }

    template <class Own, class OnSegment>
    bool Sweep(Own& mine, const CellWindow& r, float segmentVx, float segmentVy, OnSegment onSegment) {
        bool hitAny = false;
        ForEachCellShape(map, r, [&](CollisionData* shape) {
            if (!Reachable(shape, r)) return false;
            if (IsSegment(shape)) {
                CollisionSegment& target = *AsSegment(shape);
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, segmentVx, segmentVy, s.Speed()))
                    return false;
                onSegment(target);
            } else {
                CollisionCircle& target = *AsCircle(shape);
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, s.TranslationX(), s.TranslationY(),
                                          s.Speed()))
                    return false;
                const float h1 = target.ContactX(), h2 = target.ContactY();
                if (h1 != kUnset && h2 != kUnset && mine.HitTime() <= s.collisionFactor) {
                    if (Stops(&target)) s.collisionFactor = mine.HitTime();
                    SetLastHit(s, h1, h2, -h2, h1);
                }
            }
            hitAny = true;
            s.collisionWithMap = true;
            AddDistinct(s.mapShapesHit, shape);
            return false;
        });
        return hitAny;
    }

    static void Run(Sprite& sprite) {
        Map* tested = sprite.BelongToMapPtr();
        const FrameElem* frame = sprite.DisplayedFrame();
        if (!tested || !frame) return;
        const float wx = sprites::MapWorldX(tested), wy = sprites::MapWorldY(tested);
        WalkEveryCell walk{sprite, *tested, sprite.mapX + wx,    sprite.mapY + wy,   wx, wy,
                           wx,     wy,      sprite.DirectionX(), sprite.DirectionY()};
        const FrameVariant variant = VariantOf(sprite, *frame);
        if (sprite.CollisionType())
            walk.ByBox(variant.Box());
        else
            walk.ByShapes(variant);
    }
};

std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }

void Print(std::ostream& out, const CollisionData* shape) {
    if (IsSegment(shape)) {
        const auto& s = *static_cast<const CollisionSegment*>(shape);
        out << " s" << Bits(s.HitTime()) << ',' << s.EndInside() << ',' << Bits(s.ContactX()) << ','
            << Bits(s.ContactY());
    } else {
        const auto& c = *static_cast<const CollisionCircle*>(shape);
        out << " c" << Bits(c.HitTime()) << ',' << Bits(c.ContactX()) << ',' << Bits(c.ContactY());
    }
}

class MapCollisionAgreement : public CollisionTest {
protected:
    static constexpr int MixedActor = 14;  // segments all round, a slope and a circle

    void SetUp() override {
        CollisionTest::SetUp();
        MakeActor(MixedActor);
        FrameElem& f = Frame(MixedActor);
        f.AddCollisionData(CollisionSegment(0, 31, 31, 31, 1, 0, 0));
        f.AddCollisionData(CollisionSegment(31, 31, 31, 0, 2, 0, 0));
        f.AddCollisionData(CollisionSegment(31, 0, 0, 0, 3, 0, 0));
        f.AddCollisionData(CollisionSegment(0, 0, 0, 31, 2, 0, 0));
        f.AddCollisionData(CollisionSegment(0, 20, 20, 31, 5, 0, 0));
        f.AddCollisionData(CollisionCircle(16, 16, 6, 6, 0));
        MirrorVariants(f);
    }
    void TearDown() override {
        SpriteList[MixedActor].Empty();
        CollisionTest::TearDown();
    }

    // Every mark a sweep leaves: on the map's shapes in every cell and on the sprite's own shapes.
    void ForEachMark(Map& map, Sprite& s, const std::function<void(CollisionData*)>& f) {
        for (std::int32_t i = 0; i < map.GridColumns(); ++i)
            for (std::int32_t j = 0; j < map.GridRows(); ++j)
                if (List* cell = map.Cell(i, j))
                    for (node* n = cell->Head(); !n->EOList(); n = n->Next()) f(static_cast<CollisionData*>(n));
        const List& own = VariantOf(s, *s.DisplayedFrame()).Collisions();
        for (node* n = own.Head(); !n->EOList(); n = n->Next()) f(static_cast<CollisionData*>(n));
    }

    std::string Outcome(Map& map, Sprite& s) {
        std::ostringstream out;
        out << Bits(s.collisionFactor) << ' ' << s.collisionWithMap << " map";
        for (unsigned i = 0; i < s.mapShapesHit.Size(); ++i) out << ' ' << s.mapShapesHit[i];
        out << " own";
        for (unsigned i = 0; i < s.ownShapesHit.Size(); ++i) out << ' ' << s.ownShapesHit[i];
        const CollisionSegment& l = s.lastHitSegment;
        out << " last " << Bits(l.OriginX()) << ',' << Bits(l.OriginY()) << ',' << Bits(l.DirectionX()) << ','
            << Bits(l.DirectionY()) << ',' << Bits(l.MagnitudeX()) << ',' << Bits(l.MagnitudeY()) << ','
            << Bits(l.NormalX()) << ',' << Bits(l.NormalY()) << ',' << l.Id() << ',' << l.EndInside() << " marks";
        ForEachMark(map, s, [&](CollisionData* shape) { Print(out, shape); });
        return out.str();
    }

    // The sweep marks as they stand, to start the second walk from the same state.
    std::function<void()> Snapshot(Map& map, Sprite& s) {
        std::vector<std::function<void()>> restore;
        ForEachMark(map, s, [&](CollisionData* shape) {
            if (IsSegment(shape)) {
                auto* seg = AsSegment(shape);
                restore.push_back([seg, v = *seg] {
                    seg->HitTime(v.HitTime());
                    seg->EndInside(v.EndInside());
                    seg->ContactX(v.ContactX());
                    seg->ContactY(v.ContactY());
                });
            } else {
                auto* c = AsCircle(shape);
                restore.push_back([c, h = c->HitTime(), x = c->ContactX(), y = c->ContactY()] {
                    c->HitTime(h);
                    c->ContactX(x);
                    c->ContactY(y);
                });
            }
        });
        return [restore] {
            for (const auto& r : restore) r();
        };
    }
};

TEST_F(MapCollisionAgreement, RandomMovesOverRandomMapsLeaveWhatTheFullWalkLeaves) {
    std::mt19937 rng(7);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const float speeds[] = {0, 0.5f, 1, 2, 3.5f, 4, 4, 7.25f, 17, 40};
    const unsigned cells[] = {64, 100, 128};
    for (int scene = 0; scene < 40; ++scene) {
        const bool integral = scene % 2 == 0;
        auto coord = [&](float lo, float hi) { return integral ? std::round(uniform(lo, hi)) : uniform(lo, hi); };
        Map& map = NewMap(640, 480, cells[below(3)], below(3) == 0 ? 40 : 0, below(3) == 0 ? -30 : 0);
        for (int n = 0; n < 120; ++n) {
            const float x = coord(-20, 660), y = coord(-20, 500);
            const unsigned char type = below(5) == 0 ? 1 : 0;
            switch (below(6)) {
                case 0: map.AddCollisionData(CollisionSegment(x, y, x + coord(-80, 80), y, below(4), type, 0)); break;
                case 1: map.AddCollisionData(CollisionSegment(x, y, x, y + coord(-80, 80), below(4), type, 0)); break;
                case 2: map.AddCollisionData(CollisionCircle(x, y, coord(0, 20), below(4), type)); break;
                default:
                    map.AddCollisionData(
                        CollisionSegment(x, y, x + coord(-60, 60), y + coord(-60, 60), below(4), type, 0));
            }
        }
        const int actors[] = {BoxActor, ShapeActor, CircleActor, MixedActor};
        for (int move = 0; move < 150; ++move) {
            const int actor = actors[below(4)];
            Sprite* s = Add("mover", actor, &map, coord(-40, 640), coord(-40, 480), actor == BoxActor);
            s->CheckCollisionWithMap(true);
            s->GhostCollisionWithMap(below(6) == 0);
            const float angle = uniform(0, 6.2831853f);
            const bool axis = below(3) == 0;
            Aim(s, axis ? std::round(std::cos(angle)) : std::cos(angle),
                axis ? std::round(std::sin(angle)) : std::sin(angle), speeds[below(10)]);
            const std::function<void()> restore = Snapshot(map, *s);
            s->ResetCollisionState(true);
            sprites::CheckMapCollision(*s, &map);
            const std::string engine = Outcome(map, *s);
            restore();
            s->ResetCollisionState(true);
            WalkEveryCell::Run(*s);
            ASSERT_EQ(engine, Outcome(map, *s))
                << "scene " << scene << " move " << move << " actor " << actor << " at " << s->mapX << ',' << s->mapY
                << " moving " << s->TranslationX() << ',' << s->TranslationY();
            // Leave the marks of this move for the next, as a frame does.
            level.DisplayList(0).del();
        }
        maps.clear();
    }
}

}  // namespace
