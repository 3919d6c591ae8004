// Reads the first picture of a GIF (87a or 89a) the way a still bitmap of it
// shows: that image composed on the file's logical screen.
#pragma once
#include <cstddef>
#include <cstdint>

struct SDL_Surface;

namespace qel {

// True when the bytes start as a GIF does (whichever version): such bytes are
// only ever decoded here.
bool IsGif(const std::uint8_t* data, std::size_t size);

// A new ARGB8888 surface of the logical screen's size: the first image's
// pixels at its place, everything else (and its transparent colour)
// transparent black. Null when the bytes are no sound GIF 87a or 89a, a size
// is beyond the image limits, or the image's data ends before its last pixel.
SDL_Surface* DecodeGif(const std::uint8_t* data, std::size_t size);

}  // namespace qel
