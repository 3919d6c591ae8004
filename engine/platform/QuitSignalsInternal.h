// For the platform layer's own modules only: SIGTERM and SIGINT ask the game
// to end, as closing its window does. The handlers are ours, not SDL's, so that
// a signal also ends the process while SDL's own message box runs its loop on
// the interface thread, where no loop of ours would read the request.
// Never included outside engine/platform.
#pragma once
#include <thread>

namespace qel {

// Installs the handlers, once, where the signals still have their default
// action (a signal the parent ignores stays ignored), and keeps SDL from
// installing its own. Called before any SDL service starts.
void InstallQuitSignals();

// True once a signal asked the process to end; stays true.
bool QuitSignalled();
// True once per request: the request still to be handed to the game's window.
bool TakeQuitRequest();

// Around SDL's own message box on the calling thread (one box at a time).
// Enter is false, and nothing is to be shown, when a signal asked the process
// to end already. While the interface thread is inside, a signal ends the
// process at once: that thread writes nothing then. The copy of the process
// that SDL forks for the box ends with the thread that waits for it, however
// the process ends. Leave is false when the box was left to the process's
// end meanwhile: the thread must not go on.
bool EnterSystemBox();
bool LeaveSystemBox();

// A thread inside SDL's box waits for a person, who may never come: one that
// would wait for it leaves it to the process's end instead. True when `thread`
// is inside the box; it then never returns from it.
bool LeaveSystemBoxToProcessEnd(std::thread::id thread);

// Test hook: forgets that a signal asked the process to end.
void ForgetQuitSignalForTests();

}  // namespace qel
