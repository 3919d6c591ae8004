#include "logic/PlayerShooting.h"

#include "foundation/FloatToInt.h"
#include "foundation/Random.h"
#include "logic/GameDeclarations.h"
#include "logic/GameKeys.h"
#include "logic/Owners.h"
#include "logic/ReportContext.h"
#include "sprites/Sprite.h"

namespace {

constexpr const char* Machine = "SpriteCopySM";
constexpr float ProjectileSpeed = 7;

// False when the machine runs for something other than a sprite.
bool Edge(void* owner, const char* edge) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", edge);
    if (s != nullptr) report::Condition(s->Name(), Machine, edge);
    return s != nullptr;
}

bool FacesLeftKey() { return key::Pressed(key::Left) || key::Pressed(key::A); }
bool FacesRightKey() { return key::Pressed(key::Right) || key::Pressed(key::D); }
bool FireTriggered() { return key::Triggered(key::C) || key::Triggered(key::Q) || key::Triggered(key::Space); }

// Two projectiles from the muzzle (hot point 0), a shot sound and a new colour.
void Fire(const char* stateName, float firstAngle, float secondAngle, int entering, void* owner) {
    Sprite* s = OwnerOf<Sprite>(owner, "Sprite", stateName);
    if (s == nullptr) return;
    report::Action(s->Name(), Machine, stateName);
    if (entering != 1) return;
    const int x = TruncToInt32(s->WorldPositionX() + s->HotSpotX(0));
    const int y = TruncToInt32(s->WorldPositionY() + s->HotSpotY(0));
    SpriteCopy("masterProjectile", "proj", x, y, firstAngle, ProjectileSpeed);
    SpriteCopy("masterProjectile", "proj", x, y, secondAngle, ProjectileSpeed);
    if (!soundMuted) ShootSFX();
    playerColour = NextPlayerColour(playerColour, static_cast<int>(RandInt(5)));
    s->Animation(playerColour);
}

}  // namespace

int NextPlayerColour(int current, int draw) {
    if (draw != current) return draw;
    return current != 0 ? 0 : 1;
}

void SpriteCopySM_S5_Action(int entering, void* owner) { Fire("S5", 20, 340, entering, owner); }
void SpriteCopySM_S8_Action(int entering, void* owner) { Fire("S8", 160, 200, entering, owner); }

bool SpriteCopySM_S1_To_S7_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S1_To_S7_Condition")) return false;
    return FacesLeftKey() || !facingRight;
}

bool SpriteCopySM_S1_To_S3_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S1_To_S3_Condition")) return false;
    return FacesRightKey() || facingRight;
}

bool SpriteCopySM_S1_To_S5_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S1_To_S5_Condition")) return false;
    return FireTriggered();
}

bool SpriteCopySM_S3_To_S1_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S3_To_S1_Condition")) return false;
    return FacesLeftKey() || (!facingRight && !FacesRightKey());
}

bool SpriteCopySM_S3_To_S5_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S3_To_S5_Condition")) return false;
    return key::Triggered(key::C) || key::Triggered(key::Space) || key::Triggered(key::Q);
}

bool SpriteCopySM_S5_To_S1_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S5_To_S1_Condition")) return false;
    return !FireTriggered();
}

bool SpriteCopySM_S5_To_S3_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S5_To_S3_Condition")) return false;
    return !FireTriggered();
}

bool SpriteCopySM_S7_To_S1_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S7_To_S1_Condition")) return false;
    return FacesRightKey() || facingRight;
}

bool SpriteCopySM_S7_To_S8_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S7_To_S8_Condition")) return false;
    return FireTriggered();
}

bool SpriteCopySM_S8_To_S7_Condition(void* owner) {
    if (!Edge(owner, "SpriteCopySM_S8_To_S7_Condition")) return false;
    return !FireTriggered();
}
