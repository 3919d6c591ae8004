// What a map picture shows at each pixel, as far as the player is concerned:
// open (sky, or a cave the player can reach), solid (drawn as a body the
// player can never be inside) or a drawn line that is no body (a plank, a
// one-way fence, the lit edge over open ground). The asset generator writes
// one beside each map for the tests; the game never reads it.
//
// File: "NMSK", width and height (int32, little-endian), then each row as
// runs of (value uint8, length uint16, little-endian) that add up to the width.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class SolidMask {
public:
    enum Value : std::uint8_t { Open = 0, Solid = 1, Line = 2 };

    SolidMask() = default;
    SolidMask(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }
    // Outside the picture everything is open.
    Value At(int x, int y) const;
    void Set(int x, int y, Value v);
    // Solid pixels in the rectangle [left, right] x [top, bottom], clipped.
    int SolidIn(int left, int top, int right, int bottom) const;

    bool Write(const std::string& path) const;
    // False, with the mask left empty, when the file is missing or malformed.
    bool Read(const std::string& path);

private:
    int width = 0, height = 0;
    std::vector<std::uint8_t> values;
};
