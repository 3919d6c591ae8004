// The sprite as an object: construction, copying, pooling, lookup, local
// variables, removal and the saved record.
#include "sprites/Sprite.h"

#include <cstring>
#include <new>
#include <unordered_map>

#include "foundation/ClassPool.h"
#include "foundation/FieldWalk.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachineTraverser.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteLinksInternal.h"
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
    qel::FieldCopier copier;
    Fields(copier, *this, source);
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
    Sprite* found = text ? sprites::ForEachSprite([text](Sprite* s) { return s->unused && s->name == text; }) : nullptr;
    if (found)
        found->unused = false;
    else
        UserError::Report("void Sprite::Use(const char *)", "Sprite name: %s not found.", text ? text : "");
}

// --- local variables and data ---

void Sprite::VariableNumber(int n) {
    if (n < 0) return;
    // The same bound as a stored sprite's: a number past it (a negative count
    // cast, a wrong variable) would take all memory.
    if (n > MaxLocalVariables) {
        UserError::Report("void Sprite::VariableNumber(int)", "A sprite can hold at most %d local variables, not %d.",
                          MaxLocalVariables, n);
        return;
    }
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

template <class Walk, class... Self>
void Sprite::Fields(Walk& walk, Self&... self) {
    Sprite& me = qel::FirstOf(self...);
    walk(self.name...);
    walk(self.behavior...);
    // The traverser and the local data are the sprite's own: a copy gets its
    // own, and an object the file gave another owner (or this sprite) is refused.
    walk.Step([](File& f, Sprite& s) { f.Write(static_cast<node*>(s.traverser)); },
              [](File& f, Sprite& s) {
                  PathStateMachineTraverser::Release(s.traverser);
                  s.traverser = nullptr;
                  node* p = nullptr;
                  f.Read(p);
                  if (p && (!IsClass(p, "PathStateMachineTraverser") || !f.Claim(p))) return false;
                  s.traverser = static_cast<PathStateMachineTraverser*>(p);
                  return true;
              },
              [](Sprite& to, const Sprite& from) {
                  auto* copy = from.traverser ? new PathStateMachineTraverser(*from.traverser) : nullptr;
                  PathStateMachineTraverser::Release(to.traverser);
                  to.traverser = copy;
              },
              self...);
    walk(self.id...);
    walk(self.deleteFlag...);
    walk.Step([](File& f, Sprite& s) { f.Write(sprites::MapAsNode(s.map)); },
              [](File& f, Sprite& s) {
                  node* p = nullptr;
                  f.Read(p);
                  if (p && !IsClass(p, "Map")) return false;
                  s.map = sprites::NodeAsMap(p);
                  return true;
              },
              [](Sprite& to, const Sprite& from) { to.map = from.map; }, self...);
    walk(self.mapX...);
    walk(self.mapY...);
    walk(self.viewportX...);
    walk(self.viewportY...);
    walk(self.scaleX...);
    walk(self.scaleY...);
    walk(self.collisionFloat...);
    walk(self.sortedZOrder...);
    walk(self.displayedAnimation...);
    walk(self.currentFrame...);
    walk(self.delayCount...);
    walk(self.actorIndex...);
    if (!walk.Check(me.actorIndex >= 0 && me.actorIndex < ActorCount)) return;
    walk(self.checkCollisionWithSprite...);
    walk(self.collisionWithMap...);
    walk(self.visible...);
    walk(self.mainCharacter...);
    walk(self.checkCollisionWithMap...);
    walk(self.requestedAnimation...);
    walk(self.previousAnimation...);
    walk(self.displayListNumber...);
    if (!walk.Check(me.displayListNumber >= 0 && me.displayListNumber < DisplayListCount)) return;
    if (!walk.Check(sprites::AnimationFrameValid(me.actorIndex, me.displayedAnimation, me.currentFrame) &&
                    sprites::AnimationFrameValid(me.actorIndex, me.requestedAnimation, 0) &&
                    sprites::AnimationFrameValid(me.actorIndex, me.previousAnimation, 0)))
        return;
    walk(self.translationX...);
    walk(self.translationY...);
    walk(self.reflection...);
    // A copy starts unflipped and unhit.
    walk.Fresh(false, self.currentHFlip...);
    walk.Fresh(false, self.currentVFlip...);
    walk.Fresh(false, self.requestedHFlip...);
    walk.Fresh(false, self.requestedVFlip...);
    walk.Fresh(false, self.lastHFlip...);
    walk.Fresh(false, self.lastVFlip...);
    walk.Fresh(false, self.flipCodeReady...);
    walk.Fresh(true, self.autoFlip...);
    walk(self.lastFlipCode...);
    walk(self.newFlipCode...);
    if (!walk.Check(me.lastFlipCode >= 0 && me.lastFlipCode <= 3 && me.newFlipCode >= 0 && me.newFlipCode <= 3)) return;
    walk(self.canned...);
    walk(self.pause...);
    walk(self.cannedFactorX...);
    walk(self.cannedFactorY...);
    walk(self.directionX...);
    walk(self.directionY...);
    walk(self.cannedHDirection...);
    walk(self.cannedVDirection...);
    walk(self.doNotCutDirection...);
    walk(self.speed...);
    walk.Fresh(1.5f, self.collisionFactor...);
    walk.Step([](File& f, Sprite& s) { s.lastHitSegment.Save(f); },
              [](File& f, Sprite& s) {
                  s.lastHitSegment.Load(f);
                  return true;
              },
              [](Sprite& to, const Sprite& from) {
                  to.lastHitSegment = static_cast<bool>(from.lastHitSegment) ? from.lastHitSegment : CollisionSegment();
              },
              self...);
    walk(self.checkSameDisplayList...);
    walk(self.ghostCollisionWithSprite...);
    walk(self.ghostCollisionWithMap...);
    walk(self.gravity...);
    walk(self.g...);
    walk(self.arcStartSpeed...);
    walk(self.arcStartX...);
    walk(self.arcStartY...);
    walk(self.arcStartDirectionX...);
    walk(self.arcStartDirectionY...);
    walk(self.arcFrameCount...);
    walk(self.impactSpeed...);
    walk(self.gravityFriction...);
    walk.Step(
        [](File& f, Sprite& s) {
            f.Write(static_cast<std::int32_t>(s.localVariables.Size()));
            for (unsigned int i = 0; i < s.localVariables.Size(); ++i) s.localVariables[i].Save(f);
        },
        [](File& f, Sprite& s) {
            std::int32_t count = 0;
            f.Read(count);
            if (!VariableCountFits(f, count)) return false;
            s.VariableNumber(count);
            for (std::int32_t i = 0; i < count && !f.HasError(); ++i) s.localVariables[i].Load(f);
            return true;
        },
        [](Sprite& to, const Sprite& from) {
            to.localVariables = from.localVariables;
            to.variableNumber = from.variableNumber;
        },
        self...);
    walk(self.unused...);
    walk(self.friction...);
    walk.Step(
        [](File& f, Sprite& s) {
            f.Write(static_cast<std::int32_t>(s.alarms.Size()));
            for (unsigned int i = 0; i < s.alarms.Size(); ++i) f.Write(sprites::AlarmAsNode(s.alarms[i]));
        },
        [](File& f, Sprite& s) {
            std::int32_t count = 0;
            f.Read(count);
            if (!CountFits(f, count)) return false;
            s.alarms.Clear();
            for (std::int32_t i = 0; i < count && !f.HasError(); ++i) {
                node* p = nullptr;
                f.Read(p);
                if (p && !IsClass(p, "Alarm")) return false;
                s.alarms.Add(sprites::NodeAsAlarm(p));
            }
            s.alarmCount = static_cast<std::int32_t>(s.alarms.Size());
            return true;
        },
        [](Sprite& to, const Sprite& from) {
            to.alarms = from.alarms;
            to.alarmCount = from.alarmCount;
        },
        self...);
    walk(self.alarmMaximum...);
    walk.Step(
        [](File& f, Sprite& s) {
            f.Write(static_cast<std::int32_t>(s.spriteNamesHit.Size()));
            for (unsigned int i = 0; i < s.spriteNamesHit.Size(); ++i) s.spriteNamesHit[i].Save(f);
        },
        [](File& f, Sprite& s) {
            std::int32_t count = 0;
            f.Read(count);
            if (!CountFits(f, count)) return false;
            s.spriteNamesHit.Clear();
            for (std::int32_t i = 0; i < count && !f.HasError(); ++i) {
                String hitName;
                hitName.Load(f);
                s.spriteNamesHit.Add(hitName);
            }
            return true;
        },
        [](Sprite& to, const Sprite& from) { to.spriteNamesHit = from.spriteNamesHit; }, self...);
    walk.Step(
        [](File& f, Sprite& s) {
            s.SaveShapes(f, s.ownShapesHit);
            s.SaveShapes(f, s.mapShapesHit);
            s.SaveShapes(f, s.otherShapesHit);
        },
        [](File& f, Sprite& s) {
            s.ReleaseLoadedShapes();
            return s.LoadShapes(f, s.ownShapesHit) && s.LoadShapes(f, s.mapShapesHit) &&
                   s.LoadShapes(f, s.otherShapesHit);
        },
        [](Sprite& to, const Sprite& from) {
            to.ReleaseLoadedShapes();
            to.ownShapesHit = from.ownShapesHit;
            to.mapShapesHit = from.mapShapesHit;
            to.otherShapesHit = from.otherShapesHit;
            // Loaded shapes the source holds are now held once more.
            for (auto* list : {&to.ownShapesHit, &to.mapShapesHit, &to.otherShapesHit})
                for (unsigned int i = 0; i < list->Size(); ++i) {
                    auto it = LoadedShapes().find((*list)[i]);
                    if (it != LoadedShapes().end()) ++it->second;
                }
        },
        self...);
    walk.Step(
        [](File& f, Sprite& s) {
            f.Write(static_cast<std::int32_t>(s.spritesHit.Size()));
            for (unsigned int i = 0; i < s.spritesHit.Size(); ++i) f.Write(static_cast<node*>(s.spritesHit[i]));
        },
        [](File& f, Sprite& s) {
            std::int32_t count = 0;
            f.Read(count);
            if (!CountFits(f, count)) return false;
            s.spritesHit.Clear();
            for (std::int32_t i = 0; i < count && !f.HasError(); ++i) {
                node* p = nullptr;
                f.Read(p);
                if (p && !IsClass(p, "Sprite")) return false;
                s.spritesHit.Add(static_cast<Sprite*>(p));
            }
            return true;
        },
        [](Sprite& to, const Sprite& from) {
            // Hits stay two-way: whoever hit the source has hit the copy too.
            to.spritesHit = from.spritesHit;
            for (unsigned int i = 0; i < to.spritesHit.Size(); ++i)
                if (to.spritesHit[i]) to.spritesHit[i]->spritesHit.Add(&to);
        },
        self...);
    walk(self.collisionType...);
    walk(self.showSpriteCollision...);
    walk(self.showSpriteBoundingBox...);
    walk(self.showVectorOfTranslation...);
    walk(self.lastPegFrame...);
    if (!walk.Check(me.lastPegFrame >= -1)) return;
    walk(self.pegRegistered...);
    walk(self.zOrder...);
    walk(self.soundOnce...);
    walk.Step([](File& f, Sprite& s) { f.Write(s.followedSegment); },
              [](File& f, Sprite& s) {
                  node* p = nullptr;
                  f.Read(p);
                  if (p && !IsClass(p, "CollisionSegment") && !IsClass(p, "CollisionCircle")) return false;
                  s.followedSegment = p;
                  return true;
              },
              [](Sprite& to, const Sprite& from) { to.followedSegment = from.followedSegment; }, self...);
    walk(self.followDirection...);
    walk(self.showPath...);
    walk(self.gateWait...);
    walk(self.collisionWithPath...);
    walk(self.displacementPending...);
    walk(self.savedSpeed...);
    walk(self.displacementX...);
    walk(self.displacementY...);
    walk(self.psmCounter...);
    walk(self.activateCollisionWithSprite...);
    walk.Step([](File& f, Sprite& s) { f.Write(s.patternIndex); },
              [](File& f, Sprite& s) {
                  f.Read(s.patternIndex);
                  s.pattern = sprites::PatternAt(s.patternIndex);
                  return true;
              },
              [](Sprite& to, const Sprite& from) {
                  to.patternIndex = from.patternIndex;
                  to.pattern = from.pattern;
              },
              self...);
    walk(self.patternValues...);
    walk(self.patternStep...);
    // A running leg must be a leg of the bound pattern.
    if (!walk.Check(me.patternStep == -1 ||
                    (me.pattern && me.patternStep >= 0 &&
                     static_cast<unsigned int>(me.patternStep) < me.pattern->NumberOfVectors())))
        return;
    walk(self.patternDistance...);
    walk(self.movementPatternLoop...);
    walk(self.patternBackToStart...);
    walk(self.showMovementPattern...);
    walk(self.patternStartX...);
    walk(self.patternStartY...);
    walk.Step(
        [](File& f, Sprite& s) {
            f.Write(s.localDataIndex);
            f.Write(s.localVariable);
        },
        [](File& f, Sprite& s) {
            f.Read(s.localDataIndex);
            delete s.localVariable;
            s.localVariable = nullptr;
            node* p = nullptr;
            f.Read(p);
            if (!f.Claim(p)) return false;
            s.localVariable = p;
            return !(s.localVariable && s.localDataIndex < 0);
        },
        [](Sprite& to, const Sprite& from) {
            delete to.localVariable;
            to.localVariable = from.localVariable ? from.localVariable->Clone() : nullptr;
            to.localDataIndex = from.localVariable ? from.localDataIndex : -1;
        },
        self...);
    // Remote input is live state: copied, never saved (the queue stays behind).
    walk.Unsaved(self.networkPlayer...);
    walk.Unsaved(self.networkActive...);
    walk.Unsaved(self.keys...);
    walk.Unsaved(self.mouseButtons...);
    walk.Unsaved(self.remoteFlags...);
    walk.Unsaved(self.mouseX...);
    walk.Unsaved(self.mouseY...);
    walk.Unsaved(self.mouseWorldX...);
    walk.Unsaved(self.mouseWorldY...);
    walk.Unsaved(self.mouseRelX...);
    walk.Unsaved(self.mouseRelY...);
    walk.Unsaved(self.mouseWheel...);
}

void Sprite::Save(File& file) {
    qel::FieldWriter writer(file);
    Fields(writer, *this);
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
        if (patternStep != -1 &&
            (!pattern || patternStep < 0 || static_cast<unsigned int>(patternStep) >= pattern->NumberOfVectors()))
            patternStep = -1;
    }
}

bool Sprite::LoadChecked(File& file) {
    qel::FieldReader reader(file);
    Fields(reader, *this);
    return reader.Accepted();
}
