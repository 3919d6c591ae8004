// Renders songs to sound through FluidSynth and the General MIDI soundfont
// that the engine plays MIDI music with, for the music files the game streams.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "Song.h"

namespace music {

class Renderer {
public:
    // `sampleRate` of the rendered sound; Ready() is false without the soundfont.
    explicit Renderer(int sampleRate);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    bool Ready() const;
    const std::string& SoundFont() const;

    // The song as 16-bit mono samples, peaks at about -4.4 dB, its last notes
    // left to ring for a moment and faded out.
    std::vector<std::int16_t> Render(const Song& song);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace music
