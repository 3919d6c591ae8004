// The one level builder: turns a level record into the level's console
// colour, behaviours, world and camera, sounds, map with its collision
// segments, and sprites, always in the same order of engine calls.
#pragma once
#include "levels/LevelData.h"

class GameNode;

namespace nolt {

void BuildLevel(GameNode* level, const LevelRecord& record);

}  // namespace nolt
