#include "platform/DrawContext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/Font.h"
#include "platform/Surface.h"

namespace qel {

namespace {
// Outlines beyond this size are not drawn (the debug shapes never come close).
constexpr std::int64_t MaxEllipseSide = 1 << 16;

bool IsEmpty(const QelRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Pixels of the ellipse outline inscribed in the inclusive box (x0, y0)-(x1, y1),
// reported four quadrants at a time, each point possibly more than once.
template <typename PlotFn>
void EllipseOutline(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, PlotFn plot) {
    std::int64_t a = x1 - x0, b = y1 - y0, b1 = b & 1;
    std::int64_t dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    std::int64_t err = dx + dy + b1 * a * a;
    y0 += (b + 1) / 2;
    y1 = y0 - b1;
    const std::int64_t a8 = 8 * a * a, b8 = 8 * b * b;
    do {
        plot(x1, y0);
        plot(x0, y0);
        plot(x0, y1);
        plot(x1, y1);
        std::int64_t e2 = 2 * err;
        if (e2 <= dy) {
            ++y0;
            --y1;
            err += dy += a8;
        }
        if (e2 >= dx || 2 * err > dy) {
            ++x0;
            --x1;
            err += dx += b8;
        }
    } while (x0 <= x1);
    // Very flat ellipses stop early: finish their tips.
    while (y0 - y1 < b) {
        plot(x0 - 1, y0);
        plot(x1 + 1, y0++);
        plot(x0 - 1, y1);
        plot(x1 + 1, y1--);
    }
}
}  // namespace

DrawContext::DrawContext(Surface& target) : target_(target) {}

void DrawContext::SetPen(COLORREF colour) {
    hasPen_ = true;
    pen_ = colour;
}
void DrawContext::SetNullPen() { hasPen_ = false; }
void DrawContext::SetBrush(COLORREF colour) {
    hasBrush_ = true;
    brush_ = colour;
}
void DrawContext::SetNullBrush() { hasBrush_ = false; }

void DrawContext::Plot(std::int32_t x, std::int32_t y, std::uint32_t raw) { target_.SetRawPixel(x, y, raw); }

void DrawContext::FillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t raw) {
    if (x1 > x0) target_.FillClipped({x0, y, x1, y + 1}, raw);
}

void DrawContext::MoveTo(std::int32_t x, std::int32_t y) { position_ = {x, y}; }

void DrawContext::LineTo(std::int32_t x, std::int32_t y) {
    const QelPoint from = position_;
    position_ = {x, y};
    if (!hasPen_) return;
    const std::uint32_t raw = target_.MapColor(pen_);
    const std::int64_t dx = std::int64_t(x) - from.x, dy = std::int64_t(y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    const std::int64_t n = std::llabs(major);
    if (n == 0) return;
    const std::int64_t majorStart = xMajor ? from.x : from.y, minorStart = xMajor ? from.y : from.x;
    const std::int64_t majorSize = xMajor ? target_.Width() : target_.Height();
    const int step = major > 0 ? 1 : -1;
    // Only the steps whose major coordinate lies on the surface; the end point is excluded.
    std::int64_t first = 0, last = n;
    if (step > 0) {
        first = std::max<std::int64_t>(0, -majorStart);
        last = std::min<std::int64_t>(n, majorSize - majorStart);
    } else {
        first = std::max<std::int64_t>(0, majorStart - majorSize + 1);
        last = std::min<std::int64_t>(n, majorStart + 1);
    }
    const std::int64_t absMinor = std::llabs(minor);
    const int minorStep = minor >= 0 ? 1 : -1;
    for (std::int64_t i = first; i < last; ++i) {
        // The minor coordinate rounded to the nearest pixel, halves toward the start.
        // (128-bit: both factors can approach 2^32 for lines far off the surface.)
        std::int64_t offset = std::int64_t((__int128(2) * i * absMinor + n - 1) / (__int128(2) * n));
        std::int64_t m = majorStart + step * i, k = minorStart + minorStep * offset;
        if (k < INT32_MIN || k > INT32_MAX) continue;
        if (xMajor)
            Plot(std::int32_t(m), std::int32_t(k), raw);
        else
            Plot(std::int32_t(k), std::int32_t(m), raw);
    }
}

void DrawContext::Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const std::int64_t x0 = left, y0 = top, x1 = std::int64_t(right) - 1, y1 = std::int64_t(bottom) - 1;
    if (x1 < x0 || y1 < y0 || x1 - x0 > MaxEllipseSide || y1 - y0 > MaxEllipseSide) return;
    // Row extents of the outline, for the brush.
    std::vector<std::int64_t> minX(std::size_t(y1 - y0 + 1), x1 + 1), maxX(std::size_t(y1 - y0 + 1), x0 - 1);
    std::vector<std::pair<std::int64_t, std::int64_t>> points;
    EllipseOutline(x0, y0, x1, y1, [&](std::int64_t x, std::int64_t y) {
        if (y < y0 || y > y1) return;
        std::size_t row = std::size_t(y - y0);
        minX[row] = std::min(minX[row], x);
        maxX[row] = std::max(maxX[row], x);
        points.emplace_back(x, y);
    });
    if (hasBrush_) {
        const std::uint32_t fill = target_.MapColor(brush_);
        for (std::size_t row = 0; row < minX.size(); ++row)
            if (maxX[row] - minX[row] > 1)
                FillSpan(std::int32_t(y0 + std::int64_t(row)), std::int32_t(minX[row] + 1), std::int32_t(maxX[row]),
                         fill);
    }
    if (hasPen_) {
        const std::uint32_t raw = target_.MapColor(pen_);
        for (auto [x, y] : points) Plot(std::int32_t(x), std::int32_t(y), raw);
    }
}

void DrawContext::Rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (!hasPen_) {
        // Without an outline the filled area is one pixel smaller on the right and bottom.
        if (hasBrush_) target_.FillClipped({left, top, right - 1, bottom - 1}, target_.MapColor(brush_));
        return;
    }
    if (hasBrush_) target_.FillClipped({left + 1, top + 1, right - 1, bottom - 1}, target_.MapColor(brush_));
    if (right - left < 1 || bottom - top < 1) return;
    const std::uint32_t raw = target_.MapColor(pen_);
    target_.FillClipped({left, top, right, top + 1}, raw);
    target_.FillClipped({left, bottom - 1, right, bottom}, raw);
    target_.FillClipped({left, top, left + 1, bottom}, raw);
    target_.FillClipped({right - 1, top, right, bottom}, raw);
}

void DrawContext::FillRectMinusRect(const QelRect& area, const QelRect& hole, COLORREF colour) {
    if (IsEmpty(area)) return;
    const std::uint32_t raw = target_.MapColor(colour);
    QelRect h{std::max(hole.left, area.left), std::max(hole.top, area.top), std::min(hole.right, area.right),
              std::min(hole.bottom, area.bottom)};
    if (IsEmpty(hole) || IsEmpty(h)) {
        target_.FillClipped(area, raw);
        return;
    }
    target_.FillClipped({area.left, area.top, area.right, h.top}, raw);
    target_.FillClipped({area.left, h.bottom, area.right, area.bottom}, raw);
    target_.FillClipped({area.left, h.top, h.left, h.bottom}, raw);
    target_.FillClipped({h.right, h.top, area.right, h.bottom}, raw);
}

void DrawContext::FillRectMinusEllipse(const QelRect& area, const QelRect& box, COLORREF colour) {
    if (IsEmpty(area)) return;
    const std::uint32_t raw = target_.MapColor(colour);
    if (IsEmpty(box)) {
        target_.FillClipped(area, raw);
        return;
    }
    // A pixel belongs to the ellipse when its centre lies inside it.
    const double cx = (double(box.left) + box.right) / 2, cy = (double(box.top) + box.bottom) / 2;
    const double rx = (double(box.right) - box.left) / 2, ry = (double(box.bottom) - box.top) / 2;
    const std::int32_t top = std::max(area.top, 0), bottom = std::min(area.bottom, target_.Height());
    for (std::int32_t y = top; y < bottom; ++y) {
        const double v = (y + 0.5 - cy) / ry;
        if (v * v >= 1) {
            FillSpan(y, area.left, area.right, raw);
            continue;
        }
        const double half = rx * std::sqrt(1 - v * v);
        // Inside: x + 0.5 in (cx - half, cx + half).
        double firstIn = std::floor(cx - half - 0.5) + 1, lastIn = std::ceil(cx + half - 0.5) - 1;
        std::int64_t inFrom = std::int64_t(std::max(firstIn, double(INT32_MIN)));
        std::int64_t inTo = std::int64_t(std::min(lastIn, double(INT32_MAX))) + 1;
        if (inTo <= inFrom) {
            FillSpan(y, area.left, area.right, raw);
            continue;
        }
        FillSpan(y, area.left, std::int32_t(std::clamp<std::int64_t>(inFrom, area.left, area.right)), raw);
        FillSpan(y, std::int32_t(std::clamp<std::int64_t>(inTo, area.left, area.right)), area.right, raw);
    }
}

void DrawContext::FillBlack(const QelRect& area) {
    if (!IsEmpty(area)) target_.FillClipped(area, 0);
}

void DrawContext::SetPixel(std::int32_t x, std::int32_t y, COLORREF colour) { Plot(x, y, target_.MapColor(colour)); }

void DrawContext::SelectFont(const Font* font) { font_ = font; }

const Font& DrawContext::CurrentFont() const { return font_ ? *font_ : Font::Default(); }

bool DrawContext::TextExtent(const char* text, std::int32_t length, std::int32_t& width, std::int32_t& height) const {
    if (!text || length < 0) return false;
    TextSize size = CurrentFont().Measure(text, length);
    width = size.width;
    height = size.height;
    return true;
}

void DrawContext::TextOut(std::int32_t x, std::int32_t y, const char* text, std::int32_t length) {
    if (!text || length <= 0) return;
    CurrentFont().DrawText(target_, x, y, text, length, textColour_);
}

}  // namespace qel
