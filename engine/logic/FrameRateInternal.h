// Where timers read the current level's frame rate. The runtime registers a
// source once the level object exists; until then the engine's default holds.
#pragma once

#include "QelExport.h"

using FrameRateSource = unsigned int (*)();

// The frame rate used when no source is registered.
constexpr unsigned int DefaultFrameRate = 60;

// Registers the function that answers the current level's frames per second
// (null restores the default).
void SetFrameRateSource(FrameRateSource source);
// Frames per second of the current level.
unsigned int CurrentFrameRate();
