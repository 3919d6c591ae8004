#include "platform/MidiPlayer.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/AudioDevice.h"
#include "platform/AudioMixerInternal.h"
#include "platform/SynthLibrary.h"

namespace qel {

namespace {

constexpr const char* GeneralMidiSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr const char* DefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
// Rendered in slices, so that a song that renders slowly is noticed within
// one slice and given up: one render may cost at most GiveUpFactor times as
// long as the sound it makes (and GiveUpAfter at least), or the song would
// starve the mixer and everything that waits for it. The cost is the mixing
// thread's own processor time, so a busy machine gives up nothing.
constexpr std::size_t RenderBlock = 512;
constexpr double GiveUpFactor = 4.0;
constexpr double GiveUpAfterSeconds = 0.2;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
constexpr std::int32_t MaxVolume = 2000;

// Each performance has a synthesizer of its own, which parses the soundfont
// and keeps its instrument tables (some 13 MB; the samples themselves are
// shared). At most this many live at once, as a sound card has so many
// voices: far more than a level plays, it keeps a save or level file that
// names thousands of MIDI files from taking all the time and memory. Music
// beyond it stays silent.
constexpr int MaxLivePerformances = 16;
std::atomic<int> livePerformances{0};

using Hold = std::lock_guard<std::recursive_mutex>;

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint16_t BigEndian16(const unsigned char* p) { return std::uint16_t((p[0] << 8) | p[1]); }

// A variable-length quantity of at most four bytes, ending before `end`.
bool ReadQuantity(const unsigned char* p, std::size_t end, std::size_t& at, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end) return false;
        const unsigned char b = p[at++];
        value = value << 7 | (b & 0x7Fu);
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

// Every event of a track lies within it: the synthesizer trusts the lengths
// of meta and system-exclusive events, and one claiming far more than the
// track holds stalls it.
bool TrackEventsFit(const unsigned char* p, std::size_t at, std::size_t end) {
    unsigned char running = 0;
    std::uint32_t value = 0;
    while (at < end) {
        if (!ReadQuantity(p, end, at, value) || at >= end) return false;
        unsigned char status = p[at];
        if (status & 0x80) {
            ++at;
            if (status < 0xF0) running = status;
        } else if (running != 0) {
            status = running;
        } else {
            return false;
        }
        std::size_t data = 0;
        if (status == 0xFF) {
            if (at >= end) return false;
            ++at;  // the meta event's type
        }
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            if (!ReadQuantity(p, end, at, value)) return false;
            data = value;
        } else if (status >= 0xF0) {
            return false;  // not an event of a file
        } else {
            data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        }
        if (data > end - at) return false;
        at += data;
    }
    return true;
}

}  // namespace

struct MidiPlayer::Performance : audio::Source {
    const SynthLibrary* fs = nullptr;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    std::vector<unsigned char> file;
    std::int32_t repeats = 0;
    // Passes still to come after the one playing. The sequencer plays one pass
    // at a time: a song of no length repeated by the synthesizer itself would
    // run every pass inside a single slice.
    std::int32_t repeatsLeft = 0;
    std::int32_t startPoint = 0;
    float gain = 1.0f;
    std::vector<float> left;
    std::vector<float> right;
    bool counted = false;

    ~Performance() override {
        if (player) fs->deletePlayer(player);
        if (synth) fs->deleteSynth(synth);
        if (settings) fs->deleteSettings(settings);
        if (counted) livePerformances.fetch_sub(1);
    }

    // False when as many performances as may live already do.
    bool Count() {
        if (livePerformances.fetch_add(1) >= MaxLivePerformances) {
            livePerformances.fetch_sub(1);
            return false;
        }
        counted = true;
        return true;
    }

    void ReleasePlayer() {
        fs->playerStop(player);
        fs->deletePlayer(player);
        player = nullptr;
    }

    void DropPlayer() {
        if (!player) return;
        ReleasePlayer();
        fs->synthAllSoundsOff(synth, -1);
    }

    // A sequencer for one pass from the tick; false when the file does not load.
    // The notes of a pass before still sound out.
    bool StartPass(std::int32_t tick) {
        if (player) ReleasePlayer();
        player = fs->newPlayer(synth);
        if (!player) return false;
        if (fs->playerAddMem(player, file.data(), file.size()) != FLUID_OK) {
            DropPlayer();
            return false;
        }
        if (tick > 0) fs->playerSeek(player, tick);
        fs->playerPlay(player);
        return true;
    }

    bool PassEnded() const { return player && fs->playerGetStatus(player) == FLUID_PLAYER_DONE; }

    // The file stays unplayable from here on: every new start would stall again.
    void GiveUp() {
        DropPlayer();
        file.clear();
        repeatsLeft = 0;
    }

    void Render(float* outLeft, float* outRight, std::size_t frames) override {
        left.resize(RenderBlock);
        right.resize(RenderBlock);
        const double start = ThreadSeconds();
        const double rate = double(std::max(AudioDeviceRate(), 1));
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(RenderBlock, frames - done);
            const double spent = ThreadSeconds() - start;
            if (player && spent > GiveUpAfterSeconds && spent > GiveUpFactor * double(done) / rate) GiveUp();
            if (PassEnded() && repeatsLeft > 0) {
                --repeatsLeft;
                StartPass(0);
            }
            fs->synthWriteFloat(synth, int(n), left.data(), 0, 1, right.data(), 0, 1);
            for (std::size_t i = 0; i < n; ++i) {
                outLeft[done + i] += left[i] * 32767.0f * gain;
                outRight[done + i] += right[i] * 32767.0f * gain;
            }
            done += n;
        }
    }
};

const char* MidiPlayer::SoundFontPath() {
    std::error_code error;
    return std::filesystem::exists(GeneralMidiSoundFont, error) ? GeneralMidiSoundFont : DefaultSoundFont;
}

bool MidiPlayer::IsStandardMidiFile(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (!p || size < 14 || std::string_view(reinterpret_cast<const char*>(p), 4) != "MThd") return false;
    const std::uint32_t headerLength = BigEndian32(p + 4);
    if (headerLength < 6 || headerLength > size - 8) return false;
    const std::uint16_t format = BigEndian16(p + 8);
    const std::uint16_t division = BigEndian16(p + 12);
    if (format > 2 || division == 0) return false;
    std::size_t at = 8 + std::size_t(headerLength);
    int tracks = 0;
    while (at < size) {
        if (size - at < 8) return false;
        const std::uint32_t length = BigEndian32(p + at + 4);
        if (length > size - at - 8) return false;
        if (std::string_view(reinterpret_cast<const char*>(p + at), 4) == "MTrk") {
            if (!TrackEventsFit(p, at + 8, at + 8 + std::size_t(length))) return false;
            ++tracks;
        }
        at += 8 + std::size_t(length);
    }
    return tracks > 0;
}

MidiPlayer::MidiPlayer() : performance(std::make_unique<Performance>()) {}

bool MidiPlayer::HasRoom() { return livePerformances.load() < MaxLivePerformances; }

std::unique_ptr<MidiPlayer> MidiPlayer::Create() {
    if (!IsAudioDeviceOpen()) return nullptr;
    const SynthLibrary* fs = SynthLibrary::Get();
    if (!fs) return nullptr;
    std::unique_ptr<MidiPlayer> midi(new MidiPlayer());
    Performance& p = *midi->performance;
    p.fs = fs;
    if (!p.Count()) return nullptr;
    p.settings = fs->newSettings();
    if (!p.settings) return nullptr;
    fs->settingsSetNum(p.settings, "synth.sample-rate", double(AudioDeviceRate()));
    // Only the samples of the instruments a file uses are read from the soundfont.
    fs->settingsSetInt(p.settings, "synth.dynamic-sample-loading", 1);
    p.synth = fs->newSynth(p.settings);
    if (!p.synth) return nullptr;
    // Without the soundfont the sequencer still runs, silently.
    fs->synthSoundFontLoad(p.synth, SoundFontPath(), 1);
    audio::AddSource(&p);
    return midi;
}

MidiPlayer::~MidiPlayer() {
    if (performance->synth) audio::RemoveSource(performance.get());
}

bool MidiPlayer::Load(const void* data, std::size_t size) {
    Hold hold(audio::MixerLock());
    performance->DropPlayer();
    performance->file.clear();
    if (!IsStandardMidiFile(data, size)) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    performance->file.assign(bytes, bytes + size);
    return true;
}

bool MidiPlayer::IsLoaded() const { return !performance->file.empty(); }

void MidiPlayer::SetRepeats(std::int32_t repeats) {
    Hold hold(audio::MixerLock());
    performance->repeats = repeats < 0 ? 0 : repeats;
}

std::int32_t MidiPlayer::Repeats() const { return performance->repeats; }

void MidiPlayer::Play() {
    Hold hold(audio::MixerLock());
    Performance& p = *performance;
    if (p.file.empty()) return;
    // A fresh sequencer each time: it starts at the start point with the
    // whole repeat count, whatever the previous one went through.
    p.repeatsLeft = p.repeats;
    if (!p.StartPass(p.startPoint)) return;
    p.startPoint = 0;
}

void MidiPlayer::Stop() {
    Hold hold(audio::MixerLock());
    performance->DropPlayer();
}

bool MidiPlayer::IsPlaying() const {
    Hold hold(audio::MixerLock());
    const Performance& p = *performance;
    // Between two passes the next one is only waiting for the next slice.
    return p.player &&
           (p.fs->playerGetStatus(p.player) == FLUID_PLAYER_PLAYING || (p.PassEnded() && p.repeatsLeft > 0));
}

std::int32_t MidiPlayer::CurrentTick() const {
    Hold hold(audio::MixerLock());
    if (!performance->player) return performance->startPoint;
    return performance->fs->playerGetCurrentTick(performance->player);
}

void MidiPlayer::SetStartPoint(std::int32_t tick) {
    Hold hold(audio::MixerLock());
    performance->startPoint = tick < 0 ? 0 : tick;
}

std::int32_t MidiPlayer::StartPoint() const { return performance->startPoint; }

void MidiPlayer::SetVolume(std::int32_t hundredthsOfDecibel) {
    Hold hold(audio::MixerLock());
    // The loudest master volume a performance takes is +20 dB.
    performance->gain = audio::GainOf(std::min<std::int32_t>(hundredthsOfDecibel, MaxVolume));
}

}  // namespace qel
