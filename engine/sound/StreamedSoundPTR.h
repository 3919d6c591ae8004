// A streamed sound of the current level reached by name; a silent placeholder when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class StreamedSound;

class QEL_API StreamedSoundPTR : public NamedHandle<StreamedSound, StreamedSoundPTR> {
public:
    using NamedHandle::NamedHandle;
    StreamedSoundPTR& operator=(StreamedSound* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A default-constructed object with nothing to play: calls through it are harmless.
    static StreamedSound* dummyStreamedSoundPtr;
    static StreamedSound* Placeholder() { return dummyStreamedSoundPtr; }
};
