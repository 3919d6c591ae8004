// A sprite against the other sprites of its map: who hit whom, the time of
// impact, the pushes given to reflecting sprites, and the queries on them.
#include <cstdint>
#include <cstring>

#include "foundation/UserError.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteCollisionShared.h"
#include "sprites/SpriteLevel.h"

namespace sprites {

using namespace collide;

namespace {

constexpr float kBoxSweepEnd = 1.01f;

struct FloatBox {
    float left, top, right, bottom;
};

FloatBox Placed(const tagRECT& b, float x, float y) {
    return {float(b.left) + x, float(b.top) + y, float(b.right) + x, float(b.bottom) + y};
}

// The union of a box and the same box moved by (mx, my).
FRECT Swept(const FloatBox& b, float mx, float my) {
    FRECT r;
    if (b.left + mx <= b.left) {
        r.left = b.left + mx;
        r.right = b.right;
    } else {
        r.left = b.left;
        r.right = b.right + mx;
    }
    if (b.top + my <= b.top) {
        r.top = b.top + my;
        r.bottom = b.bottom;
    } else {
        r.top = b.top;
        r.bottom = b.bottom + my;
    }
    return r;
}

FRECT AsFRect(const FloatBox& b) {
    FRECT r;
    r.left = b.left;
    r.top = b.top;
    r.right = b.right;
    r.bottom = b.bottom;
    return r;
}

// Names and pointers both ways, each list capped; duplicates are kept.
void RecordPair(Sprite& s, Sprite& other) {
    if (s.spriteNamesHit.Size() < kSpriteListCap) s.spriteNamesHit.Add(other.Name());
    if (other.spriteNamesHit.Size() < kSpriteListCap) other.spriteNamesHit.Add(s.Name());
    if (s.spritesHit.Size() < kSpriteListCap) s.spritesHit.Add(&other);
    if (other.spritesHit.Size() < kSpriteListCap) other.spritesHit.Add(&s);
}

float WorldX(const Sprite& s) { return IsCursor(s) ? s.mapX : s.mapX + MapWorldX(s.BelongToMapPtr()); }
float WorldY(const Sprite& s) { return IsCursor(s) ? s.mapY : s.mapY + MapWorldY(s.BelongToMapPtr()); }

// This sprite's side of its pair tests, worked out once for every other
// sprite it meets in a frame.
struct Mover {
    Sprite& s;
    const FrameElem* frame;
    float px, py;
    SweepSchedule schedule;
    std::int32_t lastSample = 1;  // the samples are t = k dt, k = 1 .. lastSample
    FloatBox box{};               // the box at its world position
    FRECT whole{};                // the box swept over every sample

    explicit Mover(Sprite& sprite)
        : s(sprite), frame(sprite.DisplayedFrame()), px(WorldX(sprite)), py(WorldY(sprite)), schedule(sprite.Speed()) {
        while (schedule.At(lastSample + 1) <= kBoxSweepEnd) ++lastSample;
        if (!frame) return;
        box = Placed(VariantOf(s, *frame).Box(), px, py);
        const float t = schedule.At(lastSample);
        whole = Swept(box, t * s.TranslationX(), t * s.TranslationY());
    }

    void Meet(Sprite& other);
};

struct PairTest {
    const Mover& mover;
    Sprite& s;
    Sprite& other;
    float px, py, qx, qy;

    bool Ghost() const { return s.GhostCollisionWithSprite() || other.GhostCollisionWithSprite(); }

    void ByBox(const tagRECT& otherBox) {
        const FRECT target = AsFRect(Placed(otherBox, qx, qy));
        // Every sampled box lies inside the box swept over the whole move:
        // when that misses, no sample can hit.
        if (!FRectsOverlap(mover.whole, target)) return;
        const float vx = s.TranslationX(), vy = s.TranslationY();
        const SweepSchedule& schedule = mover.schedule;
        for (std::int32_t k = 1; k <= mover.lastSample; ++k) {
            const float t = schedule.At(k);
            if (!FRectsOverlap(Swept(mover.box, t * vx, t * vy), target)) continue;
            if (!Ghost()) {
                float impact = t - schedule.Dt();
                if (impact < 0) impact = 0;
                if (impact < s.collisionFactor) s.collisionFactor = impact;
                s.lastHitSegment = CollisionSegment();
            }
            RecordPair(s, other);
            return;
        }
    }

    bool BoxesMeet(const tagRECT& ownBox, const tagRECT& otherBox) const {
        const std::int32_t l = TruncToInt32(float(ownBox.left) + px), t = TruncToInt32(float(ownBox.top) + py);
        const std::int32_t r = TruncToInt32(float(ownBox.right) + px), b = TruncToInt32(float(ownBox.bottom) + py);
        const std::int32_t ml = TruncToInt32(float(l) + s.TranslationX()), mt = TruncToInt32(float(t) + s.TranslationY());
        const std::int32_t mr = TruncToInt32(float(r) + s.TranslationX()), mb = TruncToInt32(float(b) + s.TranslationY());
        const QelRect swept{std::min(l, ml), std::min(t, mt), std::max(r, mr), std::max(b, mb)};
        const QelRect target{TruncToInt32(float(otherBox.left) + qx), TruncToInt32(float(otherBox.top) + qy),
                             TruncToInt32(float(otherBox.right) + qx), TruncToInt32(float(otherBox.bottom) + qy)};
        return RectsOverlap(swept, target);
    }

    void Push(float x, float y) {
        if (s.GhostCollisionWithSprite() || !other.Reflection()) return;
        if (s.DirectionX() == 0.0f && s.DirectionY() == 0.0f) return;
        other.directionX = x;
        other.directionY = y;
    }

    void TakeTime(float hitTime) {
        if (hitTime <= s.collisionFactor) s.collisionFactor = hitTime;
    }

    void SetLastHit(float dx, float dy, float nx, float ny) {
        s.lastHitSegment.DirectionX(dx);
        s.lastHitSegment.DirectionY(dy);
        s.lastHitSegment.NormalX(nx);
        s.lastHitSegment.NormalY(ny);
    }

    static bool ContactSet(float h1, float h2) { return h1 != kUnset && h2 != kUnset; }

    void ByShapes(const List& own, const List& theirs) {
        for (node* n = theirs.Head(); !n->EOList(); n = n->Next()) {
            if (IsSegment(static_cast<CollisionData*>(n))) {
                AsSegment(n)->HitTime(kNoHit);
                AsSegment(n)->EndInside(false);
            } else {
                AsCircle(n)->HitTime(kNoHit);
            }
        }
        const float dx = s.DirectionX(), dy = s.DirectionY();
        const float vx = s.TranslationX(), vy = s.TranslationY();
        const float steps = s.Speed();
        const bool ghost = Ghost();
        bool segmentPair = false, recorded = false;
        for (node* a = own.Head(); !a->EOList(); a = a->Next()) {
            auto* mine = static_cast<CollisionData*>(a);
            const bool mineIsSegment = IsSegment(mine);
            if (mineIsSegment) {
                AsSegment(a)->HitTime(kNoHit);
                AsSegment(a)->EndInside(false);
            } else {
                AsCircle(a)->HitTime(kNoHit);
            }
            bool hitAny = false;
            for (node* b = theirs.Head(); !b->EOList(); b = b->Next()) {
                auto* target = static_cast<CollisionData*>(b);
                bool hit = false;
                if (mineIsSegment) {
                    CollisionSegment& sa = *AsSegment(a);
                    if (sa.NormalX() * dx + sa.NormalY() * dy < 0.0f) continue;
                    if (IsSegment(target)) {
                        CollisionSegment& sb = *AsSegment(b);
                        if (!FacesMotion(sb, dx, dy)) continue;
                        const bool still = vx == 0.0f && vy == 0.0f;
                        hit = sa.DetectCollision(&sb, px, py, qx, qy, still ? sa.NormalX() : vx,
                                                 still ? sa.NormalY() : vy, steps);
                        if (!hit) continue;
                        segmentPair = true;
                        if (!ghost) TakeTime(sa.HitTime());
                        if (sb.EndInside()) sa.EndInside(true);
                        Push(-sb.NormalX(), -sb.NormalY());
                    } else {
                        CollisionCircle& cb = *AsCircle(b);
                        hit = sa.DetectCollision(&cb, px, py, qx, qy, vx, vy, steps);
                        if (!hit) continue;
                        const float h1 = cb.ContactX(), h2 = cb.ContactY();
                        if (ContactSet(h1, h2) && !ghost) {
                            if (sa.HitTime() <= s.collisionFactor) {
                                s.collisionFactor = sa.HitTime();
                                SetLastHit(h1, h2, -h2, h1);
                            }
                            Push(h2, -h1);
                        }
                    }
                } else {
                    CollisionCircle& ca = *AsCircle(a);
                    if (IsSegment(target)) {
                        CollisionSegment& sb = *AsSegment(b);
                        if (!FacesMotion(sb, dx, dy)) continue;
                        hit = ca.DetectCollision(&sb, px, py, qx, qy, vx, vy, steps);
                        if (!hit) continue;
                        const float h1 = sb.ContactX(), h2 = sb.ContactY();
                        if (!ghost) {
                            const bool take = ca.HitTime() <= s.collisionFactor;
                            if (take) s.collisionFactor = ca.HitTime();
                            if (!ContactSet(h1, h2)) {
                                if (take) {
                                    s.lastHitSegment = sb;
                                    s.lastHitSegment.NormalX(-sb.DirectionY());
                                    s.lastHitSegment.NormalY(sb.DirectionX());
                                }
                                Push(-sb.NormalX(), -sb.NormalY());
                            } else {
                                if (take) SetLastHit(h1, h2, -h2, h1);
                                Push(h2, -h1);
                            }
                        }
                    } else {
                        CollisionCircle& cb = *AsCircle(b);
                        hit = ca.DetectCollision(&cb, px, py, qx, qy, vx, vy, steps);
                        if (!hit) continue;
                        const float h1 = cb.ContactX(), h2 = cb.ContactY();
                        if (ContactSet(h1, h2) && !ghost) {
                            if (ca.HitTime() <= s.collisionFactor) {
                                s.collisionFactor = ca.HitTime();
                                SetLastHit(-h2, h1, -h1, -h2);
                            }
                            Push(-h1, -h2);
                        }
                    }
                }
                hitAny = true;
                AddDistinct(s.otherShapesHit, target);
                if (!recorded) {
                    RecordPair(s, other);
                    recorded = true;
                }
            }
            if (hitAny && s.ownShapesHit.Size() < kShapeListCap) s.ownShapesHit.Add(mine);
        }
        // A ghost pair leaves the surface the bounce uses as it was.
        if (segmentPair && !ghost) ChooseLastHitSegment();
    }

    float Facing(const CollisionSegment& seg) const {
        return seg.NormalX() * s.DirectionX() + seg.NormalY() * s.DirectionY();
    }

    void TakeIfBetter(const CollisionSegment& candidate) {
        if (!static_cast<bool>(s.lastHitSegment) || Facing(candidate) < Facing(s.lastHitSegment))
            s.lastHitSegment = candidate;
    }

    void ChooseLastHitSegment() {
        bool endInside = false;
        for (unsigned int i = 0; i < s.ownShapesHit.Size(); ++i) {
            CollisionData* shape = s.ownShapesHit[i];
            if (!shape || !IsSegment(shape) || !AsSegment(shape)->EndInside()) continue;
            endInside = true;
            TakeIfBetter(CollisionSegment::OppositeSegmentDirection(*AsSegment(shape)));
        }
        if (!endInside) {
            for (unsigned int i = 0; i < s.otherShapesHit.Size(); ++i) {
                CollisionData* shape = s.otherShapesHit[i];
                if (shape && IsSegment(shape)) TakeIfBetter(*AsSegment(shape));
            }
            return;
        }
        if (s.collisionFactor != 0.0f) return;
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

bool FrameHasId(const Sprite& viewer, const Sprite& owner, int id) {
    const FrameElem* frame = owner.RequestedFrame();
    if (!frame) return false;
    const List& shapes = VariantOf(viewer, *frame).Collisions();
    for (node* n = shapes.Head(); !n->EOList(); n = n->Next())
        if (ShapeId(static_cast<CollisionData*>(n)) == id) return true;
    return false;
}

void Mover::Meet(Sprite& other) {
    if (!frame || &other == &s || IsCursor(other)) return;
    const FrameElem* otherFrame = other.RequestedFrame();
    if (!otherFrame) return;
    const FrameVariant mine = VariantOf(s, *frame);
    const FrameVariant theirs = VariantOf(other, *otherFrame);
    PairTest test{*this, s, other, px, py, WorldX(other), WorldY(other)};
    if (s.CollisionType() || other.CollisionType()) {
        test.ByBox(theirs.Box());
        return;
    }
    if (!test.BoxesMeet(mine.Box(), theirs.Box())) return;
    if (mine.Collisions().Count() == 0 || theirs.Collisions().Count() == 0) return;
    test.ByShapes(mine.Collisions(), theirs.Collisions());
}

}  // namespace

void CheckSpriteCollision(Sprite& sprite, Sprite* other) {
    if (other) Mover(sprite).Meet(*other);
}

void CheckSpriteCollisions(Sprite& sprite, Map* m) {
    if (!sprite.CheckCollisionWithSprite() || !sprite.ActivateCollisionWithSprite()) return;
    Mover mover(sprite);
    for (int n = 0; n < Sprite::DisplayListCount; ++n) {
        if (n == sprite.DisplayListNumber() && !sprite.CheckSameDisplayList()) continue;
        List* list = LevelDisplayList(n);
        if (!list) return;
        for (node* p = list->Head(); !p->EOList(); p = p->Next()) {
            Sprite* other = static_cast<Sprite*>(p);
            if (other == &sprite || !other->ActivateCollisionWithSprite() || other->Unused()) continue;
            if (other->BelongToMapPtr() != m) continue;
            mover.Meet(*other);
        }
    }
}

bool CollisionWithSprite(Sprite& sprite, const char* name) {
    if (!name) return sprite.spriteNamesHit.Size() > 0;
    for (unsigned int i = 0; i < sprite.spriteNamesHit.Size(); ++i)
        if (std::strcmp(sprite.spriteNamesHit[i], name) == 0) return true;
    return false;
}

// The first entry that removal has not emptied (a later one may still be valid).
Sprite* CollisionWithSpritePtr(Sprite& sprite, const char* name) {
    for (unsigned int i = 0; i < sprite.spritesHit.Size(); ++i) {
        Sprite* hit = sprite.spritesHit[i];
        if (!hit) continue;
        if (!name || std::strcmp(hit->Name(), name) == 0) return hit;
    }
    return nullptr;
}

bool CollisionWithSprite(Sprite& sprite, int id) {
    const bool exists =
        ForEachSprite([&](Sprite* s) { return FrameHasId(sprite, *s, id); }) != nullptr;
    if (!exists) {
        UserError::Report("bool Sprite::CollisionWithSprite(unsigned int)",
                          "The collision ID number %d is not implemented in any sprite's collision.", id);
        return false;
    }
    for (unsigned int i = 0; i < sprite.otherShapesHit.Size(); ++i)
        if (sprite.otherShapesHit[i] && ShapeId(sprite.otherShapesHit[i]) == id) return true;
    return false;
}

}  // namespace sprites

// The Sprite members of the sprite test.
void Sprite::CheckSpriteCollision(Sprite* other) { sprites::CheckSpriteCollision(*this, other); }
bool Sprite::CollisionWithSprite(const char* name) { return sprites::CollisionWithSprite(*this, name); }
Sprite* Sprite::CollisionWithSpritePtr(const char* name) { return sprites::CollisionWithSpritePtr(*this, name); }
bool Sprite::CollisionWithSprite(int id) { return sprites::CollisionWithSprite(*this, id); }
