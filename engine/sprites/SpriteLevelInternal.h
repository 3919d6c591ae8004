// What the sprites need from the current level and its maps, in one place:
// the display lists, the viewport, the world size, and a map's placement.
// Without a level or a map every answer is neutral (no list, offset 0).
#pragma once
#include <cstdint>

#include "foundation/List.h"
#include "sprites/Sprite.h"

class Map;
class ViewPort;

namespace sprites {

// Display list n (0 to 15) of the current level, or null without a level.
List* LevelDisplayList(int n);
// The number of the frame the game is in (counted by the frame step).
std::uint32_t LevelFrameNumber();
// Adds the sprite to the current level; false (the sprite is gone) when refused.
bool LevelAddSprite(Sprite* sprite);
// The level's viewport (never null).
ViewPort* LevelViewPort();
float LevelWorldWidth();
float LevelWorldHeight();
// The current level is played over the network.
bool LevelIsNetworked();
// The viewport's committed world position, 0 without a level.
float ViewWorldX();
float ViewWorldY();

// Calls f on every sprite of the current level, list 0 to 15, each from its
// head; f answers true to stop the walk. Answers the sprite it stopped on.
template <class F>
Sprite* ForEachSprite(F f);

// The placeholder map of the sprites' placeholder sprite (null until maps exist).
Map* DummyMap();

// A map's world position (0 for a master map or no map).
float MapWorldX(const Map* map);
float MapWorldY(const Map* map);
// 0 master, 1 standard, 2 wrapped; -1 without a map.
int MapKind(const Map* map);
const char* MapName(const Map* map);
// The named map of the current level (reports when missing), or null.
Map* FindMap(const char* name);
// The map's alarms list, or null.
List* MapAlarms(Map* map);

}  // namespace sprites

template <class F>
Sprite* sprites::ForEachSprite(F f) {
    for (int n = 0; n < 16; ++n) {
        List* list = LevelDisplayList(n);
        if (!list) return nullptr;
        for (node* p = list->Head(); !p->EOList(); p = p->Next()) {
            Sprite* s = static_cast<Sprite*>(p);
            if (f(s)) return s;
        }
    }
    return nullptr;
}
