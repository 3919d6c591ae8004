#include "world/ParticleInternal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/File.h"
#include "foundation/FloatToInt.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/ParticleSystem.h"

namespace {

// The engine's degree conversions use 3.1415 for pi, not the exact value.
constexpr float kRadiansPerDegree = 0.017452778f;
constexpr float kDegreesPerRadian = 57.29747f;
constexpr float kFullTurn = 6.283f;

// The sweep's sample spacing: one pixel of a move of `steps` pixels.
float SweepDt(float steps) { return steps == 0 ? 1.0f : 1.0f / steps; }

float ChannelOf(COLORREF c, int shift) { return float((c >> shift) & 0xFF); }

// A channel as a byte: at least 0 (NaN too), at most 255.
COLORREF ChannelByte(float v) { return TruncTo<std::uint8_t>(v); }

float Clamp(float v, float low, float high) {
    if (!(v > low)) return low;
    return v < high ? v : high;
}

void PutU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(v >> (8 * i));
}
std::uint32_t GetU32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(at[i]) << (8 * i);
    return v;
}
void PutF(std::uint8_t* at, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutU32(at, bits);
}
float GetF(const std::uint8_t* at) {
    const std::uint32_t bits = GetU32(at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

}  // namespace

Particle::Particle() = default;

// --- motion ---

void Particle::Angle(float degrees) {
    angle = degrees * kRadiansPerDegree;
    cosine = std::cos(angle);
    sine = std::sin(angle);
    launchVelocityX = speed * cosine;
    launchVelocityY = speed * sine;
    time = 0;
    launchX = x;
    launchY = y;
}

void Particle::Velocity(float v) {
    speed = v;
    speedSquared = v * v;
    launchVelocityX = v * cosine;
    launchVelocityY = v * sine;
    time = 0;
    launchX = x;
    launchY = y;
}

float Particle::VelocityT(float t) const {
    const float g = owner != nullptr ? owner->Gravity() : 0.0f;
    const float gt = g * t;
    const float radicand = gt * gt + speedSquared - 2.0f * g * t * launchVelocityY;
    return radicand > 0 ? std::sqrt(radicand) : 0.0f;
}

float Particle::Txy(float px, float py) const {
    const float g = owner != nullptr ? owner->Gravity() : 0.0f;
    const float vx = launchVelocityX, vy = launchVelocityY;
    if (g == 0) {
        const float sum = vx + vy;
        return sum == 0 ? 0.0f : (px + py) / sum;
    }
    const float tx = vx != 0 ? (px - launchX) / vx : -1.0f;
    if (tx > 0) return tx;
    const float d = 2.0f * g * launchY + vy * vy - 2.0f * g * py;
    if (d == 0) {
        const float t = vy / g;
        return t > 0 ? t : 0.0f;
    }
    if (d > 0) {
        const float root = std::sqrt(d);
        const float first = (-vy + root) / -g, second = (-vy - root) / -g;
        if (std::fabs(first - time) <= 1.0f) return first;
        if (std::fabs(second - time) <= 1.0f) return second;
    }
    return 0.0f;
}

void Particle::Position(float px, float py) {
    PositionX(px);
    PositionY(py);
}

void Particle::PositionX(float px) { x = launchX = px; }

void Particle::PositionY(float py) { y = launchY = py; }

void Particle::Friction(float f) {
    if (f >= 0) friction = f;
}

// --- life and look ---

void Particle::MaximumAge(unsigned int n) {
    if (Dead()) {
        age = 0;
        time = 0;
    }
    maximumAge = n;
    Color(colour, fadeTo);
}

void Particle::BirthDelay(unsigned int n) {
    birthDelay = n;
    age = 0;
    time = 0;
}

void Particle::Color(unsigned long from, unsigned long to) {
    const COLORREF f = COLORREF(from), t = COLORREF(to);
    if (maximumAge != 0) {
        const float frames = float(maximumAge);
        redChange = (ChannelOf(t, 0) - ChannelOf(f, 0)) / frames;
        greenChange = (ChannelOf(t, 8) - ChannelOf(f, 8)) / frames;
        blueChange = (ChannelOf(t, 16) - ChannelOf(f, 16)) / frames;
    }
    colour = f;
    fadeTo = t;
    red = ChannelOf(f, 0);
    green = ChannelOf(f, 8);
    blue = ChannelOf(f, 16);
}

void Particle::CheckCollisionWithMap(bool on) {
    checkCollision = on;
    if (!on) collisionWithMap = false;
}

// --- the system's step ---

bool Particle::Step(float gravity) {
    previousX = x;
    previousY = y;
    if (birthDelay != 0) {
        --birthDelay;
        return false;
    }
    if (Dead()) return true;
    x = launchX + launchVelocityX * time;
    y = launchY + launchVelocityY * time - 0.5f * gravity * time * time;
    ++age;
    if (!collisionWithMap) time += 1.0f;
    const auto fade = [](float& value, float change) {
        value += change;
        if (value < 0) value = 0;
    };
    fade(red, redChange);
    fade(green, greenChange);
    fade(blue, blueChange);
    colour = ChannelByte(red) | ChannelByte(green) << 8 | ChannelByte(blue) << 16;
    return false;
}

void Particle::AfterStep(float systemX, float systemY) {
    displacementX = x - previousX;
    displacementY = y - previousY;
    const float length = std::sqrt(displacementX * displacementX + displacementY * displacementY);
    if (length > 0) {
        unitX = displacementX / length;
        unitY = displacementY / length;
    } else {
        unitX = unitY = 0;
    }
    box.left = x + systemX;
    box.top = systemY - y;
    box.right = box.left + float(size);
    box.bottom = box.top + float(size);
}

// --- collision with the map ---

void Particle::Bounce(float nx, float ny) {
    const float wx = -unitX, wy = unitY;
    const float dot = nx * wx + ny * wy;
    const float newX = 2.0f * dot * nx - wx;
    const float newY = -(2.0f * dot * ny - wy);
    // Rounding can take the mirrored unit vector a hair past 1.
    float radians = std::acos(Clamp(newX, -1.0f, 1.0f));
    if (newY < 0) radians = kFullTurn - radians;
    float newSpeed = VelocityT(Txy(x, y));
    if (friction != 0) newSpeed -= friction;
    if (!(newSpeed > 0)) newSpeed = 0;
    Angle(radians * kDegreesPerRadian);
    Velocity(newSpeed);
}

bool Particle::SweepSegment(const CollisionSegment& segment, float worldX, float worldY, float s) {
    const float mx = s * displacementX, my = -s * displacementY;
    const float x1 = segment.OriginX() + worldX, y1 = segment.OriginY() + worldY;
    const float x2 = segment.OriginX() + segment.MagnitudeX() * segment.DirectionX() + worldX;
    const float y2 = segment.OriginY() + segment.MagnitudeY() * segment.DirectionY() + worldY;
    if (!SegmentIntersectsRect(x1, y1, x2, y2, box.left + mx, box.top + my, box.right + mx, box.bottom + my)) {
        collisionWithMap = false;
        return false;
    }
    const float nx = segment.NormalX(), ny = segment.NormalY();
    if (-unitX * nx + unitY * ny < 0) {
        collisionWithMap = false;
        return false;
    }
    if (displacementX == 0 && displacementY == 0 && ny >= 0) {
        collisionWithMap = false;
        return true;
    }
    collisionWithMap = true;
    x += s * displacementX;
    y += s * displacementY;
    if (!reflection) {
        Velocity(0);
        return true;
    }
    Bounce(nx, ny);
    if (speed != 0) time = 1.0f;
    return true;
}

bool Particle::SweepCircle(const CollisionCircle& circle, float worldX, float worldY, float s, float dt) {
    const float mx = s * displacementX, my = -s * displacementY;
    const float cx = circle.OriginX() + worldX, cy = circle.OriginY() + worldY;
    const float left = box.left + mx, top = box.top + my;
    if (!CircleIntersectsRect(cx, cy, circle.Radius(), left, top, box.right + mx, box.bottom + my)) {
        collisionWithMap = false;
        return false;
    }
    collisionWithMap = true;
    const float back = s >= dt ? s - dt : s;
    x += back * displacementX;
    y += back * displacementY;
    if (!reflection) {
        Velocity(0);
        return true;
    }
    const UnitVector n = UnitOf(left - cx, top - cy);
    Bounce(n.x, n.y);
    if (!(speed == 0 && n.y < 0)) time = 1.0f;
    return true;
}

std::int32_t ParticleSweepSamples(float steps) {
    const float dt = SweepDt(steps);
    if (!(dt > 0)) return 0;
    std::int32_t k = 0;
    while (k < SweepSchedule::kMaxSamples && float(k) * dt < 1.0f + dt) ++k;
    return k;
}

void Particle::CollisionWithMap(Map* map, float steps) {
    if (map == nullptr || !map->HasGrid() || map->SpacePartitionGridSize() == 0) return;
    const float dt = SweepDt(steps);
    const std::int32_t samples = ParticleSweepSamples(steps);
    if (samples == 0) return;
    // The cells under the box, widened by one on each side.
    const float cell = float(map->SpacePartitionGridSize());
    const float width = float(map->CollisionWidth()), height = float(map->CollisionHeight());
    const auto first = [cell](float v) { return std::int32_t(v / cell) - 1; };
    const auto last = [cell](float v) { return std::int32_t(v / cell) + 1; };
    const std::int32_t i0 = std::max(first(Clamp(box.left, 0, width)), 0);
    const std::int32_t i1 = std::min(last(Clamp(box.right, 0, width)), map->GridColumns() - 1);
    const std::int32_t j0 = std::max(first(Clamp(box.top, 0, height)), 0);
    const std::int32_t j1 = std::min(last(Clamp(box.bottom, 0, height)), map->GridRows() - 1);
    const float worldX = map->WorldPositionX(), worldY = map->WorldPositionY();
    for (std::int32_t i = i0; i <= i1; ++i) {
        for (std::int32_t j = j0; j <= j1; ++j) {
            List* shapes = map->Cell(i, j);
            if (shapes == nullptr) continue;
            for (node* n = shapes->Head(); !n->EOList(); n = n->Next()) {
                const auto* shape = static_cast<CollisionData*>(n);
                const bool segment = shape->Type() == CollisionData::SegmentKind;
                for (std::int32_t k = 0; k < samples; ++k) {
                    const float s = float(k) * dt;
                    const bool over =
                        segment ? SweepSegment(*static_cast<const CollisionSegment*>(shape), worldX, worldY, s)
                                : SweepCircle(*static_cast<const CollisionCircle*>(shape), worldX, worldY, s, dt);
                    if (over) return;
                }
            }
        }
    }
}

// --- record ---

void Particle::Encode(std::uint8_t* r) const {
    std::memset(r, 0, RecordSize);
    // Offset 0 held the owner's address; it has no meaning in a file.
    const float floats[] = {launchX,       launchY,       x,     y,     previousX,       previousY,
                            displacementX, displacementY, unitX, unitY, launchVelocityX, launchVelocityY,
                            angle,         cosine,        sine,  speed, speedSquared,    time,
                            friction};
    for (std::size_t i = 0; i < std::size(floats); ++i) PutF(r + 4 + 4 * i, floats[i]);
    PutU32(r + 80, size);
    PutU32(r + 84, maximumAge);
    PutU32(r + 88, age);
    PutU32(r + 92, birthDelay);
    PutU32(r + 96, colour);
    PutU32(r + 100, fadeTo);
    const float channels[] = {red, green, blue, redChange, greenChange, blueChange};
    for (std::size_t i = 0; i < std::size(channels); ++i) PutF(r + 104 + 4 * i, channels[i]);
    r[128] = visible;
    PutF(r + 132, box.top);
    PutF(r + 136, box.left);
    PutF(r + 140, box.bottom);
    PutF(r + 144, box.right);
    r[148] = collisionWithMap;
    r[149] = reflection;
    r[150] = checkCollision;
    std::memcpy(r + 152, reserved.data(), ReservedSize);
}

void Particle::Decode(const std::uint8_t* r) {
    float* floats[] = {&launchX,       &launchY,       &x,     &y,     &previousX,       &previousY,
                       &displacementX, &displacementY, &unitX, &unitY, &launchVelocityX, &launchVelocityY,
                       &angle,         &cosine,        &sine,  &speed, &speedSquared,    &time,
                       &friction};
    for (std::size_t i = 0; i < std::size(floats); ++i) *floats[i] = GetF(r + 4 + 4 * i);
    size = GetU32(r + 80);
    maximumAge = GetU32(r + 84);
    age = GetU32(r + 88);
    birthDelay = GetU32(r + 92);
    colour = GetU32(r + 96);
    fadeTo = GetU32(r + 100);
    float* channels[] = {&red, &green, &blue, &redChange, &greenChange, &blueChange};
    for (std::size_t i = 0; i < std::size(channels); ++i) *channels[i] = GetF(r + 104 + 4 * i);
    visible = r[128] != 0;
    box.top = GetF(r + 132);
    box.left = GetF(r + 136);
    box.bottom = GetF(r + 140);
    box.right = GetF(r + 144);
    collisionWithMap = r[148] != 0;
    reflection = r[149] != 0;
    checkCollision = r[150] != 0;
    std::memcpy(reserved.data(), r + 152, ReservedSize);
}

void Particle::Save(File& file) const {
    std::uint8_t record[RecordSize];
    Encode(record);
    file.Write(record, RecordSize);
}

void Particle::Load(File& file) {
    std::uint8_t record[RecordSize];
    file.Read(record, RecordSize);
    Decode(record);
}
