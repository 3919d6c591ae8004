#include "SolidMask.h"
#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

constexpr char Magic[4] = {'N', 'M', 'S', 'K'};
constexpr int MaxSide = 1 << 16;

void Put(std::vector<unsigned char>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((unsigned char)(v >> (8 * i)));
}

std::uint32_t Get(const std::vector<unsigned char>& in, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint32_t(in[at + std::size_t(i)]) << (8 * i);
    return v;
}

}  // namespace

SolidMask::SolidMask(int w, int h)
    : width(std::max(0, w)), height(std::max(0, h)), values(std::size_t(width) * std::size_t(height), Open) {}

SolidMask::Value SolidMask::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return Open;
    return Value(values[std::size_t(y) * std::size_t(width) + std::size_t(x)]);
}

void SolidMask::Set(int x, int y, Value v) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    values[std::size_t(y) * std::size_t(width) + std::size_t(x)] = v;
}

int SolidMask::SolidIn(int left, int top, int right, int bottom) const {
    int count = 0;
    for (int y = std::max(top, 0); y <= std::min(bottom, height - 1); ++y)
        for (int x = std::max(left, 0); x <= std::min(right, width - 1); ++x) count += At(x, y) == Solid;
    return count;
}

bool SolidMask::Write(const std::string& path) const {
    std::vector<unsigned char> out(std::begin(Magic), std::end(Magic));
    Put(out, std::uint32_t(width), 4);
    Put(out, std::uint32_t(height), 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width;) {
            const Value v = At(x, y);
            int run = 1;
            while (x + run < width && run < 0xFFFF && At(x + run, y) == v) ++run;
            out.push_back(v);
            Put(out, std::uint32_t(run), 2);
            x += run;
        }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return bool(file);
}

bool SolidMask::Read(const std::string& path) {
    *this = SolidMask();
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (in.size() < 12 || !std::equal(std::begin(Magic), std::end(Magic), in.begin())) return false;
    const std::uint32_t w = Get(in, 4, 4), h = Get(in, 8, 4);
    if (w == 0 || h == 0 || w > MaxSide || h > MaxSide) return false;
    SolidMask mask{int(w), int(h)};
    std::size_t at = 12;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width;) {
            if (at + 3 > in.size()) return false;
            const unsigned value = in[at];
            const int run = int(Get(in, at + 1, 2));
            at += 3;
            if (value > Line || run == 0 || x + run > mask.width) return false;
            std::fill_n(mask.values.begin() + std::ptrdiff_t(y) * mask.width + x, run, std::uint8_t(value));
            x += run;
        }
    if (at != in.size()) return false;
    *this = std::move(mask);
    return true;
}
