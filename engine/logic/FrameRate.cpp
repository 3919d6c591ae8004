#include "logic/FrameRateInternal.h"

namespace {
FrameRateSource frameRateSource = nullptr;
}

void SetFrameRateSource(FrameRateSource source) { frameRateSource = source; }

unsigned int CurrentFrameRate() { return frameRateSource ? frameRateSource() : DefaultFrameRate; }
