// Ends the program after an unrecoverable error, telling the user why.
#pragma once
#include "QelExport.h"
#include "platform/Handles.h"

// What the fatal exit asks of the subsystems above the foundation; each is
// registered by the runtime at start-up and skipped while unset.
struct FatalExitLinks {
    // Stops keyboard and mouse data, shows the desktop surface and the system
    // cursor, so that the message box can be seen.
    void (*prepareForMessageBox)() = nullptr;
    // The game window, owner of the message box.
    HWND (*gameWindow)() = nullptr;
    // The engine's tear-down (game, levels, logic tables, effects, console,
    // display, single-instance lock).
    void (*shutdownEngine)() = nullptr;
};
extern QEL_API FatalExitLinks fatalExitLinks;

// A fatal exit ends the process with this status, never with success.
constexpr int FatalExitStatus = 1;

// Formats the text (cut at 511 characters), shows it in a message box captioned
// "Exit error.", appends it to the console and its log, shuts the engine down
// and ends the process.
[[noreturn]] QEL_API void FatalExit(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Runs the registered tear-down, if any.
QEL_API void ShutdownEngine();
