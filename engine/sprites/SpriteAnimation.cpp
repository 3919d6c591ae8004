// Animation, flips, peg registration, drawing and frame geometry of a sprite.
#include "display/DisplayInternal.h"
#include "foundation/UserError.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/AnimationElem.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteDrawInternal.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteLinksInternal.h"
#include "sprites/SpriteList.h"
#include "sprites/SpriteMessages.h"
#include "world/CollisionCircle.h"
#include "world/GeometryInternal.h"
#include "world/ViewPort.h"

using namespace sprites;

// --- the actor's records, or null where the actor has none ---

const AnimationElem* Sprite::AnimationOf(int animation) const {
    if (actorIndex < 0 || actorIndex >= ActorTableSize) return nullptr;
    const SpriteElem& slot = SpriteList[actorIndex];
    if (!slot.Animations || animation < 0 || animation >= slot.AnimationCount) return nullptr;
    return &slot.Animations[animation];
}

const FrameElem* Sprite::FrameOf(int animation) const {
    const AnimationElem* a = AnimationOf(animation);
    if (!a || !a->Frames || currentFrame < 0 || currentFrame >= a->FrameCount) return nullptr;
    return &a->Frames[currentFrame];
}

const FrameElem* Sprite::DisplayedFrame() const { return FrameOf(displayedAnimation); }
const FrameElem* Sprite::RequestedFrame() const { return FrameOf(requestedAnimation); }

namespace {

bool HasFrames(const AnimationElem* a) { return a && a->Frames && a->FrameCount > 0; }

}  // namespace

// --- animation ---

void Sprite::PlayAnimationSound(const AnimationElem& animation) {
    if (animation.SoundStatus && animation.SFX) PlaySound(animation.SFX);
}

void Sprite::UpdateAnimation() {
    if (requestedAnimation != displayedAnimation) {
        displayedAnimation = requestedAnimation;
        const AnimationElem* a = AnimationOf(displayedAnimation);
        if (HasFrames(a)) {
            if (currentFrame < 0 || currentFrame >= a->FrameCount) currentFrame = 0;
            delayCount = a->Frames[currentFrame].Delay;
            PlayAnimationSound(*a);
        }
        soundOnce = false;
    } else if (soundOnce) {
        if (const AnimationElem* a = AnimationOf(displayedAnimation)) PlayAnimationSound(*a);
        soundOnce = false;
    }
    const AnimationElem* a = AnimationOf(displayedAnimation);
    if (!HasFrames(a)) return;
    if (delayCount != 0) {
        --delayCount;
        return;
    }
    const int last = a->FrameCount - 1;
    if (currentFrame >= last) {
        if (a->FrameCount < 2)
            currentFrame = 0;
        else if (a->LoopFrame >= 0 && a->LoopFrame < a->FrameCount)
            currentFrame = a->LoopFrame;
        else
            currentFrame = last;  // holds the last frame (a negative loop frame too)
        if (a->SoundStatus && a->LoopSFX == 1 && a->SFX) PlaySound(a->SFX);
    } else {
        ++currentFrame;
    }
    delayCount = a->Frames[currentFrame].Delay;
}

bool Sprite::CheckAnimationIndex(int n, const char* target) {
    if (n < 0) {
        UserError::Report(target, "%s", Text(MsgAnimationNegative));
        return false;
    }
    // An animation without frames is refused like a missing one.
    if (!HasFrames(AnimationOf(n))) {
        UserError::Report(target, Text(MsgAnimationNotFound), n);
        return false;
    }
    return true;
}

void Sprite::Animation(int n) {
    if (!CheckAnimationIndex(n, "void Sprite::Animation(int)")) return;
    const AnimationElem* a = AnimationOf(n);
    lastPegFrame = currentFrame;
    if (currentFrame < 0 || currentFrame >= a->FrameCount) currentFrame = 0;
    requestedAnimation = n;
    previousAnimation = displayedAnimation;
    if (displayedAnimation != n) delayCount = a->Frames[currentFrame].Delay;
}

void Sprite::Frame(int n) {
    const char* target = "void Sprite::Frame(int)";
    if (n < 0) {
        UserError::Report(target, "%s", Text(MsgFrameNegative));
        return;
    }
    const AnimationElem* a = AnimationOf(requestedAnimation);
    if (!HasFrames(a) || n >= a->FrameCount) {
        UserError::Report(target, Text(MsgFrameNotFound), n);
        return;
    }
    currentFrame = n;
    delayCount = a->Frames[n].Delay;
}

void Sprite::ActorIndex(int n) {
    const char* target = "void Sprite::ActorIndex(int)";
    if (n < 0) {
        UserError::Report(target, "%s", Text(MsgActorNegative));
        return;
    }
    if (n >= ActorTableSize) {
        UserError::Report(target, Text(MsgActorTooLarge), n);
        return;
    }
    // An empty slot, or one whose first animation has no frames, has nothing
    // to show: refused.
    const SpriteElem& slot = SpriteList[n];
    if (slot.AnimationCount <= 0 || !slot.Animations || !HasFrames(&slot.Animations[0])) {
        UserError::Report(target, Text(MsgAnimationNotFound), 0);
        return;
    }
    actorIndex = n;
    sprites::SpriteBroadPhase::Moved(*this);
    // The new actor starts on animation 0, frame 0: an animation index kept
    // from the old actor may not exist in this one.
    displayedAnimation = requestedAnimation = previousAnimation = 0;
    lastPegFrame = -1;
    currentFrame = 0;
    delayCount = slot.Animations[0].Frames[0].Delay;
    soundOnce = true;
}

bool Sprite::EndOfAnimation(int n) {
    if (!CheckAnimationIndex(n, "bool Sprite::EndOfAnimation(int)")) return false;
    const AnimationElem* a = AnimationOf(n);
    return n == displayedAnimation && currentFrame == a->FrameCount - 1 && delayCount == 0;
}

int Sprite::TotalAnimations() const {
    if (actorIndex < 0 || actorIndex >= ActorTableSize) return 0;
    return SpriteList[actorIndex].AnimationCount;
}

int Sprite::TotalFrames() const {
    const AnimationElem* a = AnimationOf(requestedAnimation);
    return a ? a->FrameCount : 0;
}

namespace {

// The index checks of the animation-sound setters.
AnimationElem* SoundAnimation(int actor, int n, const char* target) {
    if (n < 0) {
        UserError::Report(target, "%s", Text(MsgAnimationIndexNegative));
        return nullptr;
    }
    if (actor < 0 || actor >= ActorTableSize || !SpriteList[actor].Animations ||
        n >= SpriteList[actor].AnimationCount) {
        UserError::Report(target, Text(MsgAnimationNotFound), n);
        return nullptr;
    }
    return &SpriteList[actor].Animations[n];
}

}  // namespace

void Sprite::ChangeSFX(int n, const char* soundName) {
    const char* target = "void Sprite::ChangeSFX(int,const char *)";
    AnimationElem* a = SoundAnimation(actorIndex, n, target);
    if (!a) return;
    Sound* sound = FindSound(soundName);
    if (!sound) {
        UserError::Report(target, Text(MsgSoundNotFound), soundName ? soundName : "");
        return;
    }
    a->SFX = sound;
}

void Sprite::DeleteSFX(int n) { SoundAnimation(actorIndex, n, "void Sprite::DeleteSFX(int)"); }

void Sprite::AnimationLoopSFX(int n, bool) { SoundAnimation(actorIndex, n, "void Sprite::AnimationLoopSFX(int,bool)"); }

void Sprite::AnimationSoundStatus(int n, bool) {
    SoundAnimation(actorIndex, n, "void Sprite::AnimationSoundStatus(int,bool)");
}

// --- flips ---

bool Sprite::SameHFlip(Sprite* other) {
    if (!other) {
        UserError::Report("bool Sprite::SameHFlip(Sprite *)", "%s", Text(MsgFlipNull));
        return false;
    }
    return currentHFlip == other->currentHFlip;
}

bool Sprite::SameVFlip(Sprite* other) {
    if (!other) {
        UserError::Report("bool Sprite::SameVFlip(Sprite *)", "%s", Text(MsgFlipNull));
        return false;
    }
    return currentVFlip == other->currentVFlip;
}

void Sprite::FlipSet() {
    if (!autoFlip) {
        currentHFlip = requestedHFlip;
        currentVFlip = requestedVFlip;
        return;
    }
    const FrameElem* frame = RequestedFrame();
    if (frame && frame->HasHFlip) {
        if (directionX < 0)
            currentHFlip = true;
        else if (directionX > 0)
            currentHFlip = false;
    } else {
        currentHFlip = false;
    }
    if (frame && frame->HasVFlip) {
        if (directionY < 0)
            currentVFlip = true;
        else if (directionY > 0)
            currentVFlip = false;
    } else {
        currentVFlip = false;
    }
}

void Sprite::HandleLastFlipPR() {
    lastHFlip = currentHFlip;
    lastVFlip = currentVFlip;
}

// --- peg registration ---

void Sprite::PegRegistered(bool on) {
    if (on) {
        pegRegistered = true;
        MapPositionX(mapX, false);
        MapPositionY(mapY, false);
    } else {
        const float x = mapX + FrameCenterX();
        const float y = mapY + FrameCenterY();
        pegRegistered = false;
        MapPositionX(x, false);
        MapPositionY(y, false);
    }
}

void Sprite::PegRegistered(int) {
    if (!pegRegistered) return;
    const FrameElem* current = DisplayedFrame();
    if (!current || !current->PegFrame) return;
    const AnimationElem* shown = AnimationOf(displayedAnimation);
    if (lastPegFrame == -1 || (lastPegFrame > shown->FrameCount - 1 && displayedAnimation == previousAnimation)) {
        lastPegFrame = currentFrame;
        return;
    }
    if (current->Delay > delayCount + 1) return;  // not just entered
    flipCodeReady = false;
    const AnimationElem* before = AnimationOf(previousAnimation);
    // The frame left behind may not exist in the previous animation (a frame
    // or actor change in between): then there is no point to hold.
    if (HasFrames(before) && lastPegFrame < before->FrameCount) {
        const FrameVariant p{before->Frames[lastPegFrame], lastHFlip, lastVFlip};
        const FrameVariant c{*current, currentHFlip, currentVFlip};
        const float dx = p.CenterX() - c.CenterX();
        const float dy = p.CenterY() - c.CenterY();
        if (dx != 0) MapPositionForPGX(mapX + dx);
        if (dy != 0) MapPositionForPGY(mapY + dy);
    }
    lastPegFrame = currentFrame;
    previousAnimation = displayedAnimation;
}

void Sprite::MapPositionForPGX(float x) {
    mapX = x;
    sprites::SpriteBroadPhase::Moved(*this);
    viewportX = TruncToInt32(x + MapWorldX() - ViewWorldX());
}

void Sprite::MapPositionForPGY(float y) {
    mapY = y;
    sprites::SpriteBroadPhase::Moved(*this);
    viewportY = TruncToInt32(y + MapWorldY() - ViewWorldY());
}

// --- drawing ---

void Sprite::DrawFrame(const FrameElem& frame) {
    if (!pBackBuffer || !frame.Surfaces) return;
    const int index = FrameVariant{frame, currentHFlip, currentVFlip}.SurfaceIndex();
    const QelRect destination{viewportX, viewportY, viewportX + frame.Width, viewportY + frame.Height};
    const QelRect source{0, 0, frame.Width, frame.Height};
    const std::uint32_t flags = frame.UseColorKey ? qel::BlitSourceKey : qel::BlitNone;
    qel::Surface* surface = frame.Surfaces[index];
    if (!surface) return;
    if (pBackBuffer->Blit(destination, *surface, source, flags) != qel::BlitResult::Lost) return;
    RestoreSurfaces();
    // The surfaces were made anew.
    surface = frame.Surfaces[index];
    if (surface && pBackBuffer) pBackBuffer->Blit(destination, *surface, source, flags);
}

void Sprite::DisplaySprite() {
    if (_IsSuspended) return;
    const FrameElem* frame = DisplayedFrame();
    if (visible && frame && InViewport()) DrawFrame(*frame);
    if (showSpriteCollision) ShowSpriteCollision(0x00FF00UL);
    if (showSpriteBoundingBox) ShowSpriteBoundingBox(0xFFFFFFUL);
    if (showPath) DisplayPath(true, 0x0000FF);
}

void Sprite::ShowSpriteBoundingBox(unsigned long colour) {
    const FrameElem* frame = DisplayedFrame();
    if (!frame) return;
    const tagRECT& box = FrameVariant{*frame, currentHFlip, currentVFlip}.Box();
    const bool cursor = zOrder == CursorZOrder;
    const float ox = mapX + (cursor ? 0.0f : MapWorldX());
    const float oy = mapY + (cursor ? 0.0f : MapWorldY());
    const float l = ox + box.left, t = oy + box.top, r = ox + box.right, b = oy + box.bottom;
    DrawLine(l, t, r, t, colour);
    DrawLine(r, t, r, b, colour);
    DrawLine(r, b, l, b, colour);
    DrawLine(l, b, l, t, colour);
}

void Sprite::ShowSpriteCollision(unsigned long colour) {
    const FrameElem* frame = DisplayedFrame();
    if (!frame) return;
    const bool cursor = zOrder == CursorZOrder;
    const float ox = mapX + (cursor ? 0.0f : MapWorldX());
    const float oy = mapY + (cursor ? 0.0f : MapWorldY());
    const List& shapes = FrameVariant{*frame, currentHFlip, currentVFlip}.Collisions();
    for (node* p = shapes.Head(); !p->EOList(); p = p->Next()) {
        const CollisionData* shape = static_cast<const CollisionData*>(p);
        if (shape->Type() == CollisionData::SegmentKind) {
            const auto* s = static_cast<const CollisionSegment*>(shape);
            DrawLine(ox + s->OriginX(), oy + s->OriginY(), ox + s->EndX(), oy + s->EndY(), colour);
        } else {
            const auto* c = static_cast<const CollisionCircle*>(shape);
            DrawCircle(ox + c->OriginX(), oy + c->OriginY(), c->Radius(), colour);
        }
    }
}

// --- frame geometry ---

bool Sprite::InViewport() const {
    const FrameElem* frame = RequestedFrame();
    const int w = frame ? frame->Width : 0;
    const int h = frame ? frame->Height : 0;
    const ViewPort* view = LevelViewPort();
    const float viewWidth = view ? view->Width() : static_cast<float>(displayWidth);
    const float viewHeight = view ? view->Height() : static_cast<float>(displayHeight);
    // A sprite placed far off the world sits at the int32 limits: its far edge is
    // found in 64 bits.
    return std::int64_t(viewportX) + w >= 0 && std::int64_t(viewportY) + h >= 0 && viewportY <= viewHeight &&
           viewportX <= viewWidth;
}

bool Sprite::InWorld() const {
    const QelRect self{TruncToInt32(mapX), TruncToInt32(mapY), TruncToInt32(mapX + Width()),
                       TruncToInt32(mapY + Height())};
    const QelRect world{0, 0, TruncToInt32(LevelWorldWidth()), TruncToInt32(LevelWorldHeight())};
    return RectsOverlap(self, world);
}

int Sprite::Width() const {
    const FrameElem* frame = RequestedFrame();
    return frame ? frame->Width : 0;
}

int Sprite::Height() const {
    const FrameElem* frame = RequestedFrame();
    return frame ? frame->Height : 0;
}

int Sprite::FrameCenterX() const {
    const FrameElem* frame = RequestedFrame();
    return frame ? TruncToInt32(FrameVariant{*frame, currentHFlip, currentVFlip}.CenterX()) : 0;
}

int Sprite::FrameCenterY() const {
    const FrameElem* frame = RequestedFrame();
    return frame ? TruncToInt32(FrameVariant{*frame, currentHFlip, currentVFlip}.CenterY()) : 0;
}

// Hot point n of the current frame (requested animation) and flips, less the
// registration point when pegs are on; outside 0..4 a report and (0, 0).
QelPoint Sprite::HotPoint(int n, const char* target) const {
    if (n < 0 || n >= HotSpotCount) {
        UserError::Report(target, Text(MsgHotPoint), HotSpotCount - 1);
        return QelPoint{};
    }
    const FrameElem* frame = RequestedFrame();
    if (!frame) return QelPoint{};
    QelPoint p = FrameVariant{*frame, currentHFlip, currentVFlip}.HotSpots()[n];
    if (pegRegistered) {
        // A registration point the actor table set far off (past 2^31) stops at the int32 limits.
        p.x = TruncToInt32(double(p.x) - FrameCenterX());
        p.y = TruncToInt32(double(p.y) - FrameCenterY());
    }
    return p;
}

float Sprite::HotSpotX(int n) { return static_cast<float>(HotPoint(n, "float Sprite::HotSpotX(int)").x); }

float Sprite::HotSpotY(int n) { return static_cast<float>(HotPoint(n, "float Sprite::HotSpotY(int)").y); }

QelPoint Sprite::HotSpot(unsigned int n) {
    const int index = n < static_cast<unsigned int>(HotSpotCount) ? static_cast<int>(n) : -1;
    return HotPoint(index, "QelPoint Sprite::HotSpot(int)");
}
