// A program's icon or cursor resource, read when the window is made.
#include <SDL.h>

#include "FuzzSupport.h"
#include "platform/IconDecoder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const qel::DecodedIcon icon = qel::DecodeIcon(data, size);
    SDL_FreeSurface(icon.image);
    return 0;
}
