#include "world/CollisionSegment.h"

#include <cmath>
#include "foundation/File.h"
#include "foundation/List.h"
#include "world/CollisionCircle.h"
#include "world/Geometry.h"
#include "world/PolygonEdge.h"
#include "foundation/ClassPool.h"

CREATE CollisionSegment::cr("CollisionSegment", CollisionSegment::CreateObject);

namespace {

// The Cyrus-Beck state of one clipped segment: its start S, its vector E and the
// candidate interval [tE, tL].
struct CyrusBeck {
    explicit CyrusBeck(const CollisionSegment& s)
        : sx(s.OriginX()),
          sy(s.OriginY()),
          ex(double(s.DirectionX()) * double(s.MagnitudeX())),
          ey(double(s.DirectionY()) * double(s.MagnitudeY())) {}

    // Cuts the interval by one edge; false rejects the segment.
    bool Cut(const PolygonEdge& e) {
        const double num = e.normalX * (e.pointX - sx) + e.normalY * (e.pointY - sy);
        const double den = e.normalX * ex + e.normalY * ey;
        return CollisionSegment::ChopCandidateInterval(tE, tL, num, den);
    }
    // An end point of the segment lies inside the polygon.
    bool EndInside() const { return tE == 0.0 || tL == 1.0; }

    double sx, sy, ex, ey;
    double tE = 0.0, tL = 1.0;
};

}  // namespace

CollisionSegment::CollisionSegment() = default;

CollisionSegment::CollisionSegment(float x1, float y1, float x2, float y2, int id, unsigned char type, int tag) {
    d.originX = x1;
    d.originY = y1;
    d.id = id;
    d.type = type;
    d.tag = tag;
    if (x2 != x1 || y2 != y1) {
        const float dx = x2 - x1, dy = y2 - y1;
        const float len = std::sqrt(dx * dx + dy * dy);
        d.directionX = dx / len;
        d.directionY = dy / len;
        if (d.directionX != 0.0f) d.magnitudeX = dx / d.directionX;
        if (d.directionY != 0.0f) d.magnitudeY = dy / d.directionY;
        if (d.directionX == 0.0f) d.magnitudeX = d.magnitudeY;
        if (d.directionY == 0.0f) d.magnitudeY = d.magnitudeX;
    }
    d.normalX = -d.directionY;
    d.normalY = d.directionX;
}

CollisionSegment::CollisionSegment(float ox, float oy, float dirX, float dirY, float magX, float magY, int id,
                                   unsigned char type, int tag) {
    d.originX = ox;
    d.originY = oy;
    d.directionX = dirX;
    d.directionY = dirY;
    d.magnitudeX = magX;
    d.magnitudeY = magY;
    d.id = id;
    d.type = type;
    d.tag = tag;
    d.normalX = -dirY;
    d.normalY = dirX;
}

CollisionSegment::~CollisionSegment() = default;

void* CollisionSegment::operator new(std::size_t size) { return ClassPool<CollisionSegment>::Alloc(size); }

void CollisionSegment::operator delete(void* p, std::size_t size) { ClassPool<CollisionSegment>::Free(p, size); }

node* CollisionSegment::CreateObject() { return new CollisionSegment(); }

node* CollisionSegment::Clone() const { return new CollisionSegment(*this); }

CollisionSegment::operator bool() const {
    return d.originX != 0 || d.originY != 0 || d.directionX != 0 || d.directionY != 0 || d.magnitudeX != 0 ||
           d.magnitudeY != 0 || d.normalX != 0 || d.normalY != 0 || d.contactX != kNoContact ||
           d.contactY != kNoContact;
}

void CollisionSegment::Save(File& file) {
    file.Write(d.originX);
    file.Write(d.originY);
    file.Write(d.directionX);
    file.Write(d.directionY);
    file.Write(d.magnitudeX);
    file.Write(d.magnitudeY);
    file.Write(static_cast<int>(d.id));
    file.Write(d.contactX);
    file.Write(d.contactY);
    file.Write(d.normalX);
    file.Write(d.normalY);
    file.Write(d.hitTime);
    file.Write(static_cast<unsigned char>(d.type));
    file.Write(d.endInside);
    file.Write(static_cast<int>(d.tag));
}

void CollisionSegment::Load(File& file) {
    int id = 0, tag = 0;
    unsigned char type = 0;
    file.Read(d.originX);
    file.Read(d.originY);
    file.Read(d.directionX);
    file.Read(d.directionY);
    file.Read(d.magnitudeX);
    file.Read(d.magnitudeY);
    file.Read(id);
    file.Read(d.contactX);
    file.Read(d.contactY);
    file.Read(d.normalX);
    file.Read(d.normalY);
    file.Read(d.hitTime);
    file.Read(type);
    file.Read(d.endInside);
    file.Read(tag);
    d.id = id;
    d.type = type;
    d.tag = tag;
}

CollisionSegment CollisionSegment::OppositeSegmentDirection(const CollisionSegment& s) {
    CollisionSegment r(s.EndX(), s.EndY(), -s.d.directionX, -s.d.directionY, s.d.magnitudeX, s.d.magnitudeY, s.d.id,
                       s.d.type, s.d.tag);
    r.d.normalX = -s.d.normalX;
    r.d.normalY = -s.d.normalY;
    return r;
}

bool CollisionSegment::ChopCandidateInterval(double& tE, double& tL, double num, double den) {
    if (den > 0.0) {
        const double t = num / den;
        if (t < tE) return false;
        if (t < tL) tL = t;
    } else if (den < 0.0) {
        const double t = num / den;
        if (t > tL) return false;
        if (t > tE) tE = t;
    } else if (num <= 0.0) {
        return false;
    }
    return true;
}

bool CollisionSegment::LineClippingConvexeShape(CollisionSegment& s, const PolygonEdge* edges, int count) {
    CyrusBeck clip(s);
    for (int i = 0; i < count; ++i)
        if (!clip.Cut(edges[i])) return false;
    if (clip.EndInside()) s.d.endInside = true;
    return true;
}

bool CollisionSegment::LineClippingConvexeShape(CollisionSegment& s, List& polygon) {
    CyrusBeck clip(s);
    for (node* n = polygon.Head(); !n->EOList(); n = n->Next())
        if (!clip.Cut(*static_cast<const PolygonEdge*>(n))) return false;
    if (clip.EndInside()) s.d.endInside = true;
    return true;
}

bool CollisionSegment::DetectCollision(CollisionSegment* other, float x, float y, float ox, float oy, float vx,
                                       float vy, float steps) {
    other->d.contactX = kNoContact;
    other->d.contactY = kNoContact;
    const SweepSchedule schedule(steps);
    const float dt = schedule.Dt();
    const UnitVector u = UnitOf(vx, vy);

    // Moving along itself the swept quad would be flat: widen it sideways.
    float wx = vx, wy = vy;
    const float c = d.directionX * u.x + d.directionY * u.y;
    const float sigmaX = u.x < 0.0f ? -1.0f : 1.0f;
    const float sigmaY = u.y < 0.0f ? -1.0f : 1.0f;
    if (c > 0.99 && c < 1.11) {
        wx = vx - sigmaY;
        wy = vy + sigmaX;
    } else if (c > -1.11 && c < -0.99) {
        wx = vx + sigmaY;
        wy = vy - sigmaX;
    }

    const float ex = d.directionX * d.magnitudeX, ey = d.directionY * d.magnitudeY;
    const float bx = x + d.originX, by = y + d.originY;
    CollisionSegment target(*other);
    target.d.originX = other->d.originX + ox;
    target.d.originY = other->d.originY + oy;
    target.d.endInside = false;

    for (std::int32_t k = 0; k <= schedule.LastBelowOnePlusDt(); ++k) {
        const float t = schedule.At(k);
        const float s = t + 2.0f * dt;
        const float px[4] = {bx + t * vx, bx + s * wx, bx + s * wx + ex, bx + t * vx + ex};
        const float py[4] = {by + t * vy, by + s * wy, by + s * wy + ey, by + t * vy + ey};
        PolygonEdge edges[4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            edges[i].pointX = px[i];
            edges[i].pointY = py[i];
            edges[i].normalX = -(double(py[j]) - double(py[i]));
            edges[i].normalY = double(px[j]) - double(px[i]);
        }
        if (LineClippingConvexeShape(target, edges, 4)) {
            if (target.d.endInside) other->d.endInside = true;
            d.hitTime = t;
            return true;
        }
    }
    return false;
}

bool CollisionSegment::DetectCollision(CollisionCircle* other, float x, float y, float ox, float oy, float vx, float vy,
                                       float steps) {
    other->ContactX(kNoContact);
    other->ContactY(kNoContact);
    const SweepSchedule schedule(steps);
    const float dt = schedule.Dt();
    const UnitVector u = UnitOf(vx, vy);
    const float ex = d.directionX * d.magnitudeX, ey = d.directionY * d.magnitudeY;
    const float dd = ex * ex + ey * ey;
    const float dlen = std::sqrt(dd);
    const float rr = dlen == 0.0f ? 0.0f : other->Radius() / dlen;
    const float cx = other->OriginX() + ox, cy = other->OriginY() + oy;

    for (std::int32_t k = 1; k <= schedule.LastAtMostOne(); ++k) {
        const float t = schedule.At(k);
        const float p0x = x + d.originX + t * vx, p0y = y + d.originY + t * vy;
        const float p = dlen == 0.0f ? -1.0f : (ex * (cx - p0x) + ey * (cy - p0y)) / dd;
        float kx, ky;
        if (p > 0.0f && p < 1.0f) {
            kx = p0x + p * ex;
            ky = p0y + p * ey;
        } else if (p >= -rr && p <= 0.0f) {
            kx = p0x;
            ky = p0y;
        } else if (p >= 1.0f && p <= 1.0f + rr) {
            kx = p0x + ex;
            ky = p0y + ey;
        } else {
            continue;
        }
        const float dx = cx - kx, dy = cy - ky;
        const float dist = std::sqrt(dx * dx + dy * dy);
        if (dist > other->Radius()) continue;
        const float nx = dist == 0.0f ? 0.0f : dx / dist, ny = dist == 0.0f ? 0.0f : dy / dist;
        if (nx * u.x + ny * u.y > 0.0f) {
            other->ContactX(-ny);
            other->ContactY(nx);
        }
        d.hitTime = t - dt;
        return true;
    }
    return false;
}
