#include "platform/OpaqueRuns.h"

#include <algorithm>
#include <cstring>

namespace qel {

namespace {

// Below this many pixels per run on average, testing every pixel against the
// key (a vectorised select) beats copying the runs one by one.
constexpr std::int64_t MinPixelsPerRun = 16;
// Forgotten runs are dropped once they outnumber the kept ones by this many.
constexpr std::size_t CompactAfter = 4096;

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

// Rows never overlap their source (a blit copies an overlapping source
// first), so the keyed loops may rewrite every destination pixel: a select
// instead of a conditional store, which the compiler vectorises once its cost
// model lets loops with a remainder through (the map and sprite blits of
// every frame).
#if defined(__GNUC__) && !defined(__clang__)
#define QEL_VECTORISE [[gnu::optimize("vect-cost-model=dynamic")]]
#else
#define QEL_VECTORISE
#endif

template <typename T>
QEL_VECTORISE void CopyPixels(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, int step, bool keyed,
                              T key) {
    T* __restrict d = reinterpret_cast<T*>(dst);
    const T* __restrict s = reinterpret_cast<const T*>(src);
    if (step > 0) {
        for (std::int32_t i = 0; i < count; ++i) {
            const T v = s[i];
            d[i] = v == key ? d[i] : v;
        }
    } else if (!keyed) {
        for (std::int32_t i = 0; i < count; ++i) d[i] = s[-i];
    } else {
        for (std::int32_t i = 0; i < count; ++i) {
            const T v = s[-i];
            d[i] = v == key ? d[i] : v;
        }
    }
}

void CopyPixels24(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, int step, bool keyed,
                  std::uint32_t key) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t* s = src + std::ptrdiff_t(i) * 3 * step;
        const std::uint32_t v = PixelAt<3>(s, 0);
        if (keyed && v == key) continue;
        std::uint8_t* d = dst + std::ptrdiff_t(i) * 3;
        d[0] = std::uint8_t(v);
        d[1] = std::uint8_t(v >> 8);
        d[2] = std::uint8_t(v >> 16);
    }
}

template <int Bytes>
void SelectRow(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, std::uint32_t key) {
    if constexpr (Bytes == 1)
        CopyPixels<std::uint8_t>(dst, src, count, 1, true, std::uint8_t(key));
    else if constexpr (Bytes == 2)
        CopyPixels<std::uint16_t>(dst, src, count, 1, true, std::uint16_t(key));
    else if constexpr (Bytes == 3)
        CopyPixels24(dst, src, count, 1, true, key);
    else
        CopyPixels<std::uint32_t>(dst, src, count, 1, true, key);
}

}  // namespace

void OpaqueRuns::CopyRow(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, int step, bool keyed,
                         std::uint32_t key, int bytes) {
    switch (bytes) {
        case 1: CopyPixels<std::uint8_t>(dst, src, count, step, keyed, std::uint8_t(key)); break;
        case 2: CopyPixels<std::uint16_t>(dst, src, count, step, keyed, std::uint16_t(key)); break;
        case 4: CopyPixels<std::uint32_t>(dst, src, count, step, keyed, key); break;
        default: CopyPixels24(dst, src, count, step, keyed, key); break;
    }
}

void OpaqueRuns::ForgetAll() {
    runs_.clear();
    garbage_ = 0;
    knownRows_ = denseRows_ = 0;
    if (++generation_ == 0) {
        // After four billion changes the oldest rows could pass for current.
        rows_.clear();
        generation_ = 1;
    }
}

void OpaqueRuns::ForgetRows(std::int32_t first, std::int32_t end) {
    first = std::max(first, 0);
    end = std::min(end, std::int32_t(rows_.size()));
    for (std::int32_t y = first; y < end; ++y) {
        RowRuns& row = rows_[std::size_t(y)];
        if (row.generation != generation_ || row.count == Unknown) continue;
        --knownRows_;
        if (row.count == Dense) --denseRows_;
        if (row.count < Dense) garbage_ += row.count;
        row = RowRuns{};
    }
}

void OpaqueRuns::Compact() {
    if (garbage_ < CompactAfter || garbage_ < runs_.size() / 2) return;
    std::vector<Run> kept;
    kept.reserve(runs_.size() - garbage_);
    for (RowRuns& row : rows_) {
        if (row.generation != generation_ || row.count == 0 || row.count >= Dense) continue;
        const std::uint32_t first = std::uint32_t(kept.size());
        kept.insert(kept.end(), runs_.begin() + row.first, runs_.begin() + row.first + row.count);
        row.first = first;
    }
    runs_ = std::move(kept);
    garbage_ = 0;
}

template <int Bytes>
void OpaqueRuns::FindRow(const Picture& from, std::int32_t y, RowRuns& row) {
    const std::uint8_t* pixels = from.pixels + std::ptrdiff_t(y) * from.pitch;
    const std::uint32_t key = from.key;
    const std::int32_t width = from.width;
    row.first = std::uint32_t(runs_.size());
    std::int32_t x = 0;
    while (x < width) {
        while (x < width && PixelAt<Bytes>(pixels, x) == key) ++x;
        const std::int32_t begin = x;
        while (x < width && PixelAt<Bytes>(pixels, x) != key) ++x;
        if (x > begin) runs_.push_back({std::uint16_t(begin), std::uint16_t(x)});
    }
    row.count = std::uint32_t(runs_.size() - row.first);
    ++knownRows_;
    if (std::int64_t(row.count) * MinPixelsPerRun <= width) return;
    runs_.resize(row.first);
    row.count = Dense;
    ++denseRows_;
}

// Inlined: a sprite's rows hold a run or two, and a call per row costs as
// much as copying them.
template <int Bytes>
[[gnu::always_inline]] inline void OpaqueRuns::CopyRuns(const RowRuns& row, std::uint8_t* dst,
                                                        const std::uint8_t* pixels, std::int32_t left,
                                                        std::int32_t right, bool whole) const {
    const Run* run = runs_.data() + row.first;
    const Run* end = run + row.count;
    if (whole) {
        for (; run != end; ++run)
            CopySpan(dst + std::ptrdiff_t(run->begin) * Bytes, pixels + std::ptrdiff_t(run->begin) * Bytes,
                     std::size_t(run->end - run->begin) * Bytes);
        return;
    }
    for (; run != end && run->begin < right; ++run) {
        const std::int32_t begin = std::max<std::int32_t>(run->begin, left);
        const std::int32_t stop = std::min<std::int32_t>(run->end, right);
        if (begin < stop)
            CopySpan(dst + std::ptrdiff_t(begin - left) * Bytes, pixels + std::ptrdiff_t(begin) * Bytes,
                     std::size_t(stop - begin) * Bytes);
    }
}

template <int Bytes>
void OpaqueRuns::CopyRows(const Picture& from, std::uint8_t* dst, std::ptrdiff_t dstPitch, std::int32_t firstRow,
                          std::int32_t rowStep, std::int32_t rows, std::int32_t left, std::int32_t right) {
    const std::int32_t span = right - left;
    const bool whole = left == 0 && right == from.width;
    const std::ptrdiff_t pitch = std::ptrdiff_t(from.pitch) * rowStep;
    const std::uint8_t* pixels = from.pixels + std::ptrdiff_t(firstRow) * from.pitch;
    // The common cases, a sprite frame or a map not written since found.
    if (denseRows_ == rows_.size()) {
        for (std::int32_t i = 0; i < rows; ++i, dst += dstPitch, pixels += pitch)
            SelectRow<Bytes>(dst, pixels + std::ptrdiff_t(left) * Bytes, span, from.key);
        return;
    }
    if (knownRows_ == rows_.size() && denseRows_ == 0) {
        for (std::int32_t i = 0; i < rows; ++i, dst += dstPitch, pixels += pitch)
            CopyRuns<Bytes>(rows_[std::size_t(firstRow + i * rowStep)], dst, pixels, left, right, whole);
        return;
    }
    const std::uint32_t generation = generation_;
    for (std::int32_t i = 0; i < rows; ++i, dst += dstPitch, pixels += pitch) {
        const std::int32_t y = firstRow + i * rowStep;
        RowRuns& row = rows_[std::size_t(y)];
        if (row.generation != generation) row = RowRuns{generation};
        if (row.count == Unknown) {
            // A changed row is found again once copies have tested as many
            // pixels of it as finding takes: a copy costs its own area.
            if (std::int64_t(row.selected) + span <= from.width) {
                row.selected += std::uint32_t(span);
                SelectRow<Bytes>(dst, pixels + std::ptrdiff_t(left) * Bytes, span, from.key);
                continue;
            }
            FindRow<Bytes>(from, y, row);
        }
        if (row.count == Dense)
            SelectRow<Bytes>(dst, pixels + std::ptrdiff_t(left) * Bytes, span, from.key);
        else
            CopyRuns<Bytes>(row, dst, pixels, left, right, whole);
    }
}

void OpaqueRuns::Copy(const Picture& from, std::uint8_t* dst, std::ptrdiff_t dstPitch, std::int32_t firstRow,
                      std::int32_t rowStep, std::int32_t rows, std::int32_t left, std::int32_t right) {
    if (rows_.size() != std::size_t(from.height)) {
        rows_.assign(std::size_t(from.height), RowRuns{});
        ForgetAll();
    }
    Compact();
    switch (from.bytes) {
        case 1: CopyRows<1>(from, dst, dstPitch, firstRow, rowStep, rows, left, right); break;
        case 2: CopyRows<2>(from, dst, dstPitch, firstRow, rowStep, rows, left, right); break;
        case 3: CopyRows<3>(from, dst, dstPitch, firstRow, rowStep, rows, left, right); break;
        default: CopyRows<4>(from, dst, dstPitch, firstRow, rowStep, rows, left, right); break;
    }
}

}  // namespace qel
