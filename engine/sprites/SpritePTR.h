// A never-null handle to a sprite by pointer or by name: a missing sprite is
// replaced by the module's placeholder sprite, bound to a placeholder map.
#pragma once
#include "QelExport.h"

class Sprite;

class QEL_API SpritePTR {
public:
    SpritePTR();
    SpritePTR(Sprite* sprite);
    SpritePTR(const char* name);

    Sprite* operator->() const { return held; }
    Sprite& operator*() const { return *held; }
    operator Sprite*() const { return held; }
    // Null is ignored: the handle keeps its sprite.
    SpritePTR& operator=(Sprite* sprite);

    static Sprite* dummySpritePtr;

private:
    void HoldDummy();
    Sprite* held;
};
