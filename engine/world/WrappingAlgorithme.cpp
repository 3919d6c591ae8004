#include "world/WrappingAlgorithmeInternal.h"

#include <cstring>
#include "world/GeometryInternal.h"

namespace {

// Saturating, so that a hostile loaded record keeps the arithmetic defined.
std::int32_t Width(const QelRect& r) { return RectWidth(r); }
std::int32_t Height(const QelRect& r) { return RectHeight(r); }

// Offsets reduced into [0, period).
std::int32_t Wrap(std::int64_t v, std::int32_t period) {
    std::int64_t m = v % period;
    if (m < 0) m += period;
    return static_cast<std::int32_t>(m);
}

class Writer {
public:
    explicit Writer(std::uint8_t* p) : p_(p) {}
    void I32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) *p_++ = static_cast<std::uint8_t>(u >> (8 * i));
    }
    void Rect(const QelRect& r) {
        I32(r.left);
        I32(r.top);
        I32(r.right);
        I32(r.bottom);
    }
    void U8(std::uint8_t v) { *p_++ = v; }

private:
    std::uint8_t* p_;
};

class Reader {
public:
    explicit Reader(const std::uint8_t* p) : p_(p) {}
    std::int32_t I32() {
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= std::uint32_t(*p_++) << (8 * i);
        return static_cast<std::int32_t>(u);
    }
    QelRect Rect() {
        QelRect r;
        r.left = I32();
        r.top = I32();
        r.right = I32();
        r.bottom = I32();
        return r;
    }
    std::uint8_t U8() { return *p_++; }

private:
    const std::uint8_t* p_;
};

}  // namespace

void WrappingAlgorithme::SetUp(const QelRect& bitmap, const QelRect& window, bool fixed, std::int32_t originX,
                               std::int32_t originY, float viewportX, float viewportY) {
    fixed_ = fixed;
    setupViewX_ = TruncToInt32(viewportX);
    setupViewY_ = TruncToInt32(viewportY);
    const std::int32_t W = Width(bitmap), H = Height(bitmap);
    const std::int32_t w = Width(window), h = Height(window);
    if (w < W && h < H) {
        case_ = 1;
        a_ = window;
        b_ = bitmap;
    } else if (w < W) {  // H <= h
        case_ = 3;
        c_ = bitmap;
        a_ = window;
        b_ = bitmap;
        b_.bottom = h;
    } else if (h < H) {  // W <= w
        case_ = 4;
        c_ = bitmap;
        a_ = window;
        b_ = bitmap;
        b_.right = w;
    } else {
        case_ = 2;
        a_ = bitmap;
        b_ = window;
    }
    widthA_ = Width(a_);
    heightA_ = Height(a_);
    widthB_ = Width(b_);
    heightB_ = Height(b_);
    originX_ = originX;
    originY_ = originY;
    e_ = a_;
}

void WrappingAlgorithme::SetOffset(std::int32_t x, std::int32_t y, float viewportX, float viewportY) {
    if (fixed_) {
        usedViewX_ = setupViewX_;
        usedViewY_ = setupViewY_;
    } else {
        usedViewX_ = TruncToInt32(viewportX);
        usedViewY_ = TruncToInt32(viewportY);
    }
    pieceCount_ = 0;
    if (widthB_ <= 0 || heightB_ <= 0) return;  // no period: nothing to draw
    std::int64_t ox = x, oy = y;
    if (case_ != 2) {
        ox = -ox;
        oy = -oy;
    }
    a_ = OffsetRect(e_, Wrap(ox, widthB_), Wrap(oy, heightB_));
    ComputePieces();
    Finish();
}

void WrappingAlgorithme::ComputePieces() {
    // The moving rectangle is e_ moved by an offset below the period; near the
    // int32 limits its far edges are held at the limit, so its size comes from
    // e_ and its far edges are counted beyond the limit.
    const QelRect inter = IntersectRects(a_, b_);
    scratch_ = inter;
    const QelRect local = OffsetRect(inter, -std::int64_t(a_.left), -std::int64_t(a_.top));
    splitX_ = local.right;
    splitY_ = local.bottom;
    const std::int32_t sx = splitX_, sy = splitY_;
    const std::int32_t aw = Width(e_), ah = Height(e_);
    const std::int64_t bw = Width(b_), bh = Height(b_);
    const std::int64_t ax = a_.left, ay = a_.top;
    list2_[0] = inter;
    list1_[0] = local;
    const bool outRight = b_.right < ax + aw;
    const bool outBottom = b_.bottom < ay + ah;
    if (outRight && !outBottom) {
        list1_[1] = QelRect{sx, 0, aw, ah};
        list2_[1] = OffsetRect(list1_[1], ax - bw, ay);
        pieceCount_ = 2;
    } else if (outRight && outBottom) {
        list1_[1] = QelRect{sx, 0, aw, sy};
        list2_[1] = OffsetRect(list1_[1], ax - bw, ay);
        list1_[2] = QelRect{sx, sy, aw, ah};
        list2_[2] = OffsetRect(list1_[2], ax - bw, ay - bh);
        list1_[3] = QelRect{0, sy, sx, ah};
        list2_[3] = OffsetRect(list1_[3], ax, ay - bh);
        pieceCount_ = 4;
    } else if (outBottom) {
        list1_[1] = QelRect{0, sy, aw, ah};
        list2_[1] = OffsetRect(list1_[1], ax, ay - bh);
        pieceCount_ = 2;
    } else {
        pieceCount_ = 1;
    }
}

void WrappingAlgorithme::Finish() {
    const std::int64_t tx = std::int64_t(originX_) - usedViewX_, ty = std::int64_t(originY_) - usedViewY_;
    if (case_ == 1) {
        for (std::uint32_t i = 0; i < pieceCount_; ++i) list1_[i] = OffsetRect(list1_[i], tx, ty);
        return;
    }
    if (case_ == 2) {
        for (std::uint32_t i = 0; i < pieceCount_; ++i) list2_[i] = OffsetRect(list2_[i], tx, ty);
        return;
    }
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < pieceCount_; ++i) {
        const QelRect src = IntersectRects(list2_[i], c_);
        if (RectIsEmpty(src)) continue;
        QelRect dst = list1_[i];
        dst.right = ClampToInt32(std::int64_t(dst.left) + Width(src));
        dst.bottom = ClampToInt32(std::int64_t(dst.top) + Height(src));
        list2_[kept] = src;
        list1_[kept] = OffsetRect(dst, tx, ty);
        ++kept;
    }
    pieceCount_ = kept;
}

void WrappingAlgorithme::ToBytes(std::uint8_t (&out)[kRecordSize]) const {
    std::memset(out, 0, kRecordSize);
    Writer w(out);
    w.Rect(a_);
    w.Rect(b_);
    w.Rect(c_);
    w.Rect(scratch_);
    for (const QelRect& r : list1_) w.Rect(r);
    for (const QelRect& r : list2_) w.Rect(r);
    w.Rect(e_);
    w.I32(widthA_);
    w.I32(widthB_);
    w.I32(heightA_);
    w.I32(heightB_);
    w.I32(originX_);
    w.I32(originY_);
    w.I32(splitX_);
    w.I32(splitY_);
    w.I32(usedViewX_);
    w.I32(usedViewY_);
    w.I32(setupViewX_);
    w.I32(setupViewY_);
    w.U8(fixed_ ? 1 : 0);
    w.U8(case_);
    w.U8(0);
    w.U8(0);
    w.I32(static_cast<std::int32_t>(pieceCount_));
}

bool WrappingAlgorithme::FromBytes(const std::uint8_t (&in)[kRecordSize]) {
    WrappingAlgorithme loaded;
    Reader r(in);
    loaded.a_ = r.Rect();
    loaded.b_ = r.Rect();
    loaded.c_ = r.Rect();
    loaded.scratch_ = r.Rect();
    for (QelRect& q : loaded.list1_) q = r.Rect();
    for (QelRect& q : loaded.list2_) q = r.Rect();
    loaded.e_ = r.Rect();
    loaded.widthA_ = r.I32();
    loaded.widthB_ = r.I32();
    loaded.heightA_ = r.I32();
    loaded.heightB_ = r.I32();
    loaded.originX_ = r.I32();
    loaded.originY_ = r.I32();
    loaded.splitX_ = r.I32();
    loaded.splitY_ = r.I32();
    loaded.usedViewX_ = r.I32();
    loaded.usedViewY_ = r.I32();
    loaded.setupViewX_ = r.I32();
    loaded.setupViewY_ = r.I32();
    loaded.fixed_ = r.U8() != 0;
    loaded.case_ = r.U8();
    r.U8();
    r.U8();
    loaded.pieceCount_ = static_cast<std::uint32_t>(r.I32());
    if (loaded.case_ < 1 || loaded.case_ > 4 || loaded.pieceCount_ > kMaxPieces) return false;
    if (loaded.widthB_ <= 0 || loaded.heightB_ <= 0) return false;
    if (Width(loaded.b_) != loaded.widthB_ || Height(loaded.b_) != loaded.heightB_) return false;
    *this = loaded;
    return true;
}
