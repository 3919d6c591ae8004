// A particle system of the current level reached by name; the placeholder
// system when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class ParticleSystem;

class QEL_API ParticleSystemPTR : public NamedHandle<ParticleSystem, ParticleSystemPTR> {
public:
    using NamedHandle::NamedHandle;
    ParticleSystemPTR& operator=(ParticleSystem* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A ParticleSystem(0, -1, -1): no particles, no functions; calls through it are harmless.
    static ParticleSystem* dummyParticleSystemPTR;
    static ParticleSystem* Placeholder() { return dummyParticleSystemPTR; }
};
