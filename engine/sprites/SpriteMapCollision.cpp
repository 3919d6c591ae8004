// A sprite against its map's shapes and its alarms, and the queries on what
// the map test recorded.
#include <cstdint>
#include <vector>

#include "foundation/UserError.h"
#include "logic/Alarm.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteCollisionSharedInternal.h"
#include "sprites/SpriteLevelInternal.h"

namespace sprites {

using namespace collide;

namespace {

struct MapTest {
    Sprite& s;
    Map& map;
    float baseX, baseY;    // where the sprite's frame box is placed
    float shapeX, shapeY;  // where the map's shapes are placed
    float cellX, cellY;    // the tested map's world position, for its grid
    float dirX, dirY;

    bool Stops(const CollisionData* shape) const { return !RecordOnly(shape) && !s.GhostCollisionWithMap(); }

    // Samples the growing swept box once per pixel of travel and stops one
    // sample before the first touch.
    void ByBox(const tagRECT& frameBox) {
        const float left = float(frameBox.left) + baseX, top = float(frameBox.top) + baseY;
        const float right = float(frameBox.right) + baseX, bottom = float(frameBox.bottom) + baseY;
        const SweepSchedule schedule(s.Speed());
        const float dt = schedule.Dt();
        const bool slow = !(s.Speed() > 1.0f);
        auto sampled = [&](std::int32_t k) {
            const float t = schedule.At(k);
            const float mx = t * s.TranslationX(), my = t * s.TranslationY();
            return CellsUnder(map, cellX, cellY, std::min(left, left + mx), std::min(top, top + my),
                              std::max(right, right + mx), std::max(bottom, bottom + my));
        };
        const std::int32_t last = schedule.LastBelowOnePlusDt();
        const CellWindow whole = sampled(last);
        const std::vector<Candidate>& candidates = CandidatesUnder(whole);
        for (std::int32_t k = 0; k <= last; ++k) {
            const float t = schedule.At(k);
            const CellWindow r = k == last ? whole : sampled(k);
            auto touched = [&](CollisionData* shape, bool segment, bool stops) {
                if (stops) {
                    // A circle has no facing side: touching it stops the move at once.
                    float h = segment && !slow ? t - dt : 0.0f;
                    if (h < 0) h = 0;
                    if (h < s.collisionFactor) s.collisionFactor = h;
                    s.lastHitSegment = CollisionSegment();
                }
                s.collisionWithMap = true;
                AddDistinct(s.mapShapesHit, shape);
            };
            if (Inside(r, whole)) {
                for (const Candidate& c : candidates)
                    if (c.InCells(r) && Touches(c, r)) touched(c.shape, c.segment, c.stops);
            } else {
                ForEachCellShape(map, r, [&](CollisionData* shape) {
                    if (Reachable(shape, shapeX, shapeY, r, dirX, dirY)) touched(shape, IsSegment(shape), Stops(shape));
                    return false;
                });
            }
            if (s.collisionFactor < kNoHit) return;
        }
    }

    // A map shape of the cells under the whole box sweep that can face the
    // motion, with its cell: the cells of every sample lie within those of
    // the whole sweep, and keep their order there.
    struct Candidate {
        CollisionData* shape;
        std::int32_t i, j;
        bool segment, stops;

        bool InCells(const CellWindow& r) const { return i >= r.i0 && i <= r.i1 && j >= r.j0 && j <= r.j1; }
    };

    static bool Inside(const CellWindow& r, const CellWindow& whole) {
        return r.empty ||
               (!whole.empty && r.i0 >= whole.i0 && r.i1 <= whole.i1 && r.j0 >= whole.j0 && r.j1 <= whole.j1);
    }

    const std::vector<Candidate>& CandidatesUnder(const CellWindow& w) {
        static thread_local std::vector<Candidate> found;
        found.clear();
        if (w.empty) return found;
        for (std::int32_t i = w.i0; i <= w.i1; ++i)
            for (std::int32_t j = w.j0; j <= w.j1; ++j) {
                List* cell = map.Cell(i, j);
                if (!cell) continue;
                for (node* n = cell->Head(); !n->EOList(); n = n->Next()) {
                    auto* shape = static_cast<CollisionData*>(n);
                    const bool segment = IsSegment(shape);
                    if (segment && !FacesMotion(*AsSegment(shape), dirX, dirY)) continue;
                    found.push_back({shape, i, j, segment, Stops(shape)});
                }
            }
        return found;
    }

    bool Touches(const Candidate& c, const CellWindow& r) const {
        return c.segment ? SegmentTouches(*AsSegment(c.shape), shapeX, shapeY, r)
                         : CircleTouches(*AsCircle(c.shape), shapeX, shapeY, r);
    }

    // Each own shape swept against each map shape under the move.
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
        const std::vector<Reached>& reached = ResetAndReach(r);

        bool segmentPairHit = false;
        for (node* n = own.Head(); !n->EOList(); n = n->Next()) {
            auto* mine = static_cast<CollisionData*>(n);
            const bool hit =
                IsSegment(mine) ? OwnSegment(*AsSegment(n), reached, segmentPairHit) : OwnCircle(*AsCircle(n), reached);
            if (hit && s.ownShapesHit.Size() < kShapeListCap) s.ownShapesHit.Add(mine);
        }
        if (s.collisionWithMap && segmentPairHit) ChooseLastHitSegment(s, s.mapShapesHit);
    }

    // A map shape under the swept rectangle that the move can strike, met in
    // cell order (a shape lying in several cells once per cell).
    struct Reached {
        CollisionData* shape;
        bool segment;
    };

    // Clears the sweep results of every map shape under R and lists those the
    // move can strike, once for all own shapes: what a shape can strike does
    // not change while the own shapes are swept.
    static std::vector<Reached>& Found() {
        static thread_local std::vector<Reached> found;
        return found;
    }
    const std::vector<Reached>& ResetAndReach(const CellWindow& r) {
        std::vector<Reached>& found = Found();
        found.clear();
        ForEachCellShape(map, r, [&](CollisionData* shape) {
            const bool segment = IsSegment(shape);
            if (segment) {
                AsSegment(shape)->HitTime(kNoHit);
                AsSegment(shape)->EndInside(false);
            } else {
                AsCircle(shape)->HitTime(kNoHit);
            }
            if (Reachable(shape, segment, shapeX, shapeY, r, dirX, dirY)) found.push_back({shape, segment});
            return false;
        });
        return found;
    }

    // A standing sprite sweeps its segments along their normals against the
    // map's segments; every other pair takes the translation.
    bool OwnSegment(CollisionSegment& mine, const std::vector<Reached>& reached, bool& segmentPairHit) {
        mine.HitTime(kNoHit);
        mine.EndInside(false);
        if (mine.NormalX() * dirX + mine.NormalY() * dirY < 0.0f) return false;
        float vx = s.TranslationX(), vy = s.TranslationY();
        if (vx == 0.0f && vy == 0.0f) {
            vx = mine.NormalX();
            vy = mine.NormalY();
        }
        return Sweep(mine, reached, vx, vy, [&](CollisionSegment& target) {
            segmentPairHit = true;
            if (Stops(&target) && mine.HitTime() <= s.collisionFactor) s.collisionFactor = mine.HitTime();
            if (target.EndInside()) mine.EndInside(true);
        });
    }

    // A struck segment gives the bounce its surface: along the contact when
    // the sweep found one, else the segment itself. Record-only shapes and
    // ghosts keep the factor but still give the surface.
    bool OwnCircle(CollisionCircle& mine, const std::vector<Reached>& reached) {
        mine.HitTime(kNoHit);
        return Sweep(mine, reached, s.TranslationX(), s.TranslationY(), [&](CollisionSegment& target) {
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

    // One own shape against every map shape the move can reach; a struck
    // segment is handed to onSegment, a struck circle handled alike for both
    // own kinds. True when anything was struck.
    template <class Own, class OnSegment>
    bool Sweep(Own& mine, const std::vector<Reached>& reached, float segmentVx, float segmentVy, OnSegment onSegment) {
        bool hitAny = false;
        for (const Reached& at : reached) {
            if (at.segment) {
                CollisionSegment& target = *AsSegment(at.shape);
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, segmentVx, segmentVy, s.Speed()))
                    continue;
                onSegment(target);
            } else {
                CollisionCircle& target = *AsCircle(at.shape);
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, s.TranslationX(), s.TranslationY(),
                                          s.Speed()))
                    continue;
                CircleStruck(target, mine.HitTime());
            }
            hitAny = true;
            s.collisionWithMap = true;
            AddDistinct(s.mapShapesHit, at.shape);
        }
        return hitAny;
    }

    // Only a contact with a known tangent gives the bounce a surface.
    void CircleStruck(const CollisionCircle& target, float hitTime) {
        const float h1 = target.ContactX(), h2 = target.ContactY();
        if (h1 == kUnset || h2 == kUnset || hitTime > s.collisionFactor) return;
        if (Stops(&target)) s.collisionFactor = hitTime;
        SetLastHit(s, h1, h2, -h2, h1);
    }
};

bool FlagBitOf(Array<CollisionData*>& list, unsigned int n, const char* target) {
    if (n < 2 || n > 8) {
        UserError::Report(
            target, "%s",
            "The range allowed to test a bit value from the collision data attribute is between 2 and 8.");
        return false;
    }
    const unsigned int mask = 1u << (n - 1);
    for (unsigned int i = 0; i < list.Size(); ++i)
        if (list[i] && (ShapeAttributes(list[i]) & mask) != 0) return true;
    return false;
}

bool HasId(Array<CollisionData*>& list, int id) {
    for (unsigned int i = 0; i < list.Size(); ++i)
        if (list[i] && ShapeId(list[i]) == id) return true;
    return false;
}

bool ListHasId(const List& list, int id) {
    for (node* n = list.Head(); !n->EOList(); n = n->Next())
        if (ShapeId(static_cast<CollisionData*>(n)) == id) return true;
    return false;
}

}  // namespace

void HandleAlarms(Sprite& sprite) {
    if (sprite.alarms.Size() == 0) return;
    const FrameElem* frame = sprite.DisplayedFrame();
    if (!frame) return;
    const tagRECT& b = VariantOf(sprite, *frame).Box();
    const QelRect box{TruncToInt32(float(b.left) + sprite.mapX), TruncToInt32(float(b.top) + sprite.mapY),
                      TruncToInt32(float(b.right) + sprite.mapX), TruncToInt32(float(b.bottom) + sprite.mapY)};
    for (unsigned int i = 0; i < sprite.alarms.Size(); ++i)
        if (Alarm* alarm = sprite.alarms[i]) alarm->Watch(&sprite, box, sprite.DirectionX(), sprite.DirectionY());
}

void CheckMapCollision(Sprite& sprite, Map* map) {
    const bool cursor = IsCursor(sprite);
    Map* tested = cursor ? map : sprite.BelongToMapPtr();
    const FrameElem* frame = sprite.DisplayedFrame();
    if (!tested || !frame) return;
    const float testedX = MapWorldX(tested), testedY = MapWorldY(tested);
    MapTest test{sprite,
                 *tested,
                 cursor ? sprite.mapX : sprite.mapX + testedX,
                 cursor ? sprite.mapY : sprite.mapY + testedY,
                 MapWorldX(sprite.BelongToMapPtr()),
                 MapWorldY(sprite.BelongToMapPtr()),
                 testedX,
                 testedY,
                 sprite.DirectionX(),
                 sprite.DirectionY()};
    const FrameVariant variant = VariantOf(sprite, *frame);
    if (sprite.CollisionType())
        test.ByBox(variant.Box());
    else
        test.ByShapes(variant);
}

bool CollisionWithMap(Sprite& sprite, int id) {
    Map* map = sprite.BelongToMapPtr();
    if (!IsCursor(sprite) && !(map && ListHasId(map->Shapes(), id))) {
        UserError::Report("bool Sprite::CollisionWithMapId(unsigned int)",
                          "The collision ID number %d is not implemented in the map %s.", id, map ? map->Name() : "");
        return false;
    }
    return HasId(sprite.mapShapesHit, id);
}

bool Collision(Sprite& sprite, int id) {
    const FrameElem* frame = sprite.RequestedFrame();
    if (!frame || !ListHasId(VariantOf(sprite, *frame).Collisions(), id)) {
        UserError::Report("bool Sprite::Collision(unsigned int)",
                          "The collision ID number %d of the current sprite is not implemented.", id);
        return false;
    }
    return HasId(sprite.ownShapesHit, id);
}

bool OwnerCollisionDataFlagBit(Sprite& sprite, unsigned int n) {
    return FlagBitOf(sprite.ownShapesHit, n, "bool Sprite::OwnerCollisionDataFlagBit(int)");
}

bool SpriteCollisionDataFlagBit(Sprite& sprite, unsigned int n) {
    return FlagBitOf(sprite.otherShapesHit, n, "bool Sprite::SpriteCollisionDataFlagBit(int)");
}

bool MapCollisionDataFlagBit(Sprite& sprite, unsigned int n) {
    return FlagBitOf(sprite.mapShapesHit, n, "bool Sprite::MapCollisionDataFlagBit(int)");
}

}  // namespace sprites

// The Sprite members of the map test.
void Sprite::HandleAlarms() { sprites::HandleAlarms(*this); }
void Sprite::CheckMapCollision(Map* m) { sprites::CheckMapCollision(*this, m); }
bool Sprite::CollisionWithMap(int id) { return sprites::CollisionWithMap(*this, id); }
bool Sprite::Collision(int id) { return sprites::Collision(*this, id); }
bool Sprite::OwnerCollisionDataFlagBit(unsigned int n) { return sprites::OwnerCollisionDataFlagBit(*this, n); }
bool Sprite::SpriteCollisionDataFlagBit(unsigned int n) { return sprites::SpriteCollisionDataFlagBit(*this, n); }
bool Sprite::MapCollisionDataFlagBit(unsigned int n) { return sprites::MapCollisionDataFlagBit(*this, n); }
