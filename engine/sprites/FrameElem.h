// One frame of an actor's animation: its bitmap, size, colour key, delay, hot
// points, bounding boxes, collision shapes and registration point, each kept for
// the unflipped frame and its three mirrored variants.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"
#include "foundation/List.h"
#include "foundation/String.h"
#include "foundation/Types.h"

class CollisionSegment;
class CollisionCircle;
namespace qel {
class Surface;
}

class QEL_API FrameElem {
public:
    static constexpr int HotSpotCount = 5;
    // The largest picture side a frame may have; coordinates within this
    // distance of the frame keep every mirrored value inside int32.
    static constexpr std::int32_t MaxSide = 16384;
    // Order of the four surfaces in Surfaces.
    enum SurfaceIndex { BothFlips = 0, HorizontalFlip = 1, VerticalFlip = 2, Unflipped = 3 };

    FrameElem();
    virtual ~FrameElem();
    FrameElem(const FrameElem&) = delete;
    FrameElem& operator=(const FrameElem&) = delete;

    // Width and height between 0 and MaxSide, box and hot spots no further
    // than MaxSide outside the picture: what a frame read from a file must
    // meet before its mirrored variants are made.
    bool GeometryFits() const;

    // Array allocation from the engine's heap: null, not an exception, when the
    // heap is exhausted.
    static void* operator new[](std::size_t size) noexcept;
    static void operator delete[](void* p) noexcept;

    // Adds a pooled copy at the head of Collisions; a segment whose magnitudes
    // are both 0 is dropped.
    void AddCollisionData(CollisionSegment segment);
    void AddCollisionData(CollisionCircle circle);

    // Fill one mirrored variant from the unflipped fields (the level-file loader's
    // derivations).
    void hFCollisionList();
    void vFCollisionList();
    void hvFCollisionList();
    void hFBoundingBox();
    void vFBoundingBox();
    void hvFBoundingBox();
    void hFHotSpotArray();
    void vFHotSpotArray();
    void hvFHotSpotArray();
    void hFCenter();
    void vFCenter();
    void hvFCenter();
    void FrameFlippingMoves();

    String FileName;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    COLORREF TransparentColor = 0x00FF00;
    float CannedX = 0;
    float CannedY = 0;
    std::uint32_t Delay = 0;
    // Four surfaces (see SurfaceIndex), made and released by the actor surface
    // loading; the frame does not release them.
    qel::Surface** Surfaces;
    bool HasHFlip = false;
    bool HasVFlip = false;
    std::int32_t Reserved = 0;
    QelPoint HotSpots[HotSpotCount];
    QelPoint hFHotSpots[HotSpotCount];
    QelPoint vFHotSpots[HotSpotCount];
    QelPoint hvFHotSpots[HotSpotCount];
    // Bounding boxes, right and bottom inclusive.
    tagRECT Box{0, 0, 31, 31};
    tagRECT hFBox{0, 0, 31, 31};
    tagRECT vFBox{0, 0, 31, 31};
    tagRECT hvFBox{0, 0, 31, 31};
    List Collisions;
    List hFCollisions;
    List vFCollisions;
    List hvFCollisions;
    float CenterX = 0;
    float MoveX = 0;
    float hFCenterX = 0;
    float vFCenterX = 0;
    float hvFCenterX = 0;
    float CenterY = 0;
    float MoveY = 0;
    float hFCenterY = 0;
    float vFCenterY = 0;
    float hvFCenterY = 0;
    bool PegFrame = false;
    bool UseColorKey = false;
};
