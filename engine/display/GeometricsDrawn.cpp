#include "display/GeometricsDrawn.h"

#include "display/DisplayInternal.h"
#include "platform/DrawContext.h"
#include "platform/Surface.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

namespace {

// World to screen: truncated toward zero after taking off the viewport position,
// saturated so that far-off points stay defined.
std::int32_t ScreenX(float x) { return TruncToInt32(double(x) - double(LevelViewPort().WorldXPos())); }
std::int32_t ScreenY(float y) { return TruncToInt32(double(y) - double(LevelViewPort().WorldYPos())); }

}  // namespace

GeometricsDrawn::GeometricsDrawn() = default;

GeometricsDrawn::~GeometricsDrawn() = default;

void GeometricsDrawn::Line(float x1, float y1, float x2, float y2, unsigned long colour) {
    if (!pBackBuffer) return;
    qel::DrawContext dc(*pBackBuffer);
    dc.SetPen(COLORREF(colour));
    dc.MoveTo(ScreenX(x1), ScreenY(y1));
    dc.LineTo(ScreenX(x2), ScreenY(y2));
}

void GeometricsDrawn::Line(float x, float y, unsigned long colour) {
    if (!pBackBuffer) return;
    qel::DrawContext dc(*pBackBuffer);  // a fresh context starts at (0, 0)
    dc.SetPen(COLORREF(colour));
    dc.LineTo(ScreenX(x), ScreenY(y));
}

void GeometricsDrawn::Circle(float x, float y, float radius, unsigned long colour) {
    if (!pBackBuffer) return;
    qel::DrawContext dc(*pBackBuffer);
    dc.SetPen(COLORREF(colour));
    dc.SetNullBrush();
    dc.Ellipse(ScreenX(x - radius), ScreenY(y - radius), ScreenX(x + radius), ScreenY(y + radius));
}
