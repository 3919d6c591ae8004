// The mouse, read once per frame: a cursor position in viewport coordinates
// moved by scaled relative motion inside a motion rectangle, the last motion
// and wheel deltas, three buttons with double-click detection, the frame's
// events for the network exchange, and recording and playback.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Types.h"
#include "input/DirectInput.h"
#include "input/KeyState.h"
#include "input/MouseEvent.h"
#include "platform/Handles.h"
#include "platform/Resources.h"

struct MoImp;
class Keyboard;

// The mouse's part of a level's saved record, in its stored order.
struct MouseRecord {
    float sensitivity = 1.0f;
    std::int32_t x = 0, y = 0, relX = 0, relY = 0, wheel = 0;
    QelRect motionRect;
    bool movedX = false, movedY = false;
    std::uint32_t accuracy = 10, minimum = 5, maximum = 25;
    bool doubleClicked0 = false, doubleClicked1 = false;
    std::uint32_t firstPress[3] = {0, 0, 0};
};

class QEL_API Mouse {
public:
    static constexpr unsigned int ButtonCount = 3;

    Mouse(HWND hwnd, HINSTANCE hinst);
    ~Mouse();
    Mouse(const Mouse&) = delete;
    Mouse& operator=(const Mouse&) = delete;

    // Once per frame, before the keyboard. `out` points to room for 256 events
    // and stays pointing there. Returns the events written.
    std::uint32_t Update(MouseEvent*& out);

    // Buttons 0 left, 1 right, 2 middle; any other number is never pressed.
    bool IsPressed(unsigned char b) const;
    bool IsNotPressed(unsigned char b) const { return !IsPressed(b); }
    bool IsTriggered(unsigned char b) const;
    bool IsNotTriggered(unsigned char b) const { return !IsTriggered(b); }
    std::uint32_t TapCounter(unsigned char b);
    std::uint32_t HoldCounter(unsigned char b) const;
    // Buttons 0 and 1 their own flag; every other number reads button 2's.
    bool IsDoubleClicked(unsigned char b) const;

    void DoubleClickAccuracy(unsigned int a) { accuracy = a; }
    unsigned int DoubleClickAccuracy() const { return accuracy; }
    // The double-click window becomes [s - accuracy, s + accuracy] (s at least accuracy).
    void DoubleClickSpeed(unsigned int s);
    unsigned int DoubleClickSpeed() const { return minimum + accuracy; }
    bool HaveWheel() const { return hasWheel != 0; }
    // 0 normal, 1 half, 2 double; other levels change nothing.
    void SetSensitivity(int level);

    int ViewportX() const { return x; }
    int ViewportY() const { return y; }
    int WorldX() const;
    int WorldY() const;
    int X() const { return WorldX(); }
    int Y() const { return WorldY(); }
    int RelX() const { return movedX ? relX : 0; }
    int RelY() const { return movedY ? relY : 0; }
    // 0 without wheel motion this frame, else its direction.
    int Wheel() const;
    bool IsMoving() const { return movedX || movedY; }
    bool Nothing() const;
    bool Any() const { return !Nothing(); }
    bool GetKey(unsigned char& b) const;
    // (X, Y) inside r: left and top inside, right and bottom outside.
    bool InRect(QelRect* r) const;
    void Locate(unsigned int x, unsigned int y);
    void SetMotionRect(QelRect* r);
    const QelRect& MotionRect() const { return motionRect; }
    unsigned int DoubleClickMinimum() const { return minimum; }
    unsigned int DoubleClickMaximum() const { return maximum; }

    void ResetKeys();
    // ResetKeys, then acquire: 0 when acquired (or already), else the device's result.
    int StartReceivingData();
    void StopReceivingData();

    // The state a level's save keeps, and its return; a restored record that
    // does not fit (empty motion rectangle) keeps the current rectangle and the
    // position is brought inside it.
    MouseRecord Record() const;
    void Restore(const MouseRecord& record);

private:
    friend class Keyboard;

    bool ReadDevice();
    std::uint32_t ApplyEvents(MouseEvent* out);
    std::uint32_t PlayBack();
    void EndPlayback();
    void MoveAxis(std::int32_t& position, std::int32_t delta, std::int32_t low, std::int32_t high);
    void NextFrame();

    std::uint32_t accuracy = 10;
    std::uint32_t minimum = 5;
    std::uint32_t maximum = 25;
    std::uint32_t frameCounter = 0;
    std::uint32_t firstPress[ButtonCount] = {0, 0, 0};
    std::uint8_t doubleClicked[ButtonCount] = {0, 0, 0};
    std::uint8_t hasWheel = 0;
    float sensitivity = 1.0f;
    std::int32_t x = 0, y = 0;
    std::int32_t relX = 0, relY = 0, wheel = 0;
    HWND window;
    QelRect motionRect;
    KeyState buttons[ButtonCount];
    std::uint32_t eventCount = 0;
    MoImp* imp;
    DirectInput directInput;
    std::uint8_t movedX = 0, movedY = 0, movedWheel = 0;
    std::uint32_t replayIndex = 0;
    std::int32_t lastResult = 0;
};
