#include "text/TextLayoutInternal.h"

#include <algorithm>
#include <cstring>
#include "foundation/Variable.h"
#include "platform/DrawContext.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace textmath {

std::int64_t Add(std::int64_t a, std::int64_t b) { return std::clamp<std::int64_t>(a + b, -Cap, Cap); }

std::int64_t Mul(std::int64_t a, std::int64_t b) {
    if (a == 0 || b == 0) return 0;
    const bool negative = (a < 0) != (b < 0);
    const std::int64_t x = a < 0 ? -a : a, y = b < 0 ? -b : b;
    const std::int64_t product = x > Cap / y ? Cap : std::min(x * y, Cap);
    return negative ? -product : product;
}

std::int32_t ToInt32(std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace textmath

using textmath::Add;
using textmath::Mul;

namespace {

TextLayout::DrawObserver drawObserver = nullptr;
void* drawObserverContext = nullptr;

bool ClippingType(Variable::DisplayTypes t) { return t == Variable::HorizontalScrolling || t == Variable::HVScrolling; }

// How many characters may be shown now: an effect that types or reveals line
// by line shows ShownCount of them.
std::int64_t ShownLimit(const Variable& v) {
    const bool counting = !v.m_EffectFinished && (v.m_EffectType == Variable::CharacterByCharacterEffect ||
                                                  v.m_EffectType == Variable::LineByLineEffect);
    return counting ? std::max<std::int64_t>(v.m_ShownCount, 0) : std::int64_t(v.m_TextLength);
}

// A frame point (x, y) on the screen. A screen-placed text on a map moves
// with the map's own view, so the map is made to follow the viewport exactly.
QelPoint Placed(Variable& v, double x, double y, bool rounded, bool touchMap) {
    auto convert = [rounded](double c) { return rounded ? RoundHalfTowardZero(c) : TruncToInt32(c); };
    const ViewPort& view = LevelViewPort();
    QelPoint p;
    if (!v.m_TextMap) {
        const double dx = v.m_InWorld ? -double(view.WorldXPos()) : 0.0;
        const double dy = v.m_InWorld ? -double(view.WorldYPos()) : 0.0;
        p.y = convert(y + dy);
        p.x = convert(x + dx);
    } else if (!v.m_InWorld) {
        if (touchMap) {
            v.m_TextMap->ScrollRatioX(1.0f);
            v.m_TextMap->ScrollRatioY(1.0f);
        }
        p.y = convert(y + v.m_TextMap->ViewPortY());
        p.x = convert(x + v.m_TextMap->ViewPortX());
    } else {
        p.y = convert(y + v.m_TextMap->WorldPositionY() - view.WorldYPos());
        p.x = convert(x + v.m_TextMap->WorldPositionX() - view.WorldXPos());
    }
    return p;
}

}  // namespace

TextLayout::TextLayout(Variable& v, qel::DrawContext* dc)
    : v_(v),
      dc_(dc),
      text_(v.m_DisplayedText ? v.m_DisplayedText : ""),
      length_(std::int64_t(std::strlen(text_))),
      limit_(std::min(length_, ShownLimit(v))),
      margin_(v.m_LeftMargin),
      pen_(margin_),
      right_(std::int64_t(v.m_FrameWidth) - 1) {}

TextLayout::~TextLayout() { v_.m_PenX = textmath::ToInt32(pen_); }

std::int64_t TextLayout::RowHeight(const Variable& v) {
    return std::int64_t(v.m_CharSizes['x'].height) + v.m_LineSpacing;
}

std::int32_t TextLayout::LinesPerFrame(const Variable& v) {
    const std::int64_t h = RowHeight(v);
    if (h == 0) return 0;
    std::int64_t room = std::int64_t(v.m_Frame.bottom) - v.m_Frame.top - v.m_TopMargin;
    const Variable::DisplayTypes t = v.m_DisplayType;
    if (t == Variable::HorizontalScrolling || t == Variable::VerticalScrolling || t == Variable::HVScrolling)
        room -= v.m_ArrowsSize;
    return textmath::ToInt32(room / h);
}

QelRect TextLayout::ScreenRect(Variable& v) {
    const QelPoint a = Placed(v, v.m_Frame.left, v.m_Frame.top, false, false);
    const QelPoint b = Placed(v, v.m_Frame.right, v.m_Frame.bottom, false, false);
    return QelRect{a.x, a.y, b.x, b.y};
}

std::int64_t TextLayout::Width(char c) const { return v_.m_CharSizes[static_cast<unsigned char>(c)].width; }

std::int64_t TextLayout::Advanced(char c) const {
    return pen_ == margin_ ? Add(pen_, Width(c)) : Add(Add(pen_, v_.m_LetterSpacing), Width(c));
}

bool TextLayout::WordStart(std::int64_t i) const {
    const char c = text_[i];
    return c != '\0' && c != ' ' && (i == 0 || text_[i - 1] == ' ');
}

std::int64_t TextLayout::WordExtent(std::int64_t i) const {
    std::int64_t k = 0, widths = 0;
    for (; i + k < length_; ++k) {
        const char c = text_[i + k];
        if (c == ' ' || c == '\n') break;
        widths = Add(widths, Width(c));
    }
    return Add(Mul(k, v_.m_LetterSpacing), widths);
}

void TextLayout::Draw(char c, std::int32_t row) {
    if (!dc_) return;
    const double x = double(v_.m_Frame.left) + double(pen_ - Width(c));
    const double y = double(v_.m_Frame.top) + double(v_.m_TopMargin) + double(Mul(row, RowHeight(v_)));
    const QelPoint p = Placed(v_, x, y, true, true);
    if (drawObserver) drawObserver(drawObserverContext, c, p);
    dc_->TextOut(p.x, p.y, &c, 1);
}

void TextLayout::Observe(DrawObserver observer, void* context) {
    drawObserver = observer;
    drawObserverContext = context;
}

bool TextLayout::WrapRow(std::int32_t row, bool respectWords, bool draw) {
    const std::int64_t start = index_;
    while (index_ < limit_) {
        const char c = text_[index_];
        if (c == '\n') {
            ++index_;
            pen_ = margin_;
            return true;
        }
        if (respectWords && pen_ != margin_ && WordStart(index_) && Add(WordExtent(index_), pen_) > right_) {
            pen_ = margin_;
            return true;
        }
        if (c == ' ' && pen_ == margin_ && !v_.m_LeadingSpaces) {
            ++index_;
            continue;
        }
        const std::int64_t next = Advanced(c);
        if (!Fits(next)) {
            pen_ = margin_;
            return index_ != start;
        }
        pen_ = next;
        if (draw) Draw(c, row);
        ++index_;
    }
    return true;
}

void TextLayout::ClipRow(std::int32_t row, bool draw) {
    if (index_ == 0 || text_[index_ - 1] == '\n') {
        for (std::int64_t skipped = 0; skipped < v_.m_HScrollOffset; ++skipped) {
            if (index_ >= limit_) return;
            if (text_[index_++] == '\n') return;
        }
    }
    while (index_ < limit_) {
        const char c = text_[index_++];
        if (c == '\n') {
            pen_ = margin_;
            return;
        }
        pen_ = Advanced(c);
        if (draw && Fits(pen_)) Draw(c, row);
    }
}

bool TextLayout::SkipLines(std::int64_t count) {
    for (std::int64_t line = 0; line < count; ++line) {
        while (index_ < limit_ && text_[index_] != '\n') ++index_;
        if (index_ >= limit_) return false;
        ++index_;
    }
    return index_ < limit_ || count <= 0;
}

std::int64_t TextLayout::RectWordLength(std::int64_t from) const {
    std::int64_t count = 1, sum = 0;
    const std::int64_t room = std::int64_t(v_.m_Frame.right) - v_.m_Frame.left - v_.m_LeftMargin;
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < length_; ++i) {
        sum = Add(sum, Add(Width(text_[i]), v_.m_LetterSpacing));
        if (sum > room) break;
        ++count;
    }
    return count;
}

// A character wider than a whole row takes a row of its own and is passed
// over, so that the count always ends.
std::int64_t TextLayout::CountWrappedRows() {
    std::int64_t rows = 0;
    limit_ = length_;
    index_ = 0;
    pen_ = margin_;
    while (index_ < length_) {
        const char c = text_[index_];
        if (c == '\n') {
            ++rows;
            pen_ = margin_;
            ++index_;
            continue;
        }
        if (WordStart(index_) && Add(WordExtent(index_), pen_) > right_) {
            if (pen_ == margin_) index_ += RectWordLength(index_);
            ++rows;
            pen_ = margin_;
            continue;
        }
        if (c == ' ' && pen_ == margin_ && !v_.m_LeadingSpaces) {
            ++index_;
            continue;
        }
        const std::int64_t next = Advanced(c);
        if (!Fits(next)) {
            if (pen_ == margin_) ++index_;
            ++rows;
            pen_ = margin_;
            continue;
        }
        pen_ = next;
        ++index_;
    }
    if (pen_ != margin_ || (length_ > 0 && text_[length_ - 1] == '\n')) ++rows;
    return rows;
}

std::int64_t TextLayout::FirstScreenful(std::int32_t rows) {
    const Variable::DisplayTypes type = v_.m_DisplayType;
    const bool words = type == Variable::RespectingWords || type == Variable::VerticalScrolling;
    limit_ = length_;
    index_ = 0;
    pen_ = margin_;
    for (std::int32_t row = 0; row < rows && index_ < length_; ++row) {
        if (!ClippingType(type)) {
            if (!WrapRow(row, words, false)) break;
            continue;
        }
        while (index_ < length_) {
            const char c = text_[index_++];
            if (c == '\n') {
                pen_ = margin_;
                break;
            }
            if (c == ' ' && pen_ == margin_ && !v_.m_LeadingSpaces) continue;
            pen_ = Advanced(c);
        }
    }
    return index_;
}
