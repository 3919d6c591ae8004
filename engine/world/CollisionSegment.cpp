#include "world/CollisionSegment.h"

#include <algorithm>
#include <cmath>
#include "foundation/File.h"
#include "foundation/List.h"
#include "world/CollisionCircle.h"
#include "world/GeometryInternal.h"
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

    CyrusBeck(float originX, float originY, const CollisionSegment& s)
        : sx(originX),
          sy(originY),
          ex(double(s.DirectionX()) * double(s.MagnitudeX())),
          ey(double(s.DirectionY()) * double(s.MagnitudeY())) {}

    // Cuts the interval by one edge; false rejects the segment.
    bool Cut(const PolygonEdge& e) { return Cut(e.pointX, e.pointY, e.normalX, e.normalY); }
    bool Cut(double pointX, double pointY, double normalX, double normalY) {
        const double num = normalX * (pointX - sx) + normalY * (pointY - sy);
        const double den = normalX * ex + normalY * ey;
        return CollisionSegment::ChopCandidateInterval(tE, tL, num, den);
    }
    // An end point of the segment lies inside the polygon.
    bool EndInside() const { return tE == 0.0 || tL == 1.0; }

    double sx, sy, ex, ey;
    double tE = 0.0, tL = 1.0;
};

// The corners P0, Q0, Q1, P1 of one sample of a segment's sweep.
struct SweptQuad {
    float px[4], py[4];

    // Cyrus-Beck keeps only points on the inner side of all four edges; unless
    // the four corners are collinear (when it keeps points on their whole
    // line), no such point lies outside the corners' hull. True when the
    // corners are clearly not collinear: their sides meet at an angle far
    // above the rounding of the clipping (about 1e-16).
    bool Flat() const {
        const double ax = double(px[1]) - px[0], ay = double(py[1]) - py[0];
        const double bx = double(px[3]) - px[0], by = double(py[3]) - py[0];
        const double cross = std::fabs(ax * by - ay * bx);
        return !(cross > 1e-4 * (std::fabs(ax) + std::fabs(ay)) * (std::fabs(bx) + std::fabs(by)));
    }

    // The box [x0, x1] x [y0, y1] lies wholly beyond the corners' hull widened
    // by margin; false for NaN.
    bool Beyond(double x0, double y0, double x1, double y1, double margin) const {
        const float left = std::min(std::min(px[0], px[1]), std::min(px[2], px[3]));
        const float right = std::max(std::max(px[0], px[1]), std::max(px[2], px[3]));
        const float top = std::min(std::min(py[0], py[1]), std::min(py[2], py[3]));
        const float bottom = std::max(std::max(py[0], py[1]), std::max(py[2], py[3]));
        return x1 < left - margin || x0 > right + margin || y1 < top - margin || y0 > bottom + margin;
    }
};

// The bounding box of the clipped segment and a margin far above any rounding
// of the clipping (relative 1e-4 of every coordinate in play) and far below
// the shapes the game makes: a segment whose box lies beyond a sample's hull
// by the margin is rejected without clipping, when the sample is not flat.
struct TargetBox {
    TargetBox(const CyrusBeck& target, float reach)
        : x0(std::min(target.sx, target.sx + target.ex)),
          y0(std::min(target.sy, target.sy + target.ey)),
          x1(std::max(target.sx, target.sx + target.ex)),
          y1(std::max(target.sy, target.sy + target.ey)),
          margin(1e-4 * 4.0 *
                 (double(reach) + std::fabs(target.sx) + std::fabs(target.sy) + std::fabs(target.ex) +
                  std::fabs(target.ey))) {}

    bool Misses(const SweptQuad& quad) const { return !quad.Flat() && quad.Beyond(x0, y0, x1, y1, margin); }

    double x0, y0, x1, y1, margin;
};

// The whole sweep of a segment from b along e, its quads' near side moving
// by t v and its far side by (t + 2 dt) w, for t from 0 to the last sample.
// The corners move linearly with t, so every sample's corners lie in the box
// of the first and last samples' corners, widened by delta, a bound on the
// float rounding of a corner (the sweep's coordinates stay within reach); and
// the cross product of the quad's sides is linear in t too, so when it keeps
// one sign, clear of what Flat needs plus that rounding, at the first and last
// samples, no sample is flat. Then a segment that misses that box misses
// every sample.
struct WholeSweep {
    double bx, by, ex, ey, vx, vy, wx, wy, dt, last, reach;

    bool Misses(const TargetBox& target) const {
        const double delta = reach * 0x1p-20;
        const double d0x = 2.0 * dt * wx, d0y = 2.0 * dt * wy;
        const double d1x = (last + 2.0 * dt) * wx - last * vx, d1y = (last + 2.0 * dt) * wy - last * vy;
        const double c0 = d0x * ey - d0y * ex, c1 = d1x * ey - d1y * ex;
        const double side = std::max(std::fabs(d0x) + std::fabs(d0y), std::fabs(d1x) + std::fabs(d1y));
        const double along = std::fabs(ex) + std::fabs(ey);
        const double needed =
            2e-4 * (side + 4.0 * delta) * (along + 4.0 * delta) + 2.0 * delta * (side + along) + 8.0 * delta * delta;
        if (!((c0 > needed && c1 > needed) || (c0 < -needed && c1 < -needed))) return false;
        const double nearX[2] = {bx, bx + last * vx}, nearY[2] = {by, by + last * vy};
        const double farX[2] = {bx + 2.0 * dt * wx, bx + (last + 2.0 * dt) * wx};
        const double farY[2] = {by + 2.0 * dt * wy, by + (last + 2.0 * dt) * wy};
        double left = nearX[0], right = nearX[0], top = nearY[0], bottom = nearY[0];
        for (int i = 0; i < 2; ++i)
            for (const double x : {nearX[i], farX[i], nearX[i] + ex, farX[i] + ex}) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        for (int i = 0; i < 2; ++i)
            for (const double y : {nearY[i], farY[i], nearY[i] + ey, farY[i] + ey}) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        const double m = target.margin + delta;
        return target.x1 < left - m || target.x0 > right + m || target.y1 < top - m || target.y0 > bottom + m;
    }
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
    // The other segment where it is drawn; only its end-inside flag changes.
    const CyrusBeck target(other->d.originX + ox, other->d.originY + oy, *other);
    // Bounds every corner coordinate of every sample (t stays below 2, s below 4).
    const float reach = std::fabs(bx) + std::fabs(by) + 2.0f * (std::fabs(vx) + std::fabs(vy)) +
                        4.0f * (std::fabs(wx) + std::fabs(wy)) + std::fabs(ex) + std::fabs(ey);
    const TargetBox box(target, reach);
    const std::int32_t last = schedule.LastBelowOnePlusDt();
    if (WholeSweep{bx, by, ex, ey, vx, vy, wx, wy, dt, schedule.At(last), reach}.Misses(box)) return false;

    for (std::int32_t k = 0; k <= last; ++k) {
        const float t = schedule.At(k);
        const float s = t + 2.0f * dt;
        const SweptQuad quad{{bx + t * vx, bx + s * wx, bx + s * wx + ex, bx + t * vx + ex},
                             {by + t * vy, by + s * wy, by + s * wy + ey, by + t * vy + ey}};
        if (box.Misses(quad)) continue;
        CyrusBeck clip = target;
        bool inside = true;
        for (int i = 0; i < 4 && inside; ++i) {
            const int j = (i + 1) % 4;
            inside = clip.Cut(quad.px[i], quad.py[i], -(double(quad.py[j]) - double(quad.py[i])),
                              double(quad.px[j]) - double(quad.px[i]));
        }
        if (inside) {
            if (clip.EndInside()) other->d.endInside = true;
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
