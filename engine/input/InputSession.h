// What the keyboard and the mouse need of the running game: its recording and
// replay switches, the current level's recorded input and viewport, the end of a
// replay, and the console. The engine's own session reads myGame and gNode;
// a test can put its own in place.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "input/RecordedInput.h"

class Keyboard;
class Mouse;

class InputSession {
public:
    virtual ~InputSession() = default;

    virtual bool IsRecording() = 0;
    virtual bool IsReplaying() = 0;
    // Scan code of the key that ends a replay.
    virtual std::int32_t ReplayExitKey() = 0;
    // The current level's recorded input.
    virtual RecordedInput Recorded() = 0;
    // The current level's frame rate goes back to the one noted when the replay began.
    virtual void RestoreReplayFrameRate() = 0;
    // Replay mode off, and the state noted when the replay began loaded back
    // (deferred to the start of the next frame).
    virtual void EndReplay() = 0;
    // The engine's devices: the mouse follows the keyboard's end of a replay,
    // and its playback stops on the keyboard's exit key.
    virtual Keyboard* GameKeyboard() = 0;
    virtual Mouse* GameMouse() = 0;
    // World position of the current level's viewport.
    virtual float ViewportWorldX() = 0;
    virtual float ViewportWorldY() = 0;
    // Debug console text; `show` brings the console up.
    virtual void ConsolePrint(const char* text) = 0;
    virtual void ConsoleShow() = 0;
};

// The session in use; null puts the engine's own back (or, outside the engine
// library, an idle one: nothing recorded or replayed).
QEL_API void SetInputSession(InputSession* session);
