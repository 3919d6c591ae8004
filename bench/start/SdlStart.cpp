// A bare SDL2 program doing the game's set-up: video, events and audio
// initialised, a 640 x 480 window with a renderer and a streaming texture,
// the audio device opened, one bitmap (the Menu's) loaded into the display's
// format and presented once: the reference of the start-up bench.
#include <SDL.h>

int main(int argc, char** argv) {
    if (argc < 2 || SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_AUDIO) != 0) return 1;
    SDL_Window* window = SDL_CreateWindow("Qel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, 640, 480);
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    const SDL_AudioDeviceID audio = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
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
    if (audio) SDL_CloseAudioDevice(audio);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return shown ? 0 : 1;
}
