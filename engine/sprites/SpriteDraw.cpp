#include "sprites/SpriteDrawInternal.h"

#include "display/GeometricsDrawn.h"

namespace sprites {

void DrawLine(float x1, float y1, float x2, float y2, unsigned long colour) {
    GeometricsDrawn().Line(x1, y1, x2, y2, colour);
}

void DrawCircle(float x, float y, float radius, unsigned long colour) {
    GeometricsDrawn().Circle(x, y, radius, colour);
}

}  // namespace sprites
