// Making a text font as a displayed variable does: the face at a size, then
// the width of each of the 256 characters; drawing comes later and renders
// only the characters drawn. The engine keeps a font file's bytes once read,
// and the advances of each face and size it has measured (a game's text
// settings make the same face at the same size again and again). The
// reference reads the same file once too, before timing, and opens the face
// from those bytes in memory with bare SDL_ttf, with the same settings, and
// asks the advance of each character (Windows-1252 mapped to Unicode, as the
// engine does). The engine also finds which file serves the face.
//
// Two cases: a face and size made before (the reference keeps the advances
// it measured, as the engine does), and a face at a size never made before
// in the process (300 sizes in turn, more kinds than the engine remembers,
// so both measure every character each time).
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "platform/Font.h"
#include "platform/Text1252.h"

namespace {

const qel::FontDesc Face{"Arial", -18, 0, 400, false, false, false};

constexpr int FreshSizes = 300;
int FreshSize(std::int64_t i) { return 8 + int(i % FreshSizes); }

void EngineFont(benchmark::State& state, bool fresh) {
    std::int64_t made = 0;
    for (auto _ : state) {
        qel::FontDesc face = Face;
        if (fresh) face.height = -FreshSize(made++);
        std::unique_ptr<qel::Font> font = qel::Font::Create(face);
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

void SdlTtfFont(benchmark::State& state, bool fresh) {
    if (TTF_WasInit() == 0) TTF_Init();
    std::ifstream file("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        state.SkipWithError("no font file");
        return;
    }
    // The advances measured at the one size made again, as the engine keeps them.
    std::array<int, 256> kept{};
    bool measured = false;
    std::int64_t made = 0;
    for (auto _ : state) {
        const int size = fresh ? FreshSize(made++) : 18;
        TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1, size);
        if (!font) {
            state.SkipWithError("the font file does not open");
            return;
        }
        TTF_SetFontKerning(font, 0);
        TTF_SetFontStyle(font, TTF_STYLE_NORMAL);
        int total = TTF_FontHeight(font);
        if (fresh || !measured) {
            for (int b = 0; b < 256; ++b)
                TTF_GlyphMetrics32(font, Uint32(qel::Cp1252ToUnicode(std::uint8_t(b))), nullptr, nullptr, nullptr,
                                   nullptr, &kept[std::size_t(b)]);
            measured = true;
        }
        for (int b = 0; b < 256; ++b) total += kept[std::size_t(b)];
        benchmark::DoNotOptimize(total);
        TTF_CloseFont(font);
    }
}

void EngineFontAgain(benchmark::State& state) { EngineFont(state, false); }
void SdlTtfFontAgain(benchmark::State& state) { SdlTtfFont(state, false); }
void EngineFontNewSize(benchmark::State& state) { EngineFont(state, true); }
void SdlTtfFontNewSize(benchmark::State& state) { SdlTtfFont(state, true); }

}  // namespace

BENCHMARK(EngineFontAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(SdlTtfFontAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineFontNewSize)->Unit(benchmark::kMillisecond);
BENCHMARK(SdlTtfFontNewSize)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return benchratio::RunInterleaved(
        argc, argv, {{"EngineFontAgain", "SdlTtfFontAgain"}, {"EngineFontNewSize", "SdlTtfFontNewSize"}});
}
