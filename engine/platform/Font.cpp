#include "platform/Font.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <strings.h>
#include <tuple>
#include <vector>

#include "platform/Surface.h"
#include "platform/Text1252.h"

namespace qel {

namespace {

// Families that stand for a face the engine or the game names, when the face
// itself is not installed: Liberation shares the metrics of the first three
// (Arimo, Tinos and Cousine are the same designs under other names); Impact,
// a condensed black sans with one style, is met by a condensed bold sans.
struct StandIn {
    const char* face;
    const char* families[2];
    bool bold;  // whatever weight is asked
};
constexpr StandIn standIns[] = {
    {"Arial", {"Liberation Sans", "Arimo"}, false},
    {"Times New Roman", {"Liberation Serif", "Tinos"}, false},
    {"Courier New", {"Liberation Mono", "Cousine"}, false},
    {"Impact", {"Liberation Sans Narrow", "DejaVu Sans Condensed"}, true},
};

// A height of 0 asks for the system's usual size: 12 points at 96 pixels per inch.
constexpr std::int32_t DefaultCharacterHeight = 16;
constexpr int MaxPixelSize = 2048;

const StandIn* StandInFor(const std::string& faceName) {
    for (const StandIn& s : standIns)
        if (strcasecmp(faceName.c_str(), s.face) == 0) return &s;
    return nullptr;
}

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0) return true;
    return false;
}

// The file of the installed font of that family closest to the style, or
// empty. Fontconfig answers every request with some font; only one of the
// family asked for counts.
std::string MatchFamily(const std::string& family, bool bold, bool italic) {
    // Fontconfig's configuration is given back at exit, or leak checkers count it.
    static const bool ready = FcInit() == FcTrue && std::atexit([] { FcFini(); }) == 0;
    if (!ready || family.empty()) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string path;
    FcChar8* file = nullptr;
    if (font && HasFamily(font, family) && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char*>(file);
    if (font) FcPatternDestroy(font);
    return path;
}

// The face itself when it is installed, else its first installed stand-in.
std::string FindFontFile(const std::string& faceName, bool bold, bool italic) {
    const std::string face = Cp1252ToUtf8(faceName);
    std::string path = MatchFamily(face, bold, italic);
    const StandIn* standIn = StandInFor(face);
    for (std::size_t i = 0; path.empty() && standIn && i < std::size(standIn->families); ++i)
        path = MatchFamily(standIn->families[i], bold || standIn->bold, italic);
    return path;
}

// Matching reads fontconfig's whole font list: each face and style is looked
// up once, of a bounded number (level files may name any faces).
std::string FontFile(const FontDesc& desc) {
    constexpr std::size_t MostRemembered = 256;
    static std::mutex lock;
    static auto* found = new std::map<std::tuple<std::string, bool, bool>, std::string>();
    const auto key = std::make_tuple(desc.faceName, desc.weight >= 600, desc.italic);
    std::lock_guard<std::mutex> hold(lock);
    auto known = found->find(key);
    if (known != found->end()) return known->second;
    if (found->size() >= MostRemembered) found->clear();
    return found->emplace(key, FindFontFile(desc.faceName, desc.weight >= 600, desc.italic)).first->second;
}

bool EnsureTtf() {
    static const bool up = TTF_WasInit() > 0 || TTF_Init() == 0;
    return up;
}

// Em sizes in quarter pixels: the cell grows by at most one pixel per step,
// so every cell height can be met exactly.
constexpr unsigned QuarterPixelDpi = 72 / 4;

// A positive height is the whole cell: the largest em whose cell still fits
// in `cell` pixels (the font is open at an em of `cell`), in quarter pixels;
// 0 when the face takes no size.
int FitCellHeight(TTF_Font* ttf, int cell) {
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
    return cellAt(quarters) >= 0 ? quarters : 0;
}

// The advances of one face at one size, shared by every font made of them:
// measuring a character loads and hints its glyph, and text settings make
// the same face at the same size again and again. -1: not measured yet.
struct Advances {
    std::array<std::atomic<std::int32_t>, 256> of;
    Advances() {
        for (std::atomic<std::int32_t>& a : of) a.store(-1, std::memory_order_relaxed);
    }
};

std::shared_ptr<Advances> AdvancesOf(const std::string& path, int size, unsigned dpi) {
    constexpr std::size_t MostRemembered = 256;
    static std::mutex lock;
    static auto* known = new std::map<std::tuple<std::string, int, unsigned>, std::shared_ptr<Advances>>();
    std::lock_guard<std::mutex> hold(lock);
    const auto key = std::make_tuple(path, size, dpi);
    // Fonts already made keep their own; the rest start afresh.
    if (known->size() >= MostRemembered && known->count(key) == 0) known->clear();
    std::shared_ptr<Advances>& advances = (*known)[key];
    if (!advances) advances = std::make_shared<Advances>();
    return advances;
}

// A font file mapped once: FreeType then reads glyphs from memory, not with a
// seek and read on the file per glyph, and only the parts of the file that
// the glyphs drawn need become resident. Kept for the program's life, like
// the faces made from it.
struct FontFileBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

FontFileBytes MapFontFile(const std::string& path) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return {};
    struct stat status {};
    FontFileBytes bytes;
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 && status.st_size <= 0x7FFFFFFF) {
        void* mapped = ::mmap(nullptr, std::size_t(status.st_size), PROT_READ, MAP_PRIVATE, file, 0);
        if (mapped != MAP_FAILED) bytes = {static_cast<const std::uint8_t*>(mapped), std::size_t(status.st_size)};
    }
    ::close(file);
    return bytes;
}

const FontFileBytes* FontBytes(const std::string& path) {
    static std::mutex lock;
    static auto* files = new std::map<std::string, FontFileBytes>();
    std::lock_guard<std::mutex> hold(lock);
    auto found = files->find(path);
    if (found != files->end()) return &found->second;
    const FontFileBytes bytes = MapFontFile(path);
    if (!bytes.data) return nullptr;
    return &files->emplace(path, bytes).first->second;
}

TTF_Font* OpenFace(const std::string& path, int size) {
    const FontFileBytes* bytes = FontBytes(path);
    if (!bytes) return nullptr;
    return TTF_OpenFontRW(SDL_RWFromConstMem(bytes->data, int(bytes->size)), 1, size);
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
    std::shared_ptr<Advances> natural;
    mutable std::array<Glyph, 256> glyphs;

    ~Impl() {
        if (ttf) TTF_CloseFont(ttf);
    }

    std::int32_t NaturalAdvance(std::uint8_t c) const {
        std::int32_t known = natural->of[c].load(std::memory_order_relaxed);
        if (known >= 0) return known;
        int advance = 0;
        if (TTF_GlyphMetrics32(ttf, Uint32(Cp1252ToUnicode(c)), nullptr, nullptr, nullptr, nullptr, &advance) != 0)
            advance = 0;
        if (advance >= 0) natural->of[c].store(advance, std::memory_order_relaxed);
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
    if (height > 0) {
        const int quarters = FitCellHeight(impl->ttf, size);
        if (quarters == 0) return nullptr;
        impl->natural = AdvancesOf(path, quarters, QuarterPixelDpi);
    } else {
        impl->natural = AdvancesOf(path, size, 72);
    }
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

bool Font::ServesFace(const std::string& faceName) { return !FontFile({faceName}).empty(); }

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
