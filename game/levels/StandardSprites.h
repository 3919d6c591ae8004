// The sprites that recur across the levels, as standard records: the player,
// the parked templates the logic copies, the goal, the camera sprite and the
// walking figure of the menu and the interludes.
#pragma once
#include "levels/LevelData.h"

namespace nolt {

SpriteRecord Protag();
SpriteRecord MasterProjectile();
SpriteRecord Goal(float x, float y);
SpriteRecord MasterClear();
SpriteRecord MainChar();
SpriteRecord MasterRClear();
SpriteRecord MasterWClear();
SpriteRecord Reveal(const char* name, float y);

// The sprites of a playing level: 4 is protag, masterProjectile, goal and
// masterClear; 5 adds mainChar; 7 also masterRClear and masterWClear.
std::vector<SpriteRecord> PlayingSet(int size, float goalX, float goalY);

// The record of that name in a list (the first); null when absent.
SpriteRecord* Find(std::vector<SpriteRecord>& sprites, const char* name);

}  // namespace nolt
