// The generated music: each world's piece lasts over a minute without
// repeating a short phrase, the pieces differ from world to world, and the
// Menu's intro stays short (the Menu waits for it to end).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "levels/LevelData.h"

namespace {

namespace fs = std::filesystem;
const fs::path MusicFolder = fs::path(QEL_BINARY_DIR) / "game" / "Art Assets" / "Sounds" / "Music";
const std::string MenuIntro = "Enter.wav";

struct Sound {
    int rate = 0;
    std::vector<float> samples;  // the channels mixed
    double Seconds() const { return rate > 0 ? double(samples.size()) / rate : 0; }
};

std::uint32_t Little(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// A 16-bit PCM RIFF WAVE file; empty when it is anything else.
Sound ReadWave(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Sound sound;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return sound;
    int channels = 0, bits = 0;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::size_t size = Little(&b[at + 4], 4), body = at + 8;
        if (body + size > b.size()) break;
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16 && Little(&b[body], 2) == 1) {
            channels = int(Little(&b[body + 2], 2));
            sound.rate = int(Little(&b[body + 4], 4));
            bits = int(Little(&b[body + 14], 2));
        } else if (std::memcmp(&b[at], "data", 4) == 0 && channels > 0 && bits == 16) {
            for (std::size_t i = body; i + 2 * channels <= body + size; i += 2 * std::size_t(channels)) {
                float sum = 0;
                for (int c = 0; c < channels; ++c) sum += float(std::int16_t(Little(&b[i + 2 * c], 2))) / 32768.0f;
                sound.samples.push_back(sum / float(channels));
            }
        }
        at = body + size + (size & 1);
    }
    return sound;
}

// Loudness every 20 ms, its mean removed.
std::vector<double> Envelope(const Sound& s) {
    const std::size_t window = std::size_t(s.rate / 50);
    std::vector<double> e;
    for (std::size_t at = 0; window > 0 && at + window <= s.samples.size(); at += window) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; ++i) sum += double(s.samples[i]) * s.samples[i];
        e.push_back(std::sqrt(sum / double(window)));
    }
    double mean = 0;
    for (double v : e) mean += v;
    mean /= double(std::max<std::size_t>(1, e.size()));
    for (double& v : e) v -= mean;
    return e;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t lag) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i + lag < b.size() && i < a.size(); ++i) {
        ab += a[i] * b[i + lag];
        aa += a[i] * a[i];
        bb += b[i + lag] * b[i + lag];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// How closely the sound's loudness repeats itself after any period from a
// second to half its length: near 1 for a phrase played over and over.
double Periodicity(const Sound& s, double* period) {
    const std::vector<double> e = Envelope(s);
    double best = 0;
    for (std::size_t lag = 50; lag <= e.size() / 2; ++lag) {
        const double r = Correlation(e, e, lag);
        if (r > best) best = r, *period = double(lag) / 50;
    }
    return best;
}

// A phrase played over and over, as the music was once: 7 notes and a rest.
Sound LoopedPhrase(double phraseSeconds, int times) {
    Sound s;
    s.rate = 22050;
    const double notes[] = {220, 277, 330, 440, 330, 277, 247, 0};
    const std::size_t noteLength = std::size_t(phraseSeconds / 8 * s.rate);
    for (int t = 0; t < times; ++t)
        for (double hz : notes)
            for (std::size_t i = 0; i < noteLength; ++i)
                s.samples.push_back(float(0.3 * std::sin(2 * M_PI * hz * double(i) / s.rate) *
                                          std::exp(-3.0 * double(i) / double(noteLength))));
    return s;
}

std::set<std::string> MusicFiles() {
    std::set<std::string> files;
    for (int k = 0; k < nolt::LevelCount; ++k)
        for (const nolt::SoundEntry& s : nolt::LevelRecordOf(k).sounds)
            if (s.kind == nolt::SoundEntry::Music) files.insert(s.file);
    return files;
}

// Song form repeats sections (about 0.75 here); a looped phrase scores near 1.
constexpr double MostPeriodic = 0.9;

TEST(LevelMusic, ALoopedPhraseIsSeenAsRepeating) {
    double period = 0;
    EXPECT_GT(Periodicity(LoopedPhrase(2.0, 32), &period), MostPeriodic);
    EXPECT_NEAR(period, 2.0, 0.05);
}

TEST(LevelMusic, EachWorldsPieceRunsOverAMinuteWithoutRepeatingAPhrase) {
    const std::set<std::string> files = MusicFiles();
    ASSERT_EQ(files.size(), 5u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const Sound s = ReadWave(MusicFolder / file);
        ASSERT_GT(s.rate, 0) << "not a 16-bit PCM wave file";
        if (file == MenuIntro) {
            EXPECT_GE(s.Seconds(), 5.0);
            EXPECT_LE(s.Seconds(), 20.0) << "the Menu shows its cursor only once its intro has ended";
            continue;
        }
        EXPECT_GE(s.Seconds(), 60.0);
        EXPECT_LE(s.Seconds(), 120.0) << "a size to stream, not to store";
        double period = 0;
        EXPECT_LT(Periodicity(s, &period), MostPeriodic) << "repeats every " << period << " s";
    }
}

TEST(LevelMusic, PiecesDifferFromWorldToWorld) {
    std::map<std::string, std::vector<double>> envelopes;
    for (const std::string& file : MusicFiles()) envelopes[file] = Envelope(ReadWave(MusicFolder / file));
    for (auto a = envelopes.begin(); a != envelopes.end(); ++a)
        for (auto b = std::next(a); b != envelopes.end(); ++b)
            EXPECT_LT(Correlation(a->second, b->second, 0), 0.5) << a->first << " and " << b->first;
}

float Peak(const Sound& s) {
    float peak = 0;
    for (float v : s.samples) peak = std::max(peak, std::fabs(v));
    return peak;
}

// The music leaves room for an effect: a jump or a shot at the loudest moment
// of a piece adds up to no more than full scale, so the mix does not clip.
TEST(LevelMusic, MusicAndAnEffectTogetherStayBelowFullScale) {
    const fs::path effects = MusicFolder.parent_path() / "SFX";
    float loudestEffect = 0;
    for (const auto& entry : fs::directory_iterator(effects)) {
        const Sound effect = ReadWave(entry.path());
        ASSERT_GT(effect.rate, 0) << entry.path();
        loudestEffect = std::max(loudestEffect, Peak(effect));
    }
    ASSERT_GT(loudestEffect, 0.1f);
    for (const std::string& file : MusicFiles()) {
        const float music = Peak(ReadWave(MusicFolder / file));
        EXPECT_GT(music, 0.3f) << file << " is too quiet";
        EXPECT_LT(music + loudestEffect, 32767.0f / 32768.0f) << file;
    }
}

}  // namespace
