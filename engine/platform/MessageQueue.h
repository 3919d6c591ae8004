// The window message queue: system window events become the messages a window
// procedure reacts to (destroy, focus gained and lost, paint, minimise, close),
// removed one per call as the main loop does. Input events bypass the queue.
#pragma once
#include <cstdint>
#include <functional>
#include "QelExport.h"
#include "platform/Handles.h"

namespace qel {

enum class Msg : std::uint32_t {
    Null,
    Destroy,     // the window is being destroyed
    SetFocus,    // the window gained the keyboard focus
    KillFocus,   // the window lost it
    Paint,       // part of the window must be drawn again
    Close,       // the player asked to close the window
    SysCommand,  // wParam: a SysCommand code
    Quit,        // wParam: the exit code given to PostQuitMessage
};

enum SysCommand : std::uint64_t {
    SysCommandMinimize = 1,  // always queued before the focus loss it causes
};

struct Message {
    HWND window = nullptr;  // null for Quit and thread messages
    Msg message = Msg::Null;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

// A window's procedure; DispatchMessage and DestroyWindow call it.
using WindowProcedure = std::function<std::int64_t(const Message&)>;

// Runs the frame hook, turns pending system events into messages (and input
// events into input), then removes the oldest message. False: queue empty.
QEL_API bool PeekMessage(Message& out);
// Calls the procedure of the message's window; 0 when it has none or is gone.
QEL_API std::int64_t DispatchMessage(const Message& message);
// What a window does by default: Close destroys the window; SysCommand
// Minimize minimises it.
QEL_API std::int64_t DefWindowProc(const Message& message);
QEL_API void PostMessage(const Message& message);
QEL_API void PostQuitMessage(std::int32_t exitCode);
// Drops every queued message (a new run in the same process, tests).
QEL_API void ClearMessageQueue();

// Test hooks. A simulated event goes through the system's own event queue and
// the same translation as a real one.
enum class SimulatedEvent { FocusGained, FocusLost, Minimized, Exposed, CloseRequested };
QEL_API void SimulateWindowEvent(HWND window, SimulatedEvent event);
// Called at the start of every PeekMessage, i.e. once per main-loop pass.
QEL_API void SetFrameHook(std::function<void()> hook);

}  // namespace qel
