#include "input/QelCursor.h"

#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "input/Mouse.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobals.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteList.h"
#include "world/CollisionCircle.h"
#include "world/GeometryInternal.h"
#include "world/ViewPort.h"

CREATE QelCursor::cr("QelCursor", &QelCursor::CreateObject);

node* QelCursor::CreateObject() { return new QelCursor(); }

QelCursor* NewQelCursor() { return new QelCursor(); }

QelCursor::QelCursor()
    : name("QEL_CURSOR"),
      viewportX(static_cast<std::uint32_t>(displayWidth > 0 ? displayWidth / 2 : 0)),
      viewportY(static_cast<std::uint32_t>(displayHeight > 0 ? displayHeight / 2 : 0)) {
    DefaultActor();
}

QelCursor::~QelCursor() {
    delete localVariable;
    localVariable = nullptr;
}

void QelCursor::DefaultActor() {
    // What the slot held before is released, so that each new cursor does not
    // leak the last one's picture.
    SpriteElem& slot = SpriteList[BuiltInActor];
    slot.Empty();
    AnimationElem* animation = new AnimationElem[1];
    if (animation == nullptr) return;
    FrameElem* frame = new FrameElem[1];
    if (frame == nullptr) {
        delete[] animation;
        return;
    }
    animation->FrameCount = 1;
    animation->LoopFrame = 0;
    animation->Frames = frame;
    frame->FileName = "TEXTSCURSOR";
    frame->Width = 10;
    frame->Height = 19;
    frame->TransparentColor = 0xFFFFFF;
    frame->CannedX = frame->CannedY = 0;
    frame->Delay = 1;
    frame->HasHFlip = frame->HasVFlip = false;
    frame->HotSpots[0] = QelPoint{5, 9};
    frame->Box = tagRECT{0, 0, 8, 8};
    frame->CenterX = 5.0f;
    frame->CenterY = 9.0f;
    frame->PegFrame = false;
    frame->UseColorKey = true;
    frame->AddCollisionData(CollisionCircle(4.0f, 4.0f, 3.0f, 0, 0));
    slot.Animations = animation;
    slot.AnimationCount = 1;
}

void QelCursor::AddSpriteCursor(unsigned int actor, unsigned int animation, unsigned int frame, bool collision) {
    Sprite temp;
    temp.Name("QEL_CURSOR");
    temp.DisplayListNumber(15);
    temp.CheckSameDisplayList(true);
    temp.ZOrder(Sprite::CursorZOrder);
    if (pMouse != nullptr) pMouse->Locate(viewportX, viewportY);
    temp.MapPositionX(sprites::ViewWorldX() + float(viewportX), false);
    temp.MapPositionY(sprites::ViewWorldY() + float(viewportY), false);
    temp.GhostCollisionWithSprite(true);
    temp.GhostCollisionWithMap(true);
    temp.CollisionType(collision);
    temp.ShowSpriteCollision(false);
    temp.ShowSpriteBoundingBox(false);
    temp.ActivateCollisionWithSprite(true);
    temp.CheckCollisionWithSprite(true);
    temp.CheckCollisionWithMap(true);
    temp.Unused(true);
    const unsigned int shown = actor == BuiltInActorSelector ? BuiltInActor : actor;
    temp.ActorIndex(shown > 0x7FFFFFFFu ? -1 : static_cast<int>(shown));
    temp.Animation(animation > 0x7FFFFFFFu ? -1 : static_cast<int>(animation));
    temp.Frame(frame > 0x7FFFFFFFu ? -1 : static_cast<int>(frame));
    temp.CreateSprite();
    cursorSprite = Sprite::Search("QEL_CURSOR_ROSRUC_");
    actorIndex = actor;
    collisionType = collision;
    pQelCursor = this;
}

// A saved level brings the cursor sprite back with its other sprites: the
// cursor takes that one rather than add a second beside it.
void QelCursor::AdoptOrAddSpriteCursor() {
    Sprite* saved = Sprite::Search("QEL_CURSOR_ROSRUC_");
    if (saved == nullptr) {
        AddSpriteCursor(actorIndex, 0, 0, collisionType);
        return;
    }
    LocateMouse();
    cursorSprite = saved;
    pQelCursor = this;
}

Sprite* QelCursor::CursorSprite() const {
    // The level may have removed the sprite since: only a sprite still in it counts.
    if (cursorSprite == nullptr) return nullptr;
    const Sprite* wanted = cursorSprite;
    return sprites::ForEachSprite([wanted](Sprite* s) { return s == wanted; });
}

void QelCursor::Animation(unsigned int n) {
    if (Sprite* s = CursorSprite()) s->Animation(n > 0x7FFFFFFFu ? -1 : static_cast<int>(n));
}

void QelCursor::Frame(unsigned int n) {
    if (Sprite* s = CursorSprite()) s->Frame(n > 0x7FFFFFFFu ? -1 : static_cast<int>(n));
}

void QelCursor::Delay(unsigned int d) {
    if (Sprite* s = CursorSprite()) s->Delay(d);
}

int QelCursor::Animation() const {
    Sprite* s = CursorSprite();
    return s ? s->Animation() : 0;
}

int QelCursor::Frame() const {
    Sprite* s = CursorSprite();
    return s ? s->Frame() : 0;
}

unsigned int QelCursor::Delay() const {
    Sprite* s = CursorSprite();
    return s ? s->Delay() : 0;
}

bool QelCursor::CollisionWithSprite(const char* spriteName) const {
    Sprite* s = CursorSprite();
    return s && s->CollisionWithSprite(spriteName);
}

bool QelCursor::CollisionWithMap() const {
    Sprite* s = CursorSprite();
    return s && s->CollisionWithMap();
}

bool QelCursor::CollisionWithMap(int id) const {
    Sprite* s = CursorSprite();
    return s && s->CollisionWithMap(id);
}

void QelCursor::ShowCollisionData(bool on) {
    if (Sprite* s = CursorSprite()) s->ShowSpriteCollision(on);
}

void QelCursor::ShowBoundingBox(bool on) {
    if (Sprite* s = CursorSprite()) s->ShowSpriteBoundingBox(on);
}

bool QelCursor::IsTriggeredOnSprite(const char* spriteName, unsigned char button) const {
    return CollisionWithSprite(spriteName) && pMouse != nullptr && pMouse->IsTriggered(button);
}

bool QelCursor::IsPressedOnSprite(const char* spriteName, unsigned char button) const {
    return CollisionWithSprite(spriteName) && pMouse != nullptr && pMouse->IsPressed(button);
}

bool QelCursor::IsTriggeredOnMap(int id, unsigned char button) const {
    return CollisionWithMap(id) && pMouse != nullptr && pMouse->IsTriggered(button);
}

bool QelCursor::IsPressedOnMap(int id, unsigned char button) const {
    return CollisionWithMap(id) && pMouse != nullptr && pMouse->IsPressed(button);
}

bool QelCursor::InRect(QelRect r) const { return pMouse != nullptr && pMouse->InRect(&r); }

void QelCursor::PlaceX(unsigned int x, bool displacement) {
    viewportX = x;
    const float last = sprites::LevelViewPort()->Width() - 1.0f;
    if (float(x) > last) viewportX = static_cast<std::uint32_t>(last < 0 ? 0 : TruncToInt32(last));
    if (Sprite* s = CursorSprite()) s->MapPositionX(sprites::ViewWorldX() + float(x), displacement);
}

void QelCursor::PlaceY(unsigned int y, bool displacement) {
    viewportY = y;
    const float last = sprites::LevelViewPort()->Height() - 1.0f;
    if (float(y) > last) viewportY = static_cast<std::uint32_t>(last < 0 ? 0 : TruncToInt32(last));
    if (Sprite* s = CursorSprite()) s->MapPositionY(sprites::ViewWorldY() + float(y), displacement);
}

void QelCursor::LocateMouse() const {
    if (pMouse != nullptr) pMouse->Locate(viewportX, viewportY);
}

void QelCursor::ViewportPositionX(unsigned int x, bool displacement) {
    PlaceX(x, displacement);
    LocateMouse();
}

void QelCursor::ViewportPositionY(unsigned int y, bool displacement) {
    PlaceY(y, displacement);
    LocateMouse();
}

void QelCursor::ViewportPosition(unsigned int x, unsigned int y, bool displacement) {
    PlaceX(x, displacement);
    PlaceY(y, displacement);
    LocateMouse();
}

void QelCursor::__InternalCursorFct() {
    if (pMouse == nullptr) return;
    // A mouse left of or above the view is held at its edge.
    const long long x = static_cast<long long>(pMouse->WorldX()) - TruncToInt32(sprites::ViewWorldX());
    const long long y = static_cast<long long>(pMouse->WorldY()) - TruncToInt32(sprites::ViewWorldY());
    ViewportPosition(static_cast<unsigned int>(x < 0 ? 0 : x), static_cast<unsigned int>(y < 0 ? 0 : y), true);
}

void QelCursor::AddLocalVariable(unsigned int index) {
    if (!WithinBound(index, maxNIndex) || NArray == nullptr || NArray[index] == nullptr) {
        UserError::Report("void QelCursor::AddLocalVariable(unsigned int index)",
                          "The local variable %d cannot be found.", static_cast<int>(index));
        return;
    }
    // An earlier local-data object would otherwise be lost.
    delete localVariable;
    localDataIndex = static_cast<std::int32_t>(index);
    localVariable = NArray[index]->Clone();
}

void QelCursor::Save(File& file) {
    name.Save(file);
    file.Write(collisionType);
    file.Write(static_cast<std::uint32_t>(actorIndex));
    behavior.Save(file);
    file.Write(static_cast<std::uint32_t>(viewportX));
    file.Write(static_cast<std::uint32_t>(viewportY));
    file.Write(static_cast<std::int32_t>(localDataIndex));
    file.Write(localVariable);
}

void QelCursor::Load(File& file) {
    name.Load(file);
    file.Read(collisionType);
    file.Read(actorIndex);
    behavior.Load(file);
    file.Read(viewportX);
    file.Read(viewportY);
    std::int32_t index = -1;
    file.Read(index);
    delete localVariable;
    localVariable = nullptr;
    localDataIndex = -1;
    node* data = nullptr;
    file.Read(data);
    // The local data becomes the cursor's own: an object another owner took is refused.
    if (!file.Claim(data)) return;
    localDataIndex = index;
    localVariable = data;
    if (data != nullptr && index < 0) file.SetError();
}
