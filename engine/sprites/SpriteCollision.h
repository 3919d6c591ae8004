// A sprite's collision with its map, its alarms and the other sprites of its
// map, the queries on what it hit this frame, and the look-ahead probes that
// ask whether a move would hit without making it.
#pragma once
#include <cstddef>

#include "QelExport.h"

class Map;
class Sprite;

namespace sprites {

// Ray direction codes of the look-ahead probes, in map coordinates.
enum RayDirection : unsigned int { RIGHT = 0, LEFT = 1, DOWN = 2, UP = 3 };

// --- per frame, run by the frame step ---
// Fires the alarms the sprite adopted and now touches.
QEL_API void HandleAlarms(Sprite& sprite);
// Tests this frame's move against the map's shapes (map is used only by the
// cursor sprite; every other sprite tests its own map).
QEL_API void CheckMapCollision(Sprite& sprite, Map* map);
// Tests this frame's move against one other sprite and records the hit both ways.
QEL_API void CheckSpriteCollision(Sprite& sprite, Sprite* other);
// The pair walk of one sprite on map m: every other sprite of the level that
// takes part in sprite collisions, is in use and belongs to m.
QEL_API void CheckSpriteCollisions(Sprite& sprite, Map* m);
// The pair tests of one sprite against the given others, in their order, its
// own side worked out once: what the walk does for the sprites it meets,
// without choosing them (for walks made another way, to compare with).
QEL_API void CheckSpriteCollisions(Sprite& sprite, Sprite* const* others, std::size_t count);

// --- queries on this frame's hits ---
QEL_API bool CollisionWithMap(Sprite& sprite, int id);
QEL_API bool Collision(Sprite& sprite, int id);
QEL_API bool OwnerCollisionDataFlagBit(Sprite& sprite, unsigned int n);
QEL_API bool SpriteCollisionDataFlagBit(Sprite& sprite, unsigned int n);
QEL_API bool MapCollisionDataFlagBit(Sprite& sprite, unsigned int n);
QEL_API bool CollisionWithSprite(Sprite& sprite, const char* name);
QEL_API Sprite* CollisionWithSpritePtr(Sprite& sprite, const char* name);
QEL_API bool CollisionWithSprite(Sprite& sprite, int id);

// --- look-ahead probes: they record nothing and change nothing ---
QEL_API bool LookAheadCollisionWithMap(Sprite& sprite, unsigned int code, unsigned int distance, int id);
QEL_API Sprite* LookAheadCollisionWithSprite(Sprite& sprite, unsigned int code, unsigned int distance,
                                             const char* name);
// what: 0 sprites, 1 map, 2 sprites then map; anything else answers false.
QEL_API bool LookAheadCollision(Sprite& sprite, unsigned int code, unsigned int distance, unsigned int what);
QEL_API bool TempCheckCollisionWithMap(Sprite& sprite, float dx, float dy, float vx, float vy);
QEL_API bool TempCheckCollisionWithMap(Sprite& sprite, float dx, float dy, float vx, float vy, int id);
QEL_API Sprite* TempCheckCollisionWithSprite(Sprite& sprite, float dx, float dy, float vx, float vy, const char* name);

}  // namespace sprites
