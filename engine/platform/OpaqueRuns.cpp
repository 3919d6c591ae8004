#include "platform/OpaqueRuns.h"

#include <algorithm>
#include <cstring>

namespace qel {

namespace {

// Below this many pixels per run on average, testing every pixel against the
// key (a vectorised select) beats copying the runs one by one.
constexpr std::int64_t MinPixelsPerRun = 16;

template <int Bytes>
std::uint32_t PixelAt(const std::uint8_t* row, std::int32_t x) {
    const std::uint8_t* p = row + std::ptrdiff_t(x) * Bytes;
    if constexpr (Bytes == 1) {
        return p[0];
    } else if constexpr (Bytes == 2) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else if constexpr (Bytes == 3) {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    } else {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

// A sprite's runs are mostly shorter than a cache line: copied in place, in
// pieces whose last one may overlap the one before, without a library call.
inline void CopySpan(std::uint8_t* dst, const std::uint8_t* src, std::size_t bytes) {
    if (bytes >= 16 && bytes <= 64) {
        for (std::size_t i = 0; i + 16 < bytes; i += 16) std::memcpy(dst + i, src + i, 16);
        std::memcpy(dst + bytes - 16, src + bytes - 16, 16);
    } else if (bytes >= 8 && bytes < 16) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + bytes - 8, src + bytes - 8, 8);
    } else if (bytes >= 4 && bytes < 8) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + bytes - 4, src + bytes - 4, 4);
    } else {
        std::memcpy(dst, src, bytes);
    }
}

}  // namespace

template <int Bytes>
OpaqueRuns::Outcome OpaqueRuns::FindRows(const std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                                         std::int32_t height, std::uint32_t key) {
    const std::int64_t mostRuns = std::int64_t(width) * height / MinPixelsPerRun;
    bool keySeen = false;
    rowStarts_.push_back(0);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + std::ptrdiff_t(y) * pitch;
        std::int32_t x = 0;
        while (x < width) {
            const std::int32_t clear = x;
            while (x < width && PixelAt<Bytes>(row, x) == key) ++x;
            keySeen = keySeen || x > clear;
            const std::int32_t begin = x;
            while (x < width && PixelAt<Bytes>(row, x) != key) ++x;
            if (x > begin) runs_.push_back({std::uint16_t(begin), std::uint16_t(x)});
        }
        // Once too many runs are found the rest only needs to show the key occurs.
        if (std::int64_t(runs_.size()) > mostRuns && keySeen) return Outcome::Dense;
        rowStarts_.push_back(std::uint32_t(runs_.size()));
    }
    if (!keySeen) return Outcome::NoKey;
    return std::int64_t(runs_.size()) > mostRuns ? Outcome::Dense : Outcome::Encoded;
}

OpaqueRuns::Outcome OpaqueRuns::Find(const std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                                     std::int32_t height, int bytes, std::uint32_t key) {
    runs_.clear();
    rowStarts_.clear();
    Outcome found;
    switch (bytes) {
        case 1: found = FindRows<1>(pixels, pitch, width, height, key); break;
        case 2: found = FindRows<2>(pixels, pitch, width, height, key); break;
        case 3: found = FindRows<3>(pixels, pitch, width, height, key); break;
        default: found = FindRows<4>(pixels, pitch, width, height, key); break;
    }
    if (found != Outcome::Encoded) {
        runs_.clear();
        rowStarts_.clear();
    }
    return found;
}

template <int Bytes>
void OpaqueRuns::CopyRows(std::uint8_t* dst, std::ptrdiff_t dstPitch, const std::uint8_t* pixels, std::int32_t pitch,
                          std::int32_t firstRow, std::int32_t rowStep, std::int32_t rows, std::int32_t left,
                          std::int32_t right) const {
    for (std::int32_t i = 0; i < rows; ++i, dst += dstPitch) {
        const std::int32_t y = firstRow + i * rowStep;
        const std::uint8_t* row = pixels + std::ptrdiff_t(y) * pitch;
        const Run* run = runs_.data() + rowStarts_[std::size_t(y)];
        const Run* end = runs_.data() + rowStarts_[std::size_t(y) + 1];
        for (; run != end && run->begin < right; ++run) {
            const std::int32_t begin = std::max<std::int32_t>(run->begin, left);
            const std::int32_t stop = std::min<std::int32_t>(run->end, right);
            if (begin < stop)
                CopySpan(dst + std::ptrdiff_t(begin - left) * Bytes, row + std::ptrdiff_t(begin) * Bytes,
                            std::size_t(stop - begin) * Bytes);
        }
    }
}

void OpaqueRuns::Copy(std::uint8_t* dst, std::ptrdiff_t dstPitch, const std::uint8_t* pixels, std::int32_t pitch,
                      std::int32_t firstRow, std::int32_t rowStep, std::int32_t rows, std::int32_t left,
                      std::int32_t right, int bytes) const {
    switch (bytes) {
        case 1: CopyRows<1>(dst, dstPitch, pixels, pitch, firstRow, rowStep, rows, left, right); break;
        case 2: CopyRows<2>(dst, dstPitch, pixels, pitch, firstRow, rowStep, rows, left, right); break;
        case 3: CopyRows<3>(dst, dstPitch, pixels, pitch, firstRow, rowStep, rows, left, right); break;
        default: CopyRows<4>(dst, dstPitch, pixels, pitch, firstRow, rowStep, rows, left, right); break;
    }
}

}  // namespace qel
