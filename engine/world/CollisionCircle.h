// A circle collision shape with the sweep tests that move it against another
// shape over one frame.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "world/CollisionData.h"

class CollisionSegment;

class QEL_API CollisionCircle : public CollisionData {
public:
    static constexpr float kNoContact = 200.0f;
    static constexpr float kNoHit = 1.5f;

    CollisionCircle(float x, float y, float radius, int id, unsigned char type);
    // Copies the shape's values only, never the list links.
    CollisionCircle(const CollisionCircle& other) : CollisionData(), d(other.d) {}
    CollisionCircle& operator=(const CollisionCircle& other) {
        d = other.d;
        return *this;
    }
    ~CollisionCircle() override;

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);
    static node* CreateObject();
    static CREATE cr;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "CollisionCircle"; }
    int Type() const override { return CircleKind; }

    float OriginX() const { return d.originX; }
    float OriginY() const { return d.originY; }
    float Radius() const { return d.radius; }
    int Id() const { return d.id; }
    void Id(int v) { d.id = v; }

    // What the sweep tests write: contact values (200.0 = none) when this circle
    // was the target, hit time (1.5 = none) when it moved.
    float ContactX() const { return d.contactX; }
    float ContactY() const { return d.contactY; }
    void ContactX(float v) { d.contactX = v; }
    void ContactY(float v) { d.contactY = v; }
    float HitTime() const { return d.hitTime; }
    void HitTime(float v) { d.hitTime = v; }
    unsigned char TypeByte() const { return d.type; }

    // This circle, drawn at (x, y), moves by (vx, vy); the other shape is drawn at
    // (ox, oy). True on contact; the hit time is written into this circle.
    bool DetectCollision(CollisionSegment* other, float x, float y, float ox, float oy, float vx, float vy,
                         float steps);
    bool DetectCollision(CollisionCircle* other, float x, float y, float ox, float oy, float vx, float vy, float steps);

private:
    struct Values {
        float originX = 0, originY = 0;
        float radius = 0;
        std::int32_t id = 0;
        float contactX = kNoContact, contactY = kNoContact;
        float hitTime = kNoHit;
        std::uint8_t type = 0;
    } d;
};
