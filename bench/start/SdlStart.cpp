// A bare SDL2 program doing the game's set-up up to its first level: video,
// events and audio initialised, a 640 x 480 window with a renderer and a
// streaming texture, the audio device opened, the fonts the engine's start
// opens (found through fontconfig, opened with SDL_ttf), the Menu's bitmap
// loaded into the display's format and presented once, its actors' bitmaps
// loaded with their colour key, its sound effects loaded in the device's
// format and the first second of its music queued: the reference of the
// start-up bench. Arguments: the map, then "font:<fontconfig pattern>",
// actor bitmaps (.bmp), sound effects and the music (.wav, the music last).
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <string>
#include <vector>

namespace {

constexpr int FontSize = 16;

TTF_Font* OpenMatchedFont(FcConfig* config, const char* pattern) {
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    FcConfigSubstitute(config, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, wanted, &result);
    FcChar8* file = nullptr;
    TTF_Font* font = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        font = TTF_OpenFont(reinterpret_cast<const char*>(file), FontSize);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(wanted);
    return font;
}

SDL_Surface* LoadKeyed(const char* path) {
    SDL_Surface* loaded = SDL_LoadBMP(path);
    if (!loaded) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    if (converted) SDL_SetColorKey(converted, SDL_TRUE, SDL_MapRGB(converted->format, 0xDC, 0x00, 0xFF));
    return converted;
}

// A sound effect converted once to the device's format, as a mixer keeps it.
bool LoadEffect(const char* path, const SDL_AudioSpec& device, std::vector<std::vector<Uint8>>& effects) {
    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path, &spec, &data, &length)) return false;
    SDL_AudioCVT cvt{};
    SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, device.format, device.channels, device.freq);
    std::vector<Uint8> converted(std::size_t(length) * std::size_t(cvt.len_mult > 0 ? cvt.len_mult : 1));
    SDL_memcpy(converted.data(), data, length);
    cvt.buf = converted.data();
    cvt.len = int(length);
    if (cvt.needed) SDL_ConvertAudio(&cvt);
    converted.resize(std::size_t(cvt.needed ? cvt.len_cvt : int(length)));
    effects.push_back(std::move(converted));
    SDL_FreeWAV(data);
    return true;
}

// A stream starts with its header and its first second.
bool QueueMusicStart(const char* path, SDL_AudioDeviceID audio, const SDL_AudioSpec& device) {
    SDL_RWops* in = SDL_RWFromFile(path, "rb");
    if (!in) return false;
    std::vector<Uint8> first(std::size_t(device.freq) * 4 + 44);
    const std::size_t got = SDL_RWread(in, first.data(), 1, first.size());
    SDL_RWclose(in);
    if (audio && got > 44) SDL_QueueAudio(audio, first.data() + 44, Uint32(got - 44));
    return got > 44;
}

bool EndsWith(const std::string& s, const char* end) {
    const std::string e(end);
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_AUDIO) != 0 || TTF_Init() != 0) return 1;
    SDL_Window* window = SDL_CreateWindow("Qel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, 640, 480);
    SDL_AudioSpec want{}, device{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    const SDL_AudioDeviceID audio = SDL_OpenAudioDevice(nullptr, 0, &want, &device, 0);
    if (!audio) device = want;

    bool good = true;
    FcConfig* config = FcInitLoadConfigAndFonts();
    std::vector<TTF_Font*> fonts;
    std::vector<SDL_Surface*> actors;
    std::vector<std::vector<Uint8>> effects;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("font:", 0) == 0) {
            fonts.push_back(OpenMatchedFont(config, arg.c_str() + 5));
            good &= fonts.back() != nullptr;
        } else if (EndsWith(arg, ".bmp")) {
            actors.push_back(LoadKeyed(argv[i]));
            good &= actors.back() != nullptr;
        } else if (i == argc - 1) {
            good &= QueueMusicStart(argv[i], audio, device);
        } else {
            good &= LoadEffect(argv[i], device, effects);
        }
    }

    SDL_Surface* loaded = SDL_LoadBMP(argv[1]);
    SDL_Surface* shown = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0) : nullptr;
    if (shown) {
        SDL_UpdateTexture(texture, nullptr, shown->pixels, shown->pitch);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }
    SDL_PumpEvents();

    SDL_FreeSurface(shown);
    SDL_FreeSurface(loaded);
    for (SDL_Surface* actor : actors) SDL_FreeSurface(actor);
    for (TTF_Font* font : fonts)
        if (font) TTF_CloseFont(font);
    FcConfigDestroy(config);
    if (audio) SDL_CloseAudioDevice(audio);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    TTF_Quit();
    SDL_Quit();
    return shown && good ? 0 : 1;
}
