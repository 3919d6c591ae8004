// The flip variant of a frame: which box, hot points, registration point,
// shapes and surface a frame presents under a pair of flips.
#pragma once
#include "foundation/List.h"
#include "foundation/Types.h"
#include "sprites/FrameElem.h"

namespace sprites {

struct FrameVariant {
    const FrameElem& frame;
    bool h;
    bool v;

    const tagRECT& Box() const { return h ? (v ? frame.hvFBox : frame.hFBox) : (v ? frame.vFBox : frame.Box); }
    const QelPoint* HotSpots() const {
        return h ? (v ? frame.hvFHotSpots : frame.hFHotSpots) : (v ? frame.vFHotSpots : frame.HotSpots);
    }
    float CenterX() const {
        return h ? (v ? frame.hvFCenterX : frame.hFCenterX) : (v ? frame.vFCenterX : frame.CenterX);
    }
    float CenterY() const {
        return h ? (v ? frame.hvFCenterY : frame.hFCenterY) : (v ? frame.vFCenterY : frame.CenterY);
    }
    const List& Collisions() const {
        return h ? (v ? frame.hvFCollisions : frame.hFCollisions) : (v ? frame.vFCollisions : frame.Collisions);
    }
    // The surface drawn: a flip is honoured only when the frame has that
    // mirrored image.
    int SurfaceIndex() const {
        const bool useH = h && frame.HasHFlip;
        const bool useV = v && frame.HasVFlip;
        if (useH && useV) return FrameElem::BothFlips;
        if (useH) return FrameElem::HorizontalFlip;
        if (useV) return FrameElem::VerticalFlip;
        return FrameElem::Unflipped;
    }
};

// The flip code: 0 none, 1 both, 2 horizontal only, 3 vertical only.
inline int FlipCode(bool h, bool v) { return h ? (v ? 1 : 2) : (v ? 3 : 0); }

}  // namespace sprites
