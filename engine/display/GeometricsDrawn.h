// One-pixel lines and circle outlines in world coordinates, drawn onto the back
// buffer through the current level's viewport (the debug displays use it).
#pragma once
#include "QelExport.h"
#include "foundation/Node.h"

class QEL_API GeometricsDrawn : public node {
public:
    GeometricsDrawn();
    ~GeometricsDrawn() override;

    // From world point 1 to world point 2; the end pixel is not drawn.
    void Line(float x1, float y1, float x2, float y2, unsigned long colour);
    // From the screen's top-left corner to the world point.
    void Line(float x, float y, unsigned long colour);
    // Outline of the circle around the world point.
    void Circle(float x, float y, float radius, unsigned long colour);
};
