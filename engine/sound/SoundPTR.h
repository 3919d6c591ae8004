// A sound effect of the current level reached by name; a silent placeholder when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class Sound;

class QEL_API SoundPTR : public NamedHandle<Sound, SoundPTR> {
public:
    using NamedHandle::NamedHandle;
    SoundPTR& operator=(Sound* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A default-constructed object with nothing to play: calls through it are harmless.
    static Sound* dummySoundPtr;
    static Sound* Placeholder() { return dummySoundPtr; }
};
