// The per-frame step: advances the game by one frame, calling every subsystem
// in its fixed order, and presents the frame.
#pragma once

void FrameStep();
