// For the platform layer's own modules only (input, dialogs): system start-up
// and the event pump. The pump offers every system event to the input devices
// first (RouteInputEvent); what they leave becomes window messages.
// Never included outside engine/platform.
#pragma once

namespace qel {

// Starts the system's video and event services once; false when unavailable.
bool EnsureVideo();
// True when the video driver can show windows to a person (not a dummy one).
bool HasRealDisplay();

// Turns every pending system event into input or window messages.
void PumpSystemEvents();

}  // namespace qel
