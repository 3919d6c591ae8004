// Plane geometry shared by the collision code: segment and circle against
// axis-aligned rectangles, rectangle overlap, the engine's screen rounding and
// the sample schedule of the sweep tests.
#pragma once
#include <cstdint>
#include "foundation/FloatToInt.h"  // the truncation that the geometry code and its users share
#include "foundation/Types.h"

// True when the segment (x1, y1)-(x2, y2) touches the closed rectangle spanned by
// the two corners (left, top) and (right, bottom), given in either order.
bool SegmentIntersectsRect(float x1, float y1, float x2, float y2, float left, float top, float right, float bottom);

// True when a point of the closed rectangle lies within radius of (cx, cy).
bool CircleIntersectsRect(float cx, float cy, float radius, float left, float top, float right, float bottom);

// Strict overlap: each one's right exceeds the other's left, each one's bottom
// exceeds the other's top.
bool FRectsOverlap(const FRECT& a, const FRECT& b);
bool RectsOverlap(const QelRect& a, const QelRect& b);

// Intersection of two integer rectangles; may come out empty or inverted.
QelRect IntersectRects(const QelRect& a, const QelRect& b);
bool RectIsEmpty(const QelRect& r);
// r moved by (dx, dy); coordinates saturate at the int32 range.
QelRect OffsetRect(const QelRect& r, std::int64_t dx, std::int64_t dy);
// Width and height, saturated at the int32 range.
std::int32_t RectWidth(const QelRect& r);
std::int32_t RectHeight(const QelRect& r);

// The int32 nearest to v.
std::int32_t ClampToInt32(std::int64_t v);

// A direction of motion: (vx, vy) / |(vx, vy)|, or (0, 0) for no motion.
struct UnitVector {
    float x = 0, y = 0;
};
UnitVector UnitOf(float vx, float vy);

// Nearest integer with exact halves toward zero: 2.5 gives 2, -2.5 gives -2.
std::int32_t RoundHalfTowardZero(double v);

// The sample times of a sweep test over one move, taken by integer index so that
// no sample is skipped or added by float accumulation: t_k = k * dt.
// A steps value that is not a finite number above 1 gives dt = 1.
class SweepSchedule {
public:
    // Bound on the samples of one sweep, so a huge step count cannot stall a frame.
    static constexpr std::int32_t kMaxSamples = 1 << 16;

    explicit SweepSchedule(float steps);

    float Dt() const { return dt_; }
    float At(std::int32_t k) const { return static_cast<float>(k) / steps_; }

    // Last index k with k * dt < 1 + dt (the forms that reach one step past the move).
    std::int32_t LastBelowOnePlusDt() const { return lastBelowOnePlusDt_; }
    // Last index k with k * dt <= 1.
    std::int32_t LastAtMostOne() const { return lastAtMostOne_; }

private:
    float steps_ = 1.0f;
    float dt_ = 1.0f;
    std::int32_t lastBelowOnePlusDt_ = 1;
    std::int32_t lastAtMostOne_ = 1;
};
