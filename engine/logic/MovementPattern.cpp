#include "logic/MovementPattern.h"

#include <cmath>
#include <new>

#include "foundation/UserError.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"

MovementPattern::MovementPattern() = default;

MovementPattern::MovementPattern(MovementPattern* other) : node() {
    if (other == nullptr) return;
    id = other->id;
    name = other->name;
    CopyLegs(*other);
    behavior = other->behavior;
}

MovementPattern::MovementPattern(const MovementPattern& other) : node() { *this = other; }

MovementPattern& MovementPattern::operator=(const MovementPattern& other) {
    if (this == &other) return *this;
    id = other.id;
    name = other.name;
    CopyLegs(other);
    behavior = other.behavior;
    return *this;
}

MovementPattern::~MovementPattern() { delete[] legs; }

void MovementPattern::CopyLegs(const MovementPattern& other) {
    delete[] legs;
    legs = nullptr;
    count = 0;
    if (other.legs == nullptr || other.count <= 0) return;
    legs = new (std::nothrow) PatternVector[static_cast<std::size_t>(other.count)];
    if (legs == nullptr) return;
    count = other.count;
    for (std::int32_t i = 0; i < count; ++i) legs[i] = other.legs[i];
}

node* MovementPattern::Clone() const { return new MovementPattern(*this); }

void MovementPattern::Name(const char* text) {
    if (text != nullptr) name = text;
}

void MovementPattern::NumberOfVectors(unsigned int n) {
    if (n == 0 || n > 0x7FFFFFFFu) return;
    PatternVector* fresh = new (std::nothrow) PatternVector[n];
    if (fresh == nullptr) return;
    delete[] legs;
    legs = fresh;
    count = static_cast<std::int32_t>(n);
}

void MovementPattern::CalculateVectorPattern(int i, int dx, int dy) {
    static const char* const target = "void MovementPattern::CalculateVectorPattern(int,int,int)";
    if (i >= count) {
        UserError::Report(target, "%s",
                          "The pattern vector number must be less than the total number of vectors initialized.");
        return;
    }
    if (i < 0) {
        UserError::Report(target, "%s", "The pattern vector number must be greater or equal to zero.");
        return;
    }
    PatternVector& leg = legs[i];
    if (dx == 0 && dy == 0) {
        leg = PatternVector{};
        return;
    }
    const double x = dx, y = dy;
    leg.length = static_cast<float>(std::sqrt(x * x + y * y));
    leg.directionX = static_cast<float>(dx) / leg.length;
    leg.directionY = static_cast<float>(dy) / leg.length;
}

const PatternVector* MovementPattern::Vector(int i) const {
    return legs != nullptr && i >= 0 && i < count ? &legs[i] : nullptr;
}

void MovementPattern::UpdateMovementPattern(Sprite* sprite) {
    if (sprite == nullptr || legs == nullptr || count <= 0 || sprite->patternStep == -1) return;
    // A leg number from a damaged record stops the pattern.
    if (sprite->patternStep < 0 || sprite->patternStep >= count) {
        sprite->patternStep = -1;
        sprite->patternDistance = 0;
        return;
    }
    sprite->patternDistance += sprite->Speed();
    const PatternVector& leg = legs[sprite->patternStep];
    if (leg.length <= sprite->patternDistance) {
        if (++sprite->patternStep >= count) {
            if (!sprite->movementPatternLoop) {
                sprite->patternStep = -1;
            } else {
                sprite->patternStep = 0;
                if (sprite->patternBackToStart && !sprite->PegRegistered()) {
                    // The start is kept in world coordinates.
                    Map* map = sprite->BelongToMapPtr();
                    sprite->mapX = sprite->patternStartX - sprites::MapWorldX(map);
                    sprite->mapY = sprite->patternStartY - sprites::MapWorldY(map);
                }
            }
        }
        sprite->patternDistance = 0;
        return;
    }
    sprite->directionX = leg.directionX;
    sprite->directionY = leg.directionY;
}
