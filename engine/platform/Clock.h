// The millisecond clock (a wrapping uint32 like timeGetTime) and Sleep, with a
// virtual clock for tests so that frame pacing never waits for real time.
#pragma once
#include <cstdint>
#include "QelExport.h"

namespace qel {

// Milliseconds since an arbitrary start; wraps after 2^32 ms. 1 ms resolution.
QEL_API std::uint32_t TimeGetTime();

// Blocks the calling thread for ms milliseconds (virtual clock: advances it
// instead). On the interface thread the wait ends early once SIGTERM or SIGINT
// asked the game to end.
QEL_API void Sleep(std::uint32_t ms);

// Blocks the calling thread until TimeGetTime() reaches `time` (taken as at
// most 2^31 ms ahead), waking once, just after that tick (virtual clock:
// moves the time on to it).
QEL_API void SleepUntil(std::uint32_t time);

QEL_API void UseRealClock();
QEL_API bool IsVirtualClock();
QEL_API void AdvanceVirtualClock(std::uint32_t ms);

}  // namespace qel
