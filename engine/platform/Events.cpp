#include <SDL.h>

#include <cstring>
#include <mutex>

#include "platform/EventsInternal.h"
#include "platform/InputDevicesInternal.h"
#include "platform/MessageQueue.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/WindowInternal.h"

namespace qel {

namespace {
std::once_flag videoOnce;
bool videoUp = false;

void Queue(HWND window, Msg message, std::uint64_t wParam = 0) { PostWindowEvent({window, message, wParam, 0}); }

// A signal's request to end reaches the game as the system's own quit does;
// it waits while there is no window to close.
void HandOverQuitRequest() {
    HWND window = FirstWindow();
    if (window != nullptr && TakeQuitRequest()) Queue(window, Msg::Close);
}

void Translate(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        // The session ending (signals come through HandOverQuitRequest): the
        // windows close themselves.
        if (HWND w = FirstWindow()) Queue(w, Msg::Close);
        return;
    }
    if (event.type != SDL_WINDOWEVENT) return;
    HWND window = WindowFromSystemId(event.window.windowID);
    if (!window) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: Queue(window, Msg::SetFocus); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: Queue(window, Msg::KillFocus); break;
        case SDL_WINDOWEVENT_EXPOSED: Queue(window, Msg::Paint); break;
        case SDL_WINDOWEVENT_MINIMIZED: Queue(window, Msg::SysCommand, SysCommandMinimize); break;
        case SDL_WINDOWEVENT_CLOSE: Queue(window, Msg::Close); break;
        default: break;
    }
}
}  // namespace

bool EnsureVideo() {
    // Once per process, whichever thread asks first (a message box may come
    // from a worker thread).
    std::call_once(videoOnce, [] {
        // Closing the last window must not end the run by itself: the window
        // procedure decides.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
        InstallQuitSignals();
        videoUp = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    });
    return videoUp;
}

bool HasRealDisplay() {
    if (!EnsureVideo()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0 &&
           std::strcmp(driver, "evdev") != 0;
}

void PumpSystemEvents() {
    if (!EnsureVideo()) return;
    HandOverQuitRequest();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (RouteInputEvent(event)) continue;
        Translate(event);
    }
}

}  // namespace qel
