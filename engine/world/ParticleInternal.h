// The particles' sweep along a move: the engine's own.
#pragma once
#include <cstdint>
#include "world/Particle.h"

// The samples s = k x dt (k = 0, 1, ...) that CollisionWithMap takes along a
// move of `steps` pixels while s < 1 + dt, with dt = 1 / steps (1 for no move):
// at most SweepSchedule::kMaxSamples, so a huge displacement cannot stall a
// frame; none when dt is not a positive number.
std::int32_t ParticleSweepSamples(float steps);
