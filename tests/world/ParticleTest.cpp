#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ParticleFixture.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/ParticleInternal.h"

namespace {

float F32(const std::vector<unsigned char>& b, std::size_t at) {
    std::uint32_t bits = b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}
std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

class ParticleTest : public ParticleFixture {};

TEST_F(ParticleTest, TheRecordIsTheFixedLayoutAndRoundTripsByteForByte) {
    Particle p;
    p.Position(1.5f, -2.25f);
    p.Angle(90);
    p.Velocity(3);
    p.Size(7);
    p.MaximumAge(40);
    p.Color(0x0000FF, 0x00FF00);
    p.Friction(0.5f);
    p.Visible(false);
    p.Reflection(true);
    p.CheckCollisionWithMap(true);
    const std::vector<unsigned char> b = SaveBytes(p);
    ASSERT_EQ(b.size(), 172u);
    EXPECT_EQ(U32(b, 0), 0u) << "the owner's address is not stored";
    struct FloatAt {
        std::size_t offset;
        float value;
    };
    for (const FloatAt& f : {FloatAt{4, 1.5f},
                             {8, -2.25f},
                             {12, 1.5f},
                             {16, -2.25f},
                             {52, 90 * 0.017452778f},
                             {64, 3.0f},
                             {68, 9.0f},
                             {76, 0.5f},
                             {104, 255.0f},
                             {108, 0.0f},
                             {116, -255.0f / 40},
                             {120, 255.0f / 40}})
        EXPECT_FLOAT_EQ(F32(b, f.offset), f.value) << f.offset;
    EXPECT_EQ(U32(b, 80), 7u);
    EXPECT_EQ(U32(b, 84), 40u);
    EXPECT_EQ(U32(b, 96), 0x0000FFu);
    EXPECT_EQ(U32(b, 100), 0x00FF00u);
    EXPECT_EQ(b[128], 0);
    EXPECT_EQ(b[148], 0);
    EXPECT_EQ(b[149], 1);
    EXPECT_EQ(b[150], 1);

    std::vector<unsigned char> withReserved = b;
    for (std::size_t i = 152; i < 172; ++i) withReserved[i] = (unsigned char)(i * 7);
    Particle loaded;
    ASSERT_TRUE(LoadBytes(loaded, withReserved));
    EXPECT_EQ(SaveBytes(loaded, "again.bin"), withReserved) << "the reserved bytes travel with the particle";
    EXPECT_EQ(loaded.Size(), 7u);
    EXPECT_FALSE(loaded.Visible());
}

TEST_F(ParticleTest, SettersKeepTheirRules) {
    Particle p;
    EXPECT_TRUE(p.Dead()) << "age 0 of maximum 0";
    p.Size(0);
    EXPECT_EQ(p.Size(), 1u);
    p.Friction(2);
    p.Friction(-1);
    EXPECT_EQ(p.Friction(), 2.0f);
    p.MaximumAge(30);
    EXPECT_FALSE(p.Dead());
    EXPECT_EQ(p.Age(), 0u);
    p.BirthDelay(4);
    EXPECT_EQ(p.BirthDelay(), 4u);
    p.Color(255, 0);
    EXPECT_EQ(p.Color(), 255ul);
    EXPECT_EQ(p.FadeColor(), 0ul);
    p.Position(3, 4);
    p.Angle(0);
    p.Velocity(5);
    EXPECT_FLOAT_EQ(p.Velocity(), 5);
    EXPECT_FLOAT_EQ(p.VelocityT(10), 5) << "no owner: no gravity";
}

TEST_F(ParticleTest, APathFallsUnderGravityAndIsDrawnHigherAsYGrows) {
    auto s = System(1, [](Particle* p) {
        p->Angle(90);
        p->Velocity(10);
        p->MaximumAge(100);
        p->Color(0xFFFFFF, 0xFFFFFF);
    });
    s->Gravity(0.5f);
    s->MapPosition(30, 45);
    Particle& p = s->Particles()[0];
    for (int n = 1; n <= 12; ++n) {
        Frame(*s);
        const float t = float(n - 1);
        EXPECT_NEAR(p.PositionY(), 10 * t - 0.25f * t * t, 1e-3) << n;
        EXPECT_NEAR(p.PositionX(), 0, 0.1) << n;
        const float screenY = 45 - p.PositionY();
        if (screenY >= 0) {
            EXPECT_EQ(back->GetRawPixel(30, int(screenY)), 0xFFFFFFu) << n;
            EXPECT_EQ(Lit(), 1) << n;
        } else {
            EXPECT_EQ(Lit(), 0) << n << ": above the screen";
        }
    }
    EXPECT_NEAR(p.VelocityT(20), 0, 1e-3) << "the top of the path";
    // Of the two times at that height, the one within a frame of the particle's own (12).
    EXPECT_NEAR(p.Txy(0, 10 * 12 - 0.25f * 144), 12, 1e-3);
    EXPECT_EQ(p.Txy(0, 10 * 4 - 0.25f * 16), 0) << "time 4 is too far from the particle's";
}

TEST_F(ParticleTest, BirthDelayHoldsTheParticleStillAndHidden) {
    auto s = System(1, [](Particle* p) {
        p->Angle(0);
        p->Velocity(2);
        p->MaximumAge(50);
        p->Color(0xFFFFFF, 0xFFFFFF);
        p->BirthDelay(3);
    });
    s->MapPosition(10, 10);
    Particle& p = s->Particles()[0];
    // Hidden while a delay is left after the step; shown where it stands once it is 0.
    for (int n = 1; n <= 3; ++n) {
        Frame(*s);
        EXPECT_EQ(p.PositionX(), 0) << n;
        EXPECT_EQ(p.Age(), 0u) << n;
        EXPECT_EQ(Lit(), n == 3 ? 1 : 0) << n;
    }
    Frame(*s);
    EXPECT_EQ(p.Age(), 1u);
    EXPECT_EQ(p.PositionX(), 0) << "its path starts at time 0";
    Frame(*s);
    EXPECT_FLOAT_EQ(p.PositionX(), 2);
}

TEST_F(ParticleTest, AgeFadeAndDeathEndTheSystem) {
    auto s = System(2, [](Particle* p) {
        p->MaximumAge(255);
        p->Color(0x0000FF, 0);
    });
    Particle& first = s->Particles()[0];
    for (int n = 1; n <= 255; ++n) {
        Frame(*s);
        ASSERT_EQ(first.Color(), 255ul - n) << n;
    }
    EXPECT_TRUE(first.Dead());
    EXPECT_TRUE(s->Alive()) << "the dead are counted at the next frame";
    Frame(*s);
    EXPECT_FALSE(s->Alive());
    EXPECT_EQ(first.Color(), 0ul);
    first.MaximumAge(30);
    EXPECT_FALSE(first.Dead());
    EXPECT_EQ(first.Age(), 0u);

    auto bornDead = System(1, [](Particle*) {});
    Frame(*bornDead);
    EXPECT_FALSE(bornDead->Alive()) << "maximum age 0: dead at once";
}

TEST_F(ParticleTest, NoUpdateFunctionMeansNoMotionNoDrawingAndAlive) {
    auto s = System(
        1,
        [](Particle* p) {
            p->Velocity(3);
            p->MaximumAge(1);
            p->Color(0xFFFFFF, 0xFFFFFF);
        },
        -1);
    for (int n = 0; n < 5; ++n) Frame(*s);
    EXPECT_EQ(s->Particles()[0].Age(), 0u);
    EXPECT_EQ(Lit(), 0);
    EXPECT_TRUE(s->Alive());

    auto paused = System(1, [](Particle* p) {
        p->Velocity(3);
        p->MaximumAge(10);
        p->Color(0xFFFFFF, 0xFFFFFF);
    });
    paused->Pause(true);
    Frame(*paused);
    EXPECT_EQ(paused->Particles()[0].Age(), 0u);
    EXPECT_EQ(Lit(), 1) << "a paused system is still drawn";
}

TEST_F(ParticleTest, DrawingFollowsTheMapAndTheViewAndClipsHugeSquares) {
    auto* map = new Map();
    map->Name("layer");
    map->WorldPositionX(100);
    map->WorldPositionY(50);
    level->Add(map);
    View(90, 45);
    auto s = System(1, [](Particle* p) {
        p->Position(2, 3);
        p->MaximumAge(10);
        p->Color(0xFFFFFF, 0xFFFFFF);
    });
    s->MapPosition(5, 20);
    s->Pause(true);
    Frame(*s);
    // No map: (X + system X - view X, system Y - Y - view Y) = (-83, -28): off screen.
    EXPECT_EQ(Lit(), 0);
    s->BelongToMap("layer");
    EXPECT_FLOAT_EQ(s->MapPositionX(), 5 - 100);
    s->MapPosition(5, 20);
    Frame(*s);
    // On the map: (100 - 90 + 2 + 5, 50 - 45 - 3 + 20) = (17, 22).
    EXPECT_EQ(back->GetRawPixel(17, 22), 0xFFFFFFu);
    EXPECT_EQ(Lit(), 1);

    s->Particles()[0].Size(4000000000u);
    Frame(*s);
    EXPECT_EQ(Lit(), (64 - 17) * (48 - 22)) << "only the part on the screen is drawn";
}

// A floor along map y = 100 facing up, in a map with one grid cell.
Map* FloorMap(GameNode& level) {
    auto* map = new Map();
    map->Name("floor");
    map->SpacePartitionGridSize(128);
    map->AddCollisionData(CollisionSegment(128, 100, 0, 100, 1, 0, 0));
    level.Add(map);
    return map;
}

TEST_F(ParticleTest, HittingAFloorStopsOrBouncesWithSpeedLessFriction) {
    FloorMap(*level);
    struct Case {
        bool reflection;
        std::vector<float> yAfterHit;  // Y of the frames after the hit
    };
    const Case cases[] = {
        {false, {-99, -99, -99}},
        // Speed 6 at impact, less friction 2, straight up; the frame after the
        // hit does not advance the path's time.
        {true, {-95, -95, -91, -87}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reflection);
        const bool reflect = c.reflection;
        auto s = System(1, [reflect](Particle* p) {
            p->Angle(-90);
            p->Velocity(6);
            p->MaximumAge(100);
            p->CheckCollisionWithMap(true);
            p->Reflection(reflect);
            p->Friction(2);
        });
        s->BelongToMap("floor");
        s->MapPosition(50, 0);
        Particle& p = s->Particles()[0];
        int frames = 0;
        while (!p.CollisionWithMap() && frames < 30) {
            Frame(*s);
            ++frames;
        }
        ASSERT_EQ(frames, 17);
        EXPECT_NEAR(p.PositionY(), -99, 1e-3) << "moved to where the box touched";
        for (float y : c.yAfterHit) {
            Frame(*s);
            EXPECT_NEAR(p.PositionY(), y, 1e-2);
        }
    }
}

TEST_F(ParticleTest, AHugeDisplacementCannotStallTheSweep) {
    FloorMap(*level);
    auto s = System(1, [](Particle* p) {
        p->Angle(-90);
        p->Velocity(3e30f);
        p->MaximumAge(5);
        p->CheckCollisionWithMap(true);
    });
    s->BelongToMap("floor");
    static float longest;
    longest = 0;
    onUpdate() = [](Particle* p) { longest = std::max(longest, std::hypot(p->DisplacementX(), p->DisplacementY())); };
    for (int n = 0; n < 3; ++n) Frame(*s);
    ASSERT_GT(longest, 1e30f);
    EXPECT_EQ(ParticleSweepSamples(longest), SweepSchedule::kMaxSamples);
}

// A pixel apart along the move, one past its end; never more than the bound.
TEST_F(ParticleTest, TheSweepTakesOneSampleAPixelUpToItsBound) {
    const struct {
        float steps;
        std::int32_t samples;
    } cases[] = {
        {0, 2},
        {0.5f, 2},
        {1, 2},
        {2.5f, 4},
        {4, 5},
        {1000, 1001},
        {65535, 65536},
        {1e6f, SweepSchedule::kMaxSamples},
        {3e30f, SweepSchedule::kMaxSamples},
        {INFINITY, 0},
        {-4, 0},
        {NAN, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParticleSweepSamples(c.steps), c.samples) << c.steps;
}

}  // namespace
