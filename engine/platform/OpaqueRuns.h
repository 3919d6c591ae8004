// The spans of a colour-keyed picture's rows that are not the key, found in
// one pass so that keyed copies move each span whole and skip the key pixels
// without looking at them again (a sprite frame drawn every frame).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

class OpaqueRuns {
public:
    enum class Outcome : std::uint8_t {
        NoKey,    // no pixel holds the key
        Encoded,  // the runs are kept
        Dense,    // the key occurs, but in runs too short to copy one by one
    };

    // Finds the runs of `width` x `height` pixels of `bytes` bytes each, row y
    // starting at pixels + y * pitch; columns are kept in 16 bits (surfaces are
    // at most 32768 pixels wide). Only Encoded keeps them.
    Outcome Find(const std::uint8_t* pixels, std::int32_t pitch, std::int32_t width, std::int32_t height, int bytes,
                 std::uint32_t key);

    // Copies the runs of `rows` rows to dst, whose pitch is dstPitch, clipped to
    // the columns [left, right): row i comes from row firstRow + i * rowStep of
    // the pixels the runs were found in (given again as `pixels` and `pitch`),
    // and its column left goes to dst's first pixel.
    void Copy(std::uint8_t* dst, std::ptrdiff_t dstPitch, const std::uint8_t* pixels, std::int32_t pitch,
              std::int32_t firstRow, std::int32_t rowStep, std::int32_t rows, std::int32_t left, std::int32_t right,
              int bytes) const;

private:
    struct Run {
        std::uint16_t begin;  // first opaque column
        std::uint16_t end;    // one past the last
    };
    template <int Bytes>
    Outcome FindRows(const std::uint8_t* pixels, std::int32_t pitch, std::int32_t width, std::int32_t height,
                     std::uint32_t key);
    template <int Bytes>
    void CopyRows(std::uint8_t* dst, std::ptrdiff_t dstPitch, const std::uint8_t* pixels, std::int32_t pitch,
                  std::int32_t firstRow, std::int32_t rowStep, std::int32_t rows, std::int32_t left,
                  std::int32_t right) const;

    std::vector<Run> runs_;
    std::vector<std::uint32_t> rowStarts_;  // row y's runs are runs_[rowStarts_[y]] up to runs_[rowStarts_[y + 1]]
};

}  // namespace qel
