#include "Wave.h"
#include <algorithm>
#include <cmath>
#include <fstream>

namespace wave {
namespace {

constexpr double Pi = 3.14159265358979323846;

// A short linear ramp at both ends keeps the edges free of clicks.
double Envelope(std::size_t i, std::size_t count) {
    const double ramp = SampleRate * 0.005;
    const double in = double(i) / ramp, out = double(count - i) / ramp;
    return std::min({1.0, in, out});
}

void Put(std::vector<unsigned char>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back((unsigned char)(v >> (8 * i)));
}

}  // namespace

std::vector<std::int16_t> Sweep(double fromHz, double toHz, double seconds, double volume) {
    const std::size_t count = std::size_t(seconds * SampleRate);
    std::vector<std::int16_t> out(count);
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / double(count);
        phase += 2 * Pi * (fromHz + (toHz - fromHz) * t) / SampleRate;
        const double v = std::sin(phase) * volume * Envelope(i, count) * (1.0 - 0.5 * t);
        out[i] = std::int16_t(std::lround(v * 32767));
    }
    return out;
}

bool Write(const std::string& path, const std::vector<std::int16_t>& samples) {
    const std::uint32_t dataBytes = std::uint32_t(samples.size() * 2);
    std::vector<unsigned char> b;
    b.reserve(44 + dataBytes);
    for (char c : {'R', 'I', 'F', 'F'}) b.push_back((unsigned char)c);
    Put(b, 36 + dataBytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) b.push_back((unsigned char)c);
    Put(b, 16, 4);
    Put(b, 1, 2);  // PCM
    Put(b, 1, 2);  // mono
    Put(b, SampleRate, 4);
    Put(b, SampleRate * 2, 4);
    Put(b, 2, 2);
    Put(b, 16, 2);
    for (char c : {'d', 'a', 't', 'a'}) b.push_back((unsigned char)c);
    Put(b, dataBytes, 4);
    for (std::int16_t s : samples) Put(b, std::uint16_t(s), 2);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

}  // namespace wave
