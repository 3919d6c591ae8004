// The player's walking, falling, jumping and landing: the state actions and
// edge conditions of the state machine PlyrOnWhatSM. The owner is the player
// sprite, which carries a PlayerLD; without one the callbacks do nothing.
#pragma once

// States 0 to 4.
void FallenOffPlat(int entering, void* owner);
void platform(int entering, void* owner);
void JumpFromFalling(int entering, void* owner);
void JumpFromPlatform(int entering, void* owner);
void Ini(int entering, void* owner);

bool PlyrOnWhatSM_S1_To_S2_Condition(void* owner);
bool PlyrOnWhatSM_S1_To_S3_Condition(void* owner);
bool PlyrOnWhatSM_S3_To_S2_Condition(void* owner);
bool PlyrOnWhatSM_S4_To_S2_Condition(void* owner);
bool PlyrOnWhatSM_S2_To_S4_Condition(void* owner);
bool PlyrOnWhatSM_S5_To_S2_Condition(void* owner);
bool PlyrOnWhatSM_S5_To_S3_Condition(void* owner);
bool PlyrOnWhatSM_S2_To_S1b_Condition(void* owner);
