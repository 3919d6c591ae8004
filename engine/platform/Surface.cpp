#include "platform/Surface.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "platform/Palette.h"

namespace qel {

namespace {

std::atomic<int> forcedLost{0};

constexpr std::int32_t MaxSide = 32768;
constexpr std::int64_t MaxPixels = std::int64_t(1) << 28;

bool IsEmpty(const QelRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Always inlined: a rectangle returned in registers and read back whole from
// memory stalls every small blit on the store.
[[gnu::always_inline]] inline QelRect Intersect(const QelRect& a, const QelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool Inside(const QelRect& r, std::int32_t width, std::int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

std::uint32_t Load(const std::uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return p[0];
        case 2: {
            std::uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        case 3: return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        default: {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
}

void Store(std::uint8_t* p, int bytes, std::uint32_t v) {
    switch (bytes) {
        case 1: p[0] = std::uint8_t(v); break;
        case 2: {
            std::uint16_t w = std::uint16_t(v);
            std::memcpy(p, &w, 2);
            break;
        }
        case 3:
            p[0] = std::uint8_t(v);
            p[1] = std::uint8_t(v >> 8);
            p[2] = std::uint8_t(v >> 16);
            break;
        default: std::memcpy(p, &v, 4); break;
    }
}

}  // namespace

bool FormatForDepth(std::int32_t bitsPerPixel, PixelFormat& format) {
    switch (bitsPerPixel) {
        case 8: format = {8, 0, 0, 0}; return true;
        case 16: format = {16, 0xF800, 0x07E0, 0x001F}; return true;
        case 24: format = {24, 0xFF0000, 0xFF00, 0xFF}; return true;
        case 32: format = {32, 0xFF0000, 0xFF00, 0xFF}; return true;
        default: return false;
    }
}

std::unique_ptr<Surface> Surface::Create(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel) {
    PixelFormat format;
    if (!FormatForDepth(bitsPerPixel, format)) return nullptr;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return nullptr;
    if (std::int64_t(width) * height > MaxPixels) return nullptr;
    std::unique_ptr<Surface> s(new Surface);
    s->width_ = width;
    s->height_ = height;
    s->format_ = format;
    // Rows start on 4-byte boundaries, as the system's surfaces do.
    s->pitch_ = (width * s->BytesPerPixel() + 3) & ~3;
    s->pixels_ = std::make_shared<ByteBlock>(std::size_t(s->pitch_) * std::size_t(height));
    return s;
}

std::unique_ptr<Surface> Surface::SharingPixelsOf(const Surface& source) {
    std::unique_ptr<Surface> s(new Surface);
    s->width_ = source.width_;
    s->height_ = source.height_;
    s->format_ = source.format_;
    s->pitch_ = source.pitch_;
    if (source.locks_ == 0) {
        s->pixels_ = source.pixels_;
        return s;
    }
    // A locked surface may be written through the pointer it gave out,
    // which no sharing would see.
    s->pixels_ = std::make_shared<ByteBlock>(source.pixels_->size());
    std::memcpy(s->pixels_->data(), source.pixels_->data(), source.pixels_->size());
    return s;
}

std::uint8_t* Surface::WritablePixels() {
    if (pixels_.use_count() > 1) {
        auto own = std::make_shared<ByteBlock>(pixels_->size());
        std::memcpy(own->data(), pixels_->data(), pixels_->size());
        pixels_ = std::move(own);
    }
    return pixels_->data();
}

Surface::~Surface() = default;

std::uint8_t* Surface::Lock(std::int32_t* pitch) {
    ++locks_;
    opaqueRuns_.ForgetAll();
    if (pitch) *pitch = pitch_;
    return WritablePixels();
}

void Surface::Unlock() {
    if (locks_ > 0) --locks_;
    opaqueRuns_.ForgetAll();
}

std::uint32_t Surface::MapColor(COLORREF colour) const {
    if (colour == InvalidColor) return InvalidColor;
    std::uint32_t r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
    switch (format_.bitsPerPixel) {
        case 8: return NearestPaletteIndex(colour);
        case 16: return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        default: return r << 16 | g << 8 | b;
    }
}

COLORREF Surface::RawToColor(std::uint32_t raw) const {
    switch (format_.bitsPerPixel) {
        case 8: {
            const PaletteEntry& e = DisplayPalette()[raw & 0xFF];
            return QelRGB(e.red, e.green, e.blue);
        }
        case 16: {
            std::uint32_t r = (raw >> 11) & 0x1F, g = (raw >> 5) & 0x3F, b = raw & 0x1F;
            return QelRGB(std::uint8_t(r << 3 | r >> 2), std::uint8_t(g << 2 | g >> 4), std::uint8_t(b << 3 | b >> 2));
        }
        default: return QelRGB(std::uint8_t(raw >> 16), std::uint8_t(raw >> 8), std::uint8_t(raw));
    }
}

std::uint32_t Surface::GetRawPixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return Load(Row(y) + std::size_t(x) * BytesPerPixel(), BytesPerPixel());
}

void Surface::SetRawPixel(std::int32_t x, std::int32_t y, std::uint32_t raw) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Store(Row(y) + std::size_t(x) * BytesPerPixel(), BytesPerPixel(), raw);
}

void Surface::SetColorKey(std::uint32_t raw) {
    hasKey_ = true;
    opaqueRuns_.ForgetAll();
    int bits = format_.bitsPerPixel;
    key_ = bits >= 32 ? raw : raw & ((std::uint32_t(1) << bits) - 1);
}

void Surface::ClearColorKey() {
    hasKey_ = false;
    opaqueRuns_.ForgetAll();
    key_ = 0;
}

OpaqueRuns::Picture Surface::Picture() const {
    return {pixels_->data(), pitch_, width_, height_, BytesPerPixel(), key_};
}

void Surface::SetClipRect(const QelRect& clip) {
    hasClip_ = true;
    clip_ = clip;
}

void Surface::ClearClipRect() { hasClip_ = false; }

void Surface::ForceLostForTests(int count) { forcedLost = count; }

bool Surface::TakeForcedLost() {
    int n = forcedLost.load();
    while (n > 0) {
        if (forcedLost.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

BlitResult Surface::Fill(const QelRect* rect, std::uint32_t raw) {
    if (TakeForcedLost()) return BlitResult::Lost;
    QelRect r = rect ? *rect : QelRect{0, 0, width_, height_};
    if (IsEmpty(r)) return BlitResult::InvalidRect;
    if (hasClip_) {
        r = Intersect(r, clip_);
    } else if (!Inside(r, width_, height_)) {
        return BlitResult::InvalidRect;
    }
    FillClipped(r, raw);
    return BlitResult::Ok;
}

void Surface::FillClipped(const QelRect& rect, std::uint32_t raw) {
    QelRect r = Intersect(rect, {0, 0, width_, height_});
    if (IsEmpty(r)) return;
    opaqueRuns_.ForgetRows(r.top, r.bottom);
    const int bytes = BytesPerPixel();
    const std::int32_t count = r.right - r.left;
    std::uint8_t* pixels = WritablePixels();
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint8_t* p = pixels + std::size_t(y) * std::size_t(pitch_) + std::size_t(r.left) * bytes;
        switch (bytes) {
            case 1: std::memset(p, int(raw & 0xFF), std::size_t(count)); break;
            case 2: std::fill_n(reinterpret_cast<std::uint16_t*>(p), count, std::uint16_t(raw)); break;
            case 4: std::fill_n(reinterpret_cast<std::uint32_t*>(p), count, raw); break;
            default:
                for (std::int32_t i = 0; i < count; ++i) Store(p + std::size_t(i) * 3, 3, raw);
        }
    }
}

BlitResult Surface::Blit(const QelRect& destination, const Surface& source, const QelRect& sourceRect,
                         std::uint32_t flags) {
    if (TakeForcedLost()) return BlitResult::Lost;
    if (source.BitsPerPixel() != BitsPerPixel()) return BlitResult::InvalidRect;
    if (IsEmpty(destination) || IsEmpty(sourceRect)) return BlitResult::InvalidRect;
    // Widths in 64 bits: a destination far off the surface must not overflow.
    if (std::int64_t(destination.right) - destination.left != std::int64_t(sourceRect.right) - sourceRect.left ||
        std::int64_t(destination.bottom) - destination.top != std::int64_t(sourceRect.bottom) - sourceRect.top)
        return BlitResult::InvalidRect;
    if (!Inside(sourceRect, source.width_, source.height_)) return BlitResult::InvalidRect;

    const bool mirrorX = flags & BlitMirrorLeftRight;
    const bool mirrorY = flags & BlitMirrorUpDown;
    QelRect d = destination;
    QelRect s = sourceRect;
    if (hasClip_) {
        QelRect c = Intersect(Intersect(d, clip_), {0, 0, width_, height_});
        if (IsEmpty(c)) return BlitResult::Ok;
        // The source loses the same amounts, from the opposite side when mirrored.
        std::int32_t cutL = c.left - d.left, cutR = d.right - c.right;
        std::int32_t cutT = c.top - d.top, cutB = d.bottom - c.bottom;
        s.left += mirrorX ? cutR : cutL;
        s.right -= mirrorX ? cutL : cutR;
        s.top += mirrorY ? cutB : cutT;
        s.bottom -= mirrorY ? cutT : cutB;
        d = c;
    } else if (!Inside(d, width_, height_)) {
        return BlitResult::InvalidRect;
    }

    // Copying a surface onto itself with overlap goes through a copy of the source.
    std::unique_ptr<Surface> scratch;
    const Surface* from = &source;
    if (&source == this && !IsEmpty(Intersect(d, s))) {
        scratch = Create(s.right - s.left, s.bottom - s.top, BitsPerPixel());
        if (!scratch) return BlitResult::InvalidRect;
        scratch->Blit({0, 0, scratch->width_, scratch->height_}, source, s, BlitNone);
        if (source.hasKey_) scratch->SetColorKey(source.key_);
        from = scratch.get();
        s = {0, 0, scratch->width_, scratch->height_};
    }

    const bool keyed = (flags & BlitSourceKey) && from->hasKey_;
    const int bytes = BytesPerPixel();
    const std::int32_t rows = d.bottom - d.top;
    const std::int32_t firstY = mirrorY ? s.bottom - 1 : s.top;
    std::uint8_t* dp = WritablePixels() + std::size_t(d.top) * std::size_t(pitch_) + std::size_t(d.left) * bytes;
    // A locked source may be changing under the copy: its runs are not trusted.
    if (keyed && !mirrorX && from->locks_ == 0) {
        from->opaqueRuns_.Copy(from->Picture(), dp, pitch_, firstY, mirrorY ? -1 : 1, rows, s.left, s.right);
    } else {
        CopyRect(dp, *from, s, rows, firstY, mirrorX, mirrorY, keyed);
    }
    // Forgotten after the copy: in a copy within one surface the source's
    // rows stay as found while they are read.
    opaqueRuns_.ForgetRows(d.top, d.bottom);
    return BlitResult::Ok;
}

void Surface::CopyRect(std::uint8_t* dp, const Surface& from, const QelRect& s, std::int32_t rows, std::int32_t firstY,
                       bool mirrorX, bool mirrorY, bool keyed) {
    const int bytes = BytesPerPixel();
    const std::int32_t count = s.right - s.left;
    const int step = mirrorX ? -1 : 1;
    const std::int32_t firstX = mirrorX ? s.right - 1 : s.left;
    const std::uint8_t* sp = from.Row(firstY) + std::size_t(firstX) * bytes;
    const std::ptrdiff_t sourcePitch = mirrorY ? -std::ptrdiff_t(from.pitch_) : from.pitch_;
    if (!keyed && !mirrorX) {
        const std::size_t rowBytes = std::size_t(count) * std::size_t(bytes);
        for (std::int32_t row = 0; row < rows; ++row, sp += sourcePitch, dp += pitch_) std::memcpy(dp, sp, rowBytes);
        return;
    }
    for (std::int32_t row = 0; row < rows; ++row, sp += sourcePitch, dp += pitch_)
        OpaqueRuns::CopyRow(dp, sp, count, step, keyed, from.key_, bytes);
}

}  // namespace qel
