#include "text/TextDisplayInternal.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <cstring>
#include <memory>
#include "display/DisplayInternal.h"
#include "foundation/Variable.h"
#include "platform/Font.h"

namespace {

constexpr const char* DefaultFace = "Arial";

std::unique_ptr<qel::Font> MakeFont(const QelLogFont& lf) {
    if (std::llabs(lf.height) > TextDisplay::MaxFontPixels || std::llabs(lf.width) > TextDisplay::MaxFontPixels)
        return nullptr;
    qel::FontDesc desc;
    desc.faceName.assign(lf.faceName, strnlen(lf.faceName, sizeof lf.faceName));
    desc.height = lf.height;
    desc.width = lf.width;
    desc.weight = lf.weight;
    desc.italic = lf.italic != 0;
    desc.underline = lf.underline != 0;
    desc.strikeOut = lf.strikeOut != 0;
    // A description without a face leaves the choice to the system, which
    // takes its default face.
    if (desc.faceName.empty()) desc.faceName = DefaultFace;
    std::unique_ptr<qel::Font> font = qel::Font::Create(desc);
    // A face we serve whose style has no file falls back to the default
    // face; a face we do not have fails, so its setter reports it.
    if (!font && qel::Font::ServesFace(desc.faceName)) {
        desc.faceName = DefaultFace;
        font = qel::Font::Create(desc);
    }
    return font;
}

}  // namespace

bool TextDisplay::Install() {
    static const bool installed = [] {
        Variable::links.buildFont = &TextDisplay::BuildFont;
        Variable::links.releaseFont = &TextDisplay::ReleaseFont;
        Variable::links.drawContextReady = &TextDisplay::DrawContextReady;
        Variable::links.displayText = &DrawVariableText;
        Variable::links.initEffects = &RestartVariableEffect;
        return true;
    }();
    return installed;
}

namespace {
[[maybe_unused]] const bool installedAtLoad = TextDisplay::Install();
}

bool TextDisplay::DrawContextReady() { return pBackBuffer != nullptr; }

namespace {

// Fonts are shared by every text with the same description, so that copies of
// a displayed variable (the arithmetic makes many) cost no font loading.
struct SharedFont {
    std::unique_ptr<qel::Font> font;
    Variable::CharSize sizes[256];
    int users = 0;
};

using FontKey = std::tuple<std::string, std::int32_t, std::int32_t, std::int32_t, bool, bool, bool>;

struct FontCache {
    std::mutex lock;
    std::map<FontKey, SharedFont> fonts;
};

FontCache& Cache() {
    static FontCache* cache = new FontCache();  // outlives every static Variable
    return *cache;
}

FontKey KeyOf(const QelLogFont& lf) {
    return {std::string(lf.faceName, strnlen(lf.faceName, sizeof lf.faceName)),
            lf.height,
            lf.width,
            lf.weight,
            lf.italic != 0,
            lf.underline != 0,
            lf.strikeOut != 0};
}

}  // namespace

void TextDisplay::ReleaseFont(Variable& v) {
    if (!v.m_FontHandle) return;
    FontCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    for (auto it = cache.fonts.begin(); it != cache.fonts.end(); ++it) {
        if (it->second.font.get() != v.m_FontHandle) continue;
        if (--it->second.users == 0) cache.fonts.erase(it);
        break;
    }
    v.m_FontHandle = nullptr;
}

void TextDisplay::BuildFont(Variable& v) {
    ReleaseFont(v);
    FontCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    const FontKey key = KeyOf(v.m_LogFont);
    auto found = cache.fonts.find(key);
    if (found == cache.fonts.end()) {
        std::unique_ptr<qel::Font> font = MakeFont(v.m_LogFont);
        if (!font) return;
        SharedFont& shared = cache.fonts[key];
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            const qel::TextSize size = font->Measure(&c, 1);
            shared.sizes[b] = {size.width, size.height};
        }
        shared.font = std::move(font);
        found = cache.fonts.find(key);
    }
    ++found->second.users;
    std::copy(found->second.sizes, found->second.sizes + 256, v.m_CharSizes);
    v.m_FontHandle = found->second.font.get();
}
