// The sprites' links to classes that live in other subsystems (the mouse, the
// alarms, the movement patterns, the sounds, the network queue lock), kept in
// one place so that the sprite code reads the same whatever they hold.
#pragma once
#include <cstdint>
#include <functional>

class Alarm;
class AnimationElem;
class Map;
class MovementPattern;
class Sound;
class Sprite;
class node;

namespace sprites {

// The mouse's viewport and world position when a sprite is made (0 without a mouse).
void MouseAtConstruction(std::int32_t& viewportX, std::int32_t& viewportY, std::int32_t& worldX, std::int32_t& worldY);
bool IsDummySprite(const Sprite* sprite);
// Runs f holding the lock that guards every sprite's network input queue.
void WithQueueLock(const std::function<void()>& f);
// An alarm whose trigger is this sprite forgets it.
void ForgetAlarmTrigger(Alarm* alarm, const Sprite* sprite);
node* MapAsNode(Map* map);
Map* NodeAsMap(node* p);
node* AlarmAsNode(Alarm* alarm);
Alarm* NodeAsAlarm(node* p);
// The alarm of that name in the map's alarm list, or null.
Alarm* MapAlarmNamed(Map* map, const char* name);
// Entry n of the movement-pattern table, or null outside it.
MovementPattern* PatternAt(std::int32_t n);
// True when the actor slot has that animation and frame, or when the slot is
// empty and both are 0 (a sprite not yet given an actor).
bool AnimationFrameValid(std::int32_t actor, std::int32_t animation, std::int32_t frame);
// Plays an animation's sound (nothing until the level has sounds).
void PlaySound(Sound* sound);
// Replaces who plays animation sounds (tests count the plays).
void SetSoundPlayer(void (*player)(Sound*));
// The level's sound of that name (reports when missing), or null.
Sound* FindSound(const char* name);

}  // namespace sprites
