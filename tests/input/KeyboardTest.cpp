#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "InputTestSupport.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"

namespace {

using namespace inputtest;

constexpr unsigned char kA = 0x1E, kS = 0x1F, kD = 0x20, kLeftShift = 0x2A;

// An SDL scancode that reaches the keyboard as this PC scan code.
SDL_Scancode SdlOf(unsigned char code) {
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s)
        if (qel::ScanCodeOfSdlScancode(s) == code) return SDL_Scancode(s);
    return SDL_SCANCODE_UNKNOWN;
}

class KeyboardTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        keyboard = std::make_unique<Keyboard>(nullptr, nullptr);
        session.keyboard = keyboard.get();
    }
    void TearDown() override {
        keyboard.reset();
        InputTest::TearDown();
    }

    // One frame: the pump, then the keyboard's update.
    std::uint32_t Frame() {
        Pump();
        std::memset(pairs, 0xEE, sizeof pairs);
        unsigned char* out = pairs;
        const std::uint32_t n = keyboard->Update(out);
        EXPECT_EQ(out, pairs);
        return n;
    }
    void Press(unsigned char code, bool down) { Key(SdlOf(code), down); }

    std::unique_ptr<Keyboard> keyboard;
    unsigned char pairs[512];
};

TEST_F(KeyboardTest, AHeldKeyTriggersInItsFirstFrameOnlyAndAutoRepeatIsIgnored) {
    struct Step {
        int down;  // 1 press, 0 release, -1 nothing, 2 auto-repeat
        std::uint32_t events;
        bool pressed, triggered;
        std::uint32_t hold, sinceRelease;
    };
    const Step steps[] = {
        {1, 1, true, true, 1, 0},   {2, 0, true, false, 2, 0},   {-1, 0, true, false, 3, 0},
        {0, 1, false, false, 0, 1}, {-1, 0, false, false, 0, 2}, {1, 1, true, true, 1, 0},
    };
    int n = 0;
    for (const Step& s : steps) {
        if (s.down == 2) {
            Key(SDL_SCANCODE_A, true, true);
            Key(SDL_SCANCODE_A, true, true);
        } else if (s.down >= 0) {
            Press(kA, s.down == 1);
        }
        EXPECT_EQ(Frame(), s.events) << "frame " << n;
        EXPECT_EQ(keyboard->IsPressed(kA), s.pressed) << "frame " << n;
        EXPECT_EQ(keyboard->IsNotPressed(kA), !s.pressed) << "frame " << n;
        EXPECT_EQ(keyboard->IsTriggered(kA), s.triggered) << "frame " << n;
        EXPECT_EQ(keyboard->IsNotTriggered(kA), !s.triggered) << "frame " << n;
        EXPECT_EQ(keyboard->HoldCounter(kA), s.hold) << "frame " << n;
        EXPECT_EQ(keyboard->Any(), s.pressed) << "frame " << n;
        if (!s.pressed) {
            EXPECT_EQ(keyboard->TapCounter(kA), s.sinceRelease) << "frame " << n;
        }
        ++n;
    }
}

TEST_F(KeyboardTest, APressAndReleaseInOneFrameIsReportedButNeverPressed) {
    Press(kA, true);
    Press(kA, false);
    Press(kS, true);
    ASSERT_EQ(Frame(), 3u);
    const unsigned char expected[] = {kA, 1, kA, 0, kS, 1};
    EXPECT_EQ(std::memcmp(pairs, expected, sizeof expected), 0);
    EXPECT_FALSE(keyboard->IsPressed(kA));
    EXPECT_FALSE(keyboard->IsTriggered(kA));
    EXPECT_TRUE(keyboard->IsTriggered(kS));
}

TEST_F(KeyboardTest, GetKeyAnswersTheLowestTriggeredCode) {
    unsigned char k = 0x77;
    EXPECT_FALSE(keyboard->GetKey(k));
    EXPECT_EQ(k, 0x77);
    Press(kD, true);
    Press(kS, true);
    Frame();
    EXPECT_TRUE(keyboard->GetKey(k));
    EXPECT_EQ(k, kS);
    Press(kA, true);
    Frame();  // S and D held, A newly triggered
    EXPECT_TRUE(keyboard->GetKey(k));
    EXPECT_EQ(k, kA);
    Frame();
    EXPECT_FALSE(keyboard->GetKey(k));
    keyboard->Reset();
    EXPECT_TRUE(keyboard->Nothing());
}

TEST_F(KeyboardTest, FocusLossClearsTheKeysUntilInputStartsAgain) {
    Press(kA, true);
    Frame();
    ASSERT_TRUE(keyboard->IsPressed(kA));
    Focus(false);
    EXPECT_EQ(Frame(), 0u);  // lost: cleared, and acquiring again fails
    EXPECT_FALSE(keyboard->IsPressed(kA));
    EXPECT_EQ(keyboard->HoldCounter(kA), 0u);
    Press(kS, true);         // typed into another window
    EXPECT_EQ(Frame(), 0u);  // not acquired
    EXPECT_FALSE(keyboard->IsPressed(kS));
    EXPECT_NE(keyboard->StartReceivingData(), 0);
    Focus(true);
    Pump();
    EXPECT_EQ(keyboard->StartReceivingData(), 0);
    EXPECT_EQ(keyboard->StartReceivingData(), 0);  // already acquired
    Press(kD, true);
    EXPECT_EQ(Frame(), 1u);
    EXPECT_TRUE(keyboard->IsTriggered(kD));
    keyboard->StopReceivingData();
    Press(kD, false);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_FALSE(keyboard->IsPressed(kD));
}

// A frame whose read overflowed or failed must not trigger a held key again,
// and a recording gets its frame all the same.
TEST_F(KeyboardTest, AnOverflowedOrFailedReadKeepsHeldKeysConsistent) {
    session.recording = true;
    Press(kA, true);
    EXPECT_EQ(Frame(), 1u);
    ASSERT_TRUE(keyboard->IsTriggered(kA));

    for (int i = 0; i < 150; ++i) {
        Press(kD, true);
        Press(kD, false);
    }
    EXPECT_EQ(Frame(), 256u);  // overflowed, and what was kept is delivered
    EXPECT_TRUE(keyboard->IsPressed(kA));
    EXPECT_FALSE(keyboard->IsTriggered(kA));
    EXPECT_EQ(keyboard->HoldCounter(kA), 2u);
    EXPECT_FALSE(keyboard->IsPressed(kD));

    Press(kS, true);
    Pump();
    qel::FailNextInputRead(qel::InputDeviceKind::Keyboard, std::int32_t(0x80004005u));
    unsigned char* out = pairs;
    EXPECT_EQ(keyboard->Update(out), 0u);
    EXPECT_TRUE(keyboard->IsPressed(kA));
    EXPECT_FALSE(keyboard->IsTriggered(kA));
    EXPECT_EQ(keyboard->HoldCounter(kA), 3u);
    EXPECT_FALSE(keyboard->IsPressed(kS));

    EXPECT_EQ(Frame(), 1u);  // the S press kept in the buffer arrives now
    EXPECT_TRUE(keyboard->IsTriggered(kS));
    EXPECT_FALSE(keyboard->IsTriggered(kA));
    ASSERT_EQ(session.keys.Size(), 4u);
    for (unsigned int f = 0; f < 3; ++f) {
        ASSERT_EQ(session.keys[f].size(), 1u) << f;
        EXPECT_EQ(session.keys[f][0], kA) << f;
    }
}

TEST_F(KeyboardTest, RecordingKeepsEveryHeldKeyOfEachFrameInAscendingOrder) {
    session.recording = true;
    Press(kS, true);
    Press(kA, true);
    Frame();
    Frame();
    Press(kS, false);
    Frame();
    Press(kA, false);
    Frame();
    const std::vector<std::vector<unsigned char>> expected = {{kA, kS}, {kA, kS}, {kA}, {}};
    ASSERT_EQ(session.keys.Size(), expected.size());
    for (unsigned int f = 0; f < expected.size(); ++f) {
        const std::vector<unsigned char> got(session.keys[f].begin(), session.keys[f].end());
        EXPECT_EQ(got, expected[f]) << "frame " << f;
    }
}

TEST_F(KeyboardTest, AReplayPlaysTheRecordedFramesAndEndsAfterTheLast) {
    const std::vector<std::vector<unsigned char>> recorded = {{kA}, {kA, kD}, {}};
    for (const auto& frame : recorded) session.keys.Add(KeyboardInputKeys(frame));
    Mouse mouse(nullptr, nullptr);
    session.mouse = &mouse;
    session.replaying = true;
    Press(kS, true);  // the player's own keys do not reach the game
    EXPECT_EQ(Frame(), 0u);
    EXPECT_TRUE(keyboard->IsTriggered(kA));
    EXPECT_FALSE(keyboard->IsPressed(kS));
    EXPECT_EQ(Frame(), 0u);
    EXPECT_FALSE(keyboard->IsTriggered(kA));
    EXPECT_TRUE(keyboard->IsTriggered(kD));
    EXPECT_EQ(Frame(), 0u);
    EXPECT_TRUE(keyboard->Nothing());
    EXPECT_EQ(session.replayEnds, 0);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_EQ(session.replayEnds, 1);
    EXPECT_EQ(session.frameRateRestores, 1);
    EXPECT_FALSE(session.replaying);
    EXPECT_TRUE(keyboard->Nothing());
    Press(kS, false);
    EXPECT_EQ(Frame(), 1u);  // live again
}

TEST_F(KeyboardTest, AReplayEndsAtOnceWithoutFramesOrOnTheExitKey) {
    session.replaying = true;
    EXPECT_EQ(Frame(), 0u);
    EXPECT_EQ(session.replayEnds, 1);

    for (int i = 0; i < 5; ++i) session.keys.Add({kA});
    session.replaying = true;
    Frame();
    EXPECT_TRUE(keyboard->IsPressed(kA));
    Press(0x3E, true);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_EQ(session.replayEnds, 2);
    EXPECT_FALSE(keyboard->IsPressed(kA));

    session.exitKey = 4000;  // out of range: never read as a key
    session.replaying = true;
    EXPECT_EQ(Frame(), 0u);
    EXPECT_TRUE(keyboard->IsTriggered(kA));
}

TEST_F(KeyboardTest, GetCharAsStringFollowsTheUsTableWithShiftCapsAndNumLock) {
    struct Row {
        unsigned char first;
        const char* plain;
        const char* shifted;  // null: letters; "=": the same character
    };
    const Row rows[] = {
        {0x02, "1234567890", "!@#$%^&*()"},
        {0x0C, "-=", "_+"},
        {0x1A, "[]", "{}"},
        {0x27, ";'`", ":\"~"},
        {0x2B, "\\", "|"},
        {0x33, ",./", "<>?"},
        {0x10, "qwertyuiop", nullptr},
        {0x1E, "asdfghjkl", nullptr},
        {0x2C, "zxcvbnm", nullptr},
        {0x0F, "\t", "="},
        {0x1C, "\n", "="},
        {0x9C, "\n", "="},
        {0x39, " ", "="},
        {0x37, "*", "="},
        {0x4A, "-", "="},
        {0x4E, "+", "="},
        {0xB5, "/", "="},
    };
    const Row keypad[] = {{0x47, "789", "="}, {0x4B, "456", "="}, {0x4F, "1230.", "="}};

    for (int mods = 0; mods < 8; ++mods) {
        const bool shift = mods & 1, caps = mods & 2, num = mods & 4;
        std::string expected[256];
        for (const Row& r : rows) {
            for (int i = 0; r.plain[i]; ++i) {
                char c = r.plain[i];
                if (!r.shifted) {
                    if (shift != caps) c = char(c - 'a' + 'A');
                } else if (shift && std::strcmp(r.shifted, "=") != 0) {
                    c = r.shifted[i];
                }
                expected[r.first + i] = std::string(1, c);
            }
        }
        if (num)
            for (const Row& r : keypad)
                for (int i = 0; r.plain[i]; ++i) expected[r.first + i] = std::string(1, r.plain[i]);

        SDL_SetModState(SDL_Keymod((caps ? KMOD_CAPS : 0) | (num ? KMOD_NUM : 0)));
        int tested = 0;
        for (int code = 1; code < 256; ++code) {
            if (code == kLeftShift || code == 0x36 || SdlOf(code) == SDL_SCANCODE_UNKNOWN) continue;
            if (shift) {
                Press(kLeftShift, true);
                Frame();
            }
            Press(code, true);
            Frame();
            EXPECT_EQ(std::string(keyboard->GetCharAsString()), expected[code])
                << "code " << code << " shift " << shift << " caps " << caps << " num " << num;
            Press(code, false);
            if (shift) Press(kLeftShift, false);
            Frame();
            ++tested;
        }
        EXPECT_GT(tested, 100);
    }
    EXPECT_STREQ(keyboard->GetCharAsString(), "");  // nothing triggered
}

TEST_F(KeyboardTest, GetStringEditsOneLineAFrame) {
    struct Case {
        const char* before;
        unsigned max;
        unsigned char key;
        const char* after;
        int result;
    };
    const Case cases[] = {
        {"ab", 10, kA, "aba", 0},    {"ab", 3, kA, "aba", 2},    {"abc", 3, kA, "abc", 2}, {"ab", 10, 0x1C, "ab", 1},
        {"ab", 10, 0x0E, "a", 0},    {"", 10, 0x0E, "", 0},      {"", 0, 0x0E, "", 2},     {"ab", 10, 0xCB, "ab", 0},
        {"ab", 10, 0x9C, "ab\n", 0}, {"ab", 10, 0x39, "ab ", 0},
    };
    for (const Case& c : cases) {
        char buf[16] = {};
        std::strcpy(buf, c.before);
        Press(c.key, true);
        Frame();
        EXPECT_EQ(keyboard->GetString(buf, c.max), c.result) << c.before << " key " << int(c.key);
        EXPECT_STREQ(buf, c.after) << c.before << " key " << int(c.key);
        Press(c.key, false);
        Frame();
        EXPECT_EQ(keyboard->GetString(buf, c.max), std::strlen(buf) >= c.max ? 2 : 0);
        EXPECT_STREQ(buf, c.after);  // nothing triggered: nothing typed
    }
    EXPECT_EQ(keyboard->GetString(nullptr, 5), 0);
}

}  // namespace
