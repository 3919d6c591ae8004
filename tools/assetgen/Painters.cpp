#include "Painters.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include "PlayerSpace.h"

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

// Which way a line holds: its normal (-dy, dx) points at the side the player
// is held on.
enum class Facing { Up, Down, Left, Right };

Facing FacingOf(const nolt::SegmentRecord& s) {
    const float dx = s.x2 - s.x1, dy = s.y2 - s.y1;
    if (std::fabs(dx) >= std::fabs(dy)) return dx < 0 ? Facing::Up : Facing::Down;
    return dy > 0 ? Facing::Left : Facing::Right;
}

bool Opposite(Facing a, Facing b) {
    return (a == Facing::Up && b == Facing::Down) || (a == Facing::Down && b == Facing::Up) ||
           (a == Facing::Left && b == Facing::Right) || (a == Facing::Right && b == Facing::Left);
}

float DistanceTo(const nolt::SegmentRecord& s, float x, float y) {
    const float dx = s.x2 - s.x1, dy = s.y2 - s.y1, length2 = dx * dx + dy * dy;
    const float t = length2 > 0 ? std::clamp(((x - s.x1) * dx + (y - s.y1) * dy) / length2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(s.x1 + dx * t - x, s.y1 + dy * t - y);
}

// Another line holds from the other side right here: together they make a
// wall solid from both sides.
bool HeldFromBehind(const nolt::LevelRecord& level, const nolt::SegmentRecord& s, float x, float y) {
    for (const nolt::SegmentRecord& t : level.segments)
        if (&t != &s && Opposite(FacingOf(s), FacingOf(t)) && DistanceTo(t, x, y) <= 1.5f) return true;
    return false;
}

// A floor's surface is drawn over its line, where a standing player's feet
// are: the player logic never lets them rest on the line. Its look-ahead for a
// floor "within a pixel" below the feet reaches 6 pixels (the pixel, then a
// 3-pixel sweep that looks two of its three steps further), and a floor within
// reach nudges the player up by its run speed, 4.25 pixels; so standing feet
// stay 6 to 10.25 pixels over the line, and meet a surface drawn 8 over it
// within 2 pixels.
constexpr int SurfaceOverLine = 8;

// What the painter draws, and what it tells the tests it drew.
class MapPainter {
public:
    MapPainter(Canvas& c, SolidMask& mask, const nolt::LevelRecord& level, const Theme& theme)
        : c(c), mask(mask), level(level), theme(theme), space(level) {}

    void Paint() {
        Bodies();
        // Walls last, so that they stay lit where they meet a floor's surface.
        for (const nolt::SegmentRecord& s : level.segments)
            if (FacingOf(s) == Facing::Up || FacingOf(s) == Facing::Down) Line(s);
        for (const nolt::SegmentRecord& s : level.segments)
            if (FacingOf(s) == Facing::Left || FacingOf(s) == Facing::Right) Line(s);
    }

private:
    // Bodies darken with depth under their surface.
    void Bodies() {
        for (int x = 0; x < c.Width(); ++x) {
            int surface = -1;
            for (int y = 0; y < c.Height(); ++y) {
                if (!space.Body(x, y)) {
                    surface = -1;
                    continue;
                }
                if (surface < 0) surface = y;
                const float depth = std::min(0.55f, float(y - surface) / 260.0f);
                c.Put(x, y, Mix(theme.ground, 0x000000, depth));
                mask.Set(x, y, SolidMask::Solid);
            }
        }
    }

    void Mark(int x, int y, std::uint32_t colour) {
        if (x < 0 || y < 0 || x >= c.Width() || y >= c.Height()) return;
        c.Put(x, y, colour);
        if (mask.At(x, y) != SolidMask::Solid) mask.Set(x, y, SolidMask::Line);
    }

    // A line is lit on the side that holds the player, unless that side is
    // itself buried in a body. A floor rises to where the player stands on it,
    // and with nothing under it is a plank; a wall that holds from one side
    // only shows arrows through its open side.
    void Line(const nolt::SegmentRecord& s) {
        const Facing facing = FacingOf(s);
        const bool across = facing == Facing::Up || facing == Facing::Down;
        // Whole pixels along the line's long axis. A wall's end on a floor
        // meets that floor's drawn surface instead.
        float from = across ? std::min(s.x1, s.x2) : std::min(s.y1, s.y2);
        float to = across ? std::max(s.x1, s.x2) : std::max(s.y1, s.y2);
        const float lineFrom = from, lineTo = to;
        if (!across) {
            const bool firstOnTop = s.y1 < s.y2;
            if (EndsOnFloor(firstOnTop ? s.x1 : s.x2, from)) from -= SurfaceOverLine;
            if (EndsOnFloor(firstOnTop ? s.x2 : s.x1, to)) to -= SurfaceOverLine;
        }
        for (int i = int(std::ceil(from)); i <= int(std::floor(to)); ++i) {
            const float t =
                to > from ? (float(i) - (across ? s.x1 : s.y1)) / (across ? s.x2 - s.x1 : s.y2 - s.y1) : 0.0f;
            const float px = across ? float(i) : s.x1 + (s.x2 - s.x1) * t;
            const float py = across ? s.y1 + (s.y2 - s.y1) * t : float(i);
            const int x = int(std::floor(px)), y = int(std::floor(py));
            switch (facing) {
                case Facing::Up: {
                    if (space.Body(x, y - 2)) break;
                    // Lit on top where the feet stand, then the ground's own
                    // colour down to the line, or a plank's underside.
                    const int surface = y - SurfaceOverLine;
                    const bool plank = !space.Body(x, y + 3);
                    for (int k = surface; k < surface + 3; ++k) Mark(x, k, theme.edge);
                    for (int k = surface + 3; k < y + 3; ++k) Mark(x, k, plank ? theme.wall : theme.ground);
                    break;
                }
                case Facing::Down:
                    if (space.Body(x, y + 2)) break;
                    for (int k = 0; k < 3; ++k) Mark(x, y - k, theme.wall);
                    break;
                case Facing::Left:
                case Facing::Right: {
                    const int front = facing == Facing::Left ? -1 : 1;
                    if (space.Body(x + 2 * front, y)) break;
                    Mark(x, y, theme.edge);
                    Mark(x - front, y, theme.edge);
                    const bool onLine = float(i) >= lineFrom && float(i) <= lineTo;
                    if (i % 16 == 8 && onLine && space.Open(x - 3 * front, y) && !HeldFromBehind(level, s, px, py))
                        OpenSideArrow(x - 3 * front, y, front);
                    break;
                }
            }
        }
    }

    // An up-facing floor passes through the point.
    bool EndsOnFloor(float x, float y) const {
        for (const nolt::SegmentRecord& t : level.segments)
            if (FacingOf(t) == Facing::Up && DistanceTo(t, x, y) <= 1.5f) return true;
        return false;
    }

    // A small arrowhead behind a one-way wall, pointing the way a player
    // passes through it.
    void OpenSideArrow(int x, int y, int towards) {
        for (int k = 0; k < 4; ++k) {
            Mark(x - towards * k, y - k, theme.wall);
            Mark(x - towards * k, y + k, theme.wall);
        }
    }

    Canvas& c;
    SolidMask& mask;
    const nolt::LevelRecord& level;
    const Theme& theme;
    PlayerSpace space;
};

const char* InterludeCaption(const std::string& bitmap) {
    if (bitmap == "worldTwoEnterance.bmp") return "WORLD TWO";
    if (bitmap == "worldThreeEnterance.bmp") return "WORLD THREE";
    if (bitmap == "worldFourEnterance.bmp") return "WORLD FOUR";
    return nullptr;
}

}  // namespace

MapPicture PaintMap(const nolt::LevelRecord& level) {
    const Theme theme = ThemeOf(level.mapBitmap);
    Canvas c(level.BitmapWidth(), level.BitmapHeight(), 0);
    SolidMask mask(c.Width(), c.Height());
    if (level.mapBitmap == "nolt.bmp") {
        // Black is this map's see-through colour: only the title shows.
        CentredText(c, 120, "NOLT", 16, 0x303040);
        return {c, mask};
    }
    Sky(c, theme);
    if (level.mapBitmap == "title.bmp") {
        CentredText(c, 90, "NOLT", 20, 0xF0F0F8);
        c.Text(270, 342, "START", 4, 0xE0E0E0);
        c.Text(270, 380, "LOAD", 4, 0xE0E0E0);
    } else if (const char* caption = InterludeCaption(level.mapBitmap)) {
        CentredText(c, 60, caption, 6, 0xE0E0F0);
    }
    if (!level.segments.empty()) MapPainter(c, mask, level, theme).Paint();
    return {c, mask};
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

// The player's figure spans its collision box (one pixel in from the sides,
// two from the top and bottom of the 32 x 32 picture), arms and feet out to
// the box's sides, outlined in dark so it reads on any background.
void Figure(Canvas& c, std::uint32_t colour, std::uint32_t key) {
    const float w = float(c.Width()), h = float(c.Height());
    const int left = int(std::lround(w / 32.0f)), right = c.Width() - left;  // right edge exclusive
    const int top = int(std::lround(h * 2 / 32.0f)), bottom = c.Height() - top;
    const int cx = c.Width() / 2;
    Canvas shape(c.Width(), c.Height(), key);
    shape.FillCircle(float(cx), float(top) + h * 0.19f, h * 0.19f, colour);  // head
    shape.FillRect(cx - int(w * 0.22f), top + int(h * 0.34f), cx + int(w * 0.22f), top + int(h * 0.66f),
                   colour);                                                                                    // body
    shape.FillRect(left, top + int(h * 0.38f), right, top + int(h * 0.50f), colour);                           // arms
    shape.Line(float(cx) - w * 0.12f, float(top) + h * 0.62f, float(left) + 2, float(bottom) - 3, 4, colour);  // legs
    shape.Line(float(cx) + w * 0.12f, float(top) + h * 0.62f, float(right) - 3, float(bottom) - 3, 4, colour);
    shape.FillRect(left, bottom - 3, left + int(w * 0.25f), bottom, colour);  // feet
    shape.FillRect(right - int(w * 0.25f), bottom - 3, right, bottom, colour);
    // Keep every pixel inside the box.
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (x < left || x >= right || y < top || y >= bottom) shape.Put(x, y, key);
    const std::uint32_t outline = Mix(colour, 0x000000, 0.75f);
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x) {
            if (shape.Pixel(x, y) == key) continue;
            const bool edge = x == 0 || y == 0 || x == c.Width() - 1 || y == c.Height() - 1 ||
                              shape.Pixel(x - 1, y) == key || shape.Pixel(x + 1, y) == key ||
                              shape.Pixel(x, y - 1) == key || shape.Pixel(x, y + 1) == key;
            c.Put(x, y, edge ? outline : colour);
        }
    // Eyes.
    const int eyeY = top + int(h * 0.17f);
    c.FillRect(cx - 4, eyeY, cx - 2, eyeY + 2, 0x101010);
    c.FillRect(cx + 2, eyeY, cx + 4, eyeY + 2, 0x101010);
}

void LeftTriangle(Canvas& c, std::uint32_t colour) {
    const int w = c.Width(), h = c.Height();
    for (int x = 0; x < w; ++x) {
        const int half = (x * h / 2) / std::max(1, w - 1);
        c.FillRect(x, h / 2 - half, x + 1, h / 2 + half + 1, colour);
    }
}

// Level_31's band, one step per crossing, in the colour the player wears on
// that crossing (blue, green, magenta, red, yellow, then the plain figure):
// dark at the start, brightening towards the goal, never as bright as the
// figure itself. The sixth starts from pure black, which the band's last,
// keyed step leaves out.
void Gradient(Canvas& c, int step) {
    static constexpr std::uint32_t Crossings[6] = {0x4080F0, 0x40D060, 0xE040D0, 0xE04040, 0xF0D040, 0xE8E8E8};
    const std::uint32_t colour = Crossings[std::clamp(step, 0, 5)];
    const std::uint32_t start = step == 5 ? 0x000000 : Mix(colour, 0x000000, 0.85f);
    const std::uint32_t end = Mix(colour, 0x000000, 0.45f);
    for (int x = 0; x < c.Width(); ++x) c.Put(x, 0, Mix(start, end, float(x) / float(std::max(1, c.Width() - 1))));
}

// The credits stand on a panel of their own below the map's title and the
// player, so that they read whatever the finale left on the screen.
void Credits(Canvas& c) {
    const int left = 80, top = 268, right = c.Width() - 80, bottom = 420;
    c.FillRect(left, top, right, bottom, 0xC8D0E0);
    c.FillRect(left + 3, top + 3, right - 3, bottom - 3, 0x101420);
    CentredText(c, top + 26, "THE END", 5, 0xF0F0F8);
    CentredText(c, top + 90, "THANK YOU FOR PLAYING", 3, 0xF0F0F8);
}

}  // namespace

Canvas PaintActor(const ActorBitmap& a) {
    const std::string name = a.fileName;
    const std::uint32_t key = FromColorRef(a.colorKey);
    Canvas c(a.width, a.height, a.keyed ? key : 0x000000);
    if (name.rfind("protag", 0) == 0) {
        Figure(c, FigureColour(name), key);
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
    } else if (name.rfind("gradient", 0) == 0) {
        Gradient(c, name[8] - '1');
    } else if (name == "credits.bmp") {
        Credits(c);
    }
    // camera.bmp stays see-through.
    return c;
}
