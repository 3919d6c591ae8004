#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include "foundation/FloatToInt.h"

namespace {

constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(FloatToInt, Int32SaturatesAtItsLimitsAndNaNGivesZero) {
    const struct {
        double in;
        std::int32_t out;
    } cases[] = {
        {NaN, 0},
        {-NaN, 0},
        {Inf, Max32},
        {-Inf, Min32},
        {3e9, Max32},
        {-3e9, Min32},
        {1e300, Max32},
        {2147483647.0, Max32},
        {2147483647.75, Max32},
        {2147483648.0, Max32},
        {-2147483648.0, Min32},
        {-2147483648.75, Min32},
        {-2147483649.0, Min32},
        {2147483646.5, 2147483646},
        {-2147483647.5, -2147483647},
        // Toward zero, as the cast truncates.
        {-0.75, 0},
        {-0.0, 0},
        {-1.5, -1},
        {-2.999, -2},
        {1.999, 1},
        {37.9, 37},
    };
    for (const auto& c : cases) EXPECT_EQ(TruncToInt32(c.in), c.out) << c.in;

    // Floats: the last one below 2^31 still fits, 2^31 itself does not.
    const struct {
        float in;
        std::int32_t out;
    } floats[] = {
        {2147483520.0f, 2147483520},
        {2147483648.0f, Max32},
        {-2147483648.0f, Min32},
        {-2147483904.0f, Min32},
        {std::numeric_limits<float>::infinity(), Max32},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {-0.5f, 0},
    };
    for (const auto& c : floats) EXPECT_EQ(TruncToInt32(c.in), c.out) << c.in;
}

TEST(FloatToInt, OtherTargetsSaturateAtTheirOwnLimits) {
    EXPECT_EQ(TruncTo<std::uint16_t>(-1.0), 0);
    EXPECT_EQ(TruncTo<std::uint16_t>(-0.5), 0);
    EXPECT_EQ(TruncTo<std::uint16_t>(123.9), 123);
    EXPECT_EQ(TruncTo<std::uint16_t>(65535.9), 65535);
    EXPECT_EQ(TruncTo<std::uint16_t>(65536.0), 65535);
    EXPECT_EQ(TruncTo<std::uint16_t>(NaN), 0);
    EXPECT_EQ(TruncTo<std::uint8_t>(255.5f), 255);
    EXPECT_EQ(TruncTo<std::uint8_t>(-Inf), 0);
    EXPECT_EQ(TruncTo<std::uint32_t>(4294967295.5), 4294967295u);
    EXPECT_EQ(TruncTo<std::int64_t>(9.3e18f), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(TruncTo<std::int64_t>(-9.3e18f), std::numeric_limits<std::int64_t>::min());
    // Extended values truncate as they are, not first rounded to double
    // (which would make this 3).
    const long double justBelowThree = std::nextafter(3.0L, 0.0L);
    ASSERT_EQ(double(justBelowThree), 3.0);
    EXPECT_EQ(TruncToInt32(justBelowThree), 2);
}

// Replays and network peers depend on the same results as the plain cast
// wherever the cast is defined.
TEST(FloatToInt, InRangeValuesTruncateExactlyAsTheCast) {
    std::mt19937 bits(2024);
    int compared = 0;
    while (compared < 200000) {
        const float f = std::bit_cast<float>(std::uint32_t(bits()));
        if (!(f > -2147483649.0f && f < 2147483648.0f)) continue;
        ASSERT_EQ(TruncToInt32(f), static_cast<std::int32_t>(f)) << f;
        const double d = double(f) * 0.75;
        ASSERT_EQ(TruncToInt32(d), static_cast<std::int32_t>(d)) << d;
        ++compared;
    }
}

}  // namespace
