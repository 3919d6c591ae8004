// Cuts a wrapped map's window into at most four blits so that its bitmap repeats
// (or wraps around the window's edge) at any scroll offset. Saved as a fixed
// 264-byte little-endian record.
#pragma once
#include <array>
#include <cstdint>
#include "foundation/Types.h"

class WrappingAlgorithme {
public:
    static constexpr std::size_t kRecordSize = 264;
    static constexpr std::uint32_t kMaxPieces = 4;

    // A zero-filled object (what loading starts from).
    WrappingAlgorithme() = default;

    // bitmap = {0, 0, W, H}, window = {0, 0, w, h}; (originX, originY) is where the
    // window sits on screen (before the viewport is taken off); (viewportX,
    // viewportY) is the level viewport's world position now.
    void SetUp(const QelRect& bitmap, const QelRect& window, bool fixed, std::int32_t originX, std::int32_t originY,
               float viewportX, float viewportY);

    // Recomputes the pieces for a wrap offset (x, y); (viewportX, viewportY) is the
    // current viewport world position, used unless the window is fixed.
    void SetOffset(std::int32_t x, std::int32_t y, float viewportX, float viewportY);

    std::uint32_t PieceCount() const { return pieceCount_; }
    std::uint8_t Case() const { return case_; }
    const QelRect* SourceList() const { return case_ == 2 ? list1_.data() : list2_.data(); }
    const QelRect* DestinationList() const { return case_ == 2 ? list2_.data() : list1_.data(); }

    // The 264-byte record.
    void ToBytes(std::uint8_t (&out)[kRecordSize]) const;
    // Reads a record; false (and this object left unchanged) when it cannot come
    // from a valid map: bad case, more than four pieces or a zero period.
    bool FromBytes(const std::uint8_t (&in)[kRecordSize]);

private:
    void ComputePieces();
    void Finish();

    QelRect a_{};        // moving rectangle
    QelRect b_{};        // base rectangle: its size is the wrap period
    QelRect c_{};        // clip rectangle (the bitmap) in cases 3 and 4
    QelRect scratch_{};  // last intersection computed
    std::array<QelRect, 4> list1_{};
    std::array<QelRect, 4> list2_{};
    QelRect e_{};  // moving rectangle at set-up
    std::int32_t widthA_ = 0, widthB_ = 0, heightA_ = 0, heightB_ = 0;
    std::int32_t originX_ = 0, originY_ = 0;
    std::int32_t splitX_ = 0, splitY_ = 0;
    std::int32_t usedViewX_ = 0, usedViewY_ = 0;
    std::int32_t setupViewX_ = 0, setupViewY_ = 0;
    bool fixed_ = false;
    std::uint8_t case_ = 0;
    std::uint32_t pieceCount_ = 0;
};
