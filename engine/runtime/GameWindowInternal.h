// The game window: its size from the display mode, its creation for a window,
// full screen or a screen saver, and the window procedure, the one place where
// the game is suspended and resumed for focus changes.
#pragma once
#include <cstdint>
#include "platform/MessageQueue.h"
#include "platform/Resources.h"

// windowWidth and windowHeight: the display size plus the frame (none here).
void ComputeWindowSize();
// Makes, places and shows the game window (_Ghwnd); false when none was made.
bool CreateGameWindow(HINSTANCE instance, int showCommand);
std::int64_t WindowProc(const qel::Message& message);
