// A remote player's sprite keeps its own keyboard and mouse: the player's
// per-frame batches of key and mouse events arrive on the network thread,
// wait in the sprite's queue and are applied by the sprite's own update.
#include <cstring>
#include <mutex>

#include "input/Mouse.h"
#include "input/MouseEvent.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/Sprite.h"

namespace {

constexpr std::uint8_t KeyEventsRecord = 9;
constexpr std::uint8_t MouseEventsRecord = 10;
constexpr std::uint32_t KeyEntrySize = 2;
constexpr std::uint32_t MouseEntrySize = 8;
constexpr int ButtonCount = 3;
enum RemoteFlag { MovedX = 0, MovedY = 1, WheelMoved = 2 };

void FreeRecord(_NETMSGQ& m) {
    delete[] m.data;
    m.data = nullptr;
    m.type = 0;
}

// Keeps a coordinate within [low, high - 1], as the local mouse keeps its own.
std::int32_t KeepWithin(std::int64_t v, std::int32_t low, std::int32_t high) {
    if (v >= high) return high - 1;
    if (v < low) return low;
    return std::int32_t(v);
}

std::int32_t ReadInt32(const std::uint8_t* p) {
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                        std::uint32_t(p[3]) << 24);
}

bool ValidButton(unsigned char b) { return b < ButtonCount; }

}  // namespace

void Sprite::AddToQ(_NETMSGQ& message) {
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    inputQueue.push_back(message);
    message.data = nullptr;  // the queue owns it now
    // A sprite whose queue is not handled (paused or parked) must not collect
    // input without bound: its oldest records go.
    while (inputQueue.size() > MaxQueuedRecords) {
        FreeRecord(inputQueue.front());
        inputQueue.pop_front();
    }
}

void Sprite::ClearQ() {
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    for (_NETMSGQ& m : inputQueue) FreeRecord(m);
    inputQueue.clear();
}

void Sprite::HandleQ() {
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    ++remoteFrameCounter;
    for (bool& f : doubleClicked) f = false;
    for (bool& f : remoteFlags) f = false;

    for (const _NETMSGQ& m : inputQueue) {
        if (m.data == nullptr) continue;
        if (m.type == KeyEventsRecord) {
            for (std::uint32_t at = 0; at + KeyEntrySize <= m.size; at += KeyEntrySize)
                keys[m.data[at]].pressed = m.data[at + 1] != 0 ? 1 : 0;
        } else if (m.type == MouseEventsRecord) {
            for (std::uint32_t at = 0; at + MouseEntrySize <= m.size; at += MouseEntrySize) {
                const std::uint8_t kind = m.data[at];
                const std::int8_t value = std::int8_t(m.data[at + 1]);
                const std::int32_t position = ReadInt32(m.data + at + 4);
                const QelRect motion =
                    pMouse != nullptr ? pMouse->MotionRect() : QelRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
                switch (kind) {
                    case MouseEvent::Button0: mouseButtons[0].pressed = value != 0; break;
                    case MouseEvent::Button1: mouseButtons[1].pressed = value != 0; break;
                    case MouseEvent::Button2: mouseButtons[2].pressed = value != 0; break;
                    case MouseEvent::MoveX:
                        remoteFlags[MovedX] = true;
                        mouseRelX = value;
                        mouseX = KeepWithin(std::int64_t(mouseX) + value, motion.left, motion.right);
                        mouseWorldX = position;
                        break;
                    case MouseEvent::MoveY:
                        remoteFlags[MovedY] = true;
                        mouseRelY = value;
                        mouseY = KeepWithin(std::int64_t(mouseY) + value, motion.top, motion.bottom);
                        mouseWorldY = position;
                        break;
                    case MouseEvent::Wheel:
                        remoteFlags[WheelMoved] = true;
                        mouseWheel = value;
                        break;
                    default: break;
                }
            }
        }
    }
    ClearQ();

    for (KeyState& k : keys) k.NextFrame();
    for (KeyState& b : mouseButtons) b.NextFrame();

    const std::uint32_t minimum = pMouse != nullptr ? pMouse->DoubleClickMinimum() : 0;
    const std::uint32_t maximum = pMouse != nullptr ? pMouse->DoubleClickMaximum() : 0;
    for (int b = 0; b < ButtonCount; ++b) {
        if (!mouseButtons[b].triggered) continue;
        if (lastClick[b] != 0) {
            const std::uint32_t gap = remoteFrameCounter - lastClick[b];
            if (gap >= minimum && gap <= maximum) doubleClicked[b] = true;
            lastClick[b] = 0;
        } else {
            lastClick[b] = remoteFrameCounter;
        }
    }
}

// --- keyboard ---

bool Sprite::Keyboard_IsPressed(unsigned char key) const { return keys[key].pressed != 0; }
bool Sprite::Keyboard_IsNotPressed(unsigned char key) const { return keys[key].pressed == 0; }
bool Sprite::Keyboard_IsTriggered(unsigned char key) const { return keys[key].triggered != 0; }
bool Sprite::Keyboard_IsNotTriggered(unsigned char key) const { return keys[key].triggered == 0; }
unsigned int Sprite::Keyboard_TapCounter(unsigned char key) { return keys[key].TapCounter(); }
unsigned int Sprite::Keyboard_HoldCounter(unsigned char key) const { return keys[key].holdFrames; }
bool Sprite::Keyboard_Nothing() const { return !Keyboard_Any(); }

bool Sprite::Keyboard_Any() const {
    for (const KeyState& k : keys)
        if (k.pressed) return true;
    return false;
}

bool Sprite::Keyboard_GetKey(unsigned char& key) const {
    for (int k = 0; k < 256; ++k)
        if (keys[k].triggered) {
            key = static_cast<unsigned char>(k);
            return true;
        }
    return false;
}

// --- mouse ---

bool Sprite::Mouse_IsPressed(unsigned char b) const { return ValidButton(b) && mouseButtons[b].pressed != 0; }
bool Sprite::Mouse_IsNotPressed(unsigned char b) const { return !Mouse_IsPressed(b); }
bool Sprite::Mouse_IsTriggered(unsigned char b) const { return ValidButton(b) && mouseButtons[b].triggered != 0; }
bool Sprite::Mouse_IsNotTriggered(unsigned char b) const { return !Mouse_IsTriggered(b); }
bool Sprite::Mouse_IsDoubleClicked(unsigned char b) const { return doubleClicked[b < 2 ? b : 2]; }
unsigned int Sprite::Mouse_TapCounter(unsigned char b) { return ValidButton(b) ? mouseButtons[b].TapCounter() : 0; }
unsigned int Sprite::Mouse_HoldCounter(unsigned char b) const {
    return ValidButton(b) ? mouseButtons[b].holdFrames : 0;
}
bool Sprite::Mouse_Nothing() const { return !Mouse_Any(); }

bool Sprite::Mouse_Any() const {
    for (const KeyState& b : mouseButtons)
        if (b.pressed) return true;
    return false;
}

bool Sprite::Mouse_GetKey(unsigned char& button) const {
    for (int b = 0; b < ButtonCount; ++b)
        if (mouseButtons[b].triggered) {
            button = static_cast<unsigned char>(b);
            return true;
        }
    return false;
}

bool Sprite::Mouse_IsMoving() const { return remoteFlags[MovedX] || remoteFlags[MovedY]; }
int Sprite::Mouse_RelX() const { return remoteFlags[MovedX] ? mouseRelX : 0; }
int Sprite::Mouse_RelY() const { return remoteFlags[MovedY] ? mouseRelY : 0; }

int Sprite::Mouse_Wheel() const {
    if (!remoteFlags[WheelMoved]) return 0;
    return mouseWheel < 1 ? -1 : 1;
}

bool Sprite::Mouse_InRect(QelRect* r) const {
    if (r == nullptr) return false;
    return mouseX >= r->left && mouseX < r->right && mouseY >= r->top && mouseY < r->bottom;
}
