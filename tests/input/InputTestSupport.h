// Drives the input layer the way the running engine does: SDL events pushed
// into the system queue and the platform's event pump run once per frame.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/InputSession.h"
#include "platform/InputDevices.h"
#include "platform/MessageQueue.h"

namespace inputtest {

// Runs the event pump (and drops whatever window messages it made).
inline void Pump() {
    qel::Message m;
    while (qel::PeekMessage(m)) {
    }
}

inline void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

inline void Key(SDL_Scancode code, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    Push(e);
}

inline void Motion(int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    Push(e);
}

inline void Wheel(int notches, bool flipped = false) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    Push(e);
}

inline void Button(Uint8 button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    Push(e);
}

inline void Focus(bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    Push(e);
}

// A running game as the devices see it, with every switch in the test's hands.
class FakeSession : public InputSession {
public:
    bool recording = false;
    bool replaying = false;
    std::int32_t exitKey = 0x3E;
    RecordedKeys keys;
    Array<unsigned char> mouseFlags;
    Array<MouseRelMove> mouseMoves;
    int frameRateRestores = 0;
    int replayEnds = 0;
    Keyboard* keyboard = nullptr;
    Mouse* mouse = nullptr;
    float viewportX = 0, viewportY = 0;
    std::vector<std::string> printed;
    int shows = 0;

    bool IsRecording() override { return recording; }
    bool IsReplaying() override { return replaying; }
    std::int32_t ReplayExitKey() override { return exitKey; }
    RecordedInput Recorded() override { return {&keys, &mouseFlags, &mouseMoves}; }
    void RestoreReplayFrameRate() override { ++frameRateRestores; }
    void EndReplay() override {
        replaying = false;
        ++replayEnds;
    }
    Keyboard* GameKeyboard() override { return keyboard; }
    Mouse* GameMouse() override { return mouse; }
    float ViewportWorldX() override { return viewportX; }
    float ViewportWorldY() override { return viewportY; }
    void ConsolePrint(const char* text) override { printed.emplace_back(text); }
    void ConsoleShow() override { ++shows; }
};

// Starts the pump's system services, puts a fake session in place and leaves
// the window focused afterwards.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pump();
        Focus(true);
        Pump();
        SetInputSession(&session);
    }
    void TearDown() override {
        Focus(true);
        Pump();
        SetInputSession(nullptr);
        SDL_SetModState(KMOD_NONE);
    }

    FakeSession session;
};

}  // namespace inputtest
