// Abstract base of the collision shapes (segments and circles) that frames, maps,
// alarms and path gates carry; code holding a CollisionData dispatches on Type().
#pragma once
#include "QelExport.h"
#include "foundation/Node.h"

class QEL_API CollisionData : public node {
public:
    enum Kind : int { SegmentKind = 0, CircleKind = 1 };

    ~CollisionData() override;
    // 0 for a segment, 1 for a circle.
    virtual int Type() const = 0;
};
