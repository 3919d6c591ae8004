// Every test program runs headless unless its environment says otherwise:
// no display, no sound card.
#include <cstdlib>

namespace {

const bool headless = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

}  // namespace
