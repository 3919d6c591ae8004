// Rays and path following: a 6-pixel band from a hot point of the sprite to
// the edge of the view, and what crosses it first. The rays name the nearest
// sprite or map segment of a collision ID; the path followers turn the
// sprite along the map segment under (or beside) it.
#include <cmath>

#include "display/GeometricsDrawn.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteLevelInternal.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/PolygonEdge.h"

namespace {

constexpr float NothingFound = 10000.0f;
constexpr int MsgHotPointOfSprite = 89;
constexpr int MsgUpOrDown = 90;
constexpr int MsgRightOrLeft = 91;

// The band of one ray, in the map coordinates of the sprite's map.
struct Band {
    float hx = 0, hy = 0;  // the start H
    float dx = 0, dy = 0;  // unit direction of the centre segment
    float nx = 0, ny = 0;  // its normal
    float endX = 0, endY = 0;
    PolygonEdge sides[4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};

    // True when part of s lies inside the band (s itself is not touched).
    bool Crosses(const CollisionSegment& s) const {
        CollisionSegment probe(s);
        return CollisionSegment::LineClippingConvexeShape(probe, sides, 4);
    }
};

// The exit point of a ray from a point of the map, through the view: the
// view's rectangle is in world coordinates, so the map's world position is
// added before and taken off after.
void ExitPoint(float x, float y, float dx, float dy, float worldX, float worldY, float& ex, float& ey) {
    const QelPoint q = Sprite::RayViewportDest(x + worldX, y + worldY, dx, dy);
    ex = float(q.x) - worldX;
    ey = float(q.y) - worldY;
}

// Builds the band from H along (dx, dy); false when there is no band (a zero
// direction, or a start already on the view's edge in that direction).
bool MakeBand(Band& band, float hx, float hy, float dx, float dy, float worldX, float worldY) {
    const float len = std::sqrt(dx * dx + dy * dy);
    if (len == 0) return false;
    const float ux = dx / len, uy = dy / len;
    const float wx = 3 * uy, wy = -3 * ux;
    const float p1x = hx + wx, p1y = hy + wy, p2x = hx - wx, p2y = hy - wy;
    float q1x, q1y, q2x, q2y;
    ExitPoint(p2x, p2y, dx, dy, worldX, worldY, q2x, q2y);
    ExitPoint(p1x, p1y, dx, dy, worldX, worldY, q1x, q1y);
    ExitPoint(hx, hy, dx, dy, worldX, worldY, band.endX, band.endY);
    band.hx = hx;
    band.hy = hy;
    const CollisionSegment centre(hx, hy, band.endX, band.endY, 0, 0, 0);
    band.dx = centre.DirectionX();
    band.dy = centre.DirectionY();
    band.nx = centre.NormalX();
    band.ny = centre.NormalY();
    const float corners[5][2] = {{p1x, p1y}, {p2x, p2y}, {q2x, q2y}, {q1x, q1y}, {p1x, p1y}};
    for (int i = 0; i < 4; ++i) {
        const CollisionSegment side(corners[i][0], corners[i][1], corners[i + 1][0], corners[i + 1][1], 0, 0, 0);
        band.sides[i] = PolygonEdge(side.OriginX(), side.OriginY(), side.NormalX(), side.NormalY());
    }
    return band.dx != 0 || band.dy != 0;
}

// The distance along the ray from H to the line of s; a segment running
// along the ray is judged with its normal tilted by (0.3, -0.3). With
// facingCut, a segment facing away from H (or nearly parallel) is not found.
float CrossingDistance(const Band& band, const CollisionSegment& s, bool facingCut) {
    float ox = s.OriginX(), oy = s.OriginY();
    float nx = s.NormalX(), ny = s.NormalY();
    if (nx * -band.dx + ny * -band.dy == 0.0f) {
        // Along the ray: a normal turned away from the centre's is taken from
        // the segment's far end.
        if (nx * band.nx + ny * band.ny < 0.0f) {
            ox = s.EndX();
            oy = s.EndY();
        }
        nx += 0.3f;
        ny -= 0.3f;
    }
    const float facing = nx * -band.dx + ny * -band.dy;
    if (facingCut && facing <= 0.01f) return NothingFound;
    const float across = nx * band.dx + ny * band.dy;
    if (across == 0.0f) return NothingFound;
    return (nx * (ox - band.hx) + ny * (oy - band.hy)) / across;
}

bool IsSegment(const node* n) { return static_cast<const CollisionData*>(n)->Type() == CollisionData::SegmentKind; }

void ShowRay(const Band& band, float worldX, float worldY, COLORREF colour) {
    if (pDraw) pDraw->Line(band.hx + worldX, band.hy + worldY, band.endX + worldX, band.endY + worldY, colour);
}

}  // namespace

QelPoint Sprite::RayViewportDest(float x, float y, float dx, float dy) {
    const float left = sprites::ViewWorldX(), top = sprites::ViewWorldY();
    const float l = float(TruncToInt32(left)), t = float(TruncToInt32(top));
    const float r = float(TruncToInt32(double(left) + windowWidth));
    const float b = float(TruncToInt32(double(top) + windowHeight));
    auto at = [](float px, float py) { return QelPoint{TruncToInt32(px), TruncToInt32(py)}; };
    if (dx == 0 && dy == 0) return at(x, y);
    if (dx == 0) return at(x, dy < 0 ? t : b);
    if (dy == 0) return at(dx > 0 ? r : l, y);
    const float edgeX = dx > 0 ? r : l;
    const float s = (edgeX - x) / dx;
    const float yAtEdge = y + s * dy;
    if (dy > 0 ? b < yAtEdge : yAtEdge < t) {
        const float edgeY = dy > 0 ? b : t;
        return at(x + dx * (edgeY - y) / dy, edgeY);
    }
    return at(edgeX, y + dy * s);
}

bool Sprite::RayStart(unsigned int n, float& hx, float& hy) const {
    const FrameElem* frame = RequestedFrame();
    if (!frame) return false;
    const QelPoint p = sprites::FrameVariant{*frame, currentHFlip, currentVFlip}.HotSpots()[n];
    hx = float(p.x) + mapX;
    hy = float(p.y) + mapY;
    return true;
}

Sprite* Sprite::SpriteToSpriteRay(unsigned int hotPoint, float dx, float dy, unsigned int id, bool show,
                                  COLORREF colour) {
    if (hotPoint > 4) {
        UserError::Report("Sprite* Sprite::SpriteToSpriteRay(unsigned int,float,float,unsigned int,bool,COLORREF)",
                          MessageTable[MsgHotPointOfSprite], static_cast<int>(hotPoint));
        hotPoint = 4;
    }
    float hx, hy;
    const float worldX = MapWorldX(), worldY = MapWorldY();
    Band band;
    if (!RayStart(hotPoint, hx, hy) || (dx == 0 && dy == 0)) return nullptr;
    const bool made = MakeBand(band, hx, hy, dx, dy, worldX, worldY);
    if (show) ShowRay(band, worldX, worldY, colour);
    if (!made) return nullptr;
    float best = NothingFound;
    Sprite* result = nullptr;
    auto consider = [&](const CollisionSegment& s, Sprite* owner) {
        if (s.Id() != static_cast<int>(id) || !band.Crosses(s)) return;
        const float d = CrossingDistance(band, s, true);
        if (d < best) {
            best = d;
            result = owner;
        }
    };
    if (map)
        for (node* n = map->Shapes().Head(); !n->EOList(); n = n->Next())
            if (IsSegment(n)) consider(*static_cast<CollisionSegment*>(n), nullptr);
    sprites::ForEachSprite([&](Sprite* other) {
        if (other == this) return false;
        const FrameElem* frame = other->RequestedFrame();
        if (!frame) return false;
        for (node* n = frame->Collisions.Head(); !n->EOList(); n = n->Next()) {
            if (!IsSegment(n)) continue;
            CollisionSegment placed(*static_cast<CollisionSegment*>(n));
            placed.OriginX(placed.OriginX() + other->mapX);
            placed.OriginY(placed.OriginY() + other->mapY);
            consider(placed, other);
        }
        return false;
    });
    return best < NothingFound ? result : nullptr;
}

bool Sprite::SpriteToMapRay(unsigned int hotPoint, float dx, float dy, unsigned int id, bool show, COLORREF colour) {
    if (hotPoint > 4) {
        UserError::Report("bool Sprite::SpriteToMapRay(unsigned int,float,float,unsigned int,bool,COLORREF)",
                          MessageTable[MsgHotPointOfSprite], static_cast<int>(hotPoint));
        hotPoint = 4;
    }
    float hx, hy;
    const float worldX = MapWorldX(), worldY = MapWorldY();
    Band band;
    if (!RayStart(hotPoint, hx, hy) || (dx == 0 && dy == 0)) return false;
    const bool made = MakeBand(band, hx, hy, dx, dy, worldX, worldY);
    if (show) ShowRay(band, worldX, worldY, colour);
    if (!made || !map) return false;
    float best = NothingFound;
    for (node* n = map->Shapes().Head(); !n->EOList(); n = n->Next()) {
        if (!IsSegment(n)) continue;
        const CollisionSegment& s = *static_cast<CollisionSegment*>(n);
        if (s.Id() != static_cast<int>(id) || !band.Crosses(s)) continue;
        const float d = CrossingDistance(band, s, true);
        if (d < best) best = d;
    }
    return best < NothingFound;
}

// --- path following ---

struct Sprite::Follower {
    const char* target;
    bool vertical;  // casts a vertical ray (DOWN, UP); otherwise a horizontal one
    std::int32_t mode;
    // True when the segment's own direction is kept, else it is reversed.
    bool (*keeps)(float dirX, float dirY);
};

namespace {

const char* const RightTarget = "void Sprite::FollowPathRight(unsigned int,unsigned int,unsigned int,bool,COLORREF)";
const char* const LeftTarget = "void Sprite::FollowPathLeft(unsigned int,unsigned int,unsigned int,bool,COLORREF)";
const char* const UpTarget = "void Sprite::FollowPathUp(unsigned int,unsigned int,unsigned int,bool,COLORREF)";
const char* const DownTarget = "void Sprite::FollowPathDown(unsigned int,unsigned int,unsigned int,bool,COLORREF)";

bool SameSegment(const CollisionSegment& a, const CollisionSegment& b) {
    return a.OriginX() == b.OriginX() && a.OriginY() == b.OriginY() && a.MagnitudeX() == b.MagnitudeX() &&
           a.MagnitudeY() == b.MagnitudeY();
}

}  // namespace

void Sprite::FollowPathRight(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour) {
    static const Follower how{RightTarget, true, 1, [](float x, float) { return x >= 0; }};
    FollowPath(how, id, ray, hotPoint, show, colour);
}

void Sprite::FollowPathLeft(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour) {
    static const Follower how{LeftTarget, true, 2, [](float x, float) { return x <= 0; }};
    FollowPath(how, id, ray, hotPoint, show, colour);
}

void Sprite::FollowPathUp(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour) {
    static const Follower how{UpTarget, false, 3, [](float, float y) { return y <= 0; }};
    FollowPath(how, id, ray, hotPoint, show, colour);
}

void Sprite::FollowPathDown(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour) {
    static const Follower how{DownTarget, false, 4, [](float, float y) { return y > 0; }};
    FollowPath(how, id, ray, hotPoint, show, colour);
}

void Sprite::FollowPath(const Follower& how, unsigned int id, unsigned int ray, unsigned int hotPoint, bool show,
                        COLORREF colour) {
    const bool horizontalCode = ray == sprites::RIGHT || ray == sprites::LEFT;
    const bool verticalCode = ray == sprites::DOWN || ray == sprites::UP;
    if ((how.vertical && horizontalCode) || (!how.vertical && verticalCode)) {
        UserError::Report(how.target, "%s", MessageTable[how.vertical ? MsgUpOrDown : MsgRightOrLeft]);
        return;
    }
    if (hotPoint > 4) {
        UserError::Report(how.target, MessageTable[MsgHotPointOfSprite], static_cast<int>(hotPoint));
        return;
    }
    float hx, hy;
    if (!RayStart(hotPoint, hx, hy)) return;
    float rx = 0, ry = 0;
    switch (ray) {
        case sprites::RIGHT: rx = 1; break;
        case sprites::LEFT: rx = -1; break;
        case sprites::DOWN: ry = 1; break;
        case sprites::UP: ry = -1; break;
        default: return;
    }
    if (followDirection != how.mode) followedSegment = nullptr;
    followDirection = how.mode;
    const float worldX = MapWorldX(), worldY = MapWorldY();
    Band band;
    const bool made = MakeBand(band, hx, hy, rx, ry, worldX, worldY);
    if (show) ShowRay(band, worldX, worldY, colour);
    if (!made || !map) return;
    // A followed shape read from a damaged record may be a circle: only a
    // segment can be followed.
    const CollisionSegment* followed =
        followedSegment && IsSegment(followedSegment) ? static_cast<CollisionSegment*>(followedSegment) : nullptr;
    float best = NothingFound;
    CollisionSegment* chosen = nullptr;
    for (node* n = map->Shapes().Head(); !n->EOList(); n = n->Next()) {
        if (!IsSegment(n)) continue;
        CollisionSegment* s = static_cast<CollisionSegment*>(n);
        if (!band.Crosses(*s)) continue;
        const float d = CrossingDistance(band, *s, false);
        if (d < NothingFound && followed && SameSegment(*s, *followed)) {
            chosen = s;
            break;
        }
        if (d < best) {
            best = d;
            chosen = s;
        }
    }
    if (!chosen || chosen->Id() != static_cast<int>(id)) return;
    const bool keep = how.keeps(chosen->DirectionX(), chosen->DirectionY());
    directionX = keep ? chosen->DirectionX() : -chosen->DirectionX();
    directionY = keep ? chosen->DirectionY() : -chosen->DirectionY();
    if (!followedSegment) followedSegment = chosen;
}
