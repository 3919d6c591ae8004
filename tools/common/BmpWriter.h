// The one BMP writer of the tests, benchmarks and the asset generator: a
// bottom-up 24-bit BMP written byte by byte, so neither a test's input nor the
// game's art depends on the engine's own encoder.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace bmp24 {

// The file's bytes; pixel(x, y) answers 0x00RRGGBB.
template <class Pixel>
std::vector<unsigned char> Encode(int w, int h, Pixel pixel) {
    const int rowBytes = (w * 3 + 3) & ~3;
    std::vector<unsigned char> b(std::size_t(54 + rowBytes * h), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, std::uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(w));
    put32(22, std::uint32_t(h));
    b[26] = 1;
    b[28] = 24;
    put32(34, std::uint32_t(rowBytes * h));
    put32(38, 2835);  // 72 dots per inch
    put32(42, 2835);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, y);
            const std::size_t at = std::size_t(54 + (h - 1 - y) * rowBytes + x * 3);
            b[at] = static_cast<unsigned char>(p);
            b[at + 1] = static_cast<unsigned char>(p >> 8);
            b[at + 2] = static_cast<unsigned char>(p >> 16);
        }
    return b;
}

// Writes the file; true when every byte went out.
template <class Pixel>
bool Write(const std::string& path, int w, int h, Pixel pixel) {
    const std::vector<unsigned char> b = Encode(w, h, pixel);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(out);
}

// A bitmap of one colour.
inline bool WriteSolid(const std::string& path, int w, int h, std::uint32_t colour) {
    return Write(path, w, h, [colour](int, int) { return colour; });
}

}  // namespace bmp24
