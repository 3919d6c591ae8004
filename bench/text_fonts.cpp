// Making a text font as a displayed variable does: the face at a size, then
// the width of each of the 256 characters; drawing comes later and renders
// only the characters drawn. The engine keeps a font file's bytes once read;
// the reference reads the same file once too, before timing, and opens the
// face from those bytes in memory with bare SDL_ttf, with the same settings,
// and asks the advance of each character (Windows-1252 mapped to Unicode, as
// the engine does). The engine also finds which file serves the face.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "platform/Font.h"
#include "platform/Text1252.h"

namespace {

const qel::FontDesc Face{"Arial", -18, 0, 400, false, false, false};

void EngineFont(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<qel::Font> font = qel::Font::Create(Face);
        if (!font) {
            state.SkipWithError("no font");
            return;
        }
        std::int32_t total = 0;
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            total += font->Measure(&c, 1).width;
        }
        benchmark::DoNotOptimize(total);
    }
}

void SdlTtfFont(benchmark::State& state) {
    if (TTF_WasInit() == 0) TTF_Init();
    std::ifstream file("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        state.SkipWithError("no font file");
        return;
    }
    for (auto _ : state) {
        TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1, 18);
        if (!font) {
            state.SkipWithError("the font file does not open");
            return;
        }
        TTF_SetFontKerning(font, 0);
        TTF_SetFontStyle(font, TTF_STYLE_NORMAL);
        int total = TTF_FontHeight(font);
        for (int b = 0; b < 256; ++b) {
            int advance = 0;
            TTF_GlyphMetrics32(font, Uint32(qel::Cp1252ToUnicode(std::uint8_t(b))), nullptr, nullptr, nullptr, nullptr,
                               &advance);
            total += advance;
        }
        benchmark::DoNotOptimize(total);
        TTF_CloseFont(font);
    }
}

}  // namespace

BENCHMARK(EngineFont)->Unit(benchmark::kMillisecond);
BENCHMARK(SdlTtfFont)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return benchratio::RunInterleaved(argc, argv, {{"EngineFont", "SdlTtfFont"}}); }
