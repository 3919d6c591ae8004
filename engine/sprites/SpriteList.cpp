#include "sprites/SpriteListInternal.h"

#include "display/SurfaceLoadingInternal.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"

SpriteElem SpriteList[ActorTableSize];

void ClearActorFrames() {
    ReleaseActorSurfaces();
    for (SpriteElem& slot : SpriteList) {
        if (!slot.Animations) continue;
        for (std::int32_t a = 0; a < slot.AnimationCount; ++a) {
            AnimationElem& animation = slot.Animations[a];
            if (!animation.Frames) continue;
            for (std::int32_t f = 0; f < animation.FrameCount; ++f) {
                FrameElem& frame = animation.Frames[f];
                for (int s = 0; s < 4; ++s) frame.Surfaces[s] = nullptr;
                frame.Collisions.del();
                frame.hFCollisions.del();
                frame.vFCollisions.del();
                frame.hvFCollisions.del();
            }
        }
    }
}

void EmptyActorTable() {
    ClearActorFrames();
    for (SpriteElem& slot : SpriteList) slot.Empty();
}
