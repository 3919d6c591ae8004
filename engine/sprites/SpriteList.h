// The actor table: 1001 actor slots, indexed by the actor index 0 to 1000 that
// a sprite carries. The game's actor builders fill it; the engine owns what is
// stored in it and empties it at every level switch.
#pragma once
#include "QelExport.h"
#include "sprites/SpriteElem.h"

constexpr int ActorTableSize = 1001;

extern QEL_API SpriteElem SpriteList[ActorTableSize];
