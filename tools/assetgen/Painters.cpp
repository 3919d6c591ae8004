#include "Painters.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

struct Theme {
    std::uint32_t skyTop, skyBottom, ground, edge, wall;
};

Theme ThemeOf(const std::string& bitmap) {
    if (bitmap.rfind("noltlvl1", 0) == 0) return {0x101830, 0x304870, 0x283040, 0xC8D8F0, 0x90A8D0};
    if (bitmap.rfind("noltlvl2", 0) == 0) return {0x180C28, 0x503070, 0x302038, 0xE8C8F8, 0xB890D8};
    if (bitmap.rfind("noltlvl3", 0) == 0) return {0x081810, 0x286040, 0x203020, 0xC8F0C8, 0x90D0A0};
    if (bitmap.rfind("noltlvl4", 0) == 0) return {0x181818, 0x505860, 0x303030, 0xF0F0F0, 0xB0B0B8};
    return {0x000000, 0x202040, 0x202020, 0xFFFFFF, 0xC0C0C0};
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, float t) {
    std::uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const float ca = float((a >> shift) & 0xFF), cb = float((b >> shift) & 0xFF);
        out |= std::uint32_t(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

void Sky(Canvas& c, const Theme& theme) {
    for (int y = 0; y < c.Height(); ++y)
        c.FillRect(0, y, c.Width(), y + 1, Mix(theme.skyTop, theme.skyBottom, float(y) / float(c.Height())));
}

void CentredText(Canvas& c, int y, const char* text, int scale, std::uint32_t colour) {
    c.Text((c.Width() - Canvas::TextWidth(text, scale)) / 2, y, text, scale, colour);
}

bool IsFloor(const nolt::SegmentRecord& s) { return s.id == 0 && s.x1 != s.x2; }
bool IsWall(const nolt::SegmentRecord& s) { return s.x1 == s.x2 || std::abs(s.x2 - s.x1) < std::abs(s.y2 - s.y1); }
float LeftOf(const nolt::SegmentRecord& s) { return std::min(s.x1, s.x2); }
float RightOf(const nolt::SegmentRecord& s) { return std::max(s.x1, s.x2); }

float HeightAt(const nolt::SegmentRecord& s, float x) {
    const float t = std::clamp((x - s.x1) / (s.x2 - s.x1), 0.0f, 1.0f);
    return s.y1 + (s.y2 - s.y1) * t;
}

// The nearest floor under this one along its span; 0 when there is none.
float FloorBelow(const nolt::LevelRecord& level, const nolt::SegmentRecord& floor) {
    const float left = LeftOf(floor), right = RightOf(floor), top = std::max(floor.y1, floor.y2);
    float below = 0;
    for (const nolt::SegmentRecord& s : level.segments) {
        const float y = std::min(s.y1, s.y2);
        if (&s != &floor && IsFloor(s) && LeftOf(s) < right && RightOf(s) > left && y > top && (below == 0 || y < below))
            below = y;
    }
    return below;
}

// How deep a floor's body goes: the ground (the lowest floors, give or take
// a step too small to climb on purpose) down to the bottom; a block or a step, with a wall hanging from one of its ends, down to
// the floor under it; anything else is a slab.
constexpr float GroundStep = 6;

int Depth(const nolt::LevelRecord& level, const nolt::SegmentRecord& floor, int height) {
    float lowest = 0;
    for (const nolt::SegmentRecord& s : level.segments)
        if (IsFloor(s)) lowest = std::max(lowest, std::min(s.y1, s.y2));
    const float top = std::min(floor.y1, floor.y2);
    if (top >= lowest - GroundStep) return height;
    for (const nolt::SegmentRecord& s : level.segments) {
        if (s.id != 1 || !IsWall(s)) continue;
        const float x = (s.x1 + s.x2) / 2;
        const bool atEnd = std::abs(x - LeftOf(floor)) <= 2 || std::abs(x - RightOf(floor)) <= 2;
        if (atEnd && std::abs(std::min(s.y1, s.y2) - top) <= 3) {
            const float below = FloorBelow(level, floor), wallBottom = std::max(s.y1, s.y2);
            if (below == 0 && wallBottom >= lowest - GroundStep) return height;  // standing on the ground
            return int(std::max(below > 0 ? below - top : 0.0f, wallBottom - top));
        }
    }
    return 14;
}

// Floors are drawn as solid bodies hanging under the line the player stands
// on, with a lit top edge starting at that line; walls as thick posts on
// their solid side, behind the face that stops the player.
void DrawSegments(Canvas& c, const nolt::LevelRecord& level, const Theme& theme) {
    for (const nolt::SegmentRecord& s : level.segments) {
        if (!IsFloor(s) || IsWall(s)) continue;
        const int depth = Depth(level, s, c.Height());
        for (int x = int(LeftOf(s)); x <= int(RightOf(s)); ++x) {
            const int y = int(std::lround(HeightAt(s, float(x))));
            c.FillRect(x, y, x + 1, y + depth, theme.ground);
            c.FillRect(x, y + depth - 2, x + 1, y + depth, Mix(theme.ground, 0x000000, 0.4f));
        }
    }
    for (const nolt::SegmentRecord& s : level.segments) {
        if (!IsWall(s)) continue;
        const int x = int(std::lround((s.x1 + s.x2) / 2));
        const int top = int(std::min(s.y1, s.y2)), bottom = int(std::max(s.y1, s.y2));
        if (s.id != 1) {
            c.Line(s.x1, s.y1, s.x2, s.y2, 2, theme.edge);
            continue;
        }
        // A line running down faces left, so its body lies to the right.
        const bool bodyRight = s.y2 > s.y1;
        const int left = bodyRight ? x : x - 5;
        c.FillRect(left, top, left + 6, bottom, theme.wall);
        c.FillRect(bodyRight ? x : x - 1, top, bodyRight ? x + 2 : x + 1, bottom, theme.edge);
    }
    for (const nolt::SegmentRecord& s : level.segments) {
        if (!IsFloor(s) || IsWall(s)) continue;
        for (int x = int(LeftOf(s)); x <= int(RightOf(s)); ++x) {
            const int y = int(std::lround(HeightAt(s, float(x))));
            c.FillRect(x, y, x + 1, y + 3, theme.edge);
        }
    }
}

const char* InterludeCaption(const std::string& bitmap) {
    if (bitmap == "worldTwoEnterance.bmp") return "WORLD TWO";
    if (bitmap == "worldThreeEnterance.bmp") return "WORLD THREE";
    if (bitmap == "worldFourEnterance.bmp") return "WORLD FOUR";
    return nullptr;
}

}  // namespace

Canvas PaintMap(const nolt::LevelRecord& level) {
    const Theme theme = ThemeOf(level.mapBitmap);
    Canvas c(level.BitmapWidth(), level.BitmapHeight(), 0);
    if (level.mapBitmap == "nolt.bmp") {
        // Black is this map's see-through colour: only the title shows.
        CentredText(c, 120, "NOLT", 16, 0x303040);
        return c;
    }
    Sky(c, theme);
    if (level.mapBitmap == "title.bmp") {
        CentredText(c, 90, "NOLT", 20, 0xF0F0F8);
        c.Text(270, 342, "START", 4, 0xE0E0E0);
        c.Text(270, 380, "LOAD", 4, 0xE0E0E0);
    } else if (const char* caption = InterludeCaption(level.mapBitmap)) {
        CentredText(c, 60, caption, 6, 0xE0E0F0);
    }
    DrawSegments(c, level, theme);
    return c;
}

namespace {

std::uint32_t FigureColour(const std::string& name) {
    if (name == "protagg.bmp") return 0x40D060;
    if (name == "protagy.bmp") return 0xF0D040;
    if (name == "protagm.bmp") return 0xE040D0;
    if (name == "protagb.bmp") return 0x4080F0;
    if (name == "protagr.bmp") return 0xE04040;
    return 0xE8E8E8;
}

void Figure(Canvas& c, std::uint32_t colour) {
    const float w = float(c.Width()), h = float(c.Height());
    c.FillCircle(w / 2, h * 0.3f, w * 0.22f, colour);
    c.FillRect(int(w * 0.3f), int(h * 0.45f), int(w * 0.7f), int(h * 0.85f), colour);
    c.FillRect(int(w * 0.3f), int(h * 0.85f), int(w * 0.45f), int(h), colour);
    c.FillRect(int(w * 0.55f), int(h * 0.85f), int(w * 0.7f), int(h), colour);
    c.FillRect(int(w * 0.55f), int(h * 0.25f), int(w * 0.62f), int(h * 0.32f), 0x101010);
}

void LeftTriangle(Canvas& c, std::uint32_t colour) {
    const int w = c.Width(), h = c.Height();
    for (int x = 0; x < w; ++x) {
        const int half = (x * h / 2) / std::max(1, w - 1);
        c.FillRect(x, h / 2 - half, x + 1, h / 2 + half + 1, colour);
    }
}

void Gradient(Canvas& c, int step) {
    static constexpr std::uint32_t Ends[5][2] = {
        {0x200040, 0xF04080}, {0x002040, 0x40F0C0}, {0x402000, 0xF0E040}, {0x004020, 0x80F040}, {0x400000, 0xF08040}};
    for (int x = 0; x < c.Width(); ++x)
        c.Put(x, 0, Mix(Ends[step][0], Ends[step][1], float(x) / float(std::max(1, c.Width() - 1))));
}

}  // namespace

Canvas PaintActor(const ActorBitmap& a) {
    const std::string name = a.fileName;
    const std::uint32_t key = FromColorRef(a.colorKey);
    Canvas c(a.width, a.height, a.keyed ? key : 0x000000);
    if (name.rfind("protag", 0) == 0) {
        Figure(c, FigureColour(name));
    } else if (name == "projectile.bmp") {
        c.FillCircle(float(a.width) / 2, float(a.height) / 2, float(a.width) * 0.35f, 0xFFF0A0);
    } else if (name == "goal.bmp") {
        c.FillRect(0, 0, a.width, a.height, 0x202830);
        c.FillRect(6, 6, a.width - 6, a.height, 0xF0E8A0);
        c.FillRect(14, 14, a.width - 14, a.height, 0xFFFFF0);
    } else if (name == "clear.bmp") {
        c.FillRect(4, 0, a.width - 4, a.height, 0xA0E0FF);
    } else if (name == "clearObst.bmp") {
        LeftTriangle(c, 0xE03030);
    } else if (name == "clearObstWhite.bmp") {
        LeftTriangle(c, 0xF8F8F8);
    } else if (name == "decider.bmp") {
        LeftTriangle(c, 0xF0F0F0);
        // Mirror: the menu cursor points right, at the choices.
        Canvas flipped(a.width, a.height, key);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) flipped.Put(a.width - 1 - x, y, c.Pixel(x, y));
        return flipped;
    } else if (name == "titlescreen.bmp") {
        c.FillRect(0, 0, a.width, a.height, 0x080810);
        CentredText(c, 90, "NOLT", 20, 0xF0F0F8);
        c.Text(270, 342, "START", 4, 0xE0E0E0);
        c.Text(270, 380, "LOAD", 4, 0xE0E0E0);
    } else if (name.rfind("gradient", 0) == 0 && name != "gradient6.bmp") {
        Gradient(c, name[8] - '1');
    } else if (name == "credits.bmp") {
        CentredText(c, 100, "NOLT", 12, 0xFFFFFF);
        CentredText(c, 260, "THANK YOU FOR PLAYING", 3, 0xFFFFFF);
    }
    // camera.bmp and gradient6.bmp stay see-through.
    return c;
}
