#include "Canvas.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "common/BmpWriter.h"

namespace {

// 5 x 7 glyphs, one string of 35 cells per character, row by row.
struct Glyph {
    char c;
    const char* rows;
};
constexpr Glyph Glyphs[] = {
    {'A', " ### #   ##   #######   ##   ##   #"}, {'B', "#### #   ##### #   ##   ##   ##### "},
    {'C', " ### #   ##    #    #    #   # ### "}, {'D', "#### #   ##   ##   ##   ##   ##### "},
    {'E', "######    #### #    #    #    #####"}, {'F', "######    #### #    #    #    #    "},
    {'G', " ### #   ##    # ####   ##   # ### "}, {'H', "#   ##   #######   ##   ##   ##   #"},
    {'I', " ###   #    #    #    #    #   ### "}, {'J', "  ###   #    #    #    #  #   ##  "},
    {'K', "#   ##  # # #  ##   # #  #  # #   #"}, {'L', "#    #    #    #    #    #    #####"},
    {'M', "#   ### ### # ##   ##   ##   ##   #"}, {'N', "#   ###  ## # ##  ###   ##   ##   #"},
    {'O', " ### #   ##   ##   ##   ##   # ### "}, {'P', "#### #   ##   ##### #    #    #    "},
    {'Q', " ### #   ##   ##   ## # ##  #  ## #"}, {'R', "#### #   ##   ##### # #  #  # #   #"},
    {'S', " #####    #     ###     #    ##### "}, {'T', "#####  #    #    #    #    #    #  "},
    {'U', "#   ##   ##   ##   ##   ##   # ### "}, {'V', "#   ##   ##   ##   ##   # # #   #  "},
    {'W', "#   ##   ##   ## # ## # ## # # # # "}, {'X', "#   ##   # # #   #   # # #   ##   #"},
    {'Y', "#   ##   # # #   #    #    #    #  "}, {'Z', "#####    #   #   #   #   #    #####"},
    {'0', " ### #   ##  ### # ###  ##   # ### "}, {'1', "  #   ##    #    #    #    #   ### "},
    {'2', " ### #   #    #   #   #   #   #####"}, {'3', "####     #    # ###     #    ##### "},
    {'4', "   #   ##  # # #  # #####   #    # "}, {'5', "######    ####     #    ##   # ### "},
    {'6', " ### #    #    #### #   ##   # ### "}, {'7', "#####    #   #   #   #    #    #   "},
    {'8', " ### #   ##   # ### #   ##   # ### "}, {'9', " ### #   ##   # ####    #    # ### "},
};

const char* GlyphRows(char c) {
    for (const Glyph& g : Glyphs)
        if (g.c == c) return g.rows;
    return nullptr;
}

}  // namespace

Canvas::Canvas(int w, int h, std::uint32_t colour)
    : width(std::max(1, w)), height(std::max(1, h)), pixels(std::size_t(width) * std::size_t(height), colour) {}

void Canvas::Put(int x, int y, std::uint32_t colour) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = colour;
}

void Canvas::FillRect(int left, int top, int right, int bottom, std::uint32_t colour) {
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, width), bottom = std::min(bottom, height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = colour;
}

void Canvas::FillCircle(float cx, float cy, float radius, std::uint32_t colour) {
    const int top = int(std::floor(cy - radius)), bottom = int(std::ceil(cy + radius));
    const int left = int(std::floor(cx - radius)), right = int(std::ceil(cx + radius));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy;
            if (dx * dx + dy * dy <= radius * radius) Put(x, y, colour);
        }
}

void Canvas::Line(float x1, float y1, float x2, float y2, int thickness, std::uint32_t colour) {
    const float length = std::max(std::fabs(x2 - x1), std::fabs(y2 - y1));
    const int steps = std::max(1, int(std::ceil(length)));
    const int before = (thickness - 1) / 2, after = thickness / 2;
    for (int i = 0; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        const int x = int(std::floor(x1 + (x2 - x1) * t)), y = int(std::floor(y1 + (y2 - y1) * t));
        FillRect(x - before, y - before, x + after + 1, y + after + 1, colour);
    }
}

void Canvas::Text(int x, int y, const char* text, int scale, std::uint32_t colour) {
    for (const char* p = text; *p; ++p, x += 6 * scale) {
        const char* rows = GlyphRows(*p);
        if (!rows) continue;
        for (int cell = 0; cell < 35; ++cell)
            if (rows[cell] == '#')
                FillRect(x + (cell % 5) * scale, y + (cell / 5) * scale, x + (cell % 5 + 1) * scale,
                         y + (cell / 5 + 1) * scale, colour);
    }
}

int Canvas::TextWidth(const char* text, int scale) { return int(std::strlen(text)) * 6 * scale - scale; }

bool Canvas::WriteBmp(const std::string& path) const {
    return bmp24::Write(path, width, height, [this](int x, int y) { return Pixel(x, y); });
}
