// Pieces the sprite collision code shares: the frame a sprite presents, the
// map grid cells under a rectangle, shape attributes, the capped hit lists and
// the choice of the surface a bounce uses.
#pragma once
#include <algorithm>
#include <cstdint>

#include "foundation/Array.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"

namespace sprites::collide {

constexpr unsigned int kShapeListCap = 15;
constexpr unsigned int kSpriteListCap = 10;
constexpr float kNoHit = 1.5f;
constexpr float kUnset = 200.0f;

inline bool IsSegment(const CollisionData* s) { return s->Type() == CollisionData::SegmentKind; }
inline CollisionSegment* AsSegment(node* n) { return static_cast<CollisionSegment*>(n); }
inline CollisionCircle* AsCircle(node* n) { return static_cast<CollisionCircle*>(n); }

inline int ShapeId(const CollisionData* s) {
    return IsSegment(s) ? static_cast<const CollisionSegment*>(s)->Id() : static_cast<const CollisionCircle*>(s)->Id();
}
inline unsigned char ShapeAttributes(const CollisionData* s) {
    return IsSegment(s) ? static_cast<const CollisionSegment*>(s)->TypeByte()
                        : static_cast<const CollisionCircle*>(s)->TypeByte();
}
// Attribute bit 0: the shape is recorded when touched but never stops a move.
inline bool RecordOnly(const CollisionData* s) { return (ShapeAttributes(s) & 1u) != 0; }

inline bool IsCursor(const Sprite& s) { return s.ZOrder() == Sprite::CursorZOrder; }

// The flip variant of a frame under the sprite's current flips.
inline FrameVariant VariantOf(const Sprite& s, const FrameElem& frame) {
    return FrameVariant{frame, s.HFlip() != 0, s.VFlip() != 0};
}

// The same surface: a map keeps one copy of a shape per grid cell it lies
// in, so copies are told apart by their values, not their addresses.
inline bool SameShape(const CollisionData* a, const CollisionData* b) {
    if (a == b) return true;
    if (a->Type() != b->Type()) return false;
    if (IsSegment(a)) {
        const auto* p = static_cast<const CollisionSegment*>(a);
        const auto* q = static_cast<const CollisionSegment*>(b);
        return p->OriginX() == q->OriginX() && p->OriginY() == q->OriginY() && p->DirectionX() == q->DirectionX() &&
               p->DirectionY() == q->DirectionY() && p->MagnitudeX() == q->MagnitudeX() &&
               p->MagnitudeY() == q->MagnitudeY() && p->Id() == q->Id() && p->TypeByte() == q->TypeByte();
    }
    const auto* p = static_cast<const CollisionCircle*>(a);
    const auto* q = static_cast<const CollisionCircle*>(b);
    return p->OriginX() == q->OriginX() && p->OriginY() == q->OriginY() && p->Radius() == q->Radius() &&
           p->Id() == q->Id() && p->TypeByte() == q->TypeByte();
}

// The box of a frame at (x, y), edges truncated, and the same box moved by
// (vx, vy), truncated again, joined.
inline QelRect SweptBox(const tagRECT& box, float x, float y, float vx, float vy) {
    const std::int32_t l = TruncToInt32(float(box.left) + x), t = TruncToInt32(float(box.top) + y);
    const std::int32_t r = TruncToInt32(float(box.right) + x), b = TruncToInt32(float(box.bottom) + y);
    const std::int32_t ml = TruncToInt32(float(l) + vx), mt = TruncToInt32(float(t) + vy);
    const std::int32_t mr = TruncToInt32(float(r) + vx), mb = TruncToInt32(float(b) + vy);
    return {std::min(l, ml), std::min(t, mt), std::max(r, mr), std::max(b, mb)};
}

inline QelRect BoxAt(const tagRECT& box, float x, float y) {
    return {TruncToInt32(float(box.left) + x), TruncToInt32(float(box.top) + y), TruncToInt32(float(box.right) + x),
            TruncToInt32(float(box.bottom) + y)};
}

// Adds a shape unless it is there already or the list is full.
inline void AddDistinct(Array<CollisionData*>& list, CollisionData* shape) {
    if (list.Size() >= kShapeListCap) return;
    for (unsigned int i = 0; i < list.Size(); ++i)
        if (list[i] && SameShape(list[i], shape)) return;
    list.Add(shape);
}

// The grid cells of a map under a world rectangle, and that rectangle clamped
// to the map (in world coordinates) for the geometric tests.
struct CellWindow {
    bool empty = true;
    std::int32_t i0 = 0, i1 = -1, j0 = 0, j1 = -1;
    float left = 0, top = 0, right = 0, bottom = 0;
};

// worldX, worldY: the map's world position. A map without a grid, or a
// rectangle wholly off the map, has no cells; indices never leave the grid.
inline CellWindow CellsUnder(Map& map, float worldX, float worldY, float left, float top, float right, float bottom) {
    CellWindow w;
    const std::uint32_t size = map.SpacePartitionGridSize();
    if (!map.HasGrid() || size == 0) return w;
    float l = left - worldX, t = top - worldY, r = right - worldX, b = bottom - worldY;
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (r > float(map.CollisionWidth())) r = float(map.CollisionWidth());
    if (b > float(map.CollisionHeight())) b = float(map.CollisionHeight());
    if (!(r >= l) || !(b >= t)) return w;
    const std::int64_t s = size;
    w.i0 = std::int32_t(std::min<std::int64_t>(TruncToInt32(l) / s, map.GridColumns() - 1));
    w.i1 = std::int32_t(std::min<std::int64_t>(TruncToInt32(r) / s, map.GridColumns() - 1));
    w.j0 = std::int32_t(std::min<std::int64_t>(TruncToInt32(t) / s, map.GridRows() - 1));
    w.j1 = std::int32_t(std::min<std::int64_t>(TruncToInt32(b) / s, map.GridRows() - 1));
    w.left = l + worldX;
    w.top = t + worldY;
    w.right = r + worldX;
    w.bottom = b + worldY;
    w.empty = false;
    return w;
}

// Calls f(CollisionData*) on each shape of each cell, columns outer; f answers
// true to stop. A shape lying in several cells is met once per cell.
template <class F>
bool ForEachCellShape(Map& map, const CellWindow& w, F f) {
    if (w.empty) return false;
    for (std::int32_t i = w.i0; i <= w.i1; ++i)
        for (std::int32_t j = w.j0; j <= w.j1; ++j) {
            List* cell = map.Cell(i, j);
            if (!cell) continue;
            for (node* n = cell->Head(); !n->EOList(); n = n->Next())
                if (f(static_cast<CollisionData*>(n))) return true;
        }
    return false;
}

// A map segment's end points in world coordinates.
struct WorldSegment {
    float x1, y1, x2, y2;
};
inline WorldSegment Placed(const CollisionSegment& s, float wx, float wy) {
    return {s.OriginX() + wx, s.OriginY() + wy, s.OriginX() + s.DirectionX() * s.MagnitudeX() + wx,
            s.OriginY() + s.DirectionY() * s.MagnitudeY() + wy};
}
inline bool SegmentTouches(const CollisionSegment& s, float wx, float wy, const CellWindow& r) {
    const WorldSegment p = Placed(s, wx, wy);
    // Both ends beyond one side of r: the first step of the line test answers
    // no, without the call.
    if ((p.x1 < r.left && p.x2 < r.left) || (p.x1 > r.right && p.x2 > r.right) || (p.y1 < r.top && p.y2 < r.top) ||
        (p.y1 > r.bottom && p.y2 > r.bottom))
        return false;
    return SegmentIntersectsRect(p.x1, p.y1, p.x2, p.y2, r.left, r.top, r.right, r.bottom);
}
inline bool CircleTouches(const CollisionCircle& c, float wx, float wy, const CellWindow& r) {
    return CircleIntersectsRect(c.OriginX() + wx, c.OriginY() + wy, c.Radius(), r.left, r.top, r.right, r.bottom);
}
// The segment's normal faces a motion along (dx, dy).
inline bool FacesMotion(const CollisionSegment& s, float dx, float dy) {
    return -dx * s.NormalX() + -dy * s.NormalY() >= 0.0f;
}

// A map shape (placed at wx, wy) that a move along (dx, dy) can strike within
// r: a segment touching r and facing the motion, or a circle touching r.
inline bool Reachable(const CollisionData* shape, bool segment, float wx, float wy, const CellWindow& r, float dx,
                      float dy) {
    if (segment) {
        const auto& seg = *static_cast<const CollisionSegment*>(shape);
        return FacesMotion(seg, dx, dy) && SegmentTouches(seg, wx, wy, r);
    }
    return CircleTouches(*static_cast<const CollisionCircle*>(shape), wx, wy, r);
}
inline bool Reachable(const CollisionData* shape, float wx, float wy, const CellWindow& r, float dx, float dy) {
    return Reachable(shape, IsSegment(shape), wx, wy, r, dx, dy);
}

// The sprite's last hit segment becomes the surface along (dx, dy) facing (nx, ny).
inline void SetLastHit(Sprite& s, float dx, float dy, float nx, float ny) {
    s.lastHitSegment.DirectionX(dx);
    s.lastHitSegment.DirectionY(dy);
    s.lastHitSegment.NormalX(nx);
    s.lastHitSegment.NormalY(ny);
}

// Chooses the surface the bounce uses after a segment struck a segment: an own
// segment whose end went into what it struck, reversed; or else, among the
// struck segments, the one whose normal opposes the motion most (ties keep
// the earlier). An empty last hit segment takes any candidate.
inline void ChooseLastHitSegment(Sprite& s, const Array<CollisionData*>& struck) {
    const float dx = s.DirectionX(), dy = s.DirectionY();
    auto facing = [&](const CollisionSegment& seg) { return seg.NormalX() * dx + seg.NormalY() * dy; };
    auto takeIfBetter = [&](const CollisionSegment& candidate) {
        if (!static_cast<bool>(s.lastHitSegment) || facing(candidate) < facing(s.lastHitSegment))
            s.lastHitSegment = candidate;
    };
    bool endInside = false;
    for (unsigned int i = 0; i < s.ownShapesHit.Size(); ++i) {
        CollisionData* shape = s.ownShapesHit[i];
        if (!shape || !IsSegment(shape) || !AsSegment(shape)->EndInside()) continue;
        endInside = true;
        takeIfBetter(CollisionSegment::OppositeSegmentDirection(*AsSegment(shape)));
    }
    if (!endInside) {
        for (unsigned int i = 0; i < struck.Size(); ++i)
            if (struck[i] && IsSegment(struck[i])) takeIfBetter(*AsSegment(struck[i]));
        return;
    }
    // Stopped head-on at once: the normal points straight against the motion,
    // so a bounce sends the sprite straight back.
    if (s.collisionFactor != 0.0f) return;
    CollisionSegment& last = s.lastHitSegment;
    const float d = last.DirectionX() * dx + last.DirectionY() * dy;
    if (d == 1.0f) {
        last.NormalX(-last.DirectionX());
        last.NormalY(-last.DirectionY());
    } else if (d == -1.0f) {
        last.NormalX(last.DirectionX());
        last.NormalY(last.DirectionY());
    }
}

}  // namespace sprites::collide
