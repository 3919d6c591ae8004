// The main loop: one pass per frame switches levels when a change is pending,
// handles one window message, runs the frame step and paces the frame; it ends
// when WM_QUIT arrives.
#pragma once
#include <cstdint>

// Runs until WM_QUIT, then shuts the engine down; returns the quit code.
int RunMainLoop();
// One pass; false (with the quit code) once WM_QUIT was removed.
bool MainLoopPass(int& quitCode);
// Leaves gNode (emptied) and enters the requested level.
void LevelSwitch();
// A screen transition is running: a pending switch waits for it.
bool TransitionRunning();
// Forgets the switches of an earlier run (the next one is the first again).
void ResetLevelSwitching();
