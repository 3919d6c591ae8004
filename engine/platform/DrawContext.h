// Drawing on a surface the way the engine's effects and debug displays do:
// solid 1-pixel pens, solid or null brushes, lines without their end pixel,
// ellipse outlines, rectangles, region fills, black fill and text. Everything
// is clipped to the surface; colours go through Surface::MapColor.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Types.h"

namespace qel {

class Surface;
class Font;

class QEL_API DrawContext {
public:
    // Pixels per logical inch, both directions.
    static constexpr std::int32_t LogPixels = 96;

    // Pen black, brush white, current position (0, 0), default font, text black.
    explicit DrawContext(Surface& target);

    Surface& Target() { return target_; }

    void SetPen(COLORREF colour);
    void SetNullPen();
    void SetBrush(COLORREF colour);
    void SetNullBrush();

    void MoveTo(std::int32_t x, std::int32_t y);
    // Draws from the current position up to, not including, (x, y), which
    // becomes the current position.
    void LineTo(std::int32_t x, std::int32_t y);
    QelPoint CurrentPosition() const { return position_; }

    // Outline (pen) of the ellipse inscribed in [left, right) x [top, bottom),
    // filled with the brush when there is one.
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    // Pen outline and brush interior covering [left, right) x [top, bottom).
    void Rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

    // Fills `area` except `hole` (an empty or inverted hole subtracts nothing).
    void FillRectMinusRect(const QelRect& area, const QelRect& hole, COLORREF colour);
    // Fills `area` except the ellipse inscribed in `ellipseBox`.
    void FillRectMinusEllipse(const QelRect& area, const QelRect& ellipseBox, COLORREF colour);
    // Fills with raw value 0 (black at every depth the engine sets up).
    void FillBlack(const QelRect& area);
    void SetPixel(std::int32_t x, std::int32_t y, COLORREF colour);

    // Text: null selects the default font.
    void SelectFont(const Font* font);
    const Font& CurrentFont() const;
    void SetTextColor(COLORREF colour) { textColour_ = colour; }
    COLORREF TextColor() const { return textColour_; }
    // Size of a one-byte string in the current font.
    bool TextExtent(const char* text, std::int32_t length, std::int32_t& width, std::int32_t& height) const;
    // Draws the string with its top-left at (x, y), background transparent.
    void TextOut(std::int32_t x, std::int32_t y, const char* text, std::int32_t length);

private:
    void FillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t raw);
    void Plot(std::int32_t x, std::int32_t y, std::uint32_t raw);

    Surface& target_;
    bool hasPen_ = true;
    COLORREF pen_ = 0;
    bool hasBrush_ = true;
    COLORREF brush_ = 0xFFFFFF;
    QelPoint position_;
    const Font* font_ = nullptr;
    COLORREF textColour_ = 0;
};

}  // namespace qel
