// Making a text font as a displayed variable does: the face at a size, then
// the width of each of the 256 characters; drawing comes later and renders
// only the characters drawn. The reference opens the same font file with
// bare SDL_ttf and asks each character's advance.
#include <benchmark/benchmark.h>

#include <SDL_ttf.h>

#include <string>

#include "BenchRatio.h"
#include "platform/Font.h"

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
    for (auto _ : state) {
        TTF_Font* font = TTF_OpenFont("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", 18);
        if (!font) {
            state.SkipWithError("no font file");
            return;
        }
        int total = 0;
        for (Uint32 c = 0; c < 256; ++c) {
            int advance = 0;
            TTF_GlyphMetrics32(font, c, nullptr, nullptr, nullptr, nullptr, &advance);
            total += advance;
        }
        benchmark::DoNotOptimize(total);
        TTF_CloseFont(font);
    }
}

}  // namespace

BENCHMARK(EngineFont)->Unit(benchmark::kMillisecond);
BENCHMARK(SdlTtfFont)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return benchratio::RunWithRatios(argc, argv, {{"EngineFont", "SdlTtfFont"}}); }
