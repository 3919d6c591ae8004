// For the platform layer's own modules only: windows by their system id, the
// system window behind a handle, and notice of a window's destruction.
#pragma once
#include <cstdint>
#include <functional>
#include "platform/Handles.h"
#include "platform/MessageQueue.h"

struct SDL_Window;

namespace qel {

SDL_Window* SystemWindow(HWND window);
// The live window with that system id, or null.
HWND WindowFromSystemId(std::uint32_t id);
// The oldest live window, or null.
HWND FirstWindow();

// `onDestroy` runs when the window is destroyed, before the system window goes.
void AddDestroyListener(HWND window, const void* owner, std::function<void()> onDestroy);
void RemoveDestroyListener(HWND window, const void* owner);

// True on the thread that made the first window (and before there is one):
// the only thread that may touch windows and the system's user interface.
bool IsUiThread();

// Queues a message made from a system event. A minimise goes before the
// focus loss it caused when that is still queued, whatever order the system
// reported them in.
void PostWindowEvent(const Message& message);

// Drops queued messages of a window that is going away.
void RemoveMessagesOf(HWND window);

}  // namespace qel
