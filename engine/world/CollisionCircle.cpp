#include "world/CollisionCircle.h"

#include <cmath>
#include "foundation/File.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "foundation/ClassPool.h"

CREATE CollisionCircle::cr("CollisionCircle", CollisionCircle::CreateObject);

CollisionCircle::CollisionCircle(float x, float y, float radius, int id, unsigned char type) {
    d.originX = x;
    d.originY = y;
    d.radius = radius;
    d.id = id;
    d.type = type;
}

CollisionCircle::~CollisionCircle() = default;

void* CollisionCircle::operator new(std::size_t size) { return ClassPool<CollisionCircle>::Alloc(size); }

void CollisionCircle::operator delete(void* p, std::size_t size) { ClassPool<CollisionCircle>::Free(p, size); }

node* CollisionCircle::CreateObject() { return new CollisionCircle(0, 0, 0, 0, 0); }

node* CollisionCircle::Clone() const { return new CollisionCircle(*this); }

void CollisionCircle::Save(File& file) {
    file.Write(d.originX);
    file.Write(d.originY);
    file.Write(d.radius);
    file.Write(static_cast<int>(d.id));
    file.Write(d.contactX);
    file.Write(d.contactY);
    file.Write(d.hitTime);
    file.Write(static_cast<unsigned char>(d.type));
}

void CollisionCircle::Load(File& file) {
    int id = 0;
    unsigned char type = 0;
    file.Read(d.originX);
    file.Read(d.originY);
    file.Read(d.radius);
    file.Read(id);
    file.Read(d.contactX);
    file.Read(d.contactY);
    file.Read(d.hitTime);
    file.Read(type);
    d.id = id;
    d.type = type;
}

bool CollisionCircle::DetectCollision(CollisionSegment* other, float x, float y, float ox, float oy, float vx, float vy,
                                      float steps) {
    other->ContactX(kNoContact);
    other->ContactY(kNoContact);
    const SweepSchedule schedule(steps);
    const float dt = schedule.Dt();
    const UnitVector u = UnitOf(vx, vy);
    const float p0x = other->OriginX() + ox, p0y = other->OriginY() + oy;
    const float ex = other->DirectionX() * other->MagnitudeX();
    const float ey = other->DirectionY() * other->MagnitudeY();
    const float dd = ex * ex + ey * ey;
    const float dlen = std::sqrt(dd);
    const float rr = dlen == 0.0f ? 0.0f : d.radius / dlen;
    const float facing = other->NormalX() * u.x + other->NormalY() * u.y;

    for (std::int32_t k = 1; k <= schedule.LastBelowOnePlusDt(); ++k) {
        const float t = schedule.At(k);
        const float mx = d.originX + x + t * vx, my = d.originY + y + t * vy;
        const float p = dlen == 0.0f ? -1.0f : (ex * (mx - p0x) + ey * (my - p0y)) / dd;
        float kx, ky;
        if (p >= 0.0f && p <= 1.0f) {
            kx = p0x + p * ex;
            ky = p0y + p * ey;
        } else if (p >= -rr && p < 0.0f) {
            kx = p0x;
            ky = p0y;
        } else if (p > 1.0f && p <= 1.0f + rr) {
            kx = p0x + ex;
            ky = p0y + ey;
        } else {
            continue;
        }
        const float dx = mx - kx, dy = my - ky;
        const float dist = std::sqrt(dx * dx + dy * dy);
        if (dist > d.radius) continue;
        if (p < 0.0f || p > 1.0f) {
            const float nx = dist == 0.0f ? 0.0f : dx / dist, ny = dist == 0.0f ? 0.0f : dy / dist;
            if (nx * u.x + ny * u.y < 0.0f) {
                other->ContactX(ny);
                other->ContactY(-nx);
                d.hitTime = t - dt;
            } else {
                d.hitTime = facing == -1.0f ? kNoHit : t - dt;
            }
        } else {
            // Sliding along the segment is a touch that stops nothing.
            d.hitTime = facing == 0.0f ? kNoHit : t - dt;
        }
        return true;
    }
    return false;
}

bool CollisionCircle::DetectCollision(CollisionCircle* other, float x, float y, float ox, float oy, float vx, float vy,
                                      float steps) {
    other->d.contactX = kNoContact;
    other->d.contactY = kNoContact;
    const SweepSchedule schedule(steps);
    const float dt = schedule.Dt();
    const UnitVector u = UnitOf(vx, vy);
    const float cx = other->d.originX + ox, cy = other->d.originY + oy;
    const float reach = d.radius + other->d.radius;

    for (std::int32_t k = 1; k <= schedule.LastAtMostOne(); ++k) {
        const float t = schedule.At(k);
        const float mx = d.originX + x + t * vx, my = d.originY + y + t * vy;
        const float dx = cx - mx, dy = cy - my;
        const float dist = std::sqrt(dx * dx + dy * dy);
        if (dist > reach) continue;
        float kx = mx, ky = my;
        if (dist != 0.0f) {
            kx = mx + (d.radius / dist) * dx;
            ky = my + (d.radius / dist) * dy;
        }
        const float qx = kx - cx, qy = ky - cy;
        const float qlen = std::sqrt(qx * qx + qy * qy);
        float nx = 0.0f, ny = 1.0f;
        if (qlen != 0.0f) {
            nx = qx / qlen;
            ny = qy / qlen;
        }
        if (nx * u.x + ny * u.y < 0.0f) {
            other->d.contactX = nx;
            other->d.contactY = ny;
        }
        d.hitTime = t - dt;
        return true;
    }
    return false;
}
