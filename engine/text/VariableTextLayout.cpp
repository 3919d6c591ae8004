// The drawing half of Variable's text display: once per frame the display
// text is laid out into its frame by one of five layouts, then the frame and
// the scroll arrows are drawn.
#include <algorithm>
#include <cstring>
#include "display/DisplayInternal.h"
#include "foundation/Variable.h"
#include "platform/DrawContext.h"
#include "text/TextDisplayInternal.h"
#include "text/TextLayoutInternal.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

namespace {

[[maybe_unused]] const bool installed = TextDisplay::Install();

bool Shown(const Variable& v) { return !v.m_Unused && v.m_Visible && v.m_DisplayType != Variable::NoDisplay; }

bool ScrollingType(Variable::DisplayTypes t) {
    return t == Variable::HorizontalScrolling || t == Variable::VerticalScrolling || t == Variable::HVScrolling;
}

bool InViewport(Variable& v) {
    v.m_ScreenRect = TextLayout::ScreenRect(v);
    const FRECT f = LevelViewPort().Rect();
    const QelRect vp{TruncToInt32(f.left), TruncToInt32(f.top), TruncToInt32(f.right), TruncToInt32(f.bottom)};
    const QelRect& s = v.m_ScreenRect;
    return s.left < vp.right && s.top < vp.bottom && s.right > vp.left && s.bottom > vp.top;
}

void LayOut(Variable& v, qel::DrawContext& dc) {
    const bool effectRuns = !v.m_EffectFinished && !v.m_Pause;
    switch (v.m_DisplayType) {
        case Variable::RespectingWords:
            if (effectRuns) v.UpdateEffects();
            v.DisplayRespectingWords(&dc);
            break;
        case Variable::ConsecutiveCharacters:
            if (effectRuns) v.UpdateEffects();
            v.DisplayConsecutivesCharacter(&dc);
            break;
        case Variable::HorizontalScrolling:
            v.GetNumberOfLines();
            v.GetLongestLineSize();
            if (effectRuns) {
                v.UpdateEffects();
            } else {
                v.ArrowsMouseStatus();
                v.HorizontalScroll();
            }
            v.DisplayConsecutivesCharacterHScrolling(&dc);
            break;
        case Variable::VerticalScrolling:
            v.GetNumberOfLines();
            if (effectRuns) {
                v.UpdateEffects();
            } else {
                v.ArrowsMouseStatus();
                v.VerticalScroll();
            }
            v.DisplayConsecutivesCharacterVScrolling(&dc);
            v.GetLargestBlocVS();
            break;
        case Variable::HVScrolling:
            v.GetNumberOfLines();
            v.GetLongestLineSize();
            if (effectRuns) {
                v.UpdateEffects();
            } else {
                v.ArrowsMouseStatus();
                v.HorizontalScroll();
                v.VerticalScroll();
            }
            v.DisplayConsecutivesCharacterHVScrolling(&dc);
            v.GetLargestBlocHSHVS();
            break;
        default: break;
    }
}

}  // namespace

// The frame and the arrows are drawn even when the text itself is skipped.
void DrawVariableText(Variable& v) {
    const bool inView = v.m_ActivateOutOfViewport || InViewport(v);
    if (inView && pBackBuffer) {
        qel::DrawContext dc(*pBackBuffer);
        dc.SelectFont(v.m_FontHandle);
        dc.SetTextColor(v.m_Color);
        v.m_LinesPerFrame = TextLayout::LinesPerFrame(v);
        LayOut(v, dc);
    }
    if (v.m_ShowFrame) v.ShowFrame(static_cast<unsigned long>(v.m_FrameColor));
    if (v.m_EffectFinished && ScrollingType(v.m_DisplayType)) v.ArrowsStatus();
}

void Variable::DisplayTextMap() {
    if (m_TextMap && Shown(*this)) DisplayText();
}

void Variable::DisplayTextNoMap() {
    if (!m_TextMap && Shown(*this)) DisplayText();
}

void Variable::DisplayRespectingWords(qel::DrawContext* dc) {
    TextLayout layout(*this, dc);
    for (std::int32_t row = 0; row < m_LinesPerFrame && !layout.AtEnd(); ++row)
        if (!layout.WrapRow(row, true, true)) break;
}

void Variable::DisplayConsecutivesCharacter(qel::DrawContext* dc) {
    TextLayout layout(*this, dc);
    for (std::int32_t row = 0; row < m_LinesPerFrame && !layout.AtEnd(); ++row)
        if (!layout.WrapRow(row, false, true)) break;
}

void Variable::DisplayConsecutivesCharacterHScrolling(qel::DrawContext* dc) {
    TextLayout layout(*this, dc);
    for (std::int32_t row = 0; row < m_LinesPerFrame && !layout.AtEnd(); ++row) layout.ClipRow(row, true);
}

void Variable::DisplayConsecutivesCharacterVScrolling(qel::DrawContext* dc) {
    TextLayout layout(*this, dc);
    for (std::int32_t row = 0; row < m_VScrollOffset; ++row) {
        if (layout.AtEnd() || !layout.WrapRow(row, true, false)) return;
    }
    if (layout.AtEnd()) return;
    layout.RestartPen();
    for (std::int32_t row = 0; row < m_LinesPerFrame && !layout.AtEnd(); ++row)
        if (!layout.WrapRow(row, true, true)) break;
}

void Variable::DisplayConsecutivesCharacterHVScrolling(qel::DrawContext* dc) {
    TextLayout layout(*this, dc);
    if (!layout.SkipLines(m_VScrollOffset)) return;
    for (std::int32_t row = 0; row < m_LinesPerFrame && !layout.AtEnd(); ++row) layout.ClipRow(row, true);
}

void Variable::GetNumberOfLines() {
    m_PenX = static_cast<std::int32_t>(m_LeftMargin);
    if (!m_DisplayedText || !*m_DisplayedText) {
        m_NumberOfLines = 0;
        return;
    }
    if (m_DisplayType == HorizontalScrolling || m_DisplayType == HVScrolling) {
        m_NumberOfLines =
            textmath::ToInt32(1 + std::count(m_DisplayedText, m_DisplayedText + std::strlen(m_DisplayedText), '\n'));
    } else if (m_DisplayType == VerticalScrolling) {
        TextLayout layout(*this, nullptr);
        m_NumberOfLines = textmath::ToInt32(layout.CountWrappedRows());
    }
}

int Variable::GetRectWordLenght(int index) {
    TextLayout layout(*this, nullptr);
    return textmath::ToInt32(layout.RectWordLength(index));
}

void Variable::GetLongestLineSize() {
    m_LongestLineSize = 0;
    if (!m_DisplayedText) return;
    const std::int64_t lines = m_DisplayType == HorizontalScrolling ? m_LinesPerFrame
                               : m_DisplayType == HVScrolling       ? m_NumberOfLines
                                                                    : 0;
    const char* t = m_DisplayedText;
    const std::int64_t length = std::int64_t(std::strlen(t));
    std::int64_t i = 0, longest = 0;
    for (std::int64_t line = 0; line < lines && i < length; ++line) {
        for (std::int64_t skipped = 0; skipped < m_HScrollOffset && i < length && t[i] != '\n'; ++skipped) ++i;
        std::int64_t k = 0, widths = 0;
        for (; i < length && t[i] != '\n'; ++i, ++k)
            widths = textmath::Add(widths, m_CharSizes[static_cast<unsigned char>(t[i])].width);
        if (i < length) ++i;
        const std::int64_t size = textmath::Add(textmath::Add(textmath::Mul(k, m_LetterSpacing), widths), m_LeftMargin);
        longest = std::max(longest, size);
    }
    m_LongestLineSize = textmath::ToInt32(longest);
}

namespace {

std::int32_t Block(const Variable& v, std::int64_t rows, std::int64_t rowHeight, std::int64_t extra) {
    if (!v.m_DisplayedText) return 0;
    const std::int64_t shown = std::max<std::int64_t>(0, rows - v.m_VScrollOffset);
    return textmath::ToInt32(textmath::Add(textmath::Add(textmath::Mul(shown, rowHeight), extra),
                                           std::int64_t(v.m_TopMargin) + v.m_ArrowsSize));
}

}  // namespace

void Variable::GetLargestBlocVS() { m_LargestBloc = Block(*this, m_NumberOfLines, m_CharSizes['x'].height, 0); }

void Variable::GetLargestBlocHSHVS() {
    const std::int64_t h = m_CharSizes['X'].height;
    m_LargestBloc = Block(*this, m_NumberOfLines, h, h);
}
