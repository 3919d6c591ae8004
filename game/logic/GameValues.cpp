// The game-wide values: they live for the whole run, survive level changes and
// travel in every save file.
#include "logic/GameDeclarations.h"

float gravity = 0.5f;
bool facingRight = true;
bool soundMuted = false;
std::int32_t playerColour = 0;
