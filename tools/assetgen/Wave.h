// Generated sounds: short effects and looping tunes as 16-bit mono RIFF WAVE files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace wave {

constexpr int SampleRate = 22050;

// A tone sweeping from one frequency to another, with a quick fade in and out.
std::vector<std::int16_t> Sweep(double fromHz, double toHz, double seconds, double volume);
// A tune: each note (0 = rest) lasts `noteSeconds`, the whole played `repeats` times.
std::vector<std::int16_t> Tune(const std::vector<double>& notesHz, double noteSeconds, int repeats, double volume);

// False when the file cannot be written.
bool Write(const std::string& path, const std::vector<std::int16_t>& samples);

}  // namespace wave
