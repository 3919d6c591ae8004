// Float to integer conversions that stay defined for every value: a position,
// speed or size read from a save or computed from one may be NaN, infinite or
// beyond the integer's range, where a plain cast is undefined behaviour.
#pragma once
#include <concepts>
#include <cstdint>
#include <limits>

// v toward zero, exactly as static_cast<To> gives it for every value To holds
// (replays and network peers rely on the same results); beyond To's range the
// nearer limit, and NaN gives 0.
template <std::integral To, std::floating_point From>
constexpr To TruncTo(From v) {
    using Limits = std::numeric_limits<To>;
    // Both bounds are 0 or powers of two, so exact in every floating type;
    // whatever lies strictly between them truncates into To.
    constexpr From lowest = From(Limits::min());
    constexpr From beyondHighest = From(Limits::max() / 2 + 1) * From(2);
    if (v != v) return 0;
    if (v <= lowest) return Limits::min();
    if (v >= beyondHighest) return Limits::max();
    return static_cast<To>(v);
}

// The common case: a coordinate as int32.
template <std::floating_point From>
constexpr std::int32_t TruncToInt32(From v) {
    return TruncTo<std::int32_t>(v);
}
