// The game's music composed as notes for General MIDI instruments: a melody,
// chords, a bass line and drums over a form of sections, one piece per music
// file, each world in its own key, metre, tempo and instruments.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace music {

constexpr int DrumChannel = 9;  // General MIDI's percussion channel

struct Note {
    double start = 0;   // seconds
    double length = 0;  // seconds
    int channel = 0;
    int key = 60;  // MIDI key
    int velocity = 80;
};

struct Song {
    std::array<int, 16> programs{};  // General MIDI program of each channel
    std::vector<Note> notes;
    double seconds = 0;  // the end of the last bar
};

// The piece for a music file the levels name; the Menu's "Enter.wav" is a
// short intro, the worlds' pieces run well over a minute.
Song ComposeSong(const std::string& musicFile);

}  // namespace music
