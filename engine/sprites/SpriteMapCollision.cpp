// A sprite against its map's shapes and its alarms, and the queries on what
// the map test recorded.
#include <cstdint>

#include "foundation/UserError.h"
#include "logic/Alarm.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteCollisionShared.h"
#include "sprites/SpriteLevel.h"

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

    void Touched(CollisionData* shape) {
        s.collisionWithMap = true;
        AddDistinct(s.mapShapesHit, shape);
    }

    // Samples the growing swept box once per pixel of travel and stops one
    // sample before the first touch.
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
                if (IsSegment(shape)) {
                    const CollisionSegment& seg = *static_cast<CollisionSegment*>(shape);
                    if (!SegmentTouches(seg, shapeX, shapeY, r) || !FacesMotion(seg, dirX, dirY)) return false;
                    if (Stops(shape)) {
                        float h = slow ? 0.0f : t - dt;
                        if (h < 0) h = 0;
                        if (h < s.collisionFactor) s.collisionFactor = h;
                        s.lastHitSegment = CollisionSegment();
                    }
                } else {
                    if (!CircleTouches(*static_cast<CollisionCircle*>(shape), shapeX, shapeY, r)) return false;
                    if (Stops(shape)) {
                        s.collisionFactor = 0;
                        s.lastHitSegment = CollisionSegment();
                    }
                }
                Touched(shape);
                return false;
            });
            if (s.collisionFactor < kNoHit) return;
        }
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
            const bool hit = IsSegment(mine) ? OwnSegment(*AsSegment(n), r, segmentPairHit)
                                             : OwnCircle(*AsCircle(n), r);
            if (hit && s.ownShapesHit.Size() < kShapeListCap) s.ownShapesHit.Add(mine);
        }
        if (s.collisionWithMap && segmentPairHit) ChooseLastHitSegment();
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
        bool hitAny = false;
        ForEachCellShape(map, r, [&](CollisionData* shape) {
            if (IsSegment(shape)) {
                CollisionSegment& target = *AsSegment(shape);
                if (!SegmentTouches(target, shapeX, shapeY, r) || !FacesMotion(target, dirX, dirY)) return false;
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, vx, vy, s.Speed())) return false;
                segmentPairHit = true;
                hitAny = true;
                s.collisionWithMap = true;
                if (Stops(shape) && mine.HitTime() <= s.collisionFactor) s.collisionFactor = mine.HitTime();
                if (target.EndInside()) mine.EndInside(true);
                AddDistinct(s.mapShapesHit, shape);
            } else {
                CollisionCircle& target = *AsCircle(shape);
                if (!CircleTouches(target, shapeX, shapeY, r)) return false;
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, s.TranslationX(), s.TranslationY(),
                                          s.Speed()))
                    return false;
                hitAny = true;
                TouchedCircle(target, mine.HitTime());
            }
            return false;
        });
        return hitAny;
    }

    bool OwnCircle(CollisionCircle& mine, const CellWindow& r) {
        mine.HitTime(kNoHit);
        const float vx = s.TranslationX(), vy = s.TranslationY();
        bool hitAny = false;
        ForEachCellShape(map, r, [&](CollisionData* shape) {
            if (IsSegment(shape)) {
                CollisionSegment& target = *AsSegment(shape);
                if (!SegmentTouches(target, shapeX, shapeY, r) || !FacesMotion(target, dirX, dirY)) return false;
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, vx, vy, s.Speed())) return false;
                hitAny = true;
                s.collisionWithMap = true;
                if (Stops(shape) && mine.HitTime() <= s.collisionFactor) {
                    s.collisionFactor = mine.HitTime();
                    const bool contactSet = target.ContactX() != kUnset && target.ContactY() != kUnset;
                    if (contactSet) {
                        SetLastHit(target.ContactX(), target.ContactY());
                        s.lastHitSegment.Id(target.Id());
                    } else {
                        s.lastHitSegment.DirectionX(target.DirectionX());
                        s.lastHitSegment.DirectionY(target.DirectionY());
                        s.lastHitSegment.NormalX(-target.DirectionY());
                        s.lastHitSegment.NormalY(target.DirectionX());
                    }
                }
                AddDistinct(s.mapShapesHit, shape);
            } else {
                CollisionCircle& target = *AsCircle(shape);
                if (!CircleTouches(target, shapeX, shapeY, r)) return false;
                if (!mine.DetectCollision(&target, baseX, baseY, shapeX, shapeY, vx, vy, s.Speed())) return false;
                hitAny = true;
                TouchedCircle(target, mine.HitTime());
            }
            return false;
        });
        return hitAny;
    }

    // A map circle struck by an own shape: only a contact with a known
    // tangent cuts the move and gives the bounce its surface.
    void TouchedCircle(CollisionCircle& target, float hitTime) {
        s.collisionWithMap = true;
        const bool contactSet = target.ContactX() != kUnset && target.ContactY() != kUnset;
        if (contactSet && hitTime <= s.collisionFactor && Stops(&target)) {
            s.collisionFactor = hitTime;
            SetLastHit(target.ContactX(), target.ContactY());
        }
        AddDistinct(s.mapShapesHit, &target);
    }

    // The surface along (h1, h2), facing (-h2, h1).
    void SetLastHit(float h1, float h2) {
        s.lastHitSegment.DirectionX(h1);
        s.lastHitSegment.DirectionY(h2);
        s.lastHitSegment.NormalX(-h2);
        s.lastHitSegment.NormalY(h1);
    }

    float Facing(const CollisionSegment& seg) const { return seg.NormalX() * dirX + seg.NormalY() * dirY; }

    void TakeIfBetter(const CollisionSegment& candidate) {
        if (!static_cast<bool>(s.lastHitSegment) || Facing(candidate) < Facing(s.lastHitSegment))
            s.lastHitSegment = candidate;
    }

    // The surface the bounce uses: a reversed own segment whose end went into
    // a map segment, or else the map segment that opposes the motion most.
    void ChooseLastHitSegment() {
        bool endInside = false;
        for (unsigned int i = 0; i < s.ownShapesHit.Size(); ++i) {
            CollisionData* shape = s.ownShapesHit[i];
            if (!shape || !IsSegment(shape) || !AsSegment(shape)->EndInside()) continue;
            endInside = true;
            TakeIfBetter(CollisionSegment::OppositeSegmentDirection(*AsSegment(shape)));
        }
        if (endInside) {
            if (s.collisionFactor == 0.0f) StraightBack(s);
            return;
        }
        for (unsigned int i = 0; i < s.mapShapesHit.Size(); ++i) {
            CollisionData* shape = s.mapShapesHit[i];
            if (shape && IsSegment(shape)) TakeIfBetter(*AsSegment(shape));
        }
    }

    // A head-on stop: the normal points straight against the motion.
    static void StraightBack(Sprite& s) {
        CollisionSegment& last = s.lastHitSegment;
        const float d = last.DirectionX() * s.DirectionX() + last.DirectionY() * s.DirectionY();
        if (d == 1.0f) {
            last.NormalX(-last.DirectionX());
            last.NormalY(-last.DirectionY());
        } else if (d == -1.0f) {
            last.NormalX(last.DirectionX());
            last.NormalY(last.DirectionY());
        }
    }
};

bool FlagBitOf(Array<CollisionData*>& list, unsigned int n, const char* target) {
    if (n < 2 || n > 8) {
        UserError::Report(target, "%s",
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
                          "The collision ID number %d is not implemented in the map %s.", id,
                          map ? map->Name() : "");
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
