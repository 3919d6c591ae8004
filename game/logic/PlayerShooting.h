// The player's facing and firing: the state actions and edge conditions of the
// state machine SpriteCopySM (S1 neutral, S3 facing right, S5 firing right,
// S7 facing left, S8 firing left). The owner is the player sprite.
#pragma once

void SpriteCopySM_S5_Action(int entering, void* owner);
void SpriteCopySM_S8_Action(int entering, void* owner);

bool SpriteCopySM_S3_To_S1_Condition(void* owner);
bool SpriteCopySM_S1_To_S3_Condition(void* owner);
bool SpriteCopySM_S5_To_S1_Condition(void* owner);
bool SpriteCopySM_S7_To_S1_Condition(void* owner);
bool SpriteCopySM_S1_To_S5_Condition(void* owner);
bool SpriteCopySM_S5_To_S3_Condition(void* owner);
bool SpriteCopySM_S3_To_S5_Condition(void* owner);
bool SpriteCopySM_S1_To_S7_Condition(void* owner);
bool SpriteCopySM_S7_To_S8_Condition(void* owner);
bool SpriteCopySM_S8_To_S7_Condition(void* owner);

// The player's next colour from a random draw 0..4: never the current one.
int NextPlayerColour(int current, int draw);
