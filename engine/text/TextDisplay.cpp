#include "text/TextDisplay.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include "display/Display.h"
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
    std::unique_ptr<qel::Font> font = qel::Font::Create(desc);
    if (!font) {
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

void TextDisplay::ReleaseFont(Variable& v) {
    delete v.m_FontHandle;
    v.m_FontHandle = nullptr;
}

void TextDisplay::BuildFont(Variable& v) {
    ReleaseFont(v);
    std::unique_ptr<qel::Font> font = MakeFont(v.m_LogFont);
    if (!font) return;
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const qel::TextSize size = font->Measure(&c, 1);
        v.m_CharSizes[b] = {size.width, size.height};
    }
    v.m_FontHandle = font.release();
}
