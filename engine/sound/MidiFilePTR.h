// A MIDI file of the current level reached by name; a silent placeholder when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class MidiFile;

class QEL_API MidiFilePTR : public NamedHandle<MidiFile, MidiFilePTR> {
public:
    using NamedHandle::NamedHandle;
    MidiFilePTR& operator=(MidiFile* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A default-constructed object with nothing to play: calls through it are harmless.
    static MidiFile* dummyMidiFilePtr;
    static MidiFile* Placeholder() { return dummyMidiFilePtr; }
};
