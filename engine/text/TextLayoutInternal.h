// One pass of the character layout over a Variable's display text: a pen and
// a character index that fill rows by the wrapping rules (word or character
// wrap) or the clipping rules (one row per text line), placing characters on
// a drawing context. Widths come from the variable's character-size table.
#pragma once
#include <cstdint>
#include "foundation/Types.h"

class Variable;
namespace qel {
class DrawContext;
}

class TextLayout {
public:
    // Over the display text, up to the characters that may be shown now (all
    // of them, or those an effect has revealed), never past its end. A null dc
    // lays out without drawing.
    TextLayout(Variable& v, qel::DrawContext* dc);
    // Stores the pen in the variable.
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // Row height: the cell of 'x' plus the line spacing.
    static std::int64_t RowHeight(const Variable& v);
    // Rows that fit in the frame (the scrolling types keep room for the arrows).
    static std::int32_t LinesPerFrame(const Variable& v);
    // The frame on the screen, by the placement rules, truncated; the map's
    // scroll ratios are left alone.
    static QelRect ScreenRect(Variable& v);

    bool Empty() const { return length_ == 0; }
    bool AtEnd() const { return index_ >= limit_; }
    std::int64_t Index() const { return index_; }
    std::int64_t Pen() const { return pen_; }
    void RestartPen() { pen_ = margin_; }

    // Fills one row by the wrapping rules; false when the row could take
    // nothing (a character wider than the row), which every later row repeats.
    bool WrapRow(std::int32_t row, bool respectWords, bool draw);
    // Fills one row by the clipping rules: the first HScrollOffset characters
    // of a text line are skipped, characters past the right edge passed over.
    void ClipRow(std::int32_t row, bool draw);
    // Passes over whole text lines; false when the text ends first.
    bool SkipLines(std::int64_t count);
    // Rows that word wrapping fills over the whole text.
    std::int64_t CountWrappedRows();
    // The first screenful that an effect reveals: rows are filled as the
    // display type lays them out, but the clipping types count every character
    // of a line. Returns the index reached.
    std::int64_t FirstScreenful(std::int32_t rows);

    // Told of every character drawn, with its place on the screen (for tools
    // and tests that follow the layout); null: nobody.
    using DrawObserver = void (*)(void* context, char c, QelPoint at);
    static void Observe(DrawObserver observer, void* context);

    // Characters from `from` that the row count lets a word wider than a row
    // take (the ones that fit, plus one).
    std::int64_t RectWordLength(std::int64_t from) const;

private:
    std::int64_t Width(char c) const;
    std::int64_t Advanced(char c) const;  // the pen after placing c
    bool Fits(std::int64_t pen) const { return pen <= right_; }
    bool WordStart(std::int64_t i) const;
    std::int64_t WordExtent(std::int64_t i) const;  // letter spacing included
    void Draw(char c, std::int32_t row);

    Variable& v_;
    qel::DrawContext* dc_;
    const char* text_;
    std::int64_t length_;
    std::int64_t limit_;
    std::int64_t index_ = 0;
    std::int64_t margin_;
    std::int64_t pen_;
    std::int64_t right_;  // last pen position that fits
};

// Integer arithmetic of the layout: saturating, so hostile sizes and spacings
// stay defined.
namespace textmath {
constexpr std::int64_t Cap = std::int64_t(1) << 60;
std::int64_t Add(std::int64_t a, std::int64_t b);
std::int64_t Mul(std::int64_t a, std::int64_t b);
std::int32_t ToInt32(std::int64_t v);
}  // namespace textmath
