// The engine's own emptying of the actor table.
#pragma once
#include "sprites/SpriteList.h"

// The level switch's emptying: releases every actor surface, clears every
// counted frame's surface pointers and shape lists, then destroys every slot's
// animations, so that a builder starts on an empty table.
void EmptyActorTable();

// What a level's destructor does to the table: the surfaces are released and
// every counted frame's surface pointers and shape lists cleared, while the
// animation arrays stay.
void ClearActorFrames();
