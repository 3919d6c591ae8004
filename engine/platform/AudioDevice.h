// The sound output: one audio device whose mixer plays the engine's sound
// buffers and MIDI players, converting their formats to the device's.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"

namespace qel {

// Opens and closes the default output device: false when there is none.
QEL_API bool ProbeAudioDevice();

// Opens the output device for the process (later calls keep the first
// device); false when it cannot be opened. Bits are 8 or 16, channels 1 or 2.
QEL_API bool OpenAudioDevice(int samplesPerSecond, int bitsPerSample, int channels);
QEL_API void CloseAudioDevice();
QEL_API bool IsAudioDeviceOpen();
QEL_API int AudioDeviceRate();
QEL_API int AudioDeviceChannels();

// While held (the calls nest), the device plays silence and every sound
// buffer and MIDI player keeps its place, as while the game has lost the
// focus: a modal dialog holds the sound for as long as it is open.
QEL_API void HoldAudio();
QEL_API void ReleaseAudio();

// Holds the sound for its lifetime.
class AudioHold {
public:
    AudioHold() { HoldAudio(); }
    ~AudioHold() { ReleaseAudio(); }
    AudioHold(const AudioHold&) = delete;
    AudioHold& operator=(const AudioHold&) = delete;
};

}  // namespace qel
