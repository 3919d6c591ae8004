#include "sprites/SpritePTR.h"

#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"

namespace {

// The placeholder sprite lives for the whole run (sprites may be destroyed
// after this module's exit code).
Sprite* MakeDummy() { return new Sprite(); }

}  // namespace

Sprite* SpritePTR::dummySpritePtr = MakeDummy();

SpritePTR::SpritePTR() { HoldDummy(); }

SpritePTR::SpritePTR(Sprite* sprite) {
    if (sprite)
        held = sprite;
    else
        HoldDummy();
}

SpritePTR::SpritePTR(const char* name) {
    held = Sprite::Search(name);
    if (!held) HoldDummy();
}

SpritePTR& SpritePTR::operator=(Sprite* sprite) {
    if (sprite) held = sprite;
    return *this;
}

void SpritePTR::HoldDummy() {
    held = dummySpritePtr;
    held->map = sprites::DummyMap();
}
