#include "Song.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>

namespace music {
namespace {

enum Channel { MelodyChannel = 0, HarmonyChannel = 1, BassChannel = 2, CounterChannel = 3 };

// How the chords are played, and the drum groove.
enum class Comp { Pad, Pulse, Arpeggio, Waltz };
enum class Groove { Pop, HalfTime, Waltz, March };

// A section of the form: its letter names its chords and its tune; 'I' is an
// intro (no melody), 'O' the closing chord.
struct Section {
    char letter;
    int bars;
};

struct Style {
    std::uint32_t seed;
    int tonic;  // MIDI key of the tonic, in the bass's octave + 24
    std::array<int, 7> mode;
    double bpm;
    int beatsPerBar;  // 3 or 4
    int melody, harmony, bass, counter;
    Comp comp;
    Groove groove;
    std::vector<Section> form;
    // Scale degrees (1-7), one chord per bar, per section letter.
    std::map<char, std::string> chords;
};

constexpr std::array<int, 7> Major{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> Minor{0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> Dorian{0, 2, 3, 5, 7, 9, 10};
constexpr std::array<int, 7> HarmonicMinor{0, 2, 3, 5, 7, 8, 11};

// General MIDI programs (numbered from 0) and percussion keys used here.
enum Program {
    AcousticPiano = 0,
    ElectricPiano = 4,
    Celesta = 8,
    Vibraphone = 11,
    Marimba = 12,
    Accordion = 21,
    NylonGuitar = 24,
    AcousticBass = 32,
    FingeredBass = 33,
    SynthBass = 38,
    Violin = 40,
    Pizzicato = 45,
    Strings = 48,
    SlowStrings = 49,
    Choir = 52,
    Trumpet = 56,
    Tuba = 58,
    FrenchHorn = 60,
    Brass = 61,
    Oboe = 68,
    Clarinet = 71,
    Flute = 73,
    PanFlute = 75,
    Ocarina = 79,
    WarmPad = 89,
    HaloPad = 94,
};
enum Drum {
    Kick = 36,
    Rim = 37,
    Snare = 38,
    Clap = 39,
    LowTom = 45,
    ClosedHat = 42,
    PedalHat = 44,
    MidTom = 47,
    OpenHat = 46,
    HighTom = 50,
    Crash = 49,
    Ride = 51,
    Tambourine = 54,
    Shaker = 70,
};

const Style& StyleOf(const std::string& file) {
    // The first world: bright and steady, a mirror-like vibraphone over electric piano.
    static const Style hall{11,
                            60,
                            Major,
                            126,
                            4,
                            Vibraphone,
                            ElectricPiano,
                            FingeredBass,
                            Flute,
                            Comp::Arpeggio,
                            Groove::Pop,
                            {{'I', 2}, {'A', 8}, {'B', 8}, {'A', 8}, {'C', 8}, {'B', 8}, {'O', 2}},
                            {{'I', "11"}, {'A', "16451625"}, {'B', "46153645"}, {'C', "26154615"}, {'O', "1"}}};
    // The second: dorian and hazy, an ocarina over a warm pad, half-time drums.
    static const Style illusion{23,
                                62,
                                Dorian,
                                100,
                                4,
                                Ocarina,
                                WarmPad,
                                AcousticBass,
                                Clarinet,
                                Comp::Pad,
                                Groove::HalfTime,
                                {{'I', 2}, {'A', 8}, {'B', 8}, {'C', 8}, {'A', 8}, {'O', 2}},
                                {{'I', "14"}, {'A', "14171454"}, {'B', "37146374"}, {'C', "64156414"}, {'O', "1"}}};
    // The third: a waltz that will not stop, violin and accordion over pizzicato.
    static const Style folie{
        37,
        57,
        HarmonicMinor,
        168,
        3,
        Violin,
        Pizzicato,
        Tuba,
        Accordion,
        Comp::Waltz,
        Groove::Waltz,
        {{'I', 4}, {'A', 8}, {'B', 8}, {'A', 8}, {'C', 8}, {'D', 8}, {'B', 8}, {'A', 8}, {'O', 2}},
        {{'I', "1515"}, {'A', "15411545"}, {'B', "64256415"}, {'C', "37153745"}, {'D', "44115515"}, {'O', "1"}}};
    // The fourth: slow and dark, a pan flute over strings and choir.
    static const Style lost{41,
                            52,
                            Minor,
                            88,
                            4,
                            PanFlute,
                            SlowStrings,
                            SynthBass,
                            FrenchHorn,
                            Comp::Pulse,
                            Groove::HalfTime,
                            {{'I', 2}, {'A', 8}, {'B', 8}, {'C', 4}, {'A', 8}, {'O', 2}},
                            {{'I', "16"}, {'A', "16471645"}, {'B', "36473645"}, {'C', "6475"}, {'O', "1"}}};
    // The Menu's intro: a short brass fanfare that ends on the tonic.
    static const Style enter{5,
                             58,
                             Major,
                             112,
                             4,
                             Trumpet,
                             Brass,
                             Tuba,
                             FrenchHorn,
                             Comp::Pulse,
                             Groove::March,
                             {{'I', 1}, {'A', 4}, {'O', 1}},
                             {{'I', "1"}, {'A', "1455"}, {'O', "1"}}};
    // Music files the levels may name later: a piece in the first world's manner.
    static const Style other{53,
                             55,
                             Major,
                             116,
                             4,
                             Marimba,
                             NylonGuitar,
                             FingeredBass,
                             Flute,
                             Comp::Arpeggio,
                             Groove::Pop,
                             {{'I', 2}, {'A', 8}, {'B', 8}, {'C', 8}, {'A', 8}, {'O', 2}},
                             {{'I', "11"}, {'A', "15641545"}, {'B', "46154615"}, {'C', "62516245"}, {'O', "1"}}};
    static const std::map<std::string, const Style*> styles{
        {"Hall of Mirrors.wav", &hall},
        {"Illusion.wav", &illusion},
        {"Folie impos\xE9"
         "e.wav",
         &folie},
        {"Lost.wav", &lost},
        {"Enter.wav", &enter},
    };
    auto found = styles.find(file);
    return found != styles.end() ? *found->second : other;
}

// Note lengths and onsets of a bar, in eighths.
struct Rhythm {
    std::vector<std::pair<int, int>> notes;  // onset, length
};

const std::vector<Rhythm>& RhythmsOf(int beatsPerBar) {
    static const std::vector<Rhythm> common{
        {{{0, 2}, {2, 2}, {4, 2}, {6, 2}}},         {{{0, 3}, {3, 1}, {4, 2}, {6, 2}}},
        {{{0, 1}, {1, 1}, {2, 2}, {4, 4}}},         {{{0, 4}, {4, 2}, {6, 2}}},
        {{{0, 2}, {2, 1}, {3, 1}, {4, 2}, {6, 2}}}, {{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 4}}},
        {{{1, 1}, {2, 2}, {4, 1}, {5, 3}}},         {{{0, 3}, {3, 3}, {6, 2}}},
    };
    static const std::vector<Rhythm> waltz{
        {{{0, 2}, {2, 2}, {4, 2}}},
        {{{0, 3}, {3, 1}, {4, 2}}},
        {{{0, 4}, {4, 2}}},
        {{{0, 1}, {1, 1}, {2, 2}, {4, 2}}},
        {{{0, 2}, {2, 1}, {3, 1}, {4, 2}}},
        {{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2}}},
    };
    return beatsPerBar == 3 ? waltz : common;
}

class Composer {
public:
    explicit Composer(const Style& style) : style_(style), rng_(style.seed) {
        song_.programs[MelodyChannel] = style.melody;
        song_.programs[HarmonyChannel] = style.harmony;
        song_.programs[BassChannel] = style.bass;
        song_.programs[CounterChannel] = style.counter;
    }

    Song Compose() {
        int bar = 0;
        std::map<char, int> heard;
        for (std::size_t s = 0; s < style_.form.size(); ++s) {
            const Section& section = style_.form[s];
            const bool last = s + 1 == style_.form.size();
            const int repeat = heard[section.letter]++;
            for (int b = 0; b < section.bars; ++b) {
                const int degree = ChordOf(section, b);
                const int nextDegree = b + 1 < section.bars ? ChordOf(section, b + 1)
                                       : last               ? 1
                                                            : ChordOf(style_.form[s + 1], 0);
                const bool closing = section.letter == 'O';
                Chords(bar + b, degree, closing);
                Bass(bar + b, degree, nextDegree, closing);
                Drums(bar + b, section, b, closing);
            }
            if (section.letter != 'I') Melody(bar, section, repeat);
            bar += section.bars;
        }
        song_.seconds = bar * BarSeconds();
        std::sort(song_.notes.begin(), song_.notes.end(),
                  [](const Note& a, const Note& b) { return a.start < b.start; });
        return std::move(song_);
    }

private:
    double Eighth() const { return 30.0 / style_.bpm; }
    double BarSeconds() const { return Eighth() * 2 * style_.beatsPerBar; }
    int Ticks() const { return 2 * style_.beatsPerBar; }
    int Random(int below) { return int(rng_() % std::uint32_t(below)); }

    int ChordOf(const Section& section, int bar) const {
        const std::string& degrees = style_.chords.at(section.letter);
        return degrees[std::size_t(bar) % degrees.size()] - '0';
    }

    // Key of scale step `step` (0 = tonic, 7 = the octave above) above `base`.
    int KeyOf(int base, int step) const {
        const int octave = step >= 0 ? step / 7 : -((6 - step) / 7);
        return base + 12 * octave + style_.mode[std::size_t(step - 7 * octave)];
    }

    void Add(int bar, double tick, double ticks, int channel, int key, int velocity) {
        velocity = std::clamp(velocity + Random(9) - 4, 1, 127);
        song_.notes.push_back({(bar * Ticks() + tick) * Eighth(), ticks * Eighth(), channel, key, velocity});
    }

    // The chord of scale degree `degree` (1-7) as keys near middle C.
    std::vector<int> ChordKeys(int degree) const {
        std::vector<int> keys;
        for (int third = 0; third < 3; ++third) {
            int key = KeyOf(style_.tonic, degree - 1 + 2 * third);
            while (key < 55) key += 12;
            while (key > 70) key -= 12;
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    void Chords(int bar, int degree, bool closing) {
        const std::vector<int> keys = ChordKeys(degree);
        const int ticks = Ticks();
        if (closing || style_.comp == Comp::Pad) {
            for (int key : keys) Add(bar, 0, ticks, HarmonyChannel, key, closing ? 70 : 62);
            return;
        }
        switch (style_.comp) {
            case Comp::Pulse:
                for (int beat = 0; beat < style_.beatsPerBar; ++beat)
                    for (int key : keys) Add(bar, 2 * beat, 1.8, HarmonyChannel, key, beat == 0 ? 66 : 56);
                break;
            case Comp::Arpeggio: {
                const int pattern[] = {0, 1, 2, 3, 2, 1, 2, 3};
                for (int tick = 0; tick < ticks; ++tick) {
                    const int i = pattern[tick % 8];
                    const int key = i == 3 ? keys[0] + 12 : keys[std::size_t(i)];
                    Add(bar, tick, 1.5, HarmonyChannel, key, tick % 2 == 0 ? 60 : 50);
                }
                break;
            }
            default:  // the waltz's two chords after the bass's downbeat
                for (int beat = 1; beat < 3; ++beat)
                    for (int key : keys) Add(bar, 2 * beat, 1.4, HarmonyChannel, key, 58);
                break;
        }
    }

    void Bass(int bar, int degree, int nextDegree, bool closing) {
        const int root = KeyOf(style_.tonic - 24, degree - 1);
        const int fifth = KeyOf(style_.tonic - 24, degree + 3);
        if (closing) {
            Add(bar, 0, Ticks(), BassChannel, root, 96);
            return;
        }
        // A step that leads into the next bar's root.
        const int nextRoot = KeyOf(style_.tonic - 24, nextDegree - 1);
        const int approach = nextRoot + (nextRoot > root ? -1 : nextRoot < root ? 2 : 7);
        switch (style_.groove) {
            case Groove::Waltz: Add(bar, 0, 2, BassChannel, bar % 2 ? fifth : root, 100); break;
            case Groove::HalfTime:
                Add(bar, 0, 5, BassChannel, root, 96);
                Add(bar, 5, 1, BassChannel, root + 12, 72);
                Add(bar, 6, 2, BassChannel, Random(2) ? fifth : approach, 82);
                break;
            case Groove::March:
                for (int beat = 0; beat < 4; ++beat) Add(bar, 2 * beat, 1.6, BassChannel, beat % 2 ? fifth : root, 92);
                break;
            default:
                Add(bar, 0, 3, BassChannel, root, 100);
                Add(bar, 3, 1, BassChannel, root, 76);
                Add(bar, 4, 2, BassChannel, fifth, 88);
                Add(bar, 6, 1, BassChannel, root + 12, 74);
                Add(bar, 7, 1, BassChannel, approach, 80);
                break;
        }
    }

    void Hit(int bar, double tick, int drum, int velocity) { Add(bar, tick, 1, DrumChannel, drum, velocity); }

    void Drums(int bar, const Section& section, int barInSection, bool closing) {
        if (barInSection == 0) Hit(bar, 0, Crash, section.letter == 'I' ? 70 : 96);
        if (closing) {
            Hit(bar, 0, Kick, 110);
            return;
        }
        const bool intro = section.letter == 'I';
        const bool fill = !intro && barInSection == section.bars - 1;
        const int ticks = Ticks();
        switch (style_.groove) {
            case Groove::Waltz:
                Hit(bar, 0, Kick, 100);
                for (int beat = 1; beat < 3; ++beat) Hit(bar, 2 * beat, intro ? PedalHat : Snare, 60);
                for (int tick = 1; tick < ticks; ++tick)
                    if (tick % 2 == 0 || Random(3) == 0) Hit(bar, tick, Tambourine, tick % 2 ? 36 : 50);
                break;
            case Groove::HalfTime:
                Hit(bar, 0, Kick, 100);
                if (Random(3) == 0) Hit(bar, 3, Kick, 80);
                Hit(bar, 5, Kick, 84);
                if (!intro) Hit(bar, 4, section.letter == 'C' ? Clap : Snare, 92);
                for (int beat = 0; beat < 4; ++beat) Hit(bar, 2 * beat, Ride, 64);
                for (int tick = 1; tick < ticks; tick += 2) Hit(bar, tick, Shaker, 42);
                break;
            case Groove::March:
                Hit(bar, 0, Kick, 104);
                Hit(bar, 4, Kick, 96);
                for (int tick = 0; tick < ticks; ++tick) Hit(bar, tick, Snare, tick % 2 ? 52 : 76);
                break;
            default:
                Hit(bar, 0, Kick, 104);
                Hit(bar, 4, Kick, 96);
                if (Random(2)) Hit(bar, 5, Kick, 76);
                if (!intro) {
                    Hit(bar, 2, Snare, 92);
                    Hit(bar, 6, Snare, 92);
                }
                for (int tick = 0; tick < ticks; ++tick)
                    Hit(bar, tick, tick == 7 && section.letter == 'B' ? OpenHat : ClosedHat, tick % 2 ? 48 : 66);
                break;
        }
        if (fill) {
            const int toms[] = {HighTom, HighTom, MidTom, LowTom};
            for (int i = 0; i < 4; ++i) Hit(bar, ticks - 4 + i, toms[i], 84 + 4 * i);
        }
    }

    // A tune over the section: a two-bar motif stated, answered on the next
    // chords, new material, then a cadence on a chord tone. Each repeat of a
    // section keeps its motif and varies the rest.
    void Melody(int firstBar, const Section& section, int repeat) {
        const std::vector<Rhythm>& rhythms = RhythmsOf(style_.beatsPerBar);
        std::mt19937 motifRng(style_.seed * 131u + std::uint32_t(section.letter));
        const std::size_t motif[2] = {motifRng() % rhythms.size(), motifRng() % rhythms.size()};
        const int motifStart = int(motifRng() % 5);
        const bool closing = section.letter == 'O';
        int step = 7 + motifStart;  // scale steps above the tonic's octave below the melody
        const int base = style_.tonic + 12;
        for (int b = 0; b < section.bars; ++b) {
            const int degree = ChordOf(section, b);
            if (closing) {
                Add(firstBar + b, 0, Ticks(), MelodyChannel, KeyOf(base, 7), 84);
                continue;
            }
            const bool cadence = b == section.bars - 1;
            const bool stated = b % 4 < 2 && (repeat == 0 || b < 2);
            const Rhythm& rhythm = cadence  ? Rhythm{{{0, Ticks() - 2}}}
                                   : stated ? rhythms[motif[b % 2]]
                                            : rhythms[std::size_t(Random(int(rhythms.size())))];
            if (b % 4 == 0 && stated) step = 7 + motifStart + (b / 4) % 2 * 2;
            std::mt19937& pick = stated ? motifRng : rng_;
            for (const auto& [onset, length] : rhythm.notes) {
                const bool strong = onset % style_.beatsPerBar == 0 || cadence;
                int move = std::array<int, 8>{-3, -2, -1, -1, 1, 1, 2, 3}[pick() % 8];
                // Away from the edges of the range, back towards its middle.
                if ((step > 11 && move > 0) || (step < 6 && move < 0)) move = -move;
                const int previous = step;
                step += move;
                if (strong) step = NearestChordTone(step, degree);
                if (!strong && step == previous) step += step > 9 ? -1 : 1;
                step = std::clamp(step, 3, 14);
                const int key = KeyOf(base - 12, step);
                Add(firstBar + b, onset, length * 0.95, MelodyChannel, key, strong ? 98 : 84);
                if (section.letter == 'C' || (section.letter == 'B' && repeat > 0))
                    Add(firstBar + b, onset, length * 0.95, CounterChannel, KeyOf(base - 12, step - 2), 70);
            }
        }
    }

    int NearestChordTone(int step, int degree) const {
        for (int distance = 0; distance < 4; ++distance)
            for (int s : {step - distance, step + distance})
                if (((s - (degree - 1)) % 7 + 7) % 7 % 2 == 0 && ((s - (degree - 1)) % 7 + 7) % 7 <= 4) return s;
        return step;
    }

    const Style& style_;
    std::mt19937 rng_;
    Song song_;
};

}  // namespace

Song ComposeSong(const std::string& musicFile) { return Composer(StyleOf(musicFile)).Compose(); }

}  // namespace music
