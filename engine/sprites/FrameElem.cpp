#include "sprites/FrameElem.h"

#include <new>
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"

namespace {

tagRECT MakeRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    tagRECT r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    return r;
}

// Adds each shape of `from`, mirrored, at the head of `to` (so `to` runs in the
// reverse order). mirrorX / mirrorY say which axes flip; W and H are the frame's size.
void MirrorShapes(const List& from, List& to, bool mirrorX, bool mirrorY, std::int32_t W, std::int32_t H) {
    const float w = float(W), h = float(H);
    for (node* n = from.Head(); !n->EOList(); n = n->Next()) {
        const auto* shape = static_cast<const CollisionData*>(n);
        if (shape->Type() == CollisionData::SegmentKind) {
            const auto* s = static_cast<const CollisionSegment*>(shape);
            const float ox = s->OriginX(), oy = s->OriginY(), ex = s->EndX(), ey = s->EndY();
            float x1, y1, x2, y2;
            if (mirrorX && mirrorY) {
                x1 = w - ox - 1;
                y1 = h - oy - 1;
                x2 = w - ex - 1;
                y2 = h - ey - 1;
            } else if (mirrorX) {
                x1 = w - ex - 1;
                y1 = ey;
                x2 = w - ox - 1;
                y2 = oy;
            } else {
                x1 = ex;
                y1 = h - ey - 1;
                x2 = ox;
                y2 = h - oy - 1;
            }
            to.add(new CollisionSegment(x1, y1, x2, y2, s->Id(), s->TypeByte(), 0));
        } else {
            const auto* c = static_cast<const CollisionCircle*>(shape);
            // Circles mirror about the frame's edge, without the minus one of segments.
            const float cx = mirrorX ? w - c->OriginX() : c->OriginX();
            const float cy = mirrorY ? h - c->OriginY() : c->OriginY();
            to.add(new CollisionCircle(cx, cy, c->Radius(), c->Id(), c->TypeByte()));
        }
    }
}

tagRECT MirrorBoxX(const tagRECT& b, std::int32_t W) {
    const std::int32_t m2 = (W / 2) * 2;
    return MakeRect(m2 - b.right - 1, b.top, m2 - b.left - 1, b.bottom);
}

tagRECT MirrorBoxY(const tagRECT& b, std::int32_t H) {
    const std::int32_t n2 = (H / 2) * 2;
    return MakeRect(b.left, n2 - b.bottom - 1, b.right, n2 - b.top - 1);
}

}  // namespace

FrameElem::FrameElem() : Surfaces(new qel::Surface* [4] { nullptr, nullptr, nullptr, nullptr }) {}

FrameElem::~FrameElem() { delete[] Surfaces; }

void* FrameElem::operator new[](std::size_t size) noexcept { return ::operator new[](size, std::nothrow); }

void FrameElem::operator delete[](void* p) noexcept { ::operator delete[](p); }

void FrameElem::AddCollisionData(CollisionSegment segment) {
    if (segment.MagnitudeX() == 0.0f && segment.MagnitudeY() == 0.0f) return;
    Collisions.add(segment.Clone());
}

void FrameElem::AddCollisionData(CollisionCircle circle) { Collisions.add(circle.Clone()); }

void FrameElem::hFCollisionList() { MirrorShapes(Collisions, hFCollisions, true, false, Width, Height); }
void FrameElem::vFCollisionList() { MirrorShapes(Collisions, vFCollisions, false, true, Width, Height); }
void FrameElem::hvFCollisionList() { MirrorShapes(Collisions, hvFCollisions, true, true, Width, Height); }

void FrameElem::hFBoundingBox() { hFBox = MirrorBoxX(Box, Width); }
void FrameElem::vFBoundingBox() { vFBox = MirrorBoxY(Box, Height); }
void FrameElem::hvFBoundingBox() { hvFBox = MirrorBoxY(MirrorBoxX(Box, Width), Height); }

void FrameElem::hFHotSpotArray() {
    for (int i = 0; i < HotSpotCount; ++i) hFHotSpots[i] = QelPoint{(Width - 1) - HotSpots[i].x, HotSpots[i].y};
}

void FrameElem::vFHotSpotArray() {
    for (int i = 0; i < HotSpotCount; ++i) vFHotSpots[i] = QelPoint{HotSpots[i].x, (Height - 1) - HotSpots[i].y};
}

void FrameElem::hvFHotSpotArray() {
    for (int i = 0; i < HotSpotCount; ++i)
        hvFHotSpots[i] = QelPoint{(Width - 1) - HotSpots[i].x, (Height - 1) - HotSpots[i].y};
}

bool FrameElem::GeometryFits() const {
    auto within = [](std::int64_t v, std::int64_t side) { return v >= -MaxSide && v <= side + MaxSide; };
    if (Width < 0 || Width > MaxSide || Height < 0 || Height > MaxSide) return false;
    if (!within(Box.left, Width) || !within(Box.right, Width) || !within(Box.top, Height) ||
        !within(Box.bottom, Height))
        return false;
    for (const QelPoint& hot : HotSpots)
        if (!within(hot.x, Width) || !within(hot.y, Height)) return false;
    return true;
}

void FrameElem::hFCenter() {
    hFCenterX = float(Width - 1) - CenterX;
    hFCenterY = CenterY;
}

void FrameElem::vFCenter() {
    vFCenterX = CenterX;
    vFCenterY = float(Height - 1) - CenterY;
}

void FrameElem::hvFCenter() {
    hvFCenterX = float(Width - 1) - CenterX;
    hvFCenterY = float(Height - 1) - CenterY;
}

void FrameElem::FrameFlippingMoves() {
    MoveX = (CenterX - float(Width - 1) / 2.0f) * 2.0f;
    MoveY = (CenterY - float(Height - 1) / 2.0f) * 2.0f;
}
