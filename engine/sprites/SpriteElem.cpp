#include "sprites/SpriteElem.h"

#include "sprites/AnimationElem.h"

SpriteElem::~SpriteElem() { Empty(); }

void SpriteElem::Empty() {
    delete[] Animations;
    Animations = nullptr;
    AnimationCount = 0;
}
