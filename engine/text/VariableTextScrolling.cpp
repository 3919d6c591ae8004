// Variable's frame and scroll arrows, drawn as lines in world coordinates, and
// the scrolling of the two offsets by keys and by clicks on the arrows.
#include <algorithm>
#include "display/GeometricsDrawn.h"
#include "foundation/Variable.h"
#include "runtime/EngineGlobals.h"
#include "text/TextDisplayInternal.h"
#include "text/TextInputInternal.h"
#include "text/TextLayoutInternal.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

[[maybe_unused]] const bool installed = TextDisplay::Install();

enum Arrow { RightArrow = 0, LeftArrow = 1, UpArrow = 2, DownArrow = 3 };

struct WorldPoint {
    double x, y;
};

// Where the frame's own coordinates lie in the world: a screen text follows
// the viewport, a map's text the map.
WorldPoint Origin(const Variable& v) {
    if (v.m_TextMap) return {v.m_TextMap->WorldPositionX(), v.m_TextMap->WorldPositionY()};
    if (v.m_InWorld) return {0.0, 0.0};
    const ViewPort& view = LevelViewPort();
    return {view.WorldXPos(), view.WorldYPos()};
}

void Line(const WorldPoint& o, double x1, double y1, double x2, double y2, unsigned long colour) {
    if (!pDraw) return;
    pDraw->Line(float(o.x + x1), float(o.y + y1), float(o.x + x2), float(o.y + y2), colour);
}

// The arrow's corners relative to (R, B): tip, base from, base to, and its
// hit rectangle, in units of S/4 (the halves and three quarters truncated).
struct ArrowShape {
    std::int64_t tip[2], from[2], to[2], hit[4];
};

ArrowShape ShapeOf(Arrow a, std::int64_t s) {
    const std::int64_t q = s / 4, h = s / 2, t = 3 * s / 4;
    switch (a) {
        case RightArrow: return {{0, -h}, {-q, -t}, {-q, -q}, {-q, -t, 0, -q}};
        case LeftArrow: return {{-s, -h}, {-t, -t}, {-t, -q}, {-s, -t, -t, -q}};
        case UpArrow: return {{-h, -s}, {-t, -t}, {-q, -t}, {-t, -s, -q, -t}};
        default: return {{-h, 0}, {-t, -q}, {-q, -q}, {-t, -q, -q, 0}};
    }
}

void DrawArrow(Variable& v, Arrow a, unsigned long colour) {
    const std::int64_t r = std::int64_t(v.m_Frame.right) - v.m_ArrowsInsetX;
    const std::int64_t b = std::int64_t(v.m_Frame.bottom) - v.m_ArrowsInsetY;
    const ArrowShape shape = ShapeOf(a, v.m_ArrowsSize);
    const WorldPoint o = Origin(v);
    auto px = [&](std::int64_t dx) { return double(r + dx); };
    auto py = [&](std::int64_t dy) { return double(b + dy); };
    Line(o, px(shape.tip[0]), py(shape.tip[1]), px(shape.from[0]), py(shape.from[1]), colour);
    Line(o, px(shape.from[0]), py(shape.from[1]), px(shape.to[0]), py(shape.to[1]), colour);
    Line(o, px(shape.to[0]), py(shape.to[1]), px(shape.tip[0]), py(shape.tip[1]), colour);
    tagRECT& hit = v.m_ArrowRects[a];
    hit.left = TruncToInt32(o.x + px(shape.hit[0]));
    hit.top = TruncToInt32(o.y + py(shape.hit[1]));
    hit.right = TruncToInt32(o.x + px(shape.hit[2]));
    hit.bottom = TruncToInt32(o.y + py(shape.hit[3]));
}

bool Contains(const tagRECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Forward: toward `next`, at most `delta` at a time.
void StepForward(std::int32_t& offset, std::int32_t next, std::uint32_t delta) {
    if (offset < next)
        offset = textmath::ToInt32(offset + std::min<std::int64_t>(delta, std::int64_t(next) - offset));
    else
        offset = next;
}

void StepBackward(std::int32_t& offset, std::uint32_t delta) {
    if (offset < 1 || std::int64_t(offset) < std::int64_t(delta))
        offset = 0;
    else
        offset = textmath::ToInt32(std::int64_t(offset) - delta);
}

bool Horizontal(Variable::DisplayTypes t) { return t == Variable::HorizontalScrolling || t == Variable::HVScrolling; }
bool Vertical(Variable::DisplayTypes t) { return t == Variable::VerticalScrolling || t == Variable::HVScrolling; }

unsigned char KeyOf(std::int32_t field) { return static_cast<unsigned char>(field & 0xFF); }

}  // namespace

void Variable::ShowFrame(unsigned long colour) {
    const WorldPoint o = Origin(*this);
    const double l = m_Frame.left, t = m_Frame.top, r = m_Frame.right, b = m_Frame.bottom;
    Line(o, l, t, r, t, colour);
    Line(o, r, t, r, b, colour);
    Line(o, r, b, l, b, colour);
    Line(o, l, b, l, t, colour);
}

void Variable::DrawRightArrow(unsigned long colour) { DrawArrow(*this, RightArrow, colour); }
void Variable::DrawLeftArrow(unsigned long colour) { DrawArrow(*this, LeftArrow, colour); }
void Variable::DrawUpArrow(unsigned long colour) { DrawArrow(*this, UpArrow, colour); }
void Variable::DrawDownArrow(unsigned long colour) { DrawArrow(*this, DownArrow, colour); }

void Variable::ArrowsStatus() {
    if (!Horizontal(m_DisplayType) && !Vertical(m_DisplayType)) return;
    if (m_HScrollOffset != 0) DrawLeftArrow(m_ArrowsColor);
    if (m_VScrollOffset != 0) DrawUpArrow(m_ArrowsColor);
    m_NextHScrollOffset = textmath::ToInt32(std::int64_t(m_HScrollOffset) + m_HDeltaScroll);
    m_NextVScrollOffset = textmath::ToInt32(std::int64_t(m_VScrollOffset) + m_VDeltaScroll);
    if (m_LongestLineSize > m_FrameWidth)
        DrawRightArrow(m_ArrowsColor);
    else
        m_NextHScrollOffset = m_HScrollOffset;
    if (m_LargestBloc > m_FrameHeight)
        DrawDownArrow(m_ArrowsColor);
    else
        m_NextVScrollOffset = m_VScrollOffset;
}

void Variable::ArrowsMouseStatus() {
    const TextInput& input = TextInput::Current();
    if (m_Pause || !input.cursorShown()) return;
    const int x = input.mouseWorldX(), y = input.mouseWorldY();
    for (int a = RightArrow; a <= DownArrow; ++a) {
        const bool horizontal = a == RightArrow || a == LeftArrow;
        if (!Contains(m_ArrowRects[a], x, y)) continue;
        if (horizontal ? !Horizontal(m_DisplayType) : !Vertical(m_DisplayType)) continue;
        const bool triggeredMode = horizontal ? m_HScrollTriggered : m_VScrollTriggered;
        if (!(triggeredMode ? input.buttonTriggered() : input.buttonPressed())) return;
        switch (a) {
            case RightArrow: StepForward(m_HScrollOffset, m_NextHScrollOffset, m_HDeltaScroll); break;
            case LeftArrow: StepBackward(m_HScrollOffset, m_HDeltaScroll); break;
            case UpArrow: StepBackward(m_VScrollOffset, m_VDeltaScroll); break;
            default: StepForward(m_VScrollOffset, m_NextVScrollOffset, m_VDeltaScroll); break;
        }
        return;
    }
}

void Variable::HorizontalScroll() {
    if (!Horizontal(m_DisplayType) || m_Pause) return;
    const TextInput& input = TextInput::Current();
    const unsigned char forward = KeyOf(m_HScrollRightKey), backward = KeyOf(m_HScrollLeftKey);
    if (m_HScrollTriggered) {
        if (input.keyTriggered(forward))
            StepForward(m_HScrollOffset, m_NextHScrollOffset, m_HDeltaScroll);
        else if (input.keyTriggered(backward))
            StepBackward(m_HScrollOffset, m_HDeltaScroll);
        return;
    }
    if (input.keyPressed(forward)) StepForward(m_HScrollOffset, m_NextHScrollOffset, m_HDeltaScroll);
    if (input.keyPressed(backward)) StepBackward(m_HScrollOffset, m_HDeltaScroll);
}

void Variable::VerticalScroll() {
    if (!Vertical(m_DisplayType) || m_Pause) return;
    const TextInput& input = TextInput::Current();
    const unsigned char forward = KeyOf(m_VScrollDownKey), backward = KeyOf(m_VScrollUpKey);
    const bool triggered = m_VScrollTriggered;
    if (triggered ? input.keyTriggered(forward) : input.keyPressed(forward))
        StepForward(m_VScrollOffset, m_NextVScrollOffset, m_VDeltaScroll);
    if (triggered ? input.keyTriggered(backward) : input.keyPressed(backward))
        StepBackward(m_VScrollOffset, m_VDeltaScroll);
}
