// One edge of a convex polygon for segment clipping: a point on the edge and the
// edge's outward normal.
#pragma once
#include "QelExport.h"
#include "foundation/Node.h"

class QEL_API PolygonEdge : public node {
public:
    PolygonEdge(double pointX, double pointY, double normalX, double normalY)
        : pointX(pointX), pointY(pointY), normalX(normalX), normalY(normalY) {}
    node* Clone() const override { return new PolygonEdge(*this); }

    double pointX, pointY;
    double normalX, normalY;
};
