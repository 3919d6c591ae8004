#include "world/ParticleSystemPTR.h"

#include "world/ParticleSystem.h"

// Never destroyed: handles may be used by static objects until the very end.
ParticleSystem* ParticleSystemPTR::dummyParticleSystemPTR = new ParticleSystem(0, -1, -1);

static_assert(sizeof(ParticleSystemPTR) == sizeof(void*));
