// One actor definition, a slot of the actor table: its animations.
#pragma once
#include <cstdint>
#include "QelExport.h"

class AnimationElem;

class QEL_API SpriteElem {
public:
    constexpr SpriteElem() = default;
    ~SpriteElem();
    SpriteElem(const SpriteElem&) = delete;
    SpriteElem& operator=(const SpriteElem&) = delete;

    // Destroys the animations and leaves the slot empty.
    void Empty();

    std::int32_t AnimationCount = 0;
    // Owned array of AnimationCount animations, made with AnimationElem's array new.
    AnimationElem* Animations = nullptr;
};
