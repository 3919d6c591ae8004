// Fonts for text drawn on surfaces, made from a description like the system's
// logical font. Faces are found through fontconfig; "Arial", "Times New
// Roman", "Courier New" and "Impact" fall back to installed stand-ins of the
// same metrics or build (Liberation Sans, Serif, Mono, Sans Narrow Bold). A
// face that is neither installed nor stood for fails.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "QelExport.h"
#include "foundation/Types.h"

namespace qel {

class Surface;

struct FontDesc {
    std::string faceName;
    // Pixels. Negative height: the character height (em); positive: the cell
    // height; 0: a default height. Width 0: natural; else the average
    // character width, the glyphs scaled horizontally.
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t weight = 0;  // 600 and above is bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct TextSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class QEL_API Font {
public:
    // Null when no installed font is or stands for the face.
    static std::unique_ptr<Font> Create(const FontDesc& desc);
    // True when an installed font is or stands for the face (without case).
    static bool ServesFace(const std::string& faceName);
    // The font for text drawn without a chosen font ("Loading ...").
    static const Font& Default();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontDesc& Desc() const;

    // Width (sum of advances) and cell height of a one-byte (code page 1252)
    // string.
    TextSize Measure(const char* text, std::int32_t length) const;
    std::int32_t CellHeight() const;

    // Draws one character with its cell's top-left at (x, y), background
    // transparent, clipped to the surface. Rendered glyphs are cached.
    void DrawChar(Surface& target, std::int32_t x, std::int32_t y, std::uint8_t character, COLORREF colour) const;
    // DrawChar for each byte, advancing by each character's width.
    void DrawText(Surface& target, std::int32_t x, std::int32_t y, const char* text, std::int32_t length,
                  COLORREF colour) const;

    struct Impl;

private:
    explicit Font(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace qel
