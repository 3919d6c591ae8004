// One particle of a ParticleSystem: a point on a ballistic path (y up,
// relative to its system's position) with an age, a colour fading from one
// value to another and an optional bounce off its map's collision shapes.
// Its saved record is a fixed 172-byte block.
#pragma once
#include <array>
#include <cstdint>
#include "QelExport.h"
#include "foundation/Types.h"

class CollisionCircle;
class CollisionSegment;
class File;
class Map;
class ParticleSystem;

class QEL_API Particle {
public:
    static constexpr int RecordSize = 172;
    static constexpr int ReservedSize = 20;

    Particle();

    ParticleSystem* Owner() const { return owner; }
    void Owner(ParticleSystem* system) { owner = system; }

    // --- motion ---
    // Degrees counter-clockwise; restarts the path from the current position.
    void Angle(float degrees);
    float Angle() const { return angle; }
    // Restarts the path from the current position at this speed.
    void Velocity(float v);
    float Velocity() const { return speed; }
    // The speed at time t under the owner's gravity.
    float VelocityT(float t) const;
    // The time at which the path passes the point (x, y).
    float Txy(float x, float y) const;
    void Position(float x, float y);
    void PositionX(float x);
    void PositionY(float y);
    float PositionX() const { return x; }
    float PositionY() const { return y; }
    // Frames since launch.
    float Time() const { return time; }
    void Friction(float f);
    float Friction() const { return friction; }

    // --- life ---
    // Revives a dead particle (age and time 0) before taking the new maximum.
    void MaximumAge(unsigned int n);
    unsigned int MaximumAge() const { return maximumAge; }
    unsigned int Age() const { return age; }
    void BirthDelay(unsigned int n);
    unsigned int BirthDelay() const { return birthDelay; }
    bool Dead() const { return age == maximumAge; }

    // --- look ---
    // Fades from one COLORREF to the other over the maximum age.
    void Color(unsigned long from, unsigned long to);
    unsigned long Color() const { return colour; }
    unsigned long FadeColor() const { return fadeTo; }
    void Size(unsigned int n) { size = n == 0 ? 1 : n; }
    unsigned int Size() const { return size; }
    void Visible(bool v) { visible = v; }
    bool Visible() const { return visible; }

    // --- collision with the map ---
    void Reflection(bool on) { reflection = on; }
    bool Reflection() const { return reflection; }
    void CheckCollisionWithMap(bool on);
    bool CheckCollisionWithMap() const { return checkCollision; }
    // Whether the particle hit the map in its last step.
    bool CollisionWithMap() const { return collisionWithMap; }
    // Sweeps the particle's box along its last displacement against the
    // shapes of the map's grid cells around it; stops or bounces it on contact.
    void CollisionWithMap(Map* map, float steps);

    // --- the system's step ---
    // One frame of flight under gravity g (or a frame less of birth delay).
    // Answers true when the particle is dead.
    bool Step(float gravity);
    // Displacement and the box on the map after a step; the system sits at
    // (systemX, systemY) on its map.
    void AfterStep(float systemX, float systemY);
    const FRECT& Box() const { return box; }
    float DisplacementX() const { return displacementX; }
    float DisplacementY() const { return displacementY; }

    // The 172-byte record; the owner is written as 0 and set by the system on load.
    void Save(File& file) const;
    void Load(File& file);

private:
    void Encode(std::uint8_t* record) const;
    void Decode(const std::uint8_t* record);
    // One sample of the sweep against one shape (map coordinates of the
    // shape's map at worldX, worldY); true when the test is over.
    bool SweepSegment(const CollisionSegment& segment, float worldX, float worldY, float sample);
    bool SweepCircle(const CollisionCircle& circle, float worldX, float worldY, float sample, float dt);
    // Sends the particle off along the mirror of its direction about the unit
    // normal (nx, ny), given in map coordinates (y down).
    void Bounce(float nx, float ny);

    ParticleSystem* owner = nullptr;
    float launchX = 0, launchY = 0;
    float x = 0, y = 0;
    float previousX = 0, previousY = 0;
    float displacementX = 0, displacementY = 0;
    float unitX = 0, unitY = 0;
    float launchVelocityX = 0, launchVelocityY = 0;
    float angle = 0;
    float cosine = 1.0f, sine = 0;
    float speed = 0, speedSquared = 0;
    float time = 0;
    float friction = 0;
    std::uint32_t size = 1;
    std::uint32_t maximumAge = 0;
    std::uint32_t age = 0;
    std::uint32_t birthDelay = 0;
    COLORREF colour = 0, fadeTo = 0;
    float red = 0, green = 0, blue = 0;
    float redChange = 0, greenChange = 0, blueChange = 0;
    bool visible = true;
    FRECT box;
    bool collisionWithMap = false;
    bool reflection = false;
    bool checkCollision = false;
    std::array<std::uint8_t, ReservedSize> reserved{};
};
