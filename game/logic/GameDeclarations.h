// What the parts of the game program nolt share: the hooks handed to the
// engine, the level and actor-table builders bound by the level list, the
// numbers of the logic tables, the game-wide values and the shared routines.
#pragma once
#include <cstdint>

class File;
class GameNode;
class Sprite;

// --- game-wide values (carried in every save file, in this order) ---
extern float gravity;              // 0.5: added each frame to an airborne player's vertical velocity
extern bool facingRight;           // true: the way the player last chose
extern bool soundMuted;            // false: the M key toggles it
extern std::int32_t playerColour;  // 0: the player's animation after its last shot

// --- the hooks stored into the engine before QelMain ---
void SetDataPath();
void LoadGameFile();
void Mode();
void BuildLogic();
void Qel();
void OnGameStart();
void OnGameEnd();
void OnSave(File& file);
void OnLoad(File& file);
// Stores all nine into the engine's hook pointers.
void InstallGameHooks();

// --- numbers in the engine's logic tables, as levels and saves name them ---
namespace StateMachineNo {  // SMArray
enum : unsigned int { PlyrOnWhatSM = 0, SpriteCopySM = 1 };
}
namespace FunctionNo {  // FArray
enum : unsigned int {
    leftright = 0,
    goalLogic = 1,
    gradientGoalLogic = 2,
    title = 3,
    clearDelete = 4,
    ResetDeath = 5,
    ViewPortChara = 6,
    projectileDelete = 7,
    ClearGeneration = 8,
    ClearGenerationW = 9,
    FinishGame = 10,
    FinishWorld = 11,
    triangle = 12,
    altF4 = 13,
    titlescreen = 14,
    deciderLogic = 15,
    Reset = 16,
    CopyGradient = 17,
    CopyReveal = 18,
    clearWorld3 = 19,
    FinaleBehavior = 20,
    creditsBehavoir = 21
};
}
namespace TimerNo {  // TMArray
enum : unsigned int {
    clearDelete = 0,
    projectileDelete = 1,
    ClearGeneration = 2,
    ClearGenerationW = 3,
    FinishGame = 4,
    FinishWorld = 5,
    CopyGradient = 6,
    CopyReveal = 7,
    clearWorld3 = 8,
    creditsBehavoir = 9
};
}
namespace LocalDataNo {  // NArray
enum : unsigned int { PlayerLD = 0, GuardLD = 1 };
}

// --- level builders (BuildLevelP of each level, in level-list order) ---
void Menu(GameNode* level);
void Level_1(GameNode* level);
void Level_2(GameNode* level);
void Level_3(GameNode* level);
void Level_4(GameNode* level);
void Level_5(GameNode* level);
void Level_6(GameNode* level);
void Level_7(GameNode* level);
void Level_8(GameNode* level);
void Level_9(GameNode* level);
void Level_10(GameNode* level);
void In_Media_Res(GameNode* level);
void Level_11(GameNode* level);
void Level_12(GameNode* level);
void Level_13(GameNode* level);
void Level_14(GameNode* level);
void Level_15(GameNode* level);
void Level_16(GameNode* level);
void Level_17(GameNode* level);
void Level_18(GameNode* level);
void Level_19(GameNode* level);
void Level_20(GameNode* level);
void Deus_Ex_Machina(GameNode* level);
void Level_21(GameNode* level);
void Level_22(GameNode* level);
void Level_23(GameNode* level);
void Level_24(GameNode* level);
void Level_25(GameNode* level);
void Level_26(GameNode* level);
void Level_27(GameNode* level);
void Level_28(GameNode* level);
void Level_29(GameNode* level);
void Level_30(GameNode* level);
void Dies_Tenebrosa_Sicut_Nox(GameNode* level);
void Level_31(GameNode* level);
void Level_32(GameNode* level);
void Level_33(GameNode* level);
void Level_34(GameNode* level);
void Level_40(GameNode* level);

// OnLevelChangeP and OnLevelExitP of every level: nothing to do (with the builders).
void EmptyLevelFunction(GameNode* level);

// --- actor-table builders (BuildActorsP) ---
void BuildStandardActors(GameNode* level);
void BuildMenuActors(GameNode* level);
void BuildInterludeActors(GameNode* level);
void BuildLevel31Actors(GameNode* level);
void BuildLevel40Actors(GameNode* level);

// --- shared routines of the game's logic and level builders ---
// Velocity = unit direction x speed; setting one normalises it into both.
void SpriteGravity(Sprite* sprite, float g);
void SpriteVectorAdd(Sprite* sprite, float ax, float ay);
void SetSpriteVectorX(Sprite* sprite, float vx);
void SetSpriteVectorY(Sprite* sprite, float vy);
float GetSpriteVectorX(Sprite* sprite);
// Launches a jump on a fresh press of Up or W; true when it did.
bool PlayerJump(Sprite* sprite);
// The sprite of that name in the current level; a missing one ends the program.
Sprite* FindSprite(const char* name);
// A working copy of a parked template placed at world (x, y); null when the
// level refuses the copy.
Sprite* SpriteCopy2(const char* source, const char* name, int x, int y);
Sprite* SpriteCopy(const char* source, const char* name, int x, int y, float angle, float speed);
// A column of 16 copies named "c" at x 0, y 0, 30, ..., 450.
void Clear(const char* source);
void ShootSFX();
void JumpSFX();
// Registers the eight standard jump and shot sound effects on the level.
void AddSFX(GameNode* level);
