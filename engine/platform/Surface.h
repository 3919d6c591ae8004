// A block of pixels in one of the display formats (8-bit indexed, 16-bit
// 5-6-5, 24-bit packed, 32-bit X8R8G8B8) with the blits the engine uses:
// colour fill, copy with or without the source colour key, mirrored copy.
// Rectangles follow the engine's rules: right and bottom exclusive; a source
// rectangle not inside its surface, or an empty one, draws nothing; the
// destination clips only where the surface has a clip rectangle.
#pragma once
#include <cstdint>
#include <memory>
#include "QelExport.h"
#include "foundation/Types.h"
#include "platform/ByteBlock.h"
#include "platform/OpaqueRuns.h"

namespace qel {

struct PixelFormat {
    std::int32_t bitsPerPixel = 0;
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
};

// The format of each supported depth; false for any other depth.
QEL_API bool FormatForDepth(std::int32_t bitsPerPixel, PixelFormat& format);

enum class BlitResult { Ok, InvalidRect, Lost };

enum BlitFlags : std::uint32_t {
    BlitNone = 0,
    BlitSourceKey = 1,  // skip source pixels equal to the source's colour key
    BlitMirrorLeftRight = 2,
    BlitMirrorUpDown = 4,
};

constexpr COLORREF InvalidColor = 0xFFFFFFFF;

class QEL_API Surface {
public:
    // A zero-filled surface; null for an unsupported depth or a size that is
    // not positive or too large.
    static std::unique_ptr<Surface> Create(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
    // A surface of the same size and depth with the same pixels, without the
    // source's key or clip rectangle: the pixels are shared, not copied, until
    // either surface is written (a picture kept under two keys is one block).
    static std::unique_ptr<Surface> SharingPixelsOf(const Surface& source);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    std::int32_t BitsPerPixel() const { return format_.bitsPerPixel; }
    std::int32_t BytesPerPixel() const { return (format_.bitsPerPixel + 7) / 8; }
    const PixelFormat& Format() const { return format_; }
    std::int32_t Pitch() const { return pitch_; }

    // The pixels stay where they are while locked (and in fact always).
    std::uint8_t* Lock(std::int32_t* pitch = nullptr);
    void Unlock();
    bool IsLocked() const { return locks_ > 0; }
    // Read-only view, for presentation, encoding and tests.
    const std::uint8_t* Pixels() const { return pixels_->data(); }
    // Writes through it change row y only; Lock() gives the whole picture.
    std::uint8_t* Row(std::int32_t y) {
        opaqueRuns_.ForgetRows(y, y + 1);
        return WritablePixels() + std::size_t(y) * std::size_t(pitch_);
    }
    const std::uint8_t* Row(std::int32_t y) const { return pixels_->data() + std::size_t(y) * std::size_t(pitch_); }

    // The raw pixel value this surface stores for a colour: 16 bits keep the
    // top 5/6/5 bits, 24 and 32 bits are exact, 8 bits take the nearest entry
    // of the shared palette. InvalidColor passes through.
    std::uint32_t MapColor(COLORREF colour) const;
    // The colour of a raw value (8 bits through the shared palette; 16 bits
    // widened by repeating the top bits).
    COLORREF RawToColor(std::uint32_t raw) const;
    std::uint32_t GetRawPixel(std::int32_t x, std::int32_t y) const;
    void SetRawPixel(std::int32_t x, std::int32_t y, std::uint32_t raw);

    void SetColorKey(std::uint32_t raw);
    void ClearColorKey();
    bool HasColorKey() const { return hasKey_; }
    std::uint32_t ColorKey() const { return key_; }

    // Destination clipping: with a clip rectangle, destinations are clipped
    // to it (the source shifted alike); without one a destination that is not
    // inside the surface draws nothing.
    void SetClipRect(const QelRect& clip);
    void ClearClipRect();
    bool HasClipRect() const { return hasClip_; }

    // Drawing's fill: the part of the rectangle inside the surface, no blit
    // rules and no clip rectangle.
    void FillClipped(const QelRect& rect, std::uint32_t raw);

    // Fills the rectangle (null: the whole surface) with a raw value.
    BlitResult Fill(const QelRect* rect, std::uint32_t raw);
    // Copies source rectangle to destination rectangle of the same size
    // (different sizes: InvalidRect). Both surfaces must share a depth.
    BlitResult Blit(const QelRect& destination, const Surface& source, const QelRect& sourceRect,
                    std::uint32_t flags = BlitNone);

    // Test hook: the next `count` blits, fills and presentations answer Lost
    // and draw nothing. TakeForcedLost() uses up one of them.
    static void ForceLostForTests(int count);
    static bool TakeForcedLost();

private:
    Surface() = default;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t pitch_ = 0;
    PixelFormat format_;
    // Shared with the surfaces made from this one by SharingPixelsOf until
    // one of them writes: every writer goes through WritablePixels.
    std::shared_ptr<ByteBlock> pixels_;
    int locks_ = 0;
    bool hasKey_ = false;
    std::uint32_t key_ = 0;
    bool hasClip_ = false;
    QelRect clip_;
    // The runs of the rows keyed blits read; whatever changes pixels or the
    // key forgets the rows it changed.
    mutable OpaqueRuns opaqueRuns_;

    OpaqueRuns::Picture Picture() const;
    // The pixels, this surface's own: a shared block is copied first.
    std::uint8_t* WritablePixels();
    void CopyRect(std::uint8_t* dp, const Surface& from, const QelRect& s, std::int32_t rows, std::int32_t firstY,
                  bool mirrorX, bool mirrorY, bool keyed);
};

}  // namespace qel
