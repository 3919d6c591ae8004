#include "sound/SoundPTR.h"

#include "sound/Sound.h"

// Never destroyed: handles may be used by static objects until the very end.
Sound* SoundPTR::dummySoundPtr = new Sound();

static_assert(sizeof(SoundPTR) == sizeof(void*));
