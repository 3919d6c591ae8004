// The keys the engine keeps for itself in every game (screenshot, full screen,
// pause, quit, save and load of games and replays, recording, the console) and
// the frame-rate text "FPS" that F11 shows and hides.
#pragma once
#include <cstdint>

class Variable;

// DirectInput scan codes of the system keys.
namespace systemkey {
constexpr std::uint8_t Escape = 0x01;
constexpr std::uint8_t F1 = 0x3B;
constexpr std::uint8_t F2 = 0x3C;
constexpr std::uint8_t F3 = 0x3D;
constexpr std::uint8_t F5 = 0x3F;
constexpr std::uint8_t F6 = 0x40;
constexpr std::uint8_t F7 = 0x41;
constexpr std::uint8_t F8 = 0x42;
constexpr std::uint8_t F9 = 0x43;
constexpr std::uint8_t F10 = 0x44;
constexpr std::uint8_t F11 = 0x57;
constexpr std::uint8_t F12 = 0x58;
constexpr std::uint8_t SysRq = 0xB7;
}  // namespace systemkey

// Once per frame, right after the keyboard and the mouse were read: acts on
// the first system key of this frame (a screen saver ends on any input).
void HandleSystemKeys();

// The level's "FPS" text: F11 shows or hides it; while shown it reads the
// measured frame rate, refreshed at most ten times a second.
void UpdateFpsDisplay(Variable& fps);
