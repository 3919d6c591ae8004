#include "platform/AudioBuffer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/AudioDevice.h"
#include "platform/AudioMixerInternal.h"

namespace qel {

namespace {

constexpr std::uint32_t MaxRate = 192000;

// All sound buffers alive at once hold at most this much; a request beyond it
// is refused as a sound card out of memory refuses it, and the sound stays
// silent. Far more than a game's sounds take, it keeps a save or level file
// that names a long sound thousands of times from taking all the memory.
constexpr std::uint64_t MaxLiveBytes = std::uint64_t(128) << 20;
std::atomic<std::uint64_t> liveBytes{0};

using Hold = std::lock_guard<std::recursive_mutex>;

void ApplyGains(audio::Voice& v) {
    const float volume = audio::GainOf(v.volume);
    v.gainLeft = volume * (v.pan > 0 ? audio::GainOf(-v.pan) : 1.0f);
    v.gainRight = volume * (v.pan < 0 ? audio::GainOf(v.pan) : 1.0f);
    // A voice not heard yet starts at its new gains; a playing one ramps to them.
    if (v.playing && !v.unheard) return;
    v.heardLeft = v.gainLeft;
    v.heardRight = v.gainRight;
}

}  // namespace

bool AudioBuffer::IsPlayable(const PcmFormat& f) {
    if (f.formatTag != 1) return false;
    if (f.channels != 1 && f.channels != 2) return false;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
    if (f.samplesPerSecond == 0 || f.samplesPerSecond > MaxRate) return false;
    if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return false;
    return f.avgBytesPerSecond == std::uint32_t(f.blockAlign) * f.samplesPerSecond;
}

AudioBuffer::AudioBuffer() : voice(std::make_unique<audio::Voice>()) {}

std::unique_ptr<AudioBuffer> AudioBuffer::Create(const PcmFormat& format, std::uint32_t bytes) {
    if (!IsAudioDeviceOpen() || !IsPlayable(format) || bytes == 0) return nullptr;
    if (liveBytes.fetch_add(bytes) + bytes > MaxLiveBytes) {
        liveBytes.fetch_sub(bytes);
        return nullptr;
    }
    std::unique_ptr<AudioBuffer> buffer(new AudioBuffer());
    audio::Voice& v = *buffer->voice;
    v.format = format;
    v.bytes.assign(bytes, format.bitsPerSample == 8 ? 0x80 : 0);
    v.frames = bytes / format.blockAlign;
    audio::AddVoice(&v);
    return buffer;
}

AudioBuffer::~AudioBuffer() {
    audio::RemoveVoice(voice.get());
    liveBytes.fetch_sub(voice->bytes.size());
}

std::uint32_t AudioBuffer::Size() const { return std::uint32_t(voice->bytes.size()); }

const PcmFormat& AudioBuffer::Format() const { return voice->format; }

std::uint32_t AudioBuffer::Status() const {
    Hold hold(audio::MixerLock());
    std::uint32_t status = 0;
    if (voice->playing) status |= StatusPlaying;
    if (voice->playing && voice->looping) status |= StatusLooping;
    if (voice->lost) status |= StatusLost;
    return status;
}

AudioResult AudioBuffer::Play(bool looping) {
    Hold hold(audio::MixerLock());
    if (voice->lost) return AudioResult::BufferLost;
    voice->looping = looping;
    if (!voice->playing && voice->frames > 0) {
        voice->heardLeft = voice->gainLeft;
        voice->heardRight = voice->gainRight;
        voice->fadeIn = 1.0f;
        voice->unheard = false;
        // Resumed mid-sound, it fades in rather than starting with a click.
        if (voice->position != 0) audio::FadeInFromHere(*voice);
        voice->unheard = true;
    }
    voice->playing = voice->frames > 0;
    return AudioResult::Ok;
}

void AudioBuffer::Stop() {
    Hold hold(audio::MixerLock());
    audio::FadeOutTail(*voice);
    voice->playing = false;
}

std::uint32_t AudioBuffer::PlayCursor() const {
    Hold hold(audio::MixerLock());
    return std::uint32_t(voice->position >> 32) * voice->format.blockAlign;
}

void AudioBuffer::SetPlayCursor(std::uint32_t offset) {
    Hold hold(audio::MixerLock());
    std::uint32_t frame = offset / voice->format.blockAlign;
    if (frame >= voice->frames) frame = 0;
    const std::uint64_t position = std::uint64_t(frame) << 32;
    // A jump while playing fades what was playing out and the new place in.
    if (voice->playing && position != voice->position) {
        audio::FadeOutTail(*voice);
        audio::FadeInFromHere(*voice);
    }
    voice->position = position;
}

void AudioBuffer::SetVolume(std::int32_t hundredthsOfDecibel) {
    Hold hold(audio::MixerLock());
    voice->volume = hundredthsOfDecibel;
    ApplyGains(*voice);
}

void AudioBuffer::SetPan(std::int32_t pan) {
    Hold hold(audio::MixerLock());
    voice->pan = pan;
    ApplyGains(*voice);
}

AudioResult AudioBuffer::Write(std::uint32_t offset, const void* data, std::uint32_t bytes) {
    Hold hold(audio::MixerLock());
    if (voice->lost) return AudioResult::BufferLost;
    if (offset >= voice->bytes.size()) return bytes == 0 ? AudioResult::Ok : AudioResult::Failed;
    const std::size_t n = std::min<std::size_t>(bytes, voice->bytes.size() - offset);
    if (n > 0) std::memcpy(voice->bytes.data() + offset, data, n);
    return AudioResult::Ok;
}

void AudioBuffer::Read(std::uint32_t offset, void* data, std::uint32_t bytes) const {
    Hold hold(audio::MixerLock());
    if (offset >= voice->bytes.size()) return;
    const std::size_t n = std::min<std::size_t>(bytes, voice->bytes.size() - offset);
    if (n > 0) std::memcpy(data, voice->bytes.data() + offset, n);
}

AudioResult AudioBuffer::Restore() {
    Hold hold(audio::MixerLock());
    voice->lost = false;
    return AudioResult::Ok;
}

void AudioBuffer::Lose() {
    Hold hold(audio::MixerLock());
    audio::FadeOutTail(*voice);
    voice->lost = true;
    voice->playing = false;
    std::fill(voice->bytes.begin(), voice->bytes.end(), std::uint8_t(0x5A));
}

}  // namespace qel
