#include "Music.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace music {
namespace {

// Debian's fluid-soundfont-gm, and the name of whichever General MIDI
// soundfont the system prefers.
constexpr const char* SoundFonts[] = {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};

constexpr double RingSeconds = 1.5;  // after the last bar: reverb and releases
constexpr double FadeSeconds = 1.0;
// About -4.4 dB: a jump or a shot at the music's loudest moment still fits.
constexpr double Peak = 0.6;

struct Event {
    std::int64_t sample;
    bool on;
    int channel, key, velocity;
};

std::vector<Event> EventsOf(const Song& song, int sampleRate) {
    std::vector<Event> events;
    events.reserve(song.notes.size() * 2);
    for (const Note& n : song.notes) {
        const auto at = [sampleRate](double seconds) { return std::int64_t(std::llround(seconds * sampleRate)); };
        events.push_back({at(n.start), true, n.channel, n.key, n.velocity});
        events.push_back({std::max(at(n.start) + 1, at(n.start + n.length)), false, n.channel, n.key, 0});
    }
    // At one instant the notes that end go first, so a repeated key sounds again.
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.sample != b.sample ? a.sample < b.sample : (!a.on && b.on);
    });
    return events;
}

}  // namespace

struct Renderer::Impl {
    int sampleRate = 0;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    std::string soundFont;
    bool ready = false;

    ~Impl() {
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
    }

    // Renders `count` samples, mixed to mono, onto `out`.
    void Run(std::int64_t count, std::vector<float>& out) {
        constexpr int Block = 512;
        float left[Block], right[Block];
        while (count > 0) {
            const int n = int(std::min<std::int64_t>(count, Block));
            fluid_synth_write_float(synth, n, left, 0, 1, right, 0, 1);
            for (int i = 0; i < n; ++i) out.push_back(0.5f * (left[i] + right[i]));
            count -= n;
        }
    }
};

Renderer::Renderer(int sampleRate) : impl_(std::make_unique<Impl>()) {
    Impl& r = *impl_;
    r.sampleRate = sampleRate;
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
    r.settings = new_fluid_settings();
    if (!r.settings) return;
    fluid_settings_setnum(r.settings, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(r.settings, "synth.gain", 0.4);
    fluid_settings_setint(r.settings, "synth.reverb.active", 1);
    fluid_settings_setint(r.settings, "synth.chorus.active", 1);
    // Only the samples of the instruments played are read from the soundfont.
    fluid_settings_setint(r.settings, "synth.dynamic-sample-loading", 1);
    r.synth = new_fluid_synth(r.settings);
    if (!r.synth) return;
    std::error_code error;
    for (const char* path : SoundFonts)
        if (std::filesystem::exists(path, error) && fluid_synth_sfload(r.synth, path, 1) != FLUID_FAILED) {
            r.soundFont = path;
            r.ready = true;
            break;
        }
}

Renderer::~Renderer() = default;

bool Renderer::Ready() const { return impl_->ready; }
const std::string& Renderer::SoundFont() const { return impl_->soundFont; }

std::vector<std::int16_t> Renderer::Render(const Song& song) {
    Impl& r = *impl_;
    if (!r.ready) return {};
    fluid_synth_system_reset(r.synth);
    // The reset leaves the reverb ringing: the last song's tail dies away unheard.
    std::vector<float> tail;
    r.Run(std::int64_t(RingSeconds * 2 * r.sampleRate), tail);
    for (int channel = 0; channel < 16; ++channel)
        if (channel != DrumChannel) fluid_synth_program_change(r.synth, channel, song.programs[std::size_t(channel)]);
    std::vector<float> mixed;
    const std::int64_t total = std::int64_t(std::llround((song.seconds + RingSeconds) * r.sampleRate));
    mixed.reserve(std::size_t(total));
    std::int64_t now = 0;
    for (const Event& e : EventsOf(song, r.sampleRate)) {
        if (e.sample > now) r.Run(std::min(e.sample, total) - now, mixed), now = std::min(e.sample, total);
        if (e.on)
            fluid_synth_noteon(r.synth, e.channel, e.key, e.velocity);
        else
            fluid_synth_noteoff(r.synth, e.channel, e.key);
    }
    r.Run(total - now, mixed);
    fluid_synth_all_notes_off(r.synth, -1);

    float peak = 0;
    for (float v : mixed) peak = std::max(peak, std::fabs(v));
    const double gain = peak > 0 ? Peak / peak : 0;
    const std::size_t fade = std::size_t(FadeSeconds * r.sampleRate);
    std::vector<std::int16_t> samples(mixed.size());
    for (std::size_t i = 0; i < mixed.size(); ++i) {
        const std::size_t left = mixed.size() - i;
        const double fadeOut = left < fade ? double(left) / double(fade) : 1.0;
        samples[i] = std::int16_t(std::lround(std::clamp(mixed[i] * gain * fadeOut, -1.0, 1.0) * 32767));
    }
    return samples;
}

}  // namespace music
