#include "platform/AudioDevice.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/AudioMixerInternal.h"
#include "platform/QuitSignalsInternal.h"
#include "testing/TestHooks.h"

namespace qel {

namespace audio {

namespace {

struct Mixer {
    std::recursive_mutex lock;
    std::vector<Voice*> voices;
    std::vector<Source*> sources;
    std::vector<float> left;
    std::vector<float> right;
    SDL_AudioDeviceID device = 0;
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    std::atomic<bool> manual{false};
    // Faded tails of voices that stopped mid-sound, still to be heard, from
    // the next frame mixed on.
    std::vector<float> tailLeft;
    std::vector<float> tailRight;
    // Modal dialogs holding the sound: nothing advances meanwhile.
    int holds = 0;
};

// About 6 ms at 44100 Hz: short enough not to be heard as a fade, long enough
// that a stop or a change of volume makes no click.
constexpr std::uint32_t RampFrames = 256;
constexpr float RampStep = 1.0f / float(RampFrames);

float Toward(float heard, float wanted) {
    if (heard < wanted) return std::min(wanted, heard + RampStep);
    return std::max(wanted, heard - RampStep);
}

Mixer& TheMixer() {
    static Mixer mixer;
    return mixer;
}

float SampleAt(const Voice& v, std::uint32_t frame, int channel) {
    std::size_t offset = std::size_t(frame) * v.format.blockAlign;
    if (v.format.bitsPerSample == 8) return (float(v.bytes[offset + channel]) - 128.0f) * 256.0f;
    offset += std::size_t(channel) * 2;
    return float(std::int16_t(std::uint16_t(v.bytes[offset] | (v.bytes[offset + 1] << 8))));
}

// The voice's sound at a position (32.32 frames), between its two frames.
void SoundAt(const Voice& v, std::uint64_t position, float& l, float& r) {
    const std::uint32_t frame = std::uint32_t(position >> 32);
    const float fraction = float(position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    std::uint32_t next = frame + 1;
    if (next >= v.frames) next = v.looping ? 0 : frame;
    l = SampleAt(v, frame, 0);
    if (fraction != 0.0f) l += (SampleAt(v, next, 0) - l) * fraction;
    r = l;
    if (v.format.channels == 2) {
        r = SampleAt(v, frame, 1);
        if (fraction != 0.0f) r += (SampleAt(v, next, 1) - r) * fraction;
    }
}

// Moves a position on by one device frame; false at the end of a one-shot voice.
bool Advance(const Voice& v, std::uint64_t& position) {
    const std::uint64_t end = std::uint64_t(v.frames) << 32;
    position += v.step;
    if (position < end) return true;
    if (!v.looping) return false;
    position %= end;
    return true;
}

// Adds the voice to the mix, advancing its cursor; a one-shot voice that
// reaches its end stops and rewinds.
void MixVoice(Voice& v, float* left, float* right, std::size_t frames) {
    v.unheard = false;
    for (std::size_t i = 0; i < frames; ++i) {
        float l = 0, r = 0;
        SoundAt(v, v.position, l, r);
        v.heardLeft = Toward(v.heardLeft, v.gainLeft);
        v.heardRight = Toward(v.heardRight, v.gainRight);
        if (v.fadeIn < 1.0f) v.fadeIn = std::min(1.0f, v.fadeIn + RampStep);
        left[i] += l * v.heardLeft * v.fadeIn;
        right[i] += r * v.heardRight * v.fadeIn;
        if (!Advance(v, v.position)) {
            v.playing = false;
            v.position = 0;
            return;
        }
    }
}

// Adds the waiting tails to the mix and forgets what was heard of them.
void MixTails(Mixer& m, float* left, float* right, std::size_t frames) {
    const std::size_t n = std::min(frames, m.tailLeft.size());
    for (std::size_t i = 0; i < n; ++i) {
        left[i] += m.tailLeft[i];
        right[i] += m.tailRight[i];
    }
    m.tailLeft.erase(m.tailLeft.begin(), m.tailLeft.begin() + std::ptrdiff_t(n));
    m.tailRight.erase(m.tailRight.begin(), m.tailRight.begin() + std::ptrdiff_t(n));
}

std::int16_t ToSample(float v) { return std::int16_t(std::clamp(std::lround(v), -32768L, 32767L)); }

void Mix(std::int16_t* out, std::size_t frames) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.left.assign(frames, 0.0f);
    m.right.assign(frames, 0.0f);
    MixTails(m, m.left.data(), m.right.data(), frames);
    if (m.holds == 0) {
        for (Voice* v : m.voices)
            if (v->playing && !v->lost && v->frames > 0) MixVoice(*v, m.left.data(), m.right.data(), frames);
        for (Source* s : m.sources) s->Render(m.left.data(), m.right.data(), frames);
    }
    for (std::size_t i = 0; i < frames; ++i) {
        if (m.channels == 1) {
            out[i] = ToSample((m.left[i] + m.right[i]) * 0.5f);
        } else {
            out[2 * i] = ToSample(m.left[i]);
            out[2 * i + 1] = ToSample(m.right[i]);
        }
    }
}

void DeviceCallback(void*, Uint8* stream, int length) {
    Mixer& m = TheMixer();
    const int frameBytes = (m.bits / 8) * m.channels;
    const std::size_t frames = std::size_t(length / frameBytes);
    if (m.manual) {
        std::memset(stream, m.bits == 8 ? 0x80 : 0, std::size_t(length));
        return;
    }
    if (m.bits == 16) {
        Mix(reinterpret_cast<std::int16_t*>(stream), frames);
        return;
    }
    std::vector<std::int16_t> wide(frames * std::size_t(m.channels));
    Mix(wide.data(), frames);
    for (std::size_t i = 0; i < wide.size(); ++i) stream[i] = Uint8((wide[i] >> 8) + 128);
}

}  // namespace

std::recursive_mutex& MixerLock() { return TheMixer().lock; }

void AddVoice(Voice* voice) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    voice->step = (std::uint64_t(voice->format.samplesPerSecond) << 32) / std::uint64_t(m.rate);
    m.voices.push_back(voice);
}

void RemoveVoice(Voice* voice) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    FadeOutTail(*voice);
    m.voices.erase(std::remove(m.voices.begin(), m.voices.end(), voice), m.voices.end());
}

void AddSource(Source* source) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.sources.push_back(source);
}

void RemoveSource(Source* source) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.sources.erase(std::remove(m.sources.begin(), m.sources.end(), source), m.sources.end());
}

void FadeOutTail(const Voice& v) {
    Mixer& m = TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!v.playing || v.unheard || v.lost || v.frames == 0 || m.holds > 0) return;
    if (m.tailLeft.size() < RampFrames) {
        m.tailLeft.resize(RampFrames, 0.0f);
        m.tailRight.resize(RampFrames, 0.0f);
    }
    std::uint64_t position = v.position;
    float heardLeft = v.heardLeft, heardRight = v.heardRight;
    for (std::uint32_t i = 0; i < RampFrames; ++i) {
        float l = 0, r = 0;
        SoundAt(v, position, l, r);
        const float fade = v.fadeIn * float(RampFrames - 1 - i) * RampStep;
        heardLeft = Toward(heardLeft, v.gainLeft);
        heardRight = Toward(heardRight, v.gainRight);
        m.tailLeft[i] += l * heardLeft * fade;
        m.tailRight[i] += r * heardRight * fade;
        if (!Advance(v, position)) break;
    }
}

void FadeInFromHere(Voice& v) {
    if (!v.unheard) v.fadeIn = 0.0f;
}

float GainOf(std::int32_t hundredthsOfDecibel) {
    if (hundredthsOfDecibel <= AudioBuffer::VolumeMin) return 0.0f;
    return float(std::pow(10.0, double(hundredthsOfDecibel) / 2000.0));
}

}  // namespace audio

bool ProbeAudioDevice() {
    if (IsAudioDeviceOpen()) return true;
    InstallQuitSignals();  // SDL's audio starts its event services too
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device != 0) SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device != 0;
}

bool OpenAudioDevice(int samplesPerSecond, int bitsPerSample, int channels) {
    audio::Mixer& m = audio::TheMixer();
    if (m.device != 0) return true;
    InstallQuitSignals();  // SDL's audio starts its event services too
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    {
        std::lock_guard<std::recursive_mutex> hold(m.lock);
        m.rate = samplesPerSecond > 0 ? samplesPerSecond : 44100;
        m.bits = bitsPerSample == 8 ? 8 : 16;
        m.channels = channels == 1 ? 1 : 2;
    }
    // Not under the mixer's lock: SDL takes its device lock here, and the
    // device thread holds that lock while it calls the mixer, which takes ours.
    SDL_AudioSpec want{};
    want.freq = m.rate;
    want.format = m.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = Uint8(m.channels);
    want.samples = 1024;
    want.callback = audio::DeviceCallback;
    // SDL converts our format to the hardware's when they differ.
    m.device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (m.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(m.device, 0);
    return true;
}

void CloseAudioDevice() {
    audio::Mixer& m = audio::TheMixer();
    if (m.device == 0) return;
    SDL_CloseAudioDevice(m.device);  // waits for a running callback
    m.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool IsAudioDeviceOpen() { return audio::TheMixer().device != 0; }
int AudioDeviceRate() { return audio::TheMixer().rate; }
int AudioDeviceChannels() { return audio::TheMixer().channels; }

void HoldAudio() {
    audio::Mixer& m = audio::TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (m.holds == 0)
        for (audio::Voice* v : m.voices) audio::FadeOutTail(*v);
    ++m.holds;
}

void ReleaseAudio() {
    audio::Mixer& m = audio::TheMixer();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (m.holds == 0 || --m.holds > 0) return;
    for (audio::Voice* v : m.voices)
        if (v->playing) audio::FadeInFromHere(*v);
}

void UseManualMixing(bool on) { audio::TheMixer().manual = on; }

void RenderAudio(std::int16_t* out, std::size_t frames) { audio::Mix(out, frames); }

}  // namespace qel
