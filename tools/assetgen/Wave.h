// Generated sounds: short effects, and 16-bit mono RIFF WAVE files of any samples.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace wave {

constexpr int SampleRate = 22050;

// A tone sweeping from one frequency to another, with a quick fade in and out.
std::vector<std::int16_t> Sweep(double fromHz, double toHz, double seconds, double volume);

// False when the file cannot be written.
bool Write(const std::string& path, const std::vector<std::int16_t>& samples);

}  // namespace wave
