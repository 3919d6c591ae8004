// A bare SDL2 program with the game's display (a 640 x 480 window, its
// renderer and a streaming texture, a back buffer the frame is drawn into)
// and its audio device, going through the same levels in the same order as
// bench/game/GameLevels.cpp, from the plan that program wrote: at each switch
// the last level's pictures are freed and the next level's bitmaps (its map
// and its actors) loaded into the display's format with the colour key (RLE
// encoded, SDL's faster blit for the game's art, done at the first blit as
// the engine makes its keyed runs) and its music opened; each frame blits what the engine's frame blitted at the
// end of that level (its map in view and its sprites drawn), presents, tops
// up the music and waits for the frame's end. It does less than the engine
// (no collision grid, no sprites' objects, no texts, the same frame every
// time), so its figures are a lower bound. Arguments as GameLevels, with
// --plan FILE read, not written; the same lines printed.
#include <SDL.h>
#include <malloc.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LevelRunOptions.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Width = 640, Height = 480;
constexpr std::uint32_t FrameMs = 1000 / 60;

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

struct Blit {
    std::size_t file;
    SDL_Rect source;
    SDL_Point to;
    bool keyed;
    unsigned long key;  // COLORREF, 0x00BBGGRR
};

struct LevelPlan {
    std::vector<std::string> files;
    std::vector<Blit> blits;
    std::string music;
};

std::map<std::string, LevelPlan> ReadPlan(const std::string& path, std::vector<std::string>& order) {
    std::map<std::string, LevelPlan> plans;
    std::ifstream in(path);
    std::string current;
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        const std::string word = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (word == "level") {
            current = rest;
            if (rest != "Menu") order.push_back(rest);
            plans[current] = {};
        } else if (word == "file") {
            plans[current].files.push_back(rest);
        } else if (word == "music") {
            plans[current].music = rest;
        } else if (word == "blit") {
            std::istringstream fields(rest);
            Blit b{};
            int keyed = 0;
            fields >> b.file >> b.source.x >> b.source.y >> b.source.w >> b.source.h >> b.to.x >> b.to.y >> keyed >>
                b.key;
            b.keyed = keyed != 0;
            plans[current].blits.push_back(b);
        }
    }
    return plans;
}

SDL_Surface* LoadKeyed(const std::string& path) {
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    if (!loaded) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    return converted;
}

// A WAVE file played from disk a piece at a time, converted to the device's
// format, as the engine streams its music.
class Music {
public:
    explicit Music(SDL_AudioDeviceID device, const SDL_AudioSpec& spec) : device_(device), spec_(spec) {}
    ~Music() { Close(); }

    void Open(const std::string& path) {
        if (path == path_) return;
        Close();
        path_ = path;
        if (path.empty() || !device_) return;
        file_ = SDL_RWFromFile(path.c_str(), "rb");
        if (!file_ || !FindData()) return Close();
        stream_ = SDL_NewAudioStream(format_.format, format_.channels, format_.freq, spec_.format, spec_.channels,
                                     spec_.freq);
        SDL_ClearQueuedAudio(device_);
        SDL_PauseAudioDevice(device_, 0);
    }

    // Keeps about a second queued.
    void TopUp() {
        if (!stream_) return;
        const Uint32 second = Uint32(spec_.freq) * spec_.channels * 2;
        if (SDL_GetQueuedAudioSize(device_) >= second) return;
        std::vector<Uint8> piece(std::size_t(format_.freq) * format_.channels);  // half a second of 16 bits
        std::size_t got = SDL_RWread(file_, piece.data(), 1, piece.size());
        if (got == 0) {
            SDL_RWseek(file_, dataStart_, RW_SEEK_SET);
            got = SDL_RWread(file_, piece.data(), 1, piece.size());
        }
        SDL_AudioStreamPut(stream_, piece.data(), int(got));
        std::vector<Uint8> out(std::size_t(SDL_AudioStreamAvailable(stream_)));
        const int converted = SDL_AudioStreamGet(stream_, out.data(), int(out.size()));
        if (converted > 0) SDL_QueueAudio(device_, out.data(), Uint32(converted));
    }

private:
    bool FindData() {
        char riff[12];
        if (SDL_RWread(file_, riff, 1, 12) != 12) return false;
        for (;;) {
            char id[4];
            Uint32 size = 0;
            if (SDL_RWread(file_, id, 1, 4) != 4 || SDL_RWread(file_, &size, 4, 1) != 1) return false;
            if (std::memcmp(id, "fmt ", 4) == 0) {
                Uint8 fmt[16];
                if (size < 16 || SDL_RWread(file_, fmt, 1, 16) != 16) return false;
                format_.channels = Uint8(fmt[2]);
                format_.freq = int(fmt[4] | fmt[5] << 8 | fmt[6] << 16 | fmt[7] << 24);
                format_.format = AUDIO_S16LSB;
                SDL_RWseek(file_, Sint64(size - 16 + (size & 1)), RW_SEEK_CUR);
            } else if (std::memcmp(id, "data", 4) == 0) {
                dataStart_ = SDL_RWtell(file_);
                return format_.channels != 0;
            } else {
                SDL_RWseek(file_, Sint64(size + (size & 1)), RW_SEEK_CUR);
            }
        }
    }

    void Close() {
        if (stream_) SDL_FreeAudioStream(stream_);
        if (file_) SDL_RWclose(file_);
        stream_ = nullptr;
        file_ = nullptr;
    }

    SDL_AudioDeviceID device_;
    SDL_AudioSpec spec_;
    SDL_AudioSpec format_{};
    std::string path_;
    SDL_RWops* file_ = nullptr;
    SDL_AudioStream* stream_ = nullptr;
    Sint64 dataStart_ = 0;
};

class Game {
public:
    Game() {
        SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_AUDIO | SDL_INIT_TIMER);
        window_ = SDL_CreateWindow("Qel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, Width, Height, 0);
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, Width, Height);
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
        back_ = SDL_CreateRGBSurfaceWithFormat(0, Width, Height, 32, SDL_PIXELFORMAT_RGB888);
        SDL_AudioSpec want{};
        want.freq = 44100;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &spec_, 0);
        music_ = std::make_unique<Music>(audio_, spec_);
    }

    ~Game() {
        music_.reset();
        for (SDL_Surface* s : shown_) SDL_FreeSurface(s);
        SDL_FreeSurface(back_);
        if (audio_) SDL_CloseAudioDevice(audio_);
        SDL_DestroyTexture(texture_);
        SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
        SDL_Quit();
    }

    void Enter(const LevelPlan& plan) {
        for (SDL_Surface* s : shown_) SDL_FreeSurface(s);
        shown_.clear();
        for (const std::string& file : plan.files) shown_.push_back(LoadKeyed(file));
        // Keyed as the engine's frame blits them, with SDL's RLE-encoded key,
        // its faster blit for the game's art (platform_blit).
        for (const Blit& b : plan.blits)
            if (SDL_Surface* from = b.file < shown_.size() ? shown_[b.file] : nullptr) {
                SDL_SetColorKey(from, b.keyed ? SDL_TRUE : SDL_FALSE,
                                SDL_MapRGB(from->format, Uint8(b.key), Uint8(b.key >> 8), Uint8(b.key >> 16)));
                SDL_SetSurfaceRLE(from, b.keyed ? 1 : 0);
            }
        music_->Open(plan.music);
        plan_ = &plan;
    }

    void Frame() {
        const std::uint32_t start = SDL_GetTicks();
        for (SDL_Event e; SDL_PollEvent(&e);) {
        }
        // The engine clears the frame only where no map covers it.
        if (plan_->blits.empty()) SDL_FillRect(back_, nullptr, 0);
        for (const Blit& b : plan_->blits) {
            SDL_Surface* from = b.file < shown_.size() ? shown_[b.file] : nullptr;
            if (!from) continue;
            SDL_Rect source = b.source, to{b.to.x, b.to.y, 0, 0};
            SDL_BlitSurface(from, &source, back_, &to);
        }
        SDL_UpdateTexture(texture_, nullptr, back_->pixels, back_->pitch);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
        music_->TopUp();
        const std::uint32_t elapsed = SDL_GetTicks() - start;
        if (elapsed < FrameMs) SDL_Delay(FrameMs - elapsed);
    }

private:
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Surface* back_ = nullptr;
    SDL_AudioDeviceID audio_ = 0;
    SDL_AudioSpec spec_{};
    std::unique_ptr<Music> music_;
    std::vector<SDL_Surface*> shown_;
    const LevelPlan* plan_ = nullptr;
};

void PrintLevel(const std::string& name) {
    const struct mallinfo2 heap = mallinfo2();
    std::printf("level %s %.3f %.3f %.3f\n", name.c_str(), ResidentMiB(), double(heap.uordblks) / 1048576.0,
                double(heap.arena) / 1048576.0);
}

void Idle(Game& game, const std::string& name, int frames) {
    std::vector<double> lengths;
    const double cpu = CpuMs();
    Clock::time_point last = Clock::now();
    for (int f = 0; f < frames; ++f) {
        game.Frame();
        const Clock::time_point now = Clock::now();
        lengths.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    const double n = double(lengths.size());
    double mean = 0, square = 0, farthest = 0;
    for (double l : lengths) mean += l / n;
    for (double l : lengths) {
        square += (l - mean) * (l - mean);
        farthest = std::max(farthest, std::fabs(l - mean));
    }
    std::printf("idle %s %.4f %.3f %.3f %.3f\n", name.c_str(), (CpuMs() - cpu) / n, mean, std::sqrt(square / n),
                farthest);
}

}  // namespace

int main(int argc, char** argv) {
    levelrun::Options options;
    // The reference follows the plan the game's run wrote.
    if (!levelrun::ReadOptions(argc, argv, options) || options.plan.empty()) {
        std::fprintf(stderr, "usage: %s --plan FILE [--no-thp] [--frames N] [--idle N] (--all | LEVEL...)\n", argv[0]);
        return 2;
    }
    std::vector<std::string> planned;
    const std::map<std::string, LevelPlan> plans = ReadPlan(options.plan, planned);
    const std::vector<std::string>& order = options.all ? planned : options.levels;
    for (const std::string& name : order)
        if (!plans.count(name)) {
            std::fprintf(stderr, "%s: no plan for %s\n", argv[0], name.c_str());
            return 2;
        }
    Game game;
    // The Menu stands for the game's first level, as in the engine's run.
    const LevelPlan first = plans.count("Menu") ? plans.at("Menu") : LevelPlan{};
    game.Enter(first);
    for (int f = 0; f < options.frames; ++f) game.Frame();
    PrintLevel("Menu");
    for (const std::string& name : order) {
        const double cpu = CpuMs();
        const Clock::time_point wall = Clock::now();
        game.Enter(plans.at(name));
        std::printf("switch %s %.3f %.3f\n", name.c_str(), CpuMs() - cpu,
                    std::chrono::duration<double, std::milli>(Clock::now() - wall).count());
        for (int f = 0; f < options.frames; ++f) game.Frame();
        PrintLevel(name);
    }
    if (options.idleFrames > 0) Idle(game, order.back(), options.idleFrames);
    std::fflush(stdout);
    return 0;
}
