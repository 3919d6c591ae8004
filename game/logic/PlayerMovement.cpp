#include "logic/PlayerMovement.h"

#include "foundation/UserError.h"
#include "logic/GameDeclarations.h"
#include "logic/GameKeys.h"
#include "logic/Owners.h"
#include "logic/PlayerLD.h"
#include "logic/ReportContext.h"
#include "runtime/Game.h"
#include "sprites/Sprite.h"
#include "sprites/SpritePTR.h"

namespace {

constexpr const char* Machine = "PlyrOnWhatSM";
constexpr const char* SaveFile = "nolt.sav";

// Look-ahead directions and the map's collision ids.
constexpr unsigned int LookRight = 0, LookLeft = 1, LookDown = 2, LookUp = 3;
constexpr int FloorId = 0, WallId = 1;
// The player's feet carry this id on every frame.
constexpr int FeetId = 1;

// The player's data, or null after a report: a sprite without it is not moved.
PlayerLD* DataOf(Sprite* s) {
    auto* data = dynamic_cast<PlayerLD*>(s->LocalData());
    if (data == nullptr)
        UserError::Report("PlyrOnWhatSM", "The sprite %s has no player local data.",
                          static_cast<const char*>(s->Name()));
    return data;
}

bool WallAt(Sprite* s, unsigned int direction, unsigned int distance) {
    return s->LookAheadCollisionWithMap(direction, distance, WallId);
}

bool Landed(Sprite* s) { return s->Collision(FeetId) && s->CollisionWithMap(FloorId); }

void Airborne(const char* stateName, bool savesOnEntering, int entering, void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", stateName);
    if (s == nullptr) return;
    report::Action(s->Name(), Machine, stateName);
    PlayerLD* data = DataOf(s);
    if (data == nullptr) return;
    if (savesOnEntering && entering == 1 && myGame != nullptr) myGame->SaveGame(SaveFile);

    // Floors are one-way: only the feet landing on one stop the player.
    const bool ghost = s->CollisionWithMap(FloorId) && !s->Collision(FeetId);
    s->GhostCollisionWithMap(ghost);
    s->GhostCollisionWithSprite(ghost);

    if (WallAt(s, LookLeft, 1) || WallAt(s, LookRight, 1)) {
        s->GhostCollisionWithMap(false);
        s->GhostCollisionWithSprite(false);
        s->VectorDirection(0, s->DirectionY(), 0);
    }
    if (s->LookAheadCollisionWithMap(LookUp, 1, FloorId)) {
        s->GhostCollisionWithMap(false);
        s->GhostCollisionWithSprite(false);
        s->VectorDirection(s->DirectionX(), 0, 0);
    }

    // Later keys win: A over D over Left over Right.
    float vx = 0;
    if (key::Pressed(key::Right) && !WallAt(s, LookRight, 1)) vx = data->run;
    if (key::Pressed(key::Left) && !WallAt(s, LookLeft, 1)) vx = -data->run;
    if (key::Pressed(key::D) && !WallAt(s, LookRight, 1)) vx = data->run;
    if (key::Pressed(key::A) && !WallAt(s, LookLeft, 1)) vx = -data->run;
    // Without a key the horizontal momentum carries on.
    if (vx != 0) SetSpriteVectorX(s, vx);
    SpriteGravity(s, gravity);

    if (key::Pressed(key::Down)) s->VectorDirection(0, 1, 0);
    if (key::Pressed(key::S)) s->VectorDirection(0, 1, 0);
}

// A step is open when no wall is that close, or when no "platform" sprite is.
bool StepOpen(Sprite* s, unsigned int direction) {
    return !WallAt(s, direction, 2) ||
           SpritePTR("protag")->LookAheadCollisionWithSprite(direction, 2, "platform") == nullptr;
}

bool LandedCondition(const char* edge, void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", edge);
    if (s == nullptr) return false;
    report::Condition(s->Name(), Machine, edge);
    return Landed(s);
}

bool JumpCondition(const char* edge, void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", edge);
    if (s == nullptr) return false;
    report::Condition(s->Name(), Machine, edge);
    if (DataOf(s) == nullptr) return false;
    return PlayerJump(s);
}

}  // namespace

void FallenOffPlat(int entering, void* owner) { Airborne("FallenOffPlat", true, entering, owner); }
void JumpFromFalling(int entering, void* owner) { Airborne("JumpFromFalling", false, entering, owner); }
void JumpFromPlatform(int entering, void* owner) { Airborne("JumpFromPlatform", false, entering, owner); }
void Ini(int entering, void* owner) { Airborne("Ini", true, entering, owner); }

void platform(int, void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", "platform");
    if (s == nullptr) return;
    report::Action(s->Name(), Machine, "platform");
    PlayerLD* data = DataOf(s);
    if (data == nullptr) return;
    data->jump = PlayerLD::DefaultJump;
    s->Speed(data->run);

    float vx = 0;
    if (key::Pressed(key::Left) && StepOpen(s, LookLeft)) vx = -1;
    if (WallAt(s, LookLeft, 2)) vx = 0;
    if (key::Pressed(key::Right) && StepOpen(s, LookRight)) vx = 1;
    if (key::Pressed(key::A) && StepOpen(s, LookLeft)) vx = -1;
    if (key::Pressed(key::D) && StepOpen(s, LookRight)) vx = 1;
    if (WallAt(s, LookRight, 2) && (key::Pressed(key::D) || key::Pressed(key::Right))) vx = 0;
    // Pressed a pixel into the floor, the player is lifted back onto it.
    const float vy = s->LookAheadCollisionWithMap(LookDown, 1, FloorId) ? -1.0f : 0.0f;
    s->VectorDirection(vx, vy, 0);
}

bool PlyrOnWhatSM_S1_To_S2_Condition(void* owner) { return LandedCondition("PlyrOnWhatSM_S1_To_S2_Condition", owner); }
bool PlyrOnWhatSM_S3_To_S2_Condition(void* owner) { return LandedCondition("PlyrOnWhatSM_S3_To_S2_Condition", owner); }
bool PlyrOnWhatSM_S4_To_S2_Condition(void* owner) { return LandedCondition("PlyrOnWhatSM_S4_To_S2_Condition", owner); }
bool PlyrOnWhatSM_S5_To_S2_Condition(void* owner) { return LandedCondition("PlyrOnWhatSM_S5_To_S2_Condition", owner); }

bool PlyrOnWhatSM_S1_To_S3_Condition(void* owner) { return JumpCondition("PlyrOnWhatSM_S1_To_S3_Condition", owner); }
bool PlyrOnWhatSM_S2_To_S4_Condition(void* owner) { return JumpCondition("PlyrOnWhatSM_S2_To_S4_Condition", owner); }
bool PlyrOnWhatSM_S5_To_S3_Condition(void* owner) { return JumpCondition("PlyrOnWhatSM_S5_To_S3_Condition", owner); }

bool PlyrOnWhatSM_S2_To_S1b_Condition(void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", "PlyrOnWhatSM_S2_To_S1b_Condition");
    if (s == nullptr) return false;
    report::Condition(s->Name(), Machine, "PlyrOnWhatSM_S2_To_S1b_Condition");
    if (s->LookAheadCollisionWithMap(LookDown, 7, FloorId)) return false;
    s->Speed(s->Speed() * gravity);
    s->VectorDirection(s->DirectionX(), 0.01f, 0);
    return true;
}
