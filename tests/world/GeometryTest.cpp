#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>
#include "world/GeometryInternal.h"

namespace {

struct SegCase {
    const char* what;
    float x1, y1, x2, y2;
    bool touches;
};

TEST(Geometry, SegmentAgainstClosedSquare) {
    // Square [128, 256] x [0, 128], edges included.
    const SegCase cases[] = {
        {"inside", 130, 10, 200, 100, true},
        {"on the left edge", 128, -50, 128, 300, true},
        {"just left of it", 127.9f, -50, 127.9f, 300, false},
        {"crossing without end inside", 0, 64, 400, 64, true},
        {"through the corner only", 100, 28, 156, -28, true},
        {"past the corner", 100, 27, 155, -28, false},
        {"diagonal cutting the corner", 120, 0, 136, -16, false},
        {"ends on the bottom edge", 200, 300, 200, 128, true},
        {"both ends left of it", 0, 0, 100, 128, false},
        {"both ends below, across", 0, 200, 400, 200, false},
    };
    for (const SegCase& c : cases) {
        EXPECT_EQ(SegmentIntersectsRect(c.x1, c.y1, c.x2, c.y2, 128, 0, 256, 128), c.touches) << c.what;
        // The corners may come in either order, and the direction does not matter.
        EXPECT_EQ(SegmentIntersectsRect(c.x2, c.y2, c.x1, c.y1, 256, 128, 128, 0), c.touches) << c.what;
    }
}

TEST(Geometry, CircleAgainstClosedSquare) {
    struct {
        const char* what;
        float cx, cy, r;
        bool touches;
    } const cases[] = {
        {"radius 0 on the corner", 128, 128, 0, true},
        {"centre inside", 200, 50, 1, true},
        {"reaches the edge exactly", 123, 64, 5, true},
        {"just misses the edge", 122.9f, 64, 5, false},
        {"near a corner, inside the bounding box but out of reach", 124, 132, 5, false},
        {"near a corner, within reach", 125, 131, 5, true},
        {"negative radius", 200, 50, -1, false},
    };
    for (const auto& c : cases) EXPECT_EQ(CircleIntersectsRect(c.cx, c.cy, c.r, 128, 0, 256, 128), c.touches) << c.what;
}

TEST(Geometry, RectangleOverlapIsStrict) {
    const QelRect a{0, 0, 10, 10};
    EXPECT_TRUE(RectsOverlap(a, QelRect{9, 9, 20, 20}));
    EXPECT_FALSE(RectsOverlap(a, QelRect{10, 0, 20, 10}));  // sharing an edge
    EXPECT_FALSE(RectsOverlap(a, QelRect{0, 10, 10, 20}));
    FRECT f;  // top, left, bottom, right
    f.top = 0;
    f.left = 0;
    f.bottom = 10;
    f.right = 10;
    FRECT g = f;
    g.left = 9.99f;
    g.right = 20;
    EXPECT_TRUE(FRectsOverlap(f, g));
    g.left = 10;
    EXPECT_FALSE(FRectsOverlap(f, g));
}

TEST(Geometry, RoundingHalvesTowardZeroAndSaturation) {
    const struct {
        double in;
        std::int32_t out;
    } cases[] = {
        {2.5, 2},
        {2.6, 3},
        {-2.5, -2},
        {-2.6, -3},
        {10.5, 10},
        {10.51, 11},
        {-10.5, -10},
        {0.0, 0},
        {0.49, 0},
        {-0.51, -1},
        {1e12, std::numeric_limits<std::int32_t>::max()},
        {-1e12, std::numeric_limits<std::int32_t>::min()},
        {std::nan(""), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundHalfTowardZero(c.in), c.out) << c.in;
    EXPECT_EQ(RoundHalfTowardZero(float(10.51f)), 11);
    EXPECT_EQ(TruncToInt32(-3.9), -3);
    EXPECT_EQ(TruncToInt32(INFINITY), std::numeric_limits<std::int32_t>::max());
}

TEST(Geometry, SweepSamplesAreTakenByIndex) {
    // For each steps value: dt, the last index of the "t < 1 + dt" loop with its t,
    // and the last index of the "t <= 1" loop with its t.
    const struct {
        float steps;
        float dt;
        std::int32_t lastWide;
        float lastWideT;
        std::int32_t lastNarrow;
        float lastNarrowT;
    } cases[] = {
        {0.0f, 1.0f, 1, 1.0f, 1, 1.0f},
        {0.5f, 1.0f, 1, 1.0f, 1, 1.0f},
        {1.0f, 1.0f, 1, 1.0f, 1, 1.0f},
        {2.5f, 0.4f, 3, 1.2f, 2, 0.8f},
        {3.0f, 1.0f / 3.0f, 3, 1.0f, 3, 1.0f},
        {10.0f, 0.1f, 10, 1.0f, 10, 1.0f},
        {12.0f, 1.0f / 12.0f, 12, 1.0f, 12, 1.0f},
        {19.0f, 1.0f / 19.0f, 19, 1.0f, 19, 1.0f},
    };
    for (const auto& c : cases) {
        const SweepSchedule s(c.steps);
        EXPECT_FLOAT_EQ(s.Dt(), c.dt) << c.steps;
        EXPECT_EQ(s.LastBelowOnePlusDt(), c.lastWide) << c.steps;
        EXPECT_FLOAT_EQ(s.At(s.LastBelowOnePlusDt()), c.lastWideT) << c.steps;
        EXPECT_EQ(s.LastAtMostOne(), c.lastNarrow) << c.steps;
        EXPECT_FLOAT_EQ(s.At(s.LastAtMostOne()), c.lastNarrowT) << c.steps;
        EXPECT_EQ(s.At(0), 0.0f);
    }
    // The end of the move is sampled exactly, not at 1.0000001.
    EXPECT_EQ(SweepSchedule(10.0f).At(10), 1.0f);
    EXPECT_EQ(SweepSchedule(19.0f).At(19), 1.0f);
}

TEST(Geometry, SweepScheduleEndsOnHostileStepCounts) {
    const float hostile[] = {-5.0f, std::nanf(""), INFINITY, -INFINITY};
    for (float steps : hostile) {
        const SweepSchedule s(steps);
        EXPECT_EQ(s.Dt(), 1.0f) << steps;
        EXPECT_EQ(s.LastBelowOnePlusDt(), 1) << steps;
        EXPECT_EQ(s.LastAtMostOne(), 1) << steps;
    }
    const SweepSchedule huge(1e30f);
    EXPECT_EQ(huge.LastAtMostOne(), SweepSchedule::kMaxSamples);
    EXPECT_EQ(huge.At(huge.LastAtMostOne()), 1.0f);
}

// The last samples are the floor and the ceiling of the step count, for
// whole counts, counts a hair off them and counts in between, up to the cap.
TEST(Geometry, SweepScheduleEndsAtTheFloorAndCeilingOfTheSteps) {
    std::vector<float> counts;
    for (float whole = 2; whole <= float(SweepSchedule::kMaxSamples); whole *= 1.7f) {
        const float w = std::round(whole);
        counts.insert(counts.end(), {w, std::nextafter(w, 0.0f), std::nextafter(w, INFINITY), w + 0.5f, whole});
    }
    counts.insert(counts.end(), {std::nextafter(1.0f, 2.0f), float(SweepSchedule::kMaxSamples)});
    for (const float steps : counts) {
        const SweepSchedule s(steps);
        const double capped = std::min(double(steps), double(SweepSchedule::kMaxSamples));
        EXPECT_EQ(s.LastAtMostOne(), std::int32_t(std::floor(capped))) << steps;
        EXPECT_EQ(s.LastBelowOnePlusDt(), std::int32_t(std::ceil(capped + 1.0)) - 1) << steps;
    }
}

}  // namespace
