#include "sprites/SpriteLinksInternal.h"

#include <cstring>
#include <mutex>

#include "input/Mouse.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sound/Sound.h"
#include "sprites/AnimationElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpritePTR.h"
#include "sprites/SpriteList.h"
#include "logic/Alarm.h"
#include "logic/PathTablesInternal.h"
#include "world/Map.h"

namespace sprites {

namespace {
void (*soundPlayer)(Sound*) = nullptr;
}

void MouseAtConstruction(std::int32_t& viewportX, std::int32_t& viewportY, std::int32_t& worldX, std::int32_t& worldY) {
    if (!pMouse) {
        viewportX = viewportY = worldX = worldY = 0;
        return;
    }
    viewportX = pMouse->ViewportX();
    viewportY = pMouse->ViewportY();
    worldX = pMouse->WorldX();
    worldY = pMouse->WorldY();
}

bool IsDummySprite(const Sprite* sprite) { return sprite == SpritePTR::dummySpritePtr; }

void WithQueueLock(const std::function<void()>& f) {
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    f();
}

void ForgetAlarmTrigger(Alarm* alarm, const Sprite* sprite) {
    if (alarm && alarm->TriggerSprite() == sprite) alarm->TriggerSprite(nullptr);
}

node* MapAsNode(Map* map) { return map; }

Map* NodeAsMap(node* p) { return static_cast<Map*>(p); }

node* AlarmAsNode(Alarm* alarm) { return alarm; }

Alarm* NodeAsAlarm(node* p) { return static_cast<Alarm*>(p); }

Alarm* MapAlarmNamed(Map* map, const char* name) {
    if (!map || !name) return nullptr;
    List& list = map->Alarms();
    for (node* p = list.Head(); !p->EOList(); p = p->Next()) {
        Alarm* a = static_cast<Alarm*>(p);
        if (std::strcmp(a->Name(), name) == 0) return a;
    }
    return nullptr;
}

MovementPattern* PatternAt(std::int32_t n) { return GetMovementPattern(n); }

bool AnimationFrameValid(std::int32_t actor, std::int32_t animation, std::int32_t frame) {
    if (actor < 0 || actor >= ActorTableSize) return false;
    const SpriteElem& slot = SpriteList[actor];
    if (slot.AnimationCount <= 0 || !slot.Animations) return animation == 0 && frame == 0;
    if (animation < 0 || animation >= slot.AnimationCount) return false;
    const AnimationElem& a = slot.Animations[animation];
    if (a.FrameCount <= 0 || !a.Frames) return frame == 0;
    return frame >= 0 && frame < a.FrameCount;
}

void PlaySound(Sound* sound) {
    if (!sound) return;
    if (soundPlayer)
        soundPlayer(sound);
    else
        sound->Play();
}

void SetSoundPlayer(void (*player)(Sound*)) { soundPlayer = player; }

Sound* FindSound(const char* name) { return Sound::Search(name); }

}  // namespace sprites
