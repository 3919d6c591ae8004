#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "InputTestSupport.h"
#include "platform/InputDevices.h"

namespace {

using namespace inputtest;
using qel::InputDevice;
using qel::InputDeviceKind;
using qel::InputRecord;

std::vector<InputRecord> ReadAll(InputDevice& device, std::int32_t& result) {
    std::vector<InputRecord> records(qel::kInputBufferRecords);
    std::uint32_t count = qel::kInputBufferRecords;
    result = device.Read(records.data(), count);
    records.resize(count);
    return records;
}

TEST(ScanCodes, EveryGroupOfPcKeysMapsToItsCode) {
    struct Case {
        SDL_Scancode sdl;
        int pc;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},
        {SDL_SCANCODE_1, 0x02},
        {SDL_SCANCODE_0, 0x0B},
        {SDL_SCANCODE_BACKSPACE, 0x0E},
        {SDL_SCANCODE_TAB, 0x0F},
        {SDL_SCANCODE_Q, 0x10},
        {SDL_SCANCODE_P, 0x19},
        {SDL_SCANCODE_RETURN, 0x1C},
        {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_A, 0x1E},
        {SDL_SCANCODE_L, 0x26},
        {SDL_SCANCODE_GRAVE, 0x29},
        {SDL_SCANCODE_LSHIFT, 0x2A},
        {SDL_SCANCODE_BACKSLASH, 0x2B},
        {SDL_SCANCODE_Z, 0x2C},
        {SDL_SCANCODE_M, 0x32},
        {SDL_SCANCODE_SLASH, 0x35},
        {SDL_SCANCODE_RSHIFT, 0x36},
        {SDL_SCANCODE_KP_MULTIPLY, 0x37},
        {SDL_SCANCODE_LALT, 0x38},
        {SDL_SCANCODE_SPACE, 0x39},
        {SDL_SCANCODE_CAPSLOCK, 0x3A},
        {SDL_SCANCODE_F1, 0x3B},
        {SDL_SCANCODE_F4, 0x3E},
        {SDL_SCANCODE_F10, 0x44},
        {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
        {SDL_SCANCODE_KP_7, 0x47},
        {SDL_SCANCODE_KP_MINUS, 0x4A},
        {SDL_SCANCODE_KP_5, 0x4C},
        {SDL_SCANCODE_KP_PLUS, 0x4E},
        {SDL_SCANCODE_KP_0, 0x52},
        {SDL_SCANCODE_KP_PERIOD, 0x53},
        {SDL_SCANCODE_F11, 0x57},
        {SDL_SCANCODE_F12, 0x58},
        {SDL_SCANCODE_KP_ENTER, 0x9C},
        {SDL_SCANCODE_RCTRL, 0x9D},
        {SDL_SCANCODE_KP_DIVIDE, 0xB5},
        {SDL_SCANCODE_PRINTSCREEN, 0xB7},
        {SDL_SCANCODE_RALT, 0xB8},
        {SDL_SCANCODE_PAUSE, 0xC5},
        {SDL_SCANCODE_HOME, 0xC7},
        {SDL_SCANCODE_UP, 0xC8},
        {SDL_SCANCODE_PAGEUP, 0xC9},
        {SDL_SCANCODE_LEFT, 0xCB},
        {SDL_SCANCODE_RIGHT, 0xCD},
        {SDL_SCANCODE_END, 0xCF},
        {SDL_SCANCODE_DOWN, 0xD0},
        {SDL_SCANCODE_PAGEDOWN, 0xD1},
        {SDL_SCANCODE_INSERT, 0xD2},
        {SDL_SCANCODE_DELETE, 0xD3},
        {SDL_SCANCODE_LGUI, 0xDB},
        {SDL_SCANCODE_APPLICATION, 0xDD},
        // Keys a PC keyboard does not have, and codes outside the table.
        {SDL_SCANCODE_UNKNOWN, 0},
        {SDL_SCANCODE_F24, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(qel::ScanCodeOfSdlScancode(c.sdl), c.pc) << SDL_GetScancodeName(c.sdl);
    EXPECT_EQ(qel::ScanCodeOfSdlScancode(-1), 0);
    EXPECT_EQ(qel::ScanCodeOfSdlScancode(SDL_NUM_SCANCODES), 0);
}

TEST(ScanCodes, NoTwoPcKeysShareACodeExceptTheIsoTwinsOfBackslashAndSysRq) {
    std::vector<int> owners(256, 0);
    for (int sdl = 0; sdl < SDL_NUM_SCANCODES; ++sdl) {
        const int pc = qel::ScanCodeOfSdlScancode(sdl);
        if (pc) ++owners[pc];
    }
    for (int pc = 1; pc < 256; ++pc) {
        const int expected = (pc == 0x2B || pc == 0xB7) ? 2 : 1;
        if (owners[pc]) {
            EXPECT_EQ(owners[pc], expected) << "code " << pc;
        }
    }
}

class InputDevices : public InputTest {};

TEST_F(InputDevices, KeysArriveInOrderWithTheirStateAndWithoutAutoRepeat) {
    InputDevice keyboard(InputDeviceKind::Keyboard);
    ASSERT_EQ(keyboard.Acquire(), qel::kInputOk);
    EXPECT_EQ(keyboard.Acquire(), qel::kInputOk);  // already acquired
    Key(SDL_SCANCODE_A, true);
    Key(SDL_SCANCODE_A, true, true);
    Key(SDL_SCANCODE_A, true, true);
    Key(SDL_SCANCODE_KP_ENTER, true);
    Key(SDL_SCANCODE_A, false);
    Key(SDL_SCANCODE_F24, true);  // no PC code: never reaches the device
    Pump();
    std::int32_t result = -1;
    const std::vector<InputRecord> r = ReadAll(keyboard, result);
    EXPECT_EQ(result, qel::kInputOk);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].offset, 0x1Eu);
    EXPECT_EQ(r[0].data, 0x80u);
    EXPECT_EQ(r[1].offset, 0x9Cu);
    EXPECT_EQ(r[1].data, 0x80u);
    EXPECT_EQ(r[2].offset, 0x1Eu);
    EXPECT_EQ(r[2].data, 0u);
    EXPECT_LT(r[0].sequence, r[1].sequence);
    EXPECT_LT(r[1].sequence, r[2].sequence);
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, qel::kInputOk);
}

TEST_F(InputDevices, MouseEventsBecomeAxisAndButtonRecords) {
    InputDevice mouse(InputDeviceKind::Mouse);
    EXPECT_TRUE(mouse.HasWheel());
    ASSERT_EQ(mouse.Acquire(), qel::kInputOk);
    Motion(5, -3);
    Motion(0, 7);
    Wheel(1);
    Wheel(2, true);
    Button(SDL_BUTTON_LEFT, true);
    Button(SDL_BUTTON_RIGHT, true);
    Button(SDL_BUTTON_MIDDLE, true);
    Button(SDL_BUTTON_LEFT, false);
    Button(SDL_BUTTON_X1, true);  // not one of the three
    Pump();
    std::int32_t result = -1;
    const std::vector<InputRecord> r = ReadAll(mouse, result);
    EXPECT_EQ(result, qel::kInputOk);
    struct Expected {
        std::uint32_t offset;
        std::int32_t data;
    };
    const Expected expected[] = {{0, 5},     {4, -3},    {4, 7},     {8, 120}, {8, -240},
                                 {12, 0x80}, {13, 0x80}, {14, 0x80}, {12, 0}};
    ASSERT_EQ(r.size(), std::size(expected));
    for (std::size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].offset, expected[i].offset) << i;
        EXPECT_EQ(std::int32_t(r[i].data), expected[i].data) << i;
    }
}

TEST_F(InputDevices, EventsWhileNotAcquiredAreDropped) {
    InputDevice keyboard(InputDeviceKind::Keyboard);
    Key(SDL_SCANCODE_B, true);
    Pump();
    std::int32_t result = 0;
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, qel::kInputNotAcquired);
    ASSERT_EQ(keyboard.Acquire(), qel::kInputOk);
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, qel::kInputOk);
    Key(SDL_SCANCODE_B, false);
    Pump();
    keyboard.Unacquire();
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, qel::kInputNotAcquired);
}

TEST_F(InputDevices, FocusLossIsReportedOnceAsLostThenNotAcquiredUntilFocusReturns) {
    InputDevice keyboard(InputDeviceKind::Keyboard);
    InputDevice mouse(InputDeviceKind::Mouse);
    ASSERT_EQ(keyboard.Acquire(), qel::kInputOk);
    ASSERT_EQ(mouse.Acquire(), qel::kInputOk);
    Key(SDL_SCANCODE_C, true);
    Focus(false);
    Key(SDL_SCANCODE_C, false);
    Pump();
    EXPECT_FALSE(qel::InputWindowHasFocus());
    for (InputDevice* device : {&keyboard, &mouse}) {
        std::int32_t result = 0;
        EXPECT_TRUE(ReadAll(*device, result).empty());
        EXPECT_EQ(result, qel::kInputLost);
        EXPECT_TRUE(ReadAll(*device, result).empty());
        EXPECT_EQ(result, qel::kInputNotAcquired);
        EXPECT_EQ(device->Acquire(), qel::kInputOtherAppHasPriority);
    }
    Focus(true);
    Pump();
    EXPECT_EQ(keyboard.Acquire(), qel::kInputOk);
    std::int32_t result = -1;
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, qel::kInputOk);
}

TEST_F(InputDevices, AFullBufferKeepsTheNewestEventsAndReportsTheOverflowOnce) {
    InputDevice keyboard(InputDeviceKind::Keyboard);
    ASSERT_EQ(keyboard.Acquire(), qel::kInputOk);
    const int presses = 150;  // 300 events
    for (int i = 0; i < presses; ++i) {
        Key(SDL_SCANCODE_D, true);
        Key(SDL_SCANCODE_D, false);
    }
    Key(SDL_SCANCODE_E, true);
    Pump();
    std::int32_t result = 0;
    const std::vector<InputRecord> r = ReadAll(keyboard, result);
    EXPECT_EQ(result, qel::kInputBufferOverflow);
    ASSERT_EQ(r.size(), qel::kInputBufferRecords);
    EXPECT_EQ(r.back().offset, 0x12u);
    EXPECT_EQ(r.back().data, 0x80u);
    ReadAll(keyboard, result);
    EXPECT_EQ(result, qel::kInputOk);
}

TEST_F(InputDevices, AFullMouseBufferAddsMotionIntoItsNewestRecordOfThatAxis) {
    InputDevice mouse(InputDeviceKind::Mouse);
    ASSERT_EQ(mouse.Acquire(), qel::kInputOk);
    for (int i = 0; i < 300; ++i) Motion(1, 0);
    Button(SDL_BUTTON_LEFT, true);
    Motion(2, 0);
    Pump();
    std::int32_t result = 0;
    const std::vector<InputRecord> r = ReadAll(mouse, result);
    ASSERT_EQ(r.size(), qel::kInputBufferRecords);
    std::int32_t totalX = 0;
    for (const InputRecord& e : r)
        if (e.offset == qel::kMouseOffsetX) totalX += std::int32_t(e.data);
    // The button pushed out one single-pixel move; no motion of its own lost.
    EXPECT_EQ(totalX, 300 - 1 + 2);
    EXPECT_EQ(r.back().offset, qel::kMouseOffsetButton0);
    EXPECT_EQ(result, qel::kInputBufferOverflow);
}

TEST_F(InputDevices, MergedMotionSaturatesInsteadOfOverflowing) {
    InputDevice mouse(InputDeviceKind::Mouse);
    ASSERT_EQ(mouse.Acquire(), qel::kInputOk);
    for (std::uint32_t i = 0; i < qel::kInputBufferRecords; ++i) Motion(i % 2 ? 1 : -1, 0);
    Motion(2000000000, 0);
    Motion(2000000000, 0);
    Motion(-2000000000, 0);
    Pump();
    std::int32_t result = 0;
    const std::vector<InputRecord> r = ReadAll(mouse, result);
    ASSERT_EQ(r.size(), qel::kInputBufferRecords);
    EXPECT_EQ(std::int32_t(r.back().data), INT32_MAX - 2000000000);
}

TEST_F(InputDevices, AnInjectedFailureAnswersOneReadAndKeepsTheBuffer) {
    InputDevice keyboard(InputDeviceKind::Keyboard);
    ASSERT_EQ(keyboard.Acquire(), qel::kInputOk);
    Key(SDL_SCANCODE_F, true);
    Pump();
    qel::FailNextInputRead(InputDeviceKind::Keyboard, std::int32_t(0x80004005u));
    std::int32_t result = 0;
    EXPECT_TRUE(ReadAll(keyboard, result).empty());
    EXPECT_EQ(result, std::int32_t(0x80004005u));
    EXPECT_EQ(ReadAll(keyboard, result).size(), 1u);
    EXPECT_EQ(result, qel::kInputOk);
}

TEST_F(InputDevices, LockKeysFollowTheSystemModifierState) {
    SDL_SetModState(KMOD_CAPS);
    EXPECT_TRUE(qel::CapsLockOn());
    EXPECT_FALSE(qel::NumLockOn());
    SDL_SetModState(KMOD_NUM);
    EXPECT_FALSE(qel::CapsLockOn());
    EXPECT_TRUE(qel::NumLockOn());
}

}  // namespace
