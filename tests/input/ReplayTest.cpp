#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "InputTestSupport.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"

namespace {

using namespace inputtest;

const SDL_Scancode kWatchedKeys[] = {SDL_SCANCODE_A, SDL_SCANCODE_D, SDL_SCANCODE_SPACE, SDL_SCANCODE_LEFT,
                                     SDL_SCANCODE_KP_ENTER};

// What the game can see of the input in one frame.
struct Seen {
    std::vector<int> keys;
    int x, y, relX, relY, wheel, moving;
    std::vector<int> buttons;

    bool operator==(const Seen&) const = default;
};

class ReplayTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        Rebuild();
    }
    void TearDown() override {
        mouse.reset();
        keyboard.reset();
        InputTest::TearDown();
    }

    // Fresh devices at the start position, as the state loaded at a replay's start.
    void Rebuild() {
        mouse.reset();
        keyboard.reset();
        keyboard = std::make_unique<Keyboard>(nullptr, nullptr);
        mouse = std::make_unique<Mouse>(nullptr, nullptr);
        session.keyboard = keyboard.get();
        session.mouse = mouse.get();
        QelRect screen{0, 0, 640, 480};
        mouse->SetMotionRect(&screen);
        mouse->Locate(320, 240);
    }

    // One frame as the frame step runs it: mouse first, then the keyboard.
    Seen Frame() {
        Pump();
        MouseEvent* events = mouseEvents;
        unsigned char* keys = keyEvents;
        mouse->Update(events);
        keyboard->Update(keys);
        Seen s;
        for (SDL_Scancode k : kWatchedKeys) {
            const unsigned char code = qel::ScanCodeOfSdlScancode(k);
            s.keys.push_back(keyboard->IsPressed(code));
            s.keys.push_back(keyboard->IsTriggered(code));
            s.keys.push_back(int(keyboard->HoldCounter(code)));
        }
        s.x = mouse->ViewportX();
        s.y = mouse->ViewportY();
        s.relX = mouse->RelX();
        s.relY = mouse->RelY();
        s.wheel = mouse->Wheel();
        s.moving = mouse->IsMoving();
        for (unsigned char b = 0; b < 3; ++b) {
            s.buttons.push_back(mouse->IsPressed(b));
            s.buttons.push_back(mouse->IsTriggered(b));
            s.buttons.push_back(int(mouse->HoldCounter(b)));
            s.buttons.push_back(mouse->IsDoubleClicked(b));
        }
        return s;
    }

    std::unique_ptr<Keyboard> keyboard;
    std::unique_ptr<Mouse> mouse;
    MouseEvent mouseEvents[256];
    unsigned char keyEvents[512];
};

// The scripted input of frame f: presses, holds, motion, wheel, clicks, one
// frame that overflows and one whose read fails.
void ScriptFrame(int f, unsigned& seed) {
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    if (f == 10) Button(SDL_BUTTON_LEFT, true);  // held for 30 frames
    if (f == 40) Button(SDL_BUTTON_LEFT, false);
    if (f == 60 || f == 70) Button(SDL_BUTTON_RIGHT, true);  // a double click
    if (f == 62 || f == 72) Button(SDL_BUTTON_RIGHT, false);
    if (f == 90) Key(SDL_SCANCODE_A, true);
    if (f == 95)
        for (int i = 0; i < 150; ++i) {  // more than the buffer holds
            Key(SDL_SCANCODE_Z, true);
            Key(SDL_SCANCODE_Z, false);
        }
    if (f == 130) Key(SDL_SCANCODE_A, false);
    if (f == 150) Button(SDL_BUTTON_MIDDLE, true);
    if (f == 200) Button(SDL_BUTTON_MIDDLE, false);
    if (f % 7 == 3) Key(kWatchedKeys[next() % 5], (f / 7) % 2 == 0);
    if (f % 3 == 0) Motion(int(next() % 21) - 10, int(next() % 15) - 7);
    if (f % 11 == 5) Wheel(next() % 2 ? 1 : -1);
    if (f == 120) Key(SDL_SCANCODE_D, true, true);  // auto-repeat: ignored
}

TEST_F(ReplayTest, AScriptedSessionPlaysBackFrameForFrame) {
    const int frames = 300;
    const int failedFrame = 100;
    unsigned seed = 7;
    std::vector<Seen> recorded;
    session.recording = true;
    for (int f = 0; f < frames; ++f) {
        ScriptFrame(f, seed);
        if (f == failedFrame) {
            Pump();
            qel::FailNextInputRead(qel::InputDeviceKind::Keyboard, std::int32_t(0x80004005u));
            qel::FailNextInputRead(qel::InputDeviceKind::Mouse, std::int32_t(0x80004005u));
        }
        recorded.push_back(Frame());
    }
    session.recording = false;
    ASSERT_EQ(session.keys.Size(), unsigned(frames));
    ASSERT_EQ(session.mouseFlags.Size(), unsigned(frames));
    ASSERT_EQ(session.mouseMoves.Size(), unsigned(frames));
    // The held button is recorded as held in every frame it was down.
    for (int f = 10; f < 40; ++f) EXPECT_TRUE(session.mouseFlags[f] & MouseFlagButton0) << f;
    // The frame that failed saw the held key and button without a new trigger.
    const Seen& failed = recorded[failedFrame];
    EXPECT_EQ(failed.keys[0], 1);
    EXPECT_EQ(failed.keys[1], 0);

    Rebuild();
    session.replaying = true;
    unsigned noise = 99;
    for (int f = 0; f < frames; ++f) {
        ScriptFrame(f + 1, noise);  // the player's own input does not count
        const Seen played = Frame();
        ASSERT_EQ(played, recorded[f]) << "frame " << f;
    }
    EXPECT_EQ(session.replayEnds, 0);
    Frame();
    EXPECT_EQ(session.replayEnds, 1);
    EXPECT_TRUE(keyboard->Nothing());
    EXPECT_TRUE(mouse->Nothing());
}

TEST_F(ReplayTest, AShortMouseRecordHoldsStillUntilTheKeysEnd) {
    session.recording = true;
    Button(SDL_BUTTON_LEFT, true);
    for (int f = 0; f < 10; ++f) {
        Key(SDL_SCANCODE_A, f % 2 == 0);
        Motion(4, 2);
        Frame();
    }
    session.recording = false;
    Array<unsigned char> flags;
    Array<MouseRelMove> moves;
    for (unsigned i = 0; i < 4; ++i) {
        flags.Add(session.mouseFlags[i]);
        moves.Add(session.mouseMoves[i]);
    }
    session.mouseFlags = flags;
    session.mouseMoves = moves;

    Rebuild();
    session.replaying = true;
    for (int f = 0; f < 4; ++f) {
        const Seen s = Frame();
        EXPECT_EQ(s.x, 320 + 4 * (f + 1));
        EXPECT_TRUE(mouse->IsPressed(0));
    }
    for (int f = 4; f < 10; ++f) {
        const Seen s = Frame();
        EXPECT_EQ(s.x, 336) << f;  // no restart from the first record
        EXPECT_FALSE(s.moving);
        EXPECT_TRUE(mouse->Nothing());
        EXPECT_EQ(keyboard->IsPressed(0x1E), f % 2 == 0) << f;
    }
    EXPECT_EQ(session.replayEnds, 0);
    Frame();
    EXPECT_EQ(session.replayEnds, 1);
}

}  // namespace
