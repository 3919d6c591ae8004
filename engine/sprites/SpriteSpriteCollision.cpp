// A sprite against the other sprites of its map: who hit whom, the time of
// impact, the pushes given to reflecting sprites, and the queries on them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/UserError.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteCollisionSharedInternal.h"
#include "sprites/SpriteLevelInternal.h"

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
        return RectsOverlap(SweptBox(ownBox, px, py, s.TranslationX(), s.TranslationY()), BoxAt(otherBox, qx, qy));
    }

    void Push(float x, float y) {
        if (s.GhostCollisionWithSprite() || !other.Reflection()) return;
        if (s.DirectionX() == 0.0f && s.DirectionY() == 0.0f) return;
        other.directionX = x;
        other.directionY = y;
    }

    static bool ContactSet(float h1, float h2) { return h1 != kUnset && h2 != kUnset; }

    // A hit no later than the factor sets the factor and the surface struck.
    void Take(float hitTime, float dx, float dy, float nx, float ny) {
        if (hitTime > s.collisionFactor) return;
        s.collisionFactor = hitTime;
        SetLastHit(s, dx, dy, nx, ny);
    }

    void ByShapes(const List& own, const List& theirs) {
        for (node* n = theirs.Head(); !n->EOList(); n = n->Next()) ResetScratch(static_cast<CollisionData*>(n));
        const float dx = s.DirectionX(), dy = s.DirectionY();
        bool segmentPair = false, recorded = false;
        for (node* a = own.Head(); !a->EOList(); a = a->Next()) {
            auto* mine = static_cast<CollisionData*>(a);
            ResetScratch(mine);
            // An own segment takes part only when it faces the motion.
            if (IsSegment(mine) && AsSegment(a)->NormalX() * dx + AsSegment(a)->NormalY() * dy < 0.0f) continue;
            bool hitAny = false;
            for (node* b = theirs.Head(); !b->EOList(); b = b->Next()) {
                auto* target = static_cast<CollisionData*>(b);
                if (!Strikes(mine, target, segmentPair)) continue;
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
        if (segmentPair && !Ghost()) ChooseLastHitSegment(s, s.otherShapesHit);
    }

    static void ResetScratch(CollisionData* shape) {
        if (IsSegment(shape)) {
            static_cast<CollisionSegment*>(shape)->HitTime(kNoHit);
            static_cast<CollisionSegment*>(shape)->EndInside(false);
        } else {
            static_cast<CollisionCircle*>(shape)->HitTime(kNoHit);
        }
    }

    // One own shape swept against one of the other's, with the effects of a
    // hit; true on a hit.
    bool Strikes(CollisionData* mine, CollisionData* target, bool& segmentPair) {
        const float dx = s.DirectionX(), dy = s.DirectionY();
        const float vx = s.TranslationX(), vy = s.TranslationY();
        const float steps = s.Speed();
        const bool ghost = Ghost();
        if (IsSegment(mine)) {
            CollisionSegment& a = *static_cast<CollisionSegment*>(mine);
            if (IsSegment(target)) {
                CollisionSegment& b = *static_cast<CollisionSegment*>(target);
                if (!FacesMotion(b, dx, dy)) return false;
                // A standing sprite sweeps its segment along the segment's normal.
                const bool still = vx == 0.0f && vy == 0.0f;
                if (!a.DetectCollision(&b, px, py, qx, qy, still ? a.NormalX() : vx, still ? a.NormalY() : vy, steps))
                    return false;
                segmentPair = true;
                if (!ghost && a.HitTime() <= s.collisionFactor) s.collisionFactor = a.HitTime();
                if (b.EndInside()) a.EndInside(true);
                Push(-b.NormalX(), -b.NormalY());
                return true;
            }
            CollisionCircle& b = *static_cast<CollisionCircle*>(target);
            if (!a.DetectCollision(&b, px, py, qx, qy, vx, vy, steps)) return false;
            const float h1 = b.ContactX(), h2 = b.ContactY();
            if (ContactSet(h1, h2) && !ghost) {
                Take(a.HitTime(), h1, h2, -h2, h1);
                Push(h2, -h1);
            }
            return true;
        }
        CollisionCircle& a = *static_cast<CollisionCircle*>(mine);
        if (IsSegment(target)) {
            CollisionSegment& b = *static_cast<CollisionSegment*>(target);
            if (!FacesMotion(b, dx, dy)) return false;
            if (!a.DetectCollision(&b, px, py, qx, qy, vx, vy, steps)) return false;
            if (ghost) return true;
            const float h1 = b.ContactX(), h2 = b.ContactY();
            if (ContactSet(h1, h2)) {
                Take(a.HitTime(), h1, h2, -h2, h1);
                Push(h2, -h1);
            } else {
                // Struck along the segment: the surface is the segment itself.
                if (a.HitTime() <= s.collisionFactor) s.lastHitSegment = b;
                Take(a.HitTime(), b.DirectionX(), b.DirectionY(), -b.DirectionY(), b.DirectionX());
                Push(-b.NormalX(), -b.NormalY());
            }
            return true;
        }
        CollisionCircle& b = *static_cast<CollisionCircle*>(target);
        if (!a.DetectCollision(&b, px, py, qx, qy, vx, vy, steps)) return false;
        const float h1 = b.ContactX(), h2 = b.ContactY();
        if (ContactSet(h1, h2) && !ghost) {
            Take(a.HitTime(), -h2, h1, -h1, -h2);
            Push(-h1, -h2);
        }
        return true;
    }
};

// The walk meets every sprite of the map; most are far away. This answers,
// from the other sprite's box alone and with the same tests the pair test
// starts with, whether a pair test could do anything at all, so that far
// pairs cost a few comparisons and the pairs tested, and their order, stay
// those of the full walk.
class BroadPhase {
public:
    BroadPhase(const Mover& mover, const Map* m)
        : whole_(mover.whole),
          byBox_(mover.s.CollisionType()),
          // Every other sprite of the walk belongs to the map m.
          mapX_(MapWorldX(m)),
          mapY_(MapWorldY(m)) {
        const FrameVariant mine = VariantOf(mover.s, *mover.frame);
        ownShapes_ = mine.Collisions().Count() != 0;
        swept_ = SweptBox(mine.Box(), mover.px, mover.py, mover.s.TranslationX(), mover.s.TranslationY());
    }

    bool Misses(const Sprite& other) const {
        if (IsCursor(other)) return true;
        const FrameElem* frame = other.RequestedFrame();
        if (!frame) return true;
        const tagRECT& box = VariantOf(other, *frame).Box();
        const float qx = other.mapX + mapX_, qy = other.mapY + mapY_;
        if (byBox_ || other.CollisionType()) return !FRectsOverlap(whole_, AsFRect(Placed(box, qx, qy)));
        return !ownShapes_ || !RectsOverlap(swept_, BoxAt(box, qx, qy));
    }

    // Where on the map m a sprite must stand for Misses to let it through:
    // both boxes the tests above use, in map coordinates.
    SpriteBroadPhase::Reach Reach() const {
        return {std::min(whole_.left, float(swept_.left)) - mapX_, std::min(whole_.top, float(swept_.top)) - mapY_,
                std::max(whole_.right, float(swept_.right)) - mapX_,
                std::max(whole_.bottom, float(swept_.bottom)) - mapY_};
    }

private:
    FRECT whole_;
    bool byBox_;
    float mapX_, mapY_;
    bool ownShapes_ = false;
    QelRect swept_{};
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

namespace {

// The pair tests of the walk, for one other sprite met in list n.
void MeetIfNear(Mover& mover, const BroadPhase& near, Sprite* other, int n, Map* m) {
    Sprite& sprite = mover.s;
    if (n == sprite.DisplayListNumber() && !sprite.CheckSameDisplayList()) return;
    if (other == &sprite || !other->ActivateCollisionWithSprite() || other->Unused()) return;
    if (other->BelongToMapPtr() != m) return;
    if (near.Misses(*other)) return;
    mover.Meet(*other);
}

}  // namespace

void CheckSpriteCollisions(Sprite& sprite, Map* m) {
    if (!sprite.CheckCollisionWithSprite() || !sprite.ActivateCollisionWithSprite()) return;
    Mover mover(sprite);
    // Without a frame of its own the sprite meets nobody.
    if (!mover.frame) return;
    const BroadPhase near(mover, m);
    // The cursor stands in world coordinates, the others on their map: it
    // walks them all.
    static std::vector<ListedSprite> found;
    if (!IsCursor(sprite) && SpriteBroadPhase::Near(near.Reach(), found)) {
        // A pair test moves nobody: what the grid found holds for the whole walk.
        for (const ListedSprite& f : found) MeetIfNear(mover, near, f.sprite, f.list, m);
        return;
    }
    for (int n = 0; n < Sprite::DisplayListCount; ++n) {
        List* list = LevelDisplayList(n);
        if (!list) return;
        for (node* p = list->Head(); !p->EOList(); p = p->Next())
            MeetIfNear(mover, near, static_cast<Sprite*>(p), n, m);
    }
}

void CheckSpriteCollisions(Sprite& sprite, Sprite* const* others, std::size_t count) {
    Mover mover(sprite);
    for (std::size_t i = 0; i < count; ++i)
        if (others[i]) mover.Meet(*others[i]);
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
    const bool exists = ForEachSprite([&](Sprite* s) { return FrameHasId(sprite, *s, id); }) != nullptr;
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
