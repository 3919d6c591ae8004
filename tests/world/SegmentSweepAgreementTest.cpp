// The segment-against-segment sweep skips the clipping of samples whose
// swept area cannot reach the other segment. These tests hold it against the
// straightforward form (every sample built as a list of polygon edges and
// clipped), bit for bit, on random and edge inputs.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/PolygonEdge.h"

namespace {

// Every sample clipped in full, on a copy of the other segment placed at its
// offset.
bool ClipEverySample(CollisionSegment& self, CollisionSegment& other, float x, float y, float ox, float oy, float vx,
                     float vy, float steps) {
    other.ContactX(CollisionSegment::kNoContact);
    other.ContactY(CollisionSegment::kNoContact);
    const SweepSchedule schedule(steps);
    const float dt = schedule.Dt();
    const UnitVector u = UnitOf(vx, vy);
    float wx = vx, wy = vy;
    const float c = self.DirectionX() * u.x + self.DirectionY() * u.y;
    const float sigmaX = u.x < 0.0f ? -1.0f : 1.0f;
    const float sigmaY = u.y < 0.0f ? -1.0f : 1.0f;
    if (c > 0.99 && c < 1.11) {
        wx = vx - sigmaY;
        wy = vy + sigmaX;
    } else if (c > -1.11 && c < -0.99) {
        wx = vx + sigmaY;
        wy = vy - sigmaX;
    }
    const float ex = self.DirectionX() * self.MagnitudeX(), ey = self.DirectionY() * self.MagnitudeY();
    const float bx = x + self.OriginX(), by = y + self.OriginY();
    CollisionSegment target(other);
    target.OriginX(other.OriginX() + ox);
    target.OriginY(other.OriginY() + oy);
    target.EndInside(false);
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
        if (CollisionSegment::LineClippingConvexeShape(target, edges, 4)) {
            if (target.EndInside()) other.EndInside(true);
            self.HitTime(t);
            return true;
        }
    }
    return false;
}

struct Sweep {
    CollisionSegment own, other;
    float x, y, ox, oy, vx, vy, steps;
};

// What a sweep answers and leaves in both segments, bits included.
std::string Outcome(bool hit, const CollisionSegment& own, const CollisionSegment& other) {
    std::ostringstream out;
    out << hit << ' ' << std::bit_cast<std::uint32_t>(own.HitTime()) << ' ' << own.EndInside() << ' '
        << std::bit_cast<std::uint32_t>(other.ContactX()) << ' ' << std::bit_cast<std::uint32_t>(other.ContactY())
        << ' ' << other.EndInside() << ' ' << std::bit_cast<std::uint32_t>(other.HitTime());
    return out.str();
}

std::string Describe(const Sweep& c) {
    std::ostringstream out;
    out.precision(9);
    auto seg = [&](const CollisionSegment& s) {
        out << '(' << s.OriginX() << ',' << s.OriginY() << ")+(" << s.DirectionX() << ',' << s.DirectionY() << ")x("
            << s.MagnitudeX() << ',' << s.MagnitudeY() << ") ";
    };
    seg(c.own);
    seg(c.other);
    out << "at " << c.x << ',' << c.y << " other at " << c.ox << ',' << c.oy << " move " << c.vx << ',' << c.vy
        << " steps " << c.steps;
    return out.str();
}

// Runs both forms from the same starting state and compares everything they leave.
void ExpectSameSweep(const Sweep& c) {
    CollisionSegment ownA = c.own, otherA = c.other, ownB = c.own, otherB = c.other;
    const bool fast = ownA.DetectCollision(&otherA, c.x, c.y, c.ox, c.oy, c.vx, c.vy, c.steps);
    const bool full = ClipEverySample(ownB, otherB, c.x, c.y, c.ox, c.oy, c.vx, c.vy, c.steps);
    ASSERT_EQ(Outcome(fast, ownA, otherA), Outcome(full, ownB, otherB)) << Describe(c);
}

// Random sweeps at the scales the game uses and far beyond: integer corners
// (touching edges and corners exactly), sprite-sized shapes, far coordinates,
// moves along a segment, standing still, odd step counts and odd values.
class SweepMaker {
public:
    explicit SweepMaker(std::uint32_t seed) : rng(seed) {}

    Sweep Next() {
        const float scale = Pick({1.0f, 32.0f, 640.0f, 4000.0f, 1e5f, 1e7f});
        const bool integral = Chance(0.4);
        Sweep c{Segment(scale, integral),
                Segment(scale, integral),
                Coord(scale, integral),
                Coord(scale, integral),
                Coord(scale, integral),
                Coord(scale, integral),
                0,
                0,
                0};
        switch (Pick({0, 1, 2, 3, 4, 5})) {
            case 0:  // a move along the own segment, forward or back, nearly or exactly
                c.vx = c.own.DirectionX() * Uniform(-16, 16) + Uniform(-0.05f, 0.05f) * Pick({0.0f, 1.0f});
                c.vy = c.own.DirectionY() * Uniform(-16, 16);
                break;
            case 1:  // standing still
                break;
            case 2:  // a tiny move
                c.vx = Uniform(-1e-3f, 1e-3f);
                c.vy = Uniform(-1e-3f, 1e-3f);
                break;
            default:
                c.vx = integral ? std::round(Uniform(-20, 20)) : Uniform(-64, 64);
                c.vy = integral ? std::round(Uniform(-20, 20)) : Uniform(-64, 64);
        }
        c.steps = Pick({0.0f, 0.5f, 1.0f, 2.0f, 3.5f, 4.0f, 4.0f, 4.0f, 7.3f, 16.0f, 64.0f, -3.0f});
        // Mostly near each other, so that hits, grazes and misses all occur.
        if (Chance(0.7)) {
            c.ox = c.x + Uniform(-2, 2) * (integral ? 1.0f : scale / 64);
            c.oy = c.y + Uniform(-2, 2) * (integral ? 1.0f : scale / 64);
            if (integral) {
                c.ox = std::round(c.ox);
                c.oy = std::round(c.oy);
            }
        }
        Scratch(c.own);
        Scratch(c.other);
        return c;
    }

private:
    template <class T>
    T Pick(std::initializer_list<T> values) {
        std::uniform_int_distribution<std::size_t> i(0, values.size() - 1);
        return values.begin()[i(rng)];
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng); }
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    float Coord(float scale, bool integral) {
        const float v = Uniform(-scale, scale);
        return integral ? std::round(v) : v;
    }

    CollisionSegment Segment(float scale, bool integral) {
        const float size = std::min(scale, 200.0f);
        const float x1 = integral ? std::round(Uniform(-size, size)) : Uniform(-size, size);
        const float y1 = integral ? std::round(Uniform(-size, size)) : Uniform(-size, size);
        float x2 = integral ? std::round(Uniform(-size, size)) : Uniform(-size, size);
        float y2 = integral ? std::round(Uniform(-size, size)) : Uniform(-size, size);
        switch (Pick({0, 1, 2, 3, 3, 3})) {
            case 0: y2 = y1; break;           // level
            case 1: x2 = x1; break;           // upright
            case 2: x2 = x1, y2 = y1; break;  // a point
            default: break;
        }
        return CollisionSegment(x1, y1, x2, y2, Pick({0, 1, 2}), Pick<unsigned char>({0, 1}), 0);
    }

    // Earlier sweeps leave their marks; a sweep must leave them as the full form does.
    void Scratch(CollisionSegment& s) {
        s.HitTime(Pick({1.5f, 0.25f}));
        s.EndInside(Chance(0.3));
        s.ContactX(Pick({200.0f, 0.5f}));
    }

    std::mt19937 rng;
};

TEST(SegmentSweepAgreement, RandomSweepsGiveTheFullClippingsAnswers) {
    SweepMaker make(20261211);
    for (int i = 0; i < 300000; ++i) {
        ExpectSameSweep(make.Next());
        if (HasFatalFailure()) return;
    }
}

TEST(SegmentSweepAgreement, EdgeSweepsGiveTheFullClippingsAnswers) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const CollisionSegment floor(-100, 40, 100, 40, 0, 0, 0), feet(0, 31, 31, 31, 1, 0, 0);
    const CollisionSegment wall(64, 100, 64, -100, 1, 0, 0), point(5, 5, 5, 5, 0, 0, 0);
    const Sweep cases[] = {
        // Landing exactly on a floor, grazing its end, missing it by a hair.
        {feet, floor, 0, 0, 0, 0, 0, 9, 4},
        {feet, floor, 0, 0, 0, 0, 0, 8.999999f, 4},
        {feet, floor, 69, 0, 0, 0, 0, 9, 4},
        {feet, floor, 100.0001f, 0, 0, 0, 0, 9, 4},
        // Walking into a wall, along a floor, standing on it.
        {CollisionSegment(31, 31, 31, 0, 2, 0, 0), wall, 30, 0, 0, 0, 4, 0, 4},
        {feet, floor, 0, 9, 0, 0, 4, 0, 4},
        {feet, floor, 0, 9, 0, 0, 0, 0, 4},
        // A point inside and outside the swept area.
        {feet, point, -10, -28, 0, 0, 0, 4, 4},
        {feet, point, -10, -40, 0, 0, 0, 4, 4},
        // A flat swept area far out, where the clipping keeps points along its whole line.
        {CollisionSegment(0, 0, 32, 0, 0, 0, 0), CollisionSegment(5000, -1, 5000, 1, 0, 0, 0), 1e5f, 1e5f, -1e5f, -1e5f,
         0.05f, 0.001f, 4},
        {CollisionSegment(0, 0, 32, 0, 0, 0, 0), CollisionSegment(-9000, 0, 9000, 0, 0, 0, 0), 1e5f, 0, 0, 0, 0.05f,
         0.0001f, 4},
        // Odd values.
        {feet, floor, nan, 0, 0, 0, 0, 9, 4},
        {feet, floor, 0, 0, 0, 0, inf, 9, 4},
        {feet, floor, 0, 0, 0, inf, 0, 9, 4},
        {feet, floor, 0, 0, 0, 0, 0, 9, nan},
        {feet, floor, 0, 0, 0, 0, 0, 9, inf},
        {feet, CollisionSegment(0, nan, 5, 5, 0, 0, 0), 0, 0, 0, 0, 0, 9, 4},
        {feet, floor, 3e38f, 3e38f, -3e38f, 0, 3e38f, 9, 4},
    };
    for (const Sweep& c : cases) ExpectSameSweep(c);
}

}  // namespace
