// A 24-bit BMP read back as 0xRRGGBB pixels, and the contrast of colours as
// the eye sees them (relative luminance, sRGB).
#pragma once
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gametest {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }

    // Empty when the file is not an uncompressed 24-bit BMP.
    static Picture Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto get = [&](std::size_t at, int bytes) {
            std::uint32_t v = 0;
            for (int i = 0; i < bytes; ++i) v |= std::uint32_t(b[at + std::size_t(i)]) << (8 * i);
            return v;
        };
        if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || get(28, 2) != 24 || get(30, 4) != 0) return {};
        const std::size_t offset = get(10, 4);
        const std::int32_t w = std::int32_t(get(18, 4)), h = std::int32_t(get(22, 4));
        const int rows = h < 0 ? -h : h;
        const std::size_t rowBytes = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
        if (w <= 0 || rows == 0 || offset + rowBytes * std::size_t(rows) > b.size()) return {};
        Picture p{w, rows, std::vector<std::uint32_t>(std::size_t(w) * std::size_t(rows))};
        for (int y = 0; y < rows; ++y) {
            const std::size_t row = offset + rowBytes * std::size_t(h < 0 ? y : rows - 1 - y);
            for (int x = 0; x < w; ++x) {
                const std::size_t at = row + std::size_t(x) * 3;
                p.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] = b[at] | b[at + 1] << 8 | b[at + 2] << 16;
            }
        }
        return p;
    }
};

inline double Luminance(std::uint32_t rgb) {
    auto linear = [](std::uint32_t c) {
        const double v = double(c & 0xFF) / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(rgb >> 16) + 0.7152 * linear(rgb >> 8) + 0.0722 * linear(rgb);
}

inline double ContrastRatio(double luminanceA, double luminanceB) {
    const double hi = std::max(luminanceA, luminanceB), lo = std::min(luminanceA, luminanceB);
    return (hi + 0.05) / (lo + 0.05);
}

}  // namespace gametest
