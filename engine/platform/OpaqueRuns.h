// The spans of a colour-keyed picture's rows that are not the key, so that
// keyed copies move each span whole and skip the key pixels without looking
// at them again (a sprite frame drawn every frame). Rows are found one by
// one, when a copy needs them, and forgotten one by one when written: a
// write costs the next copies of that row alone, never a pass over the
// whole picture (a game drawing into a large keyed map every frame).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

// Kept and used by Surface alone, which is why the library exports none of it.
class OpaqueRuns {
    friend class Surface;

    // The picture a copy reads: `width` x `height` pixels of `bytes` bytes,
    // row y starting at pixels + y * pitch, and its colour key.
    struct Picture {
        const std::uint8_t* pixels;
        std::int32_t pitch;
        std::int32_t width;
        std::int32_t height;
        int bytes;
        std::uint32_t key;
    };

    // Every row changed (a new key, or the pixels handed out by a lock).
    void ForgetAll();
    // Rows [first, end) changed.
    void ForgetRows(std::int32_t first, std::int32_t end);

    // Copies `rows` rows of the picture to dst (pitch dstPitch), leaving out
    // its key pixels, clipped to the columns [left, right): row i comes from
    // row firstRow + i * rowStep and its column left goes to dst's first pixel.
    void Copy(const Picture& from, std::uint8_t* dst, std::ptrdiff_t dstPitch, std::int32_t firstRow,
              std::int32_t rowStep, std::int32_t rows, std::int32_t left, std::int32_t right);

    // One row of `count` pixels from src to dst, keyed or not, forwards or
    // (step -1) from the source's last pixel backwards.
    static void CopyRow(std::uint8_t* dst, const std::uint8_t* src, std::int32_t count, int step, bool keyed,
                        std::uint32_t key, int bytes);

private:
    struct Run {
        std::uint16_t begin;  // first opaque column
        std::uint16_t end;    // one past the last
    };
    // What is known of one row. A row whose generation is not the current
    // one is unknown: forgetting every row is one step.
    static constexpr std::uint32_t Unknown = 0xFFFFFFFF;
    static constexpr std::uint32_t Dense = 0xFFFFFFFE;  // runs too short: every pixel is tested instead
    struct RowRuns {
        std::uint32_t generation = 0;
        std::uint32_t first = 0;        // its runs are runs_[first] up to runs_[first + count]
        std::uint32_t count = Unknown;  // or Dense, or the number of runs
        std::uint32_t selected = 0;     // pixels copied by testing since the row changed
    };

    void Compact();
    template <int Bytes>
    void FindRow(const Picture& from, std::int32_t y, RowRuns& row);
    template <int Bytes>
    void CopyRuns(const RowRuns& row, std::uint8_t* dst, const std::uint8_t* pixels, std::int32_t left,
                  std::int32_t right, bool whole) const;
    template <int Bytes>
    void CopyRows(const Picture& from, std::uint8_t* dst, std::ptrdiff_t dstPitch, std::int32_t firstRow,
                  std::int32_t rowStep, std::int32_t rows, std::int32_t left, std::int32_t right);

    std::vector<Run> runs_;
    std::vector<RowRuns> rows_;
    std::uint32_t generation_ = 1;
    std::size_t garbage_ = 0;  // runs_ entries of rows found again or forgotten
    // Rows of the current generation found, and those of them found Dense:
    // a picture known whole copies without looking at each row's state.
    std::size_t knownRows_ = 0;
    std::size_t denseRows_ = 0;
};

}  // namespace qel
