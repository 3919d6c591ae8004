// The engine's sound device, made once for the game window: it opens the
// audio output that every sound and MIDI file plays through, feeds the
// streamed sounds each frame and silences the level while the game is away.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "platform/Handles.h"

class QEL_API SoundCard {
public:
    // Only the first card opens the device; later ones keep their numbers only.
    SoundCard(int samplesPerSecond, int bitsPerSample, int channels, HWND window);
    ~SoundCard();
    SoundCard(const SoundCard&) = delete;
    SoundCard& operator=(const SoundCard&) = delete;

    // The one card, made on first use as (44100, 16, 2, the game window).
    static SoundCard& Instance();

    // Refills the streamed sounds of the current level, in list order.
    static void UpdateBuffers();
    // false: pauses and marks what plays; true: restores lost buffers and
    // resumes only what it marked.
    static void ManageBuffers(bool play);
    // True while this card holds the open device.
    bool DirectSound() const { return holdsDevice; }
    // A readable report of a device result on the console; 0 prints nothing.
    static void DSError(const char* file, int line, long result);

    int Channels() const { return channels; }
    int BitsPerSample() const { return bitsPerSample; }
    int SamplesPerSecond() const { return samplesPerSecond; }

    static bool m_Created;
    static HWND m_GameWindow;

private:
    bool holdsDevice = false;
    std::int32_t channels;
    std::int32_t bitsPerSample;
    std::int32_t samplesPerSecond;
};
