// The sprite as an object: construction, copying, pooling, lookup, local
// variables, removal and the saved record.
#include "sprites/Sprite.h"

#include <cstring>
#include <new>
#include <unordered_map>

#include "foundation/ClassPool.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachineTraverser.h"
#include "runtime/EngineGlobals.h"
#include "sprites/SpriteBroadPhase.h"
#include "sprites/SpriteLevel.h"
#include "sprites/SpriteLinks.h"
#include "world/CollisionData.h"

namespace {

// Shapes that a loaded record brought into being (the hit lists hold copies
// that nothing else owns), with the number of hit-list entries holding each.
std::unordered_map<node*, int>& LoadedShapes() {
    static auto* shapes = new std::unordered_map<node*, int>();
    return *shapes;
}

void ReleaseLoadedShape(node* shape) {
    auto& loaded = LoadedShapes();
    auto it = loaded.find(shape);
    if (it == loaded.end()) return;
    if (--it->second == 0) {
        loaded.erase(it);
        delete shape;
    }
}

bool IsClass(node* p, const char* name) { return p && std::strcmp(p->ClassName(), name) == 0; }

// Every stored entry of a counted run takes at least four bytes.
bool CountFits(File& file, std::int32_t count) {
    return count >= 0 && static_cast<long>(count) <= file.BytesLeft() / 4;
}

// A stored Variable takes well over this many bytes (its value text alone is 50).
constexpr long MinVariableRecordBytes = 100;

bool VariableCountFits(File& file, std::int32_t count) {
    return count >= 0 && count <= Sprite::MaxLocalVariables && count <= file.BytesLeft() / MinVariableRecordBytes;
}

}  // namespace

CREATE Sprite::cr("Sprite", &Sprite::CreateObject);

void* Sprite::operator new(std::size_t size) { return ClassPool<Sprite>::Alloc(size); }

void Sprite::operator delete(void* p, std::size_t size) { ClassPool<Sprite>::Free(p, size); }

node* Sprite::CreateObject() { return new Sprite(); }

Sprite::Sprite() { DefaultFields(); }

Sprite::Sprite(const Sprite& other) : node() {
    DefaultFields();
    *this = other;
}

Sprite::Sprite(Sprite* other) : node() {
    DefaultFields();
    if (other) *this = *other;
}

void Sprite::DefaultFields() {
    sortedZOrder = zOrder;
    sprites::MouseAtConstruction(mouseX, mouseY, mouseWorldX, mouseWorldY);
}

Sprite::~Sprite() {
    sprites::SpriteBroadPhase::Forget(*this);
    PathStateMachineTraverser::Release(traverser);
    traverser = nullptr;
    delete localVariable;
    localVariable = nullptr;
    if (!sprites::IsDummySprite(this)) ClearInputQueue();
    ReleaseLoadedShapes();
    ForgetMainCharacter(this);
}

node* Sprite::Clone() const { return new Sprite(*this); }

Sprite& Sprite::operator=(const Sprite& source) {
    if (this == &source) return *this;
    // 1. Behaviour and path traverser.
    behavior = source.behavior;
    PathStateMachineTraverser* copy = source.traverser ? new PathStateMachineTraverser(*source.traverser) : nullptr;
    PathStateMachineTraverser::Release(traverser);
    traverser = copy;
    // 2. Identity, placement and animation.
    id = source.id;
    patternIndex = source.patternIndex;
    deleteFlag = source.deleteFlag;
    name = source.name;
    map = source.map;
    mapX = source.mapX;
    mapY = source.mapY;
    viewportX = source.viewportX;
    viewportY = source.viewportY;
    scaleX = source.scaleX;
    scaleY = source.scaleY;
    collisionFloat = source.collisionFloat;
    sortedZOrder = source.sortedZOrder;
    displayedAnimation = source.displayedAnimation;
    currentFrame = source.currentFrame;
    delayCount = source.delayCount;
    actorIndex = source.actorIndex;
    checkCollisionWithSprite = source.checkCollisionWithSprite;
    collisionWithMap = source.collisionWithMap;
    visible = source.visible;
    mainCharacter = source.mainCharacter;
    checkCollisionWithMap = source.checkCollisionWithMap;
    requestedAnimation = source.requestedAnimation;
    previousAnimation = source.previousAnimation;
    displayListNumber = source.displayListNumber;
    translationX = source.translationX;
    translationY = source.translationY;
    reflection = source.reflection;
    // 3. A copy starts unflipped and unhit.
    currentHFlip = currentVFlip = false;
    requestedHFlip = requestedVFlip = false;
    lastHFlip = lastVFlip = false;
    flipCodeReady = false;
    autoFlip = true;
    collisionFactor = 1.5f;
    // 4. Motion.
    canned = source.canned;
    pause = source.pause;
    cannedFactorX = source.cannedFactorX;
    cannedFactorY = source.cannedFactorY;
    directionX = source.directionX;
    directionY = source.directionY;
    cannedHDirection = source.cannedHDirection;
    cannedVDirection = source.cannedVDirection;
    doNotCutDirection = source.doNotCutDirection;
    speed = source.speed;
    // 5. The last hit segment.
    lastHitSegment = static_cast<bool>(source.lastHitSegment) ? source.lastHitSegment : CollisionSegment();
    // 6. Collision switches, variables, alarms, hit lists, debug flags.
    checkSameDisplayList = source.checkSameDisplayList;
    ghostCollisionWithSprite = source.ghostCollisionWithSprite;
    ghostCollisionWithMap = source.ghostCollisionWithMap;
    localVariables = source.localVariables;
    variableNumber = source.variableNumber;
    unused = source.unused;
    friction = source.friction;
    alarms = source.alarms;
    alarmCount = source.alarmCount;
    alarmMaximum = source.alarmMaximum;
    ReleaseLoadedShapes();
    spriteNamesHit = source.spriteNamesHit;
    ownShapesHit = source.ownShapesHit;
    mapShapesHit = source.mapShapesHit;
    otherShapesHit = source.otherShapesHit;
    // Loaded shapes the source holds are now held once more.
    for (auto* list : {&ownShapesHit, &mapShapesHit, &otherShapesHit})
        for (unsigned int i = 0; i < list->Size(); ++i) {
            auto it = LoadedShapes().find((*list)[i]);
            if (it != LoadedShapes().end()) ++it->second;
        }
    collisionType = source.collisionType;
    showSpriteCollision = source.showSpriteCollision;
    showSpriteBoundingBox = source.showSpriteBoundingBox;
    showVectorOfTranslation = source.showVectorOfTranslation;
    lastPegFrame = source.lastPegFrame;
    pegRegistered = source.pegRegistered;
    zOrder = source.zOrder;
    soundOnce = source.soundOnce;
    followedSegment = source.followedSegment;
    followDirection = source.followDirection;
    showPath = source.showPath;
    showMovementPattern = source.showMovementPattern;
    // 7. Hits stay two-way: whoever hit the source has hit the copy too.
    spritesHit = source.spritesHit;
    for (unsigned int i = 0; i < spritesHit.Size(); ++i)
        if (spritesHit[i]) spritesHit[i]->spritesHit.Add(this);
    // 8. Paths, pattern, gravity, flip codes, pending displacement.
    gateWait = source.gateWait;
    collisionWithPath = source.collisionWithPath;
    for (int i = 0; i < 4; ++i) patternValues[i] = source.patternValues[i];
    patternDistance = source.patternDistance;
    patternStep = source.patternStep;
    movementPatternLoop = source.movementPatternLoop;
    patternBackToStart = source.patternBackToStart;
    patternStartX = source.patternStartX;
    patternStartY = source.patternStartY;
    pattern = source.pattern;
    gravity = source.gravity;
    g = source.g;
    arcStartSpeed = source.arcStartSpeed;
    arcStartX = source.arcStartX;
    arcStartY = source.arcStartY;
    arcStartDirectionX = source.arcStartDirectionX;
    arcStartDirectionY = source.arcStartDirectionY;
    arcFrameCount = source.arcFrameCount;
    impactSpeed = source.impactSpeed;
    gravityFriction = source.gravityFriction;
    lastFlipCode = source.lastFlipCode;
    newFlipCode = source.newFlipCode;
    psmCounter = source.psmCounter;
    activateCollisionWithSprite = source.activateCollisionWithSprite;
    displacementPending = source.displacementPending;
    savedSpeed = source.savedSpeed;
    displacementX = source.displacementX;
    displacementY = source.displacementY;
    // 9. Local data.
    delete localVariable;
    localVariable = nullptr;
    localDataIndex = -1;
    if (source.localVariable) {
        localVariable = source.localVariable->Clone();
        localDataIndex = source.localDataIndex;
    }
    // 10. Remote input state, without the queue.
    networkPlayer = source.networkPlayer;
    networkActive = source.networkActive;
    for (int i = 0; i < 256; ++i) keys[i] = source.keys[i];
    for (int i = 0; i < 3; ++i) mouseButtons[i] = source.mouseButtons[i];
    for (int i = 0; i < 3; ++i) remoteFlags[i] = source.remoteFlags[i];
    mouseX = source.mouseX;
    mouseY = source.mouseY;
    mouseWorldX = source.mouseWorldX;
    mouseWorldY = source.mouseWorldY;
    mouseRelX = source.mouseRelX;
    mouseRelY = source.mouseRelY;
    mouseWheel = source.mouseWheel;
    return *this;
}

Sprite* Sprite::CreateSprite() {
    Sprite* copy = new Sprite(*this);
    copy->ClearRemoteInput();
    // Cleared before the level sees it, so the level never takes the copy for
    // its main character.
    copy->mainCharacter = false;
    if (!sprites::LevelAddSprite(copy)) return nullptr;
    copy->soundOnce = true;
    return copy;
}

void Sprite::ClearRemoteInput() {
    networkPlayer = networkActive = false;
    for (auto& k : keys) k.Reset();
    for (auto& b : mouseButtons) b.Reset();
    for (bool& f : remoteFlags) f = false;
    mouseRelX = mouseRelY = mouseWheel = 0;
    ClearInputQueue();
}

void Sprite::ClearInputQueue() {
    sprites::WithQueueLock([this] {
        for (auto& m : inputQueue) delete[] m.data;
        inputQueue.clear();
    });
}

void Sprite::Keyboard_Reset() {
    for (auto& k : keys) k.Reset();
}

void Sprite::Mouse_Reset() {
    for (auto& b : mouseButtons) b.Reset();
}

// --- lookup ---

Sprite* Sprite::Search(const char* text) {
    if (!text) return nullptr;
    if (std::strcmp(text, "QEL_CURSOR") == 0) return nullptr;
    if (std::strcmp(text, "QEL_CURSOR_ROSRUC_") == 0)
        return sprites::ForEachSprite([](Sprite* s) { return s->zOrder == CursorZOrder; });
    Sprite* found = sprites::ForEachSprite([text](Sprite* s) { return s->name == text; });
    if (!found) UserError::Report("Sprite* Sprite::Search(const char *)", "Sprite name: %s not found.", text);
    return found;
}

Sprite* Sprite::Search(const int wanted) {
    if (wanted <= 0) return nullptr;
    Sprite* found = sprites::ForEachSprite([wanted](Sprite* s) { return s->id == wanted; });
    if (!found) UserError::Report("Sprite* Sprite::Search(const int)", "Sprite %i not found.", wanted);
    return found;
}

void Sprite::Use(const char* text) {
    Sprite* found = text ? sprites::ForEachSprite([text](Sprite* s) { return s->unused && s->name == text; })
                         : nullptr;
    if (found)
        found->unused = false;
    else
        UserError::Report("void Sprite::Use(const char *)", "Sprite name: %s not found.", text ? text : "");
}

// --- local variables and data ---

void Sprite::VariableNumber(int n) {
    if (n < 0) return;
    Array<Variable> kept;
    const unsigned int count = static_cast<unsigned int>(n);
    for (unsigned int i = 0; i < count; ++i) {
        if (i < localVariables.Size())
            kept.Add(localVariables[i]);
        else
            kept.Add(Variable(0));
    }
    localVariables = kept;
    variableNumber = n;
}

void Sprite::AddLocalVariable(unsigned int index) {
    if (!WithinBound(index, maxNIndex) || !NArray || !NArray[index]) {
        UserError::Report("void Sprite::AddLocalVariable(unsigned int index)", "The local variable %d cannot be found.",
                          static_cast<int>(index));
        return;
    }
    // An earlier local-data object would otherwise be lost.
    delete localVariable;
    localDataIndex = static_cast<std::int32_t>(index);
    localVariable = NArray[index]->Clone();
}

// --- removal ---

void Sprite::ForgetReferences() {
    for (unsigned int i = 0; i < alarms.Size(); ++i) sprites::ForgetAlarmTrigger(alarms[i], this);
    // Hits are not always recorded both ways (the lists are capped and each
    // sprite clears its own), so every sprite of the level is looked at.
    sprites::ForEachSprite([this](Sprite* s) {
        for (unsigned int i = 0; i < s->spritesHit.Size(); ++i)
            if (s->spritesHit[i] == this) s->spritesHit[i] = nullptr;
        return false;
    });
    ForgetMainCharacter(this);
}

node* Sprite::RemoveFrom(List& displayList) {
    node* following = Next();
    ForgetReferences();
    displayList.del(this);
    return following;
}

void Sprite::ReleaseLoadedShapes() {
    if (LoadedShapes().empty()) return;
    for (auto* list : {&ownShapesHit, &mapShapesHit, &otherShapesHit})
        for (unsigned int i = 0; i < list->Size(); ++i) ReleaseLoadedShape((*list)[i]);
    ownShapesHit.Clear();
    mapShapesHit.Clear();
    otherShapesHit.Clear();
}

void Sprite::ResetCollisionState(bool hitLists) {
    if (hitLists) {
        ReleaseLoadedShapes();
        // Emptied only when they hold something: most sprites hit nothing.
        if (spriteNamesHit.Size()) spriteNamesHit.Clear();
        if (ownShapesHit.Size()) ownShapesHit.Clear();
        if (mapShapesHit.Size()) mapShapesHit.Clear();
        if (otherShapesHit.Size()) otherShapesHit.Clear();
        if (spritesHit.Size()) spritesHit.Clear();
    }
    collisionWithMap = false;
    collisionFactor = 1.5f;
    collisionWithPath = false;
    if (static_cast<bool>(lastHitSegment)) lastHitSegment = CollisionSegment();
}

void Sprite::EndDisplacement() {
    if (pause || !displacementPending) return;
    displacementPending = false;
    speed = savedSpeed;
    savedSpeed = 0;
    displacementX = displacementY = 0;
    directionX = directionY = 0;
}

// --- the saved record ---

void Sprite::SaveShapes(File& file, Array<CollisionData*>& shapes) {
    file.Write(static_cast<std::int32_t>(shapes.Size()));
    for (unsigned int i = 0; i < shapes.Size(); ++i) file.Write(static_cast<node*>(shapes[i]));
}

void Sprite::Save(File& file) {
    name.Save(file);
    behavior.Save(file);
    file.Write(static_cast<node*>(traverser));
    file.Write(static_cast<std::int32_t>(id));
    file.Write(deleteFlag);
    file.Write(sprites::MapAsNode(map));
    file.Write(mapX);
    file.Write(mapY);
    file.Write(static_cast<std::int32_t>(viewportX));
    file.Write(static_cast<std::int32_t>(viewportY));
    file.Write(scaleX);
    file.Write(scaleY);
    file.Write(collisionFloat);
    file.Write(static_cast<std::uint32_t>(sortedZOrder));
    file.Write(static_cast<std::int32_t>(displayedAnimation));
    file.Write(static_cast<std::int32_t>(currentFrame));
    file.Write(static_cast<std::uint32_t>(delayCount));
    file.Write(static_cast<std::int32_t>(actorIndex));
    file.Write(checkCollisionWithSprite);
    file.Write(collisionWithMap);
    file.Write(visible);
    file.Write(mainCharacter);
    file.Write(checkCollisionWithMap);
    file.Write(static_cast<std::int32_t>(requestedAnimation));
    file.Write(static_cast<std::int32_t>(previousAnimation));
    file.Write(static_cast<std::int32_t>(displayListNumber));
    file.Write(translationX);
    file.Write(translationY);
    file.Write(reflection);
    for (bool b : {currentHFlip, currentVFlip, requestedHFlip, requestedVFlip, lastHFlip, lastVFlip, flipCodeReady,
                   autoFlip})
        file.Write(b);
    file.Write(static_cast<std::int32_t>(lastFlipCode));
    file.Write(static_cast<std::int32_t>(newFlipCode));
    file.Write(canned);
    file.Write(pause);
    file.Write(cannedFactorX);
    file.Write(cannedFactorY);
    file.Write(directionX);
    file.Write(directionY);
    file.Write(cannedHDirection);
    file.Write(cannedVDirection);
    file.Write(doNotCutDirection);
    file.Write(speed);
    file.Write(collisionFactor);
    lastHitSegment.Save(file);
    file.Write(checkSameDisplayList);
    file.Write(ghostCollisionWithSprite);
    file.Write(ghostCollisionWithMap);
    file.Write(gravity);
    for (float f : {g, arcStartSpeed, arcStartX, arcStartY, arcStartDirectionX, arcStartDirectionY}) file.Write(f);
    file.Write(static_cast<std::int32_t>(arcFrameCount));
    file.Write(impactSpeed);
    file.Write(gravityFriction);
    file.Write(static_cast<std::int32_t>(localVariables.Size()));
    for (unsigned int i = 0; i < localVariables.Size(); ++i) localVariables[i].Save(file);
    file.Write(unused);
    file.Write(friction);
    file.Write(static_cast<std::int32_t>(alarms.Size()));
    for (unsigned int i = 0; i < alarms.Size(); ++i) file.Write(sprites::AlarmAsNode(alarms[i]));
    file.Write(static_cast<std::int32_t>(alarmMaximum));
    file.Write(static_cast<std::int32_t>(spriteNamesHit.Size()));
    for (unsigned int i = 0; i < spriteNamesHit.Size(); ++i) spriteNamesHit[i].Save(file);
    SaveShapes(file, ownShapesHit);
    SaveShapes(file, mapShapesHit);
    SaveShapes(file, otherShapesHit);
    file.Write(static_cast<std::int32_t>(spritesHit.Size()));
    for (unsigned int i = 0; i < spritesHit.Size(); ++i) file.Write(static_cast<node*>(spritesHit[i]));
    file.Write(collisionType);
    file.Write(showSpriteCollision);
    file.Write(showSpriteBoundingBox);
    file.Write(showVectorOfTranslation);
    file.Write(static_cast<std::int32_t>(lastPegFrame));
    file.Write(pegRegistered);
    file.Write(static_cast<std::uint32_t>(zOrder));
    file.Write(soundOnce);
    file.Write(followedSegment);
    file.Write(static_cast<std::int32_t>(followDirection));
    file.Write(showPath);
    file.Write(gateWait);
    file.Write(collisionWithPath);
    file.Write(displacementPending);
    file.Write(savedSpeed);
    file.Write(displacementX);
    file.Write(displacementY);
    file.Write(static_cast<std::int32_t>(psmCounter));
    file.Write(activateCollisionWithSprite);
    file.Write(static_cast<std::int32_t>(patternIndex));
    for (float f : patternValues) file.Write(f);
    file.Write(static_cast<std::int32_t>(patternStep));
    file.Write(patternDistance);
    file.Write(movementPatternLoop);
    file.Write(patternBackToStart);
    file.Write(showMovementPattern);
    file.Write(patternStartX);
    file.Write(patternStartY);
    file.Write(static_cast<std::int32_t>(localDataIndex));
    file.Write(localVariable);
}

bool Sprite::LoadShapes(File& file, Array<CollisionData*>& shapes) {
    std::int32_t count = 0;
    file.Read(count);
    if (!CountFits(file, count)) return false;
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        const long before = file.Position();
        node* p = nullptr;
        file.Read(p);
        if (!p) continue;
        if (!IsClass(p, "CollisionSegment") && !IsClass(p, "CollisionCircle")) return false;
        // A shape seen first here belongs to no map: the sprite keeps it alive
        // until its hit lists are next cleared, and no later owner may take it.
        auto& loaded = LoadedShapes();
        if (file.Position() - before > 36) {
            if (!file.Claim(p)) return false;
            loaded[p] += 1;
        } else if (auto it = loaded.find(p); it != loaded.end()) {
            ++it->second;
        }
        shapes.Add(static_cast<CollisionData*>(p));
    }
    return true;
}

void Sprite::Load(File& file) {
    if (!LoadChecked(file)) file.SetError();
    // Whatever the file held, nothing read may point outside the tables.
    if (file.HasError()) {
        if (actorIndex < 0 || actorIndex >= ActorCount) actorIndex = 0;
        if (displayListNumber < 0 || displayListNumber >= DisplayListCount) displayListNumber = 0;
        if (!FrameOf(displayedAnimation) || !FrameOf(requestedAnimation)) {
            displayedAnimation = requestedAnimation = previousAnimation = 0;
            currentFrame = 0;
        }
        lastPegFrame = -1;
        if (patternStep != -1 && (!pattern || patternStep < 0 ||
                                  static_cast<unsigned int>(patternStep) >= pattern->NumberOfVectors()))
            patternStep = -1;
    }
}

bool Sprite::LoadChecked(File& file) {
    auto readInt = [&file](std::int32_t& v) { file.Read(v); };
    name.Load(file);
    behavior.Load(file);
    PathStateMachineTraverser::Release(traverser);
    traverser = nullptr;
    node* p = nullptr;
    file.Read(p);
    // The traverser and the local data become this sprite's own: an object the
    // file gave another owner (or this sprite itself) is refused.
    if (p && (!IsClass(p, "PathStateMachineTraverser") || !file.Claim(p))) return false;
    traverser = static_cast<PathStateMachineTraverser*>(p);
    readInt(id);
    file.Read(deleteFlag);
    p = nullptr;
    file.Read(p);
    if (p && !IsClass(p, "Map")) return false;
    map = sprites::NodeAsMap(p);
    file.Read(mapX);
    file.Read(mapY);
    readInt(viewportX);
    readInt(viewportY);
    file.Read(scaleX);
    file.Read(scaleY);
    file.Read(collisionFloat);
    file.Read(sortedZOrder);
    readInt(displayedAnimation);
    readInt(currentFrame);
    file.Read(delayCount);
    readInt(actorIndex);
    if (actorIndex < 0 || actorIndex >= ActorCount) return false;
    file.Read(checkCollisionWithSprite);
    file.Read(collisionWithMap);
    file.Read(visible);
    file.Read(mainCharacter);
    file.Read(checkCollisionWithMap);
    readInt(requestedAnimation);
    readInt(previousAnimation);
    readInt(displayListNumber);
    if (displayListNumber < 0 || displayListNumber >= DisplayListCount) return false;
    if (!sprites::AnimationFrameValid(actorIndex, displayedAnimation, currentFrame) ||
        !sprites::AnimationFrameValid(actorIndex, requestedAnimation, 0) ||
        !sprites::AnimationFrameValid(actorIndex, previousAnimation, 0))
        return false;
    file.Read(translationX);
    file.Read(translationY);
    file.Read(reflection);
    for (bool* b : {&currentHFlip, &currentVFlip, &requestedHFlip, &requestedVFlip, &lastHFlip, &lastVFlip,
                    &flipCodeReady, &autoFlip})
        file.Read(*b);
    readInt(lastFlipCode);
    readInt(newFlipCode);
    if (lastFlipCode < 0 || lastFlipCode > 3 || newFlipCode < 0 || newFlipCode > 3) return false;
    file.Read(canned);
    file.Read(pause);
    file.Read(cannedFactorX);
    file.Read(cannedFactorY);
    file.Read(directionX);
    file.Read(directionY);
    file.Read(cannedHDirection);
    file.Read(cannedVDirection);
    file.Read(doNotCutDirection);
    file.Read(speed);
    file.Read(collisionFactor);
    lastHitSegment.Load(file);
    file.Read(checkSameDisplayList);
    file.Read(ghostCollisionWithSprite);
    file.Read(ghostCollisionWithMap);
    file.Read(gravity);
    for (float* f : {&g, &arcStartSpeed, &arcStartX, &arcStartY, &arcStartDirectionX, &arcStartDirectionY})
        file.Read(*f);
    readInt(arcFrameCount);
    file.Read(impactSpeed);
    file.Read(gravityFriction);
    std::int32_t count = 0;
    readInt(count);
    if (!VariableCountFits(file, count)) return false;
    VariableNumber(count);
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) localVariables[i].Load(file);
    file.Read(unused);
    file.Read(friction);
    readInt(count);
    if (!CountFits(file, count)) return false;
    alarms.Clear();
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        p = nullptr;
        file.Read(p);
        if (p && !IsClass(p, "Alarm")) return false;
        alarms.Add(sprites::NodeAsAlarm(p));
    }
    alarmCount = static_cast<std::int32_t>(alarms.Size());
    readInt(alarmMaximum);
    readInt(count);
    if (!CountFits(file, count)) return false;
    spriteNamesHit.Clear();
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        String hitName;
        hitName.Load(file);
        spriteNamesHit.Add(hitName);
    }
    ReleaseLoadedShapes();
    if (!LoadShapes(file, ownShapesHit) || !LoadShapes(file, mapShapesHit) || !LoadShapes(file, otherShapesHit))
        return false;
    readInt(count);
    if (!CountFits(file, count)) return false;
    spritesHit.Clear();
    for (std::int32_t i = 0; i < count && !file.HasError(); ++i) {
        p = nullptr;
        file.Read(p);
        if (p && !IsClass(p, "Sprite")) return false;
        spritesHit.Add(static_cast<Sprite*>(p));
    }
    file.Read(collisionType);
    file.Read(showSpriteCollision);
    file.Read(showSpriteBoundingBox);
    file.Read(showVectorOfTranslation);
    readInt(lastPegFrame);
    if (lastPegFrame < -1) return false;
    file.Read(pegRegistered);
    file.Read(zOrder);
    file.Read(soundOnce);
    p = nullptr;
    file.Read(p);
    if (p && !IsClass(p, "CollisionSegment") && !IsClass(p, "CollisionCircle")) return false;
    followedSegment = p;
    readInt(followDirection);
    file.Read(showPath);
    file.Read(gateWait);
    file.Read(collisionWithPath);
    file.Read(displacementPending);
    file.Read(savedSpeed);
    file.Read(displacementX);
    file.Read(displacementY);
    readInt(psmCounter);
    file.Read(activateCollisionWithSprite);
    readInt(patternIndex);
    pattern = sprites::PatternAt(patternIndex);
    for (float& f : patternValues) file.Read(f);
    readInt(patternStep);
    // A running leg must be a leg of the bound pattern.
    if (patternStep != -1 && (!pattern || patternStep < 0 ||
                              static_cast<unsigned int>(patternStep) >= pattern->NumberOfVectors()))
        return false;
    file.Read(patternDistance);
    file.Read(movementPatternLoop);
    file.Read(patternBackToStart);
    file.Read(showMovementPattern);
    file.Read(patternStartX);
    file.Read(patternStartY);
    readInt(localDataIndex);
    delete localVariable;
    localVariable = nullptr;
    file.Read(p);
    if (!file.Claim(p)) return false;
    localVariable = p;
    if (localVariable && localDataIndex < 0) return false;
    return !file.HasError();
}
