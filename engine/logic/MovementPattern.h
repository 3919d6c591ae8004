// A fixed course of straight legs (a unit direction and a length in pixels
// each) that steers a sprite leg after leg. The progress along it belongs to
// each sprite, so one pattern can drive many sprites at once.
#pragma once
#include <cstdint>

#include "QelExport.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "logic/Behavior.h"

class Sprite;

// One leg: unit direction in map coordinates (y downward) and length.
struct QEL_API PatternVector {
    float directionX = 0;
    float directionY = 0;
    float length = 0;
};

class QEL_API MovementPattern : public node {
public:
    MovementPattern();
    explicit MovementPattern(MovementPattern* other);
    MovementPattern(const MovementPattern& other);
    MovementPattern& operator=(const MovementPattern& other);
    ~MovementPattern() override;

    node* Clone() const override;

    void Id(int n) { id = n; }
    void Name(const char* text);
    const char* Name() const { return name; }
    // n legs, all zero until set; 0 (or a count no memory can hold) is ignored.
    void NumberOfVectors(unsigned int n);
    unsigned int NumberOfVectors() const { return static_cast<unsigned int>(count); }
    // Leg i from a displacement in pixels: its length and unit direction.
    void CalculateVectorPattern(int i, int dx, int dy);
    // Leg i, or null outside the legs.
    const PatternVector* Vector(int i) const;
    Behavior& GetBehavior() { return behavior; }

    // One frame of the sprite's progress along this pattern.
    void UpdateMovementPattern(Sprite* sprite);

private:
    void CopyLegs(const MovementPattern& other);

    PatternVector* legs = nullptr;  // owned array of count legs
    std::int32_t id = 0;
    std::int32_t count = 0;
    String name;
    Behavior behavior;
};
