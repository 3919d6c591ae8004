#include "platform/Font.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

#include "platform/Surface.h"
#include "platform/Text1252.h"

namespace qel {

namespace {

// Liberation fonts share the metrics of the faces they stand for.
struct FaceFiles {
    const char* face;
    const char* family;
};
constexpr FaceFiles faces[] = {
    {"Arial", "LiberationSans"},
    {"Times New Roman", "LiberationSerif"},
    {"Courier New", "LiberationMono"},
};

constexpr const char* fontFolders[] = {
    "/usr/share/fonts/truetype/liberation",
    "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/liberation",
};

// A height of 0 asks for the system's usual size: 12 points at 96 pixels per inch.
constexpr std::int32_t DefaultCharacterHeight = 16;
constexpr int MaxPixelSize = 2048;

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const char* FamilyOf(const std::string& faceName) {
    for (const FaceFiles& f : faces)
        if (strcasecmp(faceName.c_str(), f.face) == 0) return f.family;
    return nullptr;
}

std::string FontFile(const FontDesc& desc) {
    const char* family = FamilyOf(desc.faceName);
    if (!family) return {};
    const bool bold = desc.weight >= 600;
    const char* style = bold && desc.italic ? "BoldItalic" : bold ? "Bold" : desc.italic ? "Italic" : "Regular";
    for (const char* folder : fontFolders) {
        std::string path = std::string(folder) + "/" + family + "-" + style + ".ttf";
        if (FileExists(path)) return path;
    }
    return {};
}

bool EnsureTtf() {
    static const bool up = TTF_WasInit() > 0 || TTF_Init() == 0;
    return up;
}

// Em sizes in quarter pixels: the cell grows by at most one pixel per step,
// so every cell height can be met exactly.
constexpr unsigned QuarterPixelDpi = 72 / 4;

// A positive height is the whole cell: the largest em whose cell still fits
// in `cell` pixels (the font is open at an em of `cell`).
bool FitCellHeight(TTF_Font* ttf, int cell) {
    auto cellAt = [ttf](int quarters) {
        return TTF_SetFontSizeDPI(ttf, quarters, QuarterPixelDpi, QuarterPixelDpi) == 0 ? TTF_FontHeight(ttf) : -1;
    };
    int quarters = std::max(1, int(std::lround(4.0 * cell * cell / std::max(1, TTF_FontHeight(ttf)))));
    while (quarters > 1 && cellAt(quarters) > cell) --quarters;
    while (quarters < 4 * MaxPixelSize) {
        const int next = cellAt(quarters + 1);
        if (next < 0 || next > cell) break;
        ++quarters;
    }
    return cellAt(quarters) >= 0;
}

// A font file read once: FreeType then reads glyphs from memory, not with a
// seek and read on the file per glyph. Kept for the program's life, like the
// faces made from it.
const std::vector<std::uint8_t>* FontBytes(const std::string& path) {
    static std::mutex lock;
    static auto* files = new std::map<std::string, std::vector<std::uint8_t>>();
    std::lock_guard<std::mutex> hold(lock);
    auto found = files->find(path);
    if (found != files->end()) return &found->second;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return nullptr;
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return nullptr;
    return &files->emplace(path, std::move(bytes)).first->second;
}

TTF_Font* OpenFace(const std::string& path, int size) {
    const std::vector<std::uint8_t>* bytes = FontBytes(path);
    if (!bytes) return nullptr;
    return TTF_OpenFontRW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), 1, size);
}

struct Glyph {
    bool measured = false;  // the advance is known
    bool made = false;      // the ink is rendered
    std::int32_t advance = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> ink;  // 1 where the glyph covers the pixel
};

}  // namespace

struct Font::Impl {
    FontDesc desc;
    TTF_Font* ttf = nullptr;
    std::int32_t cellHeight = 0;
    double xScale = 1.0;  // a requested average width scales the glyphs
    mutable std::array<Glyph, 256> glyphs;

    ~Impl() {
        if (ttf) TTF_CloseFont(ttf);
    }

    std::int32_t NaturalAdvance(std::uint8_t c) const {
        int advance = 0;
        if (TTF_GlyphMetrics32(ttf, Uint32(Cp1252ToUnicode(c)), nullptr, nullptr, nullptr, nullptr, &advance) != 0)
            return 0;
        return advance;
    }

    // Measuring needs only the advance; the ink is rendered when first drawn.
    std::int32_t AdvanceOf(std::uint8_t c) const;
    const Glyph& GlyphOf(std::uint8_t c) const;
};

std::int32_t Font::Impl::AdvanceOf(std::uint8_t c) const {
    Glyph& g = glyphs[c];
    if (!g.measured) {
        g.measured = true;
        g.advance = std::int32_t(std::lround(NaturalAdvance(c) * xScale));
    }
    return g.advance;
}

const Glyph& Font::Impl::GlyphOf(std::uint8_t c) const {
    Glyph& g = glyphs[c];
    if (g.made) return g;
    g.made = true;
    AdvanceOf(c);
    SDL_Surface* rendered = TTF_RenderGlyph32_Solid(ttf, Uint32(Cp1252ToUnicode(c)), SDL_Color{255, 255, 255, 255});
    if (!rendered) return g;
    const int sourceWidth = rendered->w;
    g.width = std::int32_t(std::lround(sourceWidth * xScale));
    g.height = rendered->h;
    g.ink.assign(std::size_t(g.width) * std::size_t(g.height), 0);
    SDL_LockSurface(rendered);
    for (int y = 0; y < g.height; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rendered->pixels) + std::ptrdiff_t(y) * rendered->pitch;
        for (int x = 0; x < g.width; ++x) {
            int sx = std::min(sourceWidth - 1, int(x / xScale));
            g.ink[std::size_t(y) * std::size_t(g.width) + std::size_t(x)] = row[sx] != 0;
        }
    }
    SDL_UnlockSurface(rendered);
    SDL_FreeSurface(rendered);
    return g;
}

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

std::unique_ptr<Font> Font::Create(const FontDesc& desc) {
    std::string path = FontFile(desc);
    if (path.empty() || !EnsureTtf()) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->desc = desc;
    const std::int64_t height = desc.height == 0 ? -DefaultCharacterHeight : desc.height;
    const int size = int(std::clamp<std::int64_t>(height < 0 ? -height : height, 1, MaxPixelSize));
    impl->ttf = OpenFace(path, size);
    if (!impl->ttf) return nullptr;
    if (height > 0 && !FitCellHeight(impl->ttf, size)) return nullptr;
    TTF_SetFontKerning(impl->ttf, 0);
    int style = (desc.underline ? TTF_STYLE_UNDERLINE : 0) | (desc.strikeOut ? TTF_STYLE_STRIKETHROUGH : 0);
    TTF_SetFontStyle(impl->ttf, style);
    impl->cellHeight = TTF_FontHeight(impl->ttf);
    if (desc.width != 0) {
        double sum = 0;
        for (int c = 'a'; c <= 'z'; ++c) sum += impl->NaturalAdvance(std::uint8_t(c));
        double average = sum / 26;
        const double wanted = std::min<double>(std::abs(std::int64_t(desc.width)), MaxPixelSize);
        if (average > 0) impl->xScale = wanted / average;
    }
    return std::unique_ptr<Font>(new Font(std::move(impl)));
}

bool Font::ServesFace(const std::string& faceName) { return FamilyOf(faceName) != nullptr; }

const Font& Font::Default() {
    static const std::unique_ptr<Font> font = Create({"Arial", DefaultCharacterHeight, 0, 700, false, false, false});
    if (!font) {
        // Without the font files there is nothing to draw with; callers still get a font object.
        static const Font empty(std::make_unique<Impl>());
        return empty;
    }
    return *font;
}

const FontDesc& Font::Desc() const { return impl_->desc; }

std::int32_t Font::CellHeight() const { return impl_->cellHeight; }

TextSize Font::Measure(const char* text, std::int32_t length) const {
    TextSize size{0, impl_->cellHeight};
    if (!impl_->ttf || !text) return size;
    for (std::int32_t i = 0; i < length; ++i) size.width += impl_->AdvanceOf(std::uint8_t(text[i]));
    return size;
}

void Font::DrawChar(Surface& target, std::int32_t x, std::int32_t y, std::uint8_t character, COLORREF colour) const {
    if (!impl_->ttf) return;
    const Glyph& g = impl_->GlyphOf(character);
    if (g.ink.empty() || x >= target.Width() || y >= target.Height() || x <= -g.width || y <= -g.height) return;
    const std::uint32_t raw = target.MapColor(colour);
    const std::int32_t x0 = std::max(0, -x), y0 = std::max(0, -y);
    const std::int32_t x1 = std::min(g.width, target.Width() - x), y1 = std::min(g.height, target.Height() - y);
    for (std::int32_t gy = y0; gy < y1; ++gy) {
        const std::uint8_t* ink = g.ink.data() + std::size_t(gy) * std::size_t(g.width);
        for (std::int32_t gx = x0; gx < x1; ++gx)
            if (ink[gx]) target.SetRawPixel(x + gx, y + gy, raw);
    }
}

void Font::DrawText(Surface& target, std::int32_t x, std::int32_t y, const char* text, std::int32_t length,
                    COLORREF colour) const {
    if (!impl_->ttf || !text) return;
    // The pen only moves right: past the target's right edge nothing more
    // shows, and a pen near the int32 limit must not move further.
    std::int64_t pen = x;
    for (std::int32_t i = 0; i < length && pen < target.Width(); ++i) {
        std::uint8_t c = std::uint8_t(text[i]);
        DrawChar(target, std::int32_t(std::max<std::int64_t>(pen, INT32_MIN)), y, c, colour);
        pen += impl_->AdvanceOf(c);
    }
}

}  // namespace qel
