// A line-segment collision shape: origin, unit direction and per-axis length,
// with the sweep tests that move it against another shape over one frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "world/CollisionData.h"

class CollisionCircle;
class List;
class PolygonEdge;

class QEL_API CollisionSegment : public CollisionData {
public:
    static constexpr float kNoContact = 200.0f;
    static constexpr float kNoHit = 1.5f;

    CollisionSegment();
    // From (x1, y1) to (x2, y2); coincident points give a zero segment.
    CollisionSegment(float x1, float y1, float x2, float y2, int id, unsigned char type, int tag);
    // From raw values; the normal is (-dirY, dirX).
    CollisionSegment(float ox, float oy, float dirX, float dirY, float magX, float magY, int id, unsigned char type,
                     int tag);
    // Copies the shape's values only, never the list links.
    CollisionSegment(const CollisionSegment& other) : CollisionData(), d(other.d) {}
    CollisionSegment& operator=(const CollisionSegment& other) {
        d = other.d;
        return *this;
    }
    ~CollisionSegment() override;

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);
    static node* CreateObject();
    static CREATE cr;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "CollisionSegment"; }
    int Type() const override { return SegmentKind; }

    // True when any of origin, direction, magnitude or normal is non-zero, or a
    // contact value is set.
    explicit operator bool() const;

    float OriginX() const { return d.originX; }
    float OriginY() const { return d.originY; }
    float DirectionX() const { return d.directionX; }
    float DirectionY() const { return d.directionY; }
    float MagnitudeX() const { return d.magnitudeX; }
    float MagnitudeY() const { return d.magnitudeY; }
    float NormalX() const { return d.normalX; }
    float NormalY() const { return d.normalY; }
    int Id() const { return d.id; }
    // The far end: origin + direction x magnitude, per axis.
    float EndX() const { return d.originX + d.directionX * d.magnitudeX; }
    float EndY() const { return d.originY + d.directionY * d.magnitudeY; }
    void OriginX(float v) { d.originX = v; }
    void OriginY(float v) { d.originY = v; }
    void DirectionX(float v) { d.directionX = v; }
    void DirectionY(float v) { d.directionY = v; }
    void NormalX(float v) { d.normalX = v; }
    void NormalY(float v) { d.normalY = v; }
    void Id(int v) { d.id = v; }

    // What the sweep tests write: the contact values (200.0 = none) when this
    // shape was the target, the hit time (1.5 = none) when it moved, and the
    // end-inside flag when an end point of it lay inside the swept area.
    float ContactX() const { return d.contactX; }
    float ContactY() const { return d.contactY; }
    void ContactX(float v) { d.contactX = v; }
    void ContactY(float v) { d.contactY = v; }
    float HitTime() const { return d.hitTime; }
    void HitTime(float v) { d.hitTime = v; }
    bool EndInside() const { return d.endInside; }
    void EndInside(bool v) { d.endInside = v; }
    // The attribute bits given at construction (bit 0: recorded, never stops a move).
    unsigned char TypeByte() const { return d.type; }
    int Tag() const { return d.tag; }

    // A new segment running the other way (ends swapped, direction and normal negated).
    static CollisionSegment OppositeSegmentDirection(const CollisionSegment& s);

    // This segment, drawn at (x, y), moves by (vx, vy); the other shape is drawn at
    // (ox, oy). True on contact; the hit time is written into this segment.
    bool DetectCollision(CollisionSegment* other, float x, float y, float ox, float oy, float vx, float vy,
                         float steps);
    bool DetectCollision(CollisionCircle* other, float x, float y, float ox, float oy, float vx, float vy, float steps);

    // Cyrus-Beck clipping of s against a convex polygon given as a list of
    // PolygonEdge; true when a part of s lies inside, and then s's end-inside flag
    // is set when an end point of s lies inside.
    static bool LineClippingConvexeShape(CollisionSegment& s, List& polygon);
    static bool LineClippingConvexeShape(CollisionSegment& s, const PolygonEdge* edges, int count);
    // One edge's cut of the candidate interval [tE, tL]; false rejects the segment.
    static bool ChopCandidateInterval(double& tE, double& tL, double num, double den);

private:
    struct Values {
        float originX = 0, originY = 0;
        float directionX = 0, directionY = 0;
        float magnitudeX = 0, magnitudeY = 0;
        std::int32_t id = 0;
        std::int32_t tag = 0;
        float contactX = kNoContact, contactY = kNoContact;
        float normalX = 0, normalY = 0;
        float hitTime = kNoHit;
        std::uint8_t type = 0;
        bool endInside = false;
    } d;
};
