// Buffered keyboard and mouse devices: each keeps a ring of the input events
// that arrived since its last read, and is acquired only while the game window
// has the focus. Key codes are PC scan codes (extended keys as 0x80 | code).
#pragma once
#include <cstdint>
#include <memory>
#include "platform/Handles.h"

namespace qel {

// Results of device calls. Buffer overflow is a success that lost data.
constexpr std::int32_t kInputOk = 0;
constexpr std::int32_t kInputBufferOverflow = 1;
constexpr std::int32_t kInputOtherAppHasPriority = std::int32_t(0x80070005u);
constexpr std::int32_t kInputNotAcquired = std::int32_t(0x8007000Cu);
constexpr std::int32_t kInputLost = std::int32_t(0x8007001Eu);

// Records a device holds before it overflows.
constexpr std::uint32_t kInputBufferRecords = 256;

// Bit of a record's data that means "down" (keys and mouse buttons).
constexpr std::uint32_t kInputDownBit = 0x80;

// Offsets of the mouse's objects: relative axes, then buttons left, right, middle.
constexpr std::uint32_t kMouseOffsetX = 0;
constexpr std::uint32_t kMouseOffsetY = 4;
constexpr std::uint32_t kMouseOffsetWheel = 8;
constexpr std::uint32_t kMouseOffsetButton0 = 12;
constexpr std::uint32_t kMouseButtons = 3;

// Wheel units per notch; positive turns away from the user.
constexpr std::int32_t kWheelDeltaPerNotch = 120;

// One buffered event. offset: the key's scan code, or the mouse object;
// data: state bit 0x80 for keys and buttons, a signed 32-bit delta for axes.
struct InputRecord {
    std::uint32_t offset = 0;
    std::uint32_t data = 0;
    std::uint32_t timeStamp = 0;
    std::uint32_t sequence = 0;
};
static_assert(sizeof(InputRecord) == 16);

enum class InputDeviceKind { Keyboard, Mouse };

// A device that the platform's event routing fills between frames.
class InputDevice {
public:
    explicit InputDevice(InputDeviceKind kind);
    ~InputDevice();
    InputDevice(const InputDevice&) = delete;
    InputDevice& operator=(const InputDevice&) = delete;

    // kInputOk when acquired (also when it already was); kInputOtherAppHasPriority
    // while the window has no focus. Acquiring starts with an empty buffer.
    std::int32_t Acquire();
    void Unacquire();
    bool IsAcquired() const;

    // Moves up to `count` buffered records, oldest first, into `records` and sets
    // `count` to the number moved. kInputLost on the first read after the focus
    // went away while acquired, kInputNotAcquired while not acquired (count 0).
    std::int32_t Read(InputRecord* records, std::uint32_t& count);

    InputDeviceKind Kind() const;
    // Mouse capability: a wheel (third axis) is present.
    bool HasWheel() const;

    struct State;

private:
    std::unique_ptr<State> state;
};

// The input system behind every device (the system's event service), started
// by its first user and stopped by its last. False when it cannot start.
bool StartInputSystem();
void StopInputSystem();

// Size of the window's client area; 0 x 0 for a handle that is not a live window.
void WindowClientSize(HWND window, std::int32_t& width, std::int32_t& height);

// Keyboard toggle states.
bool CapsLockOn();
bool NumLockOn();

// Whether the game window has the focus as far as the devices know.
bool InputWindowHasFocus();

// Test hook: the next read of every device of that kind answers `result` with
// no records, leaving its buffer as it is.
void FailNextInputRead(InputDeviceKind kind, std::int32_t result);

// The PC scan code of an SDL scancode (0 when the key has none).
std::uint8_t ScanCodeOfSdlScancode(int sdlScancode);

}  // namespace qel
