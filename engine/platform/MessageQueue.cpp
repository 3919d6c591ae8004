#include "platform/MessageQueue.h"

#include <SDL.h>

#include <deque>
#include <iterator>
#include <mutex>

#include "platform/EventsInternal.h"
#include "platform/Window.h"
#include "platform/WindowInternal.h"

namespace qel {

namespace {
std::mutex queueLock;
std::deque<Message> queue;
std::function<void()> frameHook;
}  // namespace

bool PeekMessage(Message& out) {
    if (frameHook) frameHook();
    PumpSystemEvents();
    std::lock_guard lock(queueLock);
    if (queue.empty()) return false;
    out = queue.front();
    queue.pop_front();
    return true;
}

std::int64_t DispatchMessage(const Message& message) {
    if (!message.window || !IsWindow(message.window)) return 0;
    const WindowProcedure& procedure = message.window->Procedure();
    return procedure ? procedure(message) : DefWindowProc(message);
}

std::int64_t DefWindowProc(const Message& message) {
    if (!message.window || !IsWindow(message.window)) return 0;
    if (message.message == Msg::Close) {
        DestroyWindow(message.window);
    } else if (message.message == Msg::SysCommand && message.wParam == SysCommandMinimize) {
        if (!message.window->IsMinimized()) message.window->Minimize();
    }
    return 0;
}

void PostMessage(const Message& message) {
    std::lock_guard lock(queueLock);
    queue.push_back(message);
}

void PostWindowEvent(const Message& message) {
    std::lock_guard lock(queueLock);
    if (message.message == Msg::SysCommand && message.wParam == SysCommandMinimize) {
        // The window's latest focus message decides: a loss still waiting is the one the minimise caused.
        for (auto it = queue.rbegin(); it != queue.rend(); ++it) {
            if (it->window != message.window || (it->message != Msg::KillFocus && it->message != Msg::SetFocus))
                continue;
            if (it->message == Msg::KillFocus) {
                queue.insert(std::next(it).base(), message);
                return;
            }
            break;
        }
    }
    queue.push_back(message);
}

void PostQuitMessage(std::int32_t exitCode) {
    PostMessage({nullptr, Msg::Quit, std::uint64_t(std::uint32_t(exitCode)), 0});
}

void ClearMessageQueue() {
    std::lock_guard lock(queueLock);
    queue.clear();
}

void RemoveMessagesOf(HWND window) {
    std::lock_guard lock(queueLock);
    std::erase_if(queue, [window](const Message& m) { return m.window == window; });
}

void SimulateWindowEvent(HWND window, SimulatedEvent simulated) {
    SDL_Window* system = SystemWindow(window);
    if (!system || !EnsureVideo()) return;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(system);
    switch (simulated) {
        case SimulatedEvent::FocusGained: event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
        case SimulatedEvent::FocusLost: event.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
        case SimulatedEvent::Minimized: event.window.event = SDL_WINDOWEVENT_MINIMIZED; break;
        case SimulatedEvent::Exposed: event.window.event = SDL_WINDOWEVENT_EXPOSED; break;
        case SimulatedEvent::CloseRequested: event.window.event = SDL_WINDOWEVENT_CLOSE; break;
    }
    SDL_PushEvent(&event);
}

void SetFrameHook(std::function<void()> hook) { frameHook = std::move(hook); }

}  // namespace qel
