#include "levels/StandardSprites.h"
#include <cstring>
#include "logic/GameDeclarations.h"

namespace nolt {
namespace {

BehaviorRef F(std::uint32_t i) { return {BehaviorRef::Function, i}; }
BehaviorRef T(std::uint32_t i) { return {BehaviorRef::Timer, i}; }
BehaviorRef SM(std::uint32_t i) { return {BehaviorRef::StateMachine, i}; }

// A parked template of actor 3 moving along its direction.
SpriteRecord ClearTemplate(const char* name, int animation, unsigned z, float dx, float speed, BehaviorRef behavior) {
    SpriteRecord s;
    s.name = name;
    s.unused = true;
    s.actorIndex = 3;
    s.animation = animation;
    s.zOrder = z;
    s.behaviors = {behavior};
    s.directionX = dx;
    s.speed = speed;
    return s;
}

}  // namespace

SpriteRecord Protag() {
    SpriteRecord s;
    s.name = "protag";
    s.actorIndex = 0;
    s.startX = 57;
    s.startY = 296;
    s.collidesWithMap = true;
    s.spriteCollision = true;
    s.testsOtherSprites = true;
    s.localData = {LocalDataNo::PlayerLD};
    s.behaviors = {SM(StateMachineNo::PlyrOnWhatSM), F(FunctionNo::ResetDeath), SM(StateMachineNo::SpriteCopySM)};
    s.collisionByBox = false;
    return s;
}

SpriteRecord MasterProjectile() {
    SpriteRecord s;
    s.name = "masterProjectile";
    s.unused = true;
    s.actorIndex = 1;
    s.startX = 15;
    s.startY = 21;
    s.behaviors = {T(TimerNo::projectileDelete)};
    return s;
}

SpriteRecord Goal(float x, float y) {
    SpriteRecord s;
    s.name = "goal";
    s.actorIndex = 2;
    s.startX = x;
    s.startY = y;
    s.displayList = 2;
    s.spriteCollision = true;
    s.testsOtherSprites = true;
    s.ghostOnSprites = true;
    s.behaviors = {F(FunctionNo::goalLogic)};
    return s;
}

SpriteRecord MasterClear() { return ClearTemplate("masterClear", 0, 0, 1, 5, T(TimerNo::clearDelete)); }

SpriteRecord MainChar() {
    SpriteRecord s;
    s.name = "mainChar";
    s.mainCharacter = true;
    s.actorIndex = 3;
    s.animation = 1;
    s.startX = 13;
    s.startY = 255;
    s.behaviors = {F(FunctionNo::ViewPortChara)};
    return s;
}

SpriteRecord MasterRClear() { return ClearTemplate("masterRClear", 2, 1, -1, 6, F(FunctionNo::triangle)); }

SpriteRecord MasterWClear() { return ClearTemplate("masterWClear", 3, 0, -1, 6, F(FunctionNo::triangle)); }

SpriteRecord Reveal(const char* name, float y) {
    SpriteRecord s;
    s.name = name;
    s.actorIndex = 0;
    s.animation = 5;
    s.startX = -16;
    s.startY = y;
    s.collidesWithMap = true;
    s.spriteCollision = true;
    s.testsOtherSprites = true;
    s.localData = {LocalDataNo::PlayerLD};
    s.directionX = 1;
    s.collisionByBox = false;
    s.speed = 4.25f;
    return s;
}

std::vector<SpriteRecord> PlayingSet(int size, float goalX, float goalY) {
    std::vector<SpriteRecord> set{Protag(), MasterProjectile(), Goal(goalX, goalY), MasterClear()};
    if (size >= 5) set.push_back(MainChar());
    if (size >= 7) {
        set.push_back(MasterRClear());
        set.push_back(MasterWClear());
    }
    return set;
}

SpriteRecord* Find(std::vector<SpriteRecord>& sprites, const char* name) {
    for (SpriteRecord& s : sprites)
        if (s.name == name) return &s;
    return nullptr;
}

}  // namespace nolt
