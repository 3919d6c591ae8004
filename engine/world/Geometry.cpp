#include "world/GeometryInternal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

enum : std::uint32_t { kBelow = 1, kAbove = 2, kRight = 4, kLeft = 8 };

// Outcode bits in the order the clipping loop resolves them: y beyond the bottom
// edge (the larger y), y before the top, x right of, x left of the rectangle.
std::uint32_t Outcode(float x, float y, float xmin, float ymin, float xmax, float ymax) {
    std::uint32_t code = 0;
    if (y > ymax)
        code |= kBelow;
    else if (y < ymin)
        code |= kAbove;
    if (x > xmax)
        code |= kRight;
    else if (x < xmin)
        code |= kLeft;
    return code;
}

}  // namespace

bool SegmentIntersectsRect(float x1, float y1, float x2, float y2, float left, float top, float right, float bottom) {
    const float xmin = std::min(left, right), xmax = std::max(left, right);
    const float ymin = std::min(top, bottom), ymax = std::max(top, bottom);
    std::uint32_t c1 = Outcode(x1, y1, xmin, ymin, xmax, ymax);
    std::uint32_t c2 = Outcode(x2, y2, xmin, ymin, xmax, ymax);
    // Each pass moves one end point onto a boundary line; rounding can leave it a
    // hair outside, so the loop is bounded rather than trusted to converge.
    for (int pass = 0; pass < 16; ++pass) {
        if ((c1 | c2) == 0) return true;
        if (c1 & c2) return false;
        const bool first = c1 != 0;
        const std::uint32_t code = first ? c1 : c2;
        float x, y;
        if (code & kBelow) {
            y = ymax;
            x = x1 + (x2 - x1) * (ymax - y1) / (y2 - y1);
        } else if (code & kAbove) {
            y = ymin;
            x = x1 + (x2 - x1) * (ymin - y1) / (y2 - y1);
        } else if (code & kRight) {
            x = xmax;
            y = y1 + (y2 - y1) * (xmax - x1) / (x2 - x1);
        } else {
            x = xmin;
            y = y1 + (y2 - y1) * (xmin - x1) / (x2 - x1);
        }
        if (first) {
            x1 = x;
            y1 = y;
            c1 = Outcode(x1, y1, xmin, ymin, xmax, ymax);
        } else {
            x2 = x;
            y2 = y;
            c2 = Outcode(x2, y2, xmin, ymin, xmax, ymax);
        }
    }
    // Still undecided after the bound: count it as touching, so that a shape is
    // at worst listed in one cell too many rather than lost.
    return true;
}

bool CircleIntersectsRect(float cx, float cy, float radius, float left, float top, float right, float bottom) {
    const float xmin = std::min(left, right), xmax = std::max(left, right);
    const float ymin = std::min(top, bottom), ymax = std::max(top, bottom);
    const float nx = std::clamp(cx, xmin, xmax);
    const float ny = std::clamp(cy, ymin, ymax);
    const float dx = cx - nx, dy = cy - ny;
    return dx * dx + dy * dy <= radius * radius && radius >= 0.0f;
}

bool FRectsOverlap(const FRECT& a, const FRECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool RectsOverlap(const QelRect& a, const QelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

QelRect IntersectRects(const QelRect& a, const QelRect& b) {
    return QelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

bool RectIsEmpty(const QelRect& r) { return r.right <= r.left || r.bottom <= r.top; }

std::int32_t ClampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

QelRect OffsetRect(const QelRect& r, std::int64_t dx, std::int64_t dy) {
    return QelRect{ClampToInt32(r.left + dx), ClampToInt32(r.top + dy), ClampToInt32(r.right + dx),
                   ClampToInt32(r.bottom + dy)};
}

std::int32_t RectWidth(const QelRect& r) { return ClampToInt32(std::int64_t(r.right) - r.left); }
std::int32_t RectHeight(const QelRect& r) { return ClampToInt32(std::int64_t(r.bottom) - r.top); }

UnitVector UnitOf(float vx, float vy) {
    const float len = std::sqrt(vx * vx + vy * vy);
    if (len == 0.0f) return {};
    return {vx / len, vy / len};
}

std::int32_t RoundHalfTowardZero(double v) {
    const std::int32_t t = TruncToInt32(v);
    const double frac = v - static_cast<double>(t);
    if (frac > 0.5 && t < std::numeric_limits<std::int32_t>::max()) return t + 1;
    if (frac < -0.5 && t > std::numeric_limits<std::int32_t>::min()) return t - 1;
    return t;
}

SweepSchedule::SweepSchedule(float steps) {
    if (!std::isfinite(steps) || steps <= 1.0f) return;  // dt = 1: samples 0, 1
    steps_ = std::min(steps, static_cast<float>(kMaxSamples));
    dt_ = 1.0f / steps_;
    // steps_ lies in (1, kMaxSamples]: truncation is its floor, and the last
    // k with k / steps < 1 + 1 / steps is its ceiling.
    lastAtMostOne_ = static_cast<std::int32_t>(steps_);
    lastBelowOnePlusDt_ = float(lastAtMostOne_) == steps_ ? lastAtMostOne_ : lastAtMostOne_ + 1;
}
