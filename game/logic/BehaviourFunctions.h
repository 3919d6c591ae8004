// The game's behaviour functions and timer callbacks (FArray 0 to 21). The
// owner is the Game, a GameNode or a Sprite, as each one's comment says.
#pragma once

void leftright(void* owner);          // Game: facing and mute keys, keeps "mus" playing
void goalLogic(void* owner);          // Sprite: touching the player leads to the next level
void gradientGoalLogic(void* owner);  // Sprite: the colour-matching goal of Level_31
void title(void* owner);              // GameNode: the menu's music stays silent
void clearDelete(void* owner);        // Sprite: removes a hazard copy
void ResetDeath(void* owner);         // Sprite: back to the start after falling out of the world
void ViewPortChara(void* owner);      // Sprite: the camera follows the player
void projectileDelete(void* owner);   // Sprite: removes a projectile
void ClearGeneration(void* owner);    // GameNode: a column of "masterRClear" copies
void ClearGenerationW(void* owner);   // GameNode: a column of "masterWClear" copies
void FinishGame(void* owner);         // GameNode: ends the game
void FinishWorld(void* owner);        // GameNode: on to the next level
void triangle(void* owner);           // Sprite: wraps back to the right
void altF4(void* owner);              // Game: Alt+F4 ends the game
void titlescreen(void* owner);        // Sprite: shown once "enter" has played
void deciderLogic(void* owner);       // Sprite: the menu choice
void Reset(void* owner);              // Game: horizontal wrap of the level
void CopyGradient(void* owner);       // GameNode: the gradient strip of Level_31
void CopyReveal(void* owner);         // GameNode: the finale's figures
void clearWorld3(void* owner);        // GameNode: a column of "masterClear" copies
void FinaleBehavior(void* owner);     // Sprite: one finale figure's laps
void creditsBehavoir(void* owner);    // Sprite: shows the credits
