// Plain value types of the engine's interface: rectangles, points and colours.
// Sizes are fixed (16-byte rectangles, 8-byte points) whatever the host.
#pragma once
#include <cstdint>

// Integer rectangle; right and bottom are exclusive.
struct QelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The same four int32 under the name some records use.
struct tagRECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Float rectangle, laid out and stored as top, left, bottom, right.
struct FRECT {
    float top = 0;
    float left = 0;
    float bottom = 0;
    float right = 0;
};

struct QelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A colour as 0x00BBGGRR.
using COLORREF = std::uint32_t;

constexpr COLORREF QelRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr std::uint8_t RedOf(COLORREF c) { return std::uint8_t(c); }
constexpr std::uint8_t GreenOf(COLORREF c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t BlueOf(COLORREF c) { return std::uint8_t(c >> 16); }

static_assert(sizeof(QelRect) == 16 && sizeof(tagRECT) == 16 && sizeof(FRECT) == 16);
static_assert(sizeof(QelPoint) == 8);
