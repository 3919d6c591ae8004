// The event pump's side of the input devices: SDL events in, device records out.
#pragma once

union SDL_Event;

namespace qel {

// Offers one SDL event to the input devices. Keyboard and mouse events go into
// the buffers of the acquired devices (key auto-repeat is dropped) and answer
// true: the pump has nothing more to do with them. Window focus changes are
// noted and answer false, so the pump still turns them into window messages.
bool RouteInputEvent(const SDL_Event& event);

}  // namespace qel
