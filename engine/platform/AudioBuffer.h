// A sound buffer of the audio device: PCM bytes in their own format, a play
// cursor, looping, volume and pan. Its bytes are written in place while it
// plays, so a streamed sound can refill the half that has finished.
#pragma once
#include <cstdint>
#include <memory>
#include "QelExport.h"

namespace qel {

struct PcmFormat {
    std::uint16_t formatTag = 0;  // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t avgBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

enum class AudioResult { Ok, BufferLost, Failed };

namespace audio {
struct Voice;
}

class QEL_API AudioBuffer {
public:
    static constexpr std::uint32_t StatusPlaying = 1;
    static constexpr std::uint32_t StatusLost = 2;
    static constexpr std::uint32_t StatusLooping = 4;
    // Volumes are hundredths of a decibel of attenuation; pans attenuate one side.
    static constexpr std::int32_t VolumeMin = -10000;
    static constexpr std::int32_t PanLeft = -10000;
    static constexpr std::int32_t PanRight = 10000;

    // PCM of 8 or 16 bits, 1 or 2 channels, a rate up to 192000 Hz, and block
    // alignment and byte rate that agree with them.
    static bool IsPlayable(const PcmFormat& format);
    // A silent buffer of that many bytes; null when the device is not open,
    // the format is not playable or the size is 0.
    static std::unique_ptr<AudioBuffer> Create(const PcmFormat& format, std::uint32_t bytes);
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    std::uint32_t Size() const;
    const PcmFormat& Format() const;
    std::uint32_t Status() const;
    // Starts from the play cursor; a lost buffer refuses.
    AudioResult Play(bool looping);
    // The cursor stays where it is.
    void Stop();
    // Byte offset of the next frame to be heard.
    std::uint32_t PlayCursor() const;
    // Rounded down to a whole frame; beyond the end gives 0.
    void SetPlayCursor(std::uint32_t offset);
    void SetVolume(std::int32_t hundredthsOfDecibel);
    void SetPan(std::int32_t pan);
    // Copies bytes in at offset (cut at the end); a lost buffer refuses.
    AudioResult Write(std::uint32_t offset, const void* data, std::uint32_t bytes);
    // Copies bytes out (cut at the end).
    void Read(std::uint32_t offset, void* data, std::uint32_t bytes) const;
    AudioResult Restore();

    // Test hook: the device takes the buffer's memory, as when another
    // program claims the sound card; it stops and its bytes are garbage.
    void Lose();

private:
    AudioBuffer();
    std::unique_ptr<audio::Voice> voice;
};

}  // namespace qel
