// Look-ahead probes: would the sprite hit the map or a sprite if it were a few
// pixels further? They record nothing, and they change neither the sprite nor
// any shape: the sweep tests run on copies, because the sweep tests write
// scratch values into the shapes they are given and frame and map shapes are
// shared.
#include <cstdint>
#include <cstring>

#include "foundation/UserError.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteCollisionSharedInternal.h"
#include "sprites/SpriteLevelInternal.h"

namespace sprites {

using namespace collide;

namespace {

constexpr float kProbeSteps = 3.0f;
constexpr float kProbeReach = 3.0f;
constexpr int kAnyId = -1;

// Which map shapes a probe counts: all, or those of one collision ID.
struct IdFilter {
    bool any;
    int id;
    bool Takes(const CollisionData* shape) const { return any || ShapeId(shape) == id; }
};
constexpr IdFilter kAllShapes{true, 0};

struct Probe {
    float dx, dy;  // the direction the facing tests use
    float vx, vy;  // the motion swept
};

// The probe of a direction code: a unit direction and a motion of 3 pixels.
bool ProbeOf(unsigned int code, Probe& probe, float& shiftX, float& shiftY, float distance) {
    switch (code) {
        case RIGHT:
            probe = {1, 0, kProbeReach, 0};
            shiftX = distance;
            shiftY = 0;
            return true;
        case LEFT:
            probe = {-1, 0, -kProbeReach, 0};
            shiftX = -distance;
            shiftY = 0;
            return true;
        case DOWN:
            probe = {0, 1, 0, kProbeReach};
            shiftX = 0;
            shiftY = distance;
            return true;
        case UP:
            probe = {0, -1, 0, -kProbeReach};
            shiftX = 0;
            shiftY = -distance;
            return true;
        default: return false;
    }
}

// Own shape swept against a target shape, both copies.
template <class Own>
bool SweepCopies(Own mine, const CollisionData* target, float x, float y, float ox, float oy, const Probe& p) {
    if (IsSegment(target)) {
        CollisionSegment other(*static_cast<const CollisionSegment*>(target));
        return mine.DetectCollision(&other, x, y, ox, oy, p.vx, p.vy, kProbeSteps);
    }
    CollisionCircle other(*static_cast<const CollisionCircle*>(target));
    return mine.DetectCollision(&other, x, y, ox, oy, p.vx, p.vy, kProbeSteps);
}

bool SweepHits(const CollisionData* own, const CollisionData* target, float x, float y, float ox, float oy,
               const Probe& p) {
    if (IsSegment(own)) return SweepCopies(*static_cast<const CollisionSegment*>(own), target, x, y, ox, oy, p);
    return SweepCopies(*static_cast<const CollisionCircle*>(own), target, x, y, ox, oy, p);
}

// An own segment takes part only when it faces the probe's direction.
bool OwnTakesPart(const CollisionData* own, const Probe& p) {
    if (!IsSegment(own)) return true;
    const auto* s = static_cast<const CollisionSegment*>(own);
    return s->NormalX() * p.dx + s->NormalY() * p.dy >= 0.0f;
}

// The map test with the sprite placed at map position (x, y).
bool MapHit(Sprite& sprite, float x, float y, const Probe& p, IdFilter filter) {
    if (IsCursor(sprite)) return false;
    Map* map = sprite.BelongToMapPtr();
    const FrameElem* frame = sprite.RequestedFrame();
    if (!map || !frame) return false;
    const float wx = MapWorldX(map), wy = MapWorldY(map);
    const float px = x + wx, py = y + wy;
    const FrameVariant variant = VariantOf(sprite, *frame);
    const QelRect swept = SweptBox(variant.Box(), px, py, p.vx, p.vy);
    const CellWindow r =
        CellsUnder(*map, wx, wy, float(swept.left), float(swept.top), float(swept.right), float(swept.bottom));
    auto near = [&](const CollisionData* shape) { return Reachable(shape, wx, wy, r, p.dx, p.dy); };
    if (sprite.CollisionType())
        return ForEachCellShape(*map, r, [&](CollisionData* shape) { return filter.Takes(shape) && near(shape); });
    const List& own = variant.Collisions();
    for (node* n = own.Head(); !n->EOList(); n = n->Next()) {
        const auto* mine = static_cast<const CollisionData*>(n);
        if (!OwnTakesPart(mine, p)) continue;
        const bool hit = ForEachCellShape(*map, r, [&](CollisionData* shape) {
            return filter.Takes(shape) && near(shape) && SweepHits(mine, shape, px, py, wx, wy, p);
        });
        if (hit) return true;
    }
    return false;
}

bool ShapesMeet(const List& own, const List& theirs, float x, float y, float ox, float oy, const Probe& p) {
    for (node* a = own.Head(); !a->EOList(); a = a->Next()) {
        const auto* mine = static_cast<const CollisionData*>(a);
        if (!OwnTakesPart(mine, p)) continue;
        for (node* b = theirs.Head(); !b->EOList(); b = b->Next()) {
            const auto* target = static_cast<const CollisionData*>(b);
            if (IsSegment(target) && !FacesMotion(*static_cast<const CollisionSegment*>(target), p.dx, p.dy)) continue;
            if (SweepHits(mine, target, x, y, ox, oy, p)) return true;
        }
    }
    return false;
}

// The sprite test with the sprite placed at map position (x, y): every sprite
// of the level, whatever its map, at its own map position.
Sprite* SpriteHit(Sprite& sprite, float x, float y, const Probe& p, const char* name) {
    if (IsCursor(sprite)) return nullptr;
    const FrameElem* frame = sprite.RequestedFrame();
    if (!frame) return nullptr;
    const FrameVariant variant = VariantOf(sprite, *frame);
    const QelRect swept = SweptBox(variant.Box(), x, y, p.vx, p.vy);
    const bool byBox = sprite.CollisionType();
    const List& own = variant.Collisions();
    if (!byBox && own.Count() == 0) return nullptr;
    return ForEachSprite([&](Sprite* other) {
        if (other == &sprite || IsCursor(*other) || other->Unused()) return false;
        if (name && std::strcmp(other->Name(), name) != 0) return false;
        const FrameElem* otherFrame = other->RequestedFrame();
        if (!otherFrame) return false;
        const FrameVariant theirs = VariantOf(*other, *otherFrame);
        if (!RectsOverlap(swept, BoxAt(theirs.Box(), other->mapX, other->mapY))) return false;
        if (byBox) return true;
        return ShapesMeet(own, theirs.Collisions(), x, y, other->mapX, other->mapY, p);
    });
}

void ReportBadCode(const char* target) {
    UserError::Report(target, "%s", "Ray direction must be one of four directions: RIGHT, LEFT, DOWN, UP.");
}

}  // namespace

// The sprite is probed where the shift would put it; its position is never
// written, so no rounding can creep into it however often the game asks.
bool LookAheadCollisionWithMap(Sprite& sprite, unsigned int code, unsigned int distance, int id) {
    Probe p;
    float sx = 0, sy = 0;
    if (!ProbeOf(code, p, sx, sy, float(distance))) {
        ReportBadCode("bool Sprite::LookAheadCollisionWithMap(unsigned int,unsigned int,int)");
        return false;
    }
    return MapHit(sprite, sprite.mapX + sx, sprite.mapY + sy, p, IdFilter{id == kAnyId, id});
}

Sprite* LookAheadCollisionWithSprite(Sprite& sprite, unsigned int code, unsigned int distance, const char* name) {
    Probe p;
    float sx = 0, sy = 0;
    if (!ProbeOf(code, p, sx, sy, float(distance))) {
        ReportBadCode("Sprite * Sprite::LookAheadCollisionWithSprite(unsigned int,unsigned int,const char *)");
        return nullptr;
    }
    return SpriteHit(sprite, sprite.mapX + sx, sprite.mapY + sy, p, name);
}

bool LookAheadCollision(Sprite& sprite, unsigned int code, unsigned int distance, unsigned int what) {
    switch (what) {
        case 0: return LookAheadCollisionWithSprite(sprite, code, distance, nullptr) != nullptr;
        case 1: return LookAheadCollisionWithMap(sprite, code, distance, kAnyId);
        case 2:
            return LookAheadCollisionWithSprite(sprite, code, distance, nullptr) != nullptr ||
                   LookAheadCollisionWithMap(sprite, code, distance, kAnyId);
        default: return false;
    }
}

bool TempCheckCollisionWithMap(Sprite& sprite, float dx, float dy, float vx, float vy) {
    return MapHit(sprite, sprite.mapX, sprite.mapY, Probe{dx, dy, vx, vy}, kAllShapes);
}

bool TempCheckCollisionWithMap(Sprite& sprite, float dx, float dy, float vx, float vy, int id) {
    return MapHit(sprite, sprite.mapX, sprite.mapY, Probe{dx, dy, vx, vy}, IdFilter{false, id});
}

Sprite* TempCheckCollisionWithSprite(Sprite& sprite, float dx, float dy, float vx, float vy, const char* name) {
    return SpriteHit(sprite, sprite.mapX, sprite.mapY, Probe{dx, dy, vx, vy}, name);
}

}  // namespace sprites

// The Sprite members of the probes.
bool Sprite::LookAheadCollisionWithMap(unsigned int code, unsigned int distance, int id) {
    return sprites::LookAheadCollisionWithMap(*this, code, distance, id);
}
Sprite* Sprite::LookAheadCollisionWithSprite(unsigned int code, unsigned int distance, const char* name) {
    return sprites::LookAheadCollisionWithSprite(*this, code, distance, name);
}
bool Sprite::LookAheadCollision(unsigned int code, unsigned int distance, unsigned int what) {
    return sprites::LookAheadCollision(*this, code, distance, what);
}
bool Sprite::TempCheckCollisionWithMap(float dx, float dy, float vx, float vy) {
    return sprites::TempCheckCollisionWithMap(*this, dx, dy, vx, vy);
}
bool Sprite::TempCheckCollisionWithMap(float dx, float dy, float vx, float vy, int id) {
    return sprites::TempCheckCollisionWithMap(*this, dx, dy, vx, vy, id);
}
Sprite* Sprite::TempCheckCollisionWithSprite(float dx, float dy, float vx, float vy, const char* name) {
    return sprites::TempCheckCollisionWithSprite(*this, dx, dy, vx, vy, name);
}
