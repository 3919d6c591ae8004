#include "sound/StreamedSoundPTR.h"

#include "sound/StreamedSound.h"

// Never destroyed: handles may be used by static objects until the very end.
StreamedSound* StreamedSoundPTR::dummyStreamedSoundPtr = new StreamedSound();

static_assert(sizeof(StreamedSoundPTR) == sizeof(void*));
