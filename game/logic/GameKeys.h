// The keys the game reads (DirectInput scan codes) and the engine keyboard's
// per-frame states of them; before the keyboard exists no key is down.
#pragma once
#include "input/Keyboard.h"
#include "runtime/EngineGlobals.h"

namespace key {

constexpr unsigned char Left = 0xCB, Right = 0xCD, Up = 0xC8, Down = 0xD0;
constexpr unsigned char A = 0x1E, D = 0x20, W = 0x11, S = 0x1F;
constexpr unsigned char C = 0x2E, Q = 0x10, Space = 0x39, Enter = 0x1C, M = 0x32;
constexpr unsigned char F4 = 0x3E, LeftAlt = 0x38, RightAlt = 0xB8;

inline bool Pressed(unsigned char k) { return pKeyboard != nullptr && pKeyboard->IsPressed(k); }
inline bool Triggered(unsigned char k) { return pKeyboard != nullptr && pKeyboard->IsTriggered(k); }

}  // namespace key
