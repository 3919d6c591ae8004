// A picture in memory, 0xRRGGBB per pixel, with the few drawing operations the
// generated art needs, written out as a 24-bit BMP file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Canvas {
public:
    Canvas(int width, int height, std::uint32_t colour);

    int Width() const { return width; }
    int Height() const { return height; }
    std::uint32_t Pixel(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    // Drawing outside the picture is clipped.
    void Put(int x, int y, std::uint32_t colour);
    void FillRect(int left, int top, int right, int bottom, std::uint32_t colour);
    void FillCircle(float cx, float cy, float radius, std::uint32_t colour);
    // A line `thickness` pixels wide, centred on the exact line.
    void Line(float x1, float y1, float x2, float y2, int thickness, std::uint32_t colour);
    // Capital letters, digits and spaces in a 5 x 7 block font, `scale` pixels a block.
    void Text(int x, int y, const char* text, int scale, std::uint32_t colour);
    static int TextWidth(const char* text, int scale);

    // Bottom-up 24-bit BMP; false when the file cannot be written.
    bool WriteBmp(const std::string& path) const;

private:
    int width, height;
    std::vector<std::uint32_t> pixels;
};
