#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/EventsInternal.h"
#include "platform/InputDevicesInternal.h"
#include "platform/MessageQueue.h"
#include "platform/WindowInternal.h"

namespace qel {

namespace {
bool videoTried = false;
bool videoUp = false;

void Queue(std::vector<Message>& batch, HWND window, Msg message, std::uint64_t wParam = 0) {
    batch.push_back({window, message, wParam, 0});
}

// A minimise must reach the window procedure before the focus loss it caused,
// whatever order the system reported them in.
void QueueMinimize(std::vector<Message>& batch, HWND window) {
    Message minimise{window, Msg::SysCommand, SysCommandMinimize, 0};
    for (auto it = batch.begin(); it != batch.end(); ++it) {
        if (it->window == window && it->message == Msg::KillFocus) {
            batch.insert(it, minimise);
            return;
        }
    }
    batch.push_back(minimise);
}

void Translate(const SDL_Event& event, std::vector<Message>& batch) {
    if (event.type == SDL_QUIT) {
        // Only a signal or the session ending: the windows close themselves.
        if (HWND w = FirstWindow()) Queue(batch, w, Msg::Close);
        return;
    }
    if (event.type != SDL_WINDOWEVENT) return;
    HWND window = WindowFromSystemId(event.window.windowID);
    if (!window) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: Queue(batch, window, Msg::SetFocus); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: Queue(batch, window, Msg::KillFocus); break;
        case SDL_WINDOWEVENT_EXPOSED: Queue(batch, window, Msg::Paint); break;
        case SDL_WINDOWEVENT_MINIMIZED: QueueMinimize(batch, window); break;
        case SDL_WINDOWEVENT_CLOSE: Queue(batch, window, Msg::Close); break;
        default: break;
    }
}
}  // namespace

bool EnsureVideo() {
    if (videoTried) return videoUp;
    videoTried = true;
    // Closing the last window must not end the run by itself: the window
    // procedure decides.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    videoUp = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
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
    std::vector<Message> batch;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (RouteInputEvent(event)) continue;
        Translate(event, batch);
    }
    for (const Message& m : batch) PostMessage(m);
}

}  // namespace qel
