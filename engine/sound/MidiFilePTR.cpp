#include "sound/MidiFilePTR.h"

#include "sound/MidiFile.h"

// Never destroyed: handles may be used by static objects until the very end.
MidiFile* MidiFilePTR::dummyMidiFilePtr = new MidiFile();

static_assert(sizeof(MidiFilePTR) == sizeof(void*));
