// What the mixer shares with the buffers and the MIDI players of the platform
// layer. Every field of a voice or a source is read and written under MixerLock.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>
#include "platform/AudioBuffer.h"

namespace qel::audio {

struct Voice {
    PcmFormat format;
    std::vector<std::uint8_t> bytes;
    std::uint32_t frames = 0;
    // Position in frames, 32.32 fixed point; step per device frame likewise.
    std::uint64_t position = 0;
    std::uint64_t step = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    // The gains volume and pan ask for, and those heard now, which follow them
    // within a ramp so that a change of volume makes no click.
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    float heardLeft = 1.0f;
    float heardRight = 1.0f;
    // Rises from 0 to 1 over a ramp when the voice resumes mid-sound.
    float fadeIn = 1.0f;
    // Started but not mixed yet: nothing of it was heard, so changes need no ramp.
    bool unheard = false;
    std::int32_t volume = 0;
    std::int32_t pan = 0;
};

// Anything else the mixer plays (MIDI players): adds its stereo output to mix.
class Source {
public:
    virtual ~Source() = default;
    virtual void Render(float* left, float* right, std::size_t frames) = 0;
};

std::recursive_mutex& MixerLock();
void AddVoice(Voice* voice);
void RemoveVoice(Voice* voice);
void AddSource(Source* source);
void RemoveSource(Source* source);
// Linear gain of an attenuation in hundredths of a decibel (-10000 and below: 0).
float GainOf(std::int32_t hundredthsOfDecibel);

// A playing voice that stops, jumps or goes away mid-sound is not cut: what it
// would have played next is faded out over a ramp (a short tail), and a voice
// that starts again mid-sound fades in. Call with the voice still as it was.
void FadeOutTail(const Voice& voice);
void FadeInFromHere(Voice& voice);

}  // namespace qel::audio
