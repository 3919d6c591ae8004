// The routines that the behaviour code and the level builders share: velocity
// arithmetic over the engine's unit direction and speed, sprite lookup and
// copying, the hazard column, and the jump and shot sounds.
#include <cmath>

#include "foundation/Random.h"
#include "logic/GameDeclarations.h"
#include "logic/GameKeys.h"
#include "logic/PlayerLD.h"
#include "logic/ReportContext.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "runtime/GameNode.h"
#include "sound/LevelSounds.h"
#include "sound/Sound.h"
#include "sound/SoundPTR.h"
#include "sprites/Sprite.h"

namespace {

float VelocityX(const Sprite* s) { return s->DirectionX() * s->Speed(); }
float VelocityY(const Sprite* s) { return s->DirectionY() * s->Speed(); }

// Direction and speed from a velocity; the zero vector stops the sprite.
void SetVelocity(Sprite* s, float vx, float vy) {
    s->VectorDirection(vx, vy, 0);
    const float squared = vx * vx + vy * vy;
    s->Speed(static_cast<float>(std::sqrt(static_cast<double>(squared))));
}

// One of five named sound effects of the level, at random.
void PlayOneOf(const char* const (&names)[5]) {
    SoundPTR sounds[5] = {SoundPTR(names[0]), SoundPTR(names[1]), SoundPTR(names[2]), SoundPTR(names[3]),
                          SoundPTR(names[4])};
    sounds[RandInt(5)]->Play();
}

}  // namespace

void SpriteGravity(Sprite* sprite, float g) {
    report::Routine("SpriteGravity");
    SpriteVectorAdd(sprite, 0, g);
}

void SpriteVectorAdd(Sprite* sprite, float ax, float ay) {
    report::Routine("SpriteVectorAdd");
    SetVelocity(sprite, VelocityX(sprite) + ax, VelocityY(sprite) + ay);
}

void SetSpriteVectorX(Sprite* sprite, float vx) {
    report::Routine("SetSpriteVectorX");
    SetVelocity(sprite, vx, VelocityY(sprite));
}

void SetSpriteVectorY(Sprite* sprite, float vy) {
    report::Routine("SetSpriteVectorY");
    SetVelocity(sprite, VelocityX(sprite), vy);
}

float GetSpriteVectorX(Sprite* sprite) {
    report::Routine("GetSpriteVectorX");
    return VelocityX(sprite);
}

bool PlayerJump(Sprite* sprite) {
    report::Routine("PlayerJump");
    if (!key::Triggered(key::Up) && !key::Triggered(key::W)) return false;
    // Without the player's data there is no jump strength to use.
    auto* data = dynamic_cast<PlayerLD*>(sprite->LocalData());
    if (data == nullptr) return false;
    if (!soundMuted) JumpSFX();
    SetSpriteVectorX(sprite, GetSpriteVectorX(sprite));
    SetSpriteVectorY(sprite, -static_cast<float>(static_cast<double>(data->jump) * 1.05));
    return true;
}

Sprite* FindSprite(const char* name) {
    report::Routine("FindSprite");
    Sprite* found = Sprite::Search(name);
    if (found != nullptr) return found;
    qel::ShowMessageBox(nullptr, "You broke the gosh darn game", name, qel::MessageBoxIcon::None);
    qel::EndProcess(0);
}

Sprite* SpriteCopy2(const char* source, const char* name, int x, int y) {
    report::Routine("SpriteCopy2");
    Sprite* copy = FindSprite(source)->CreateSprite();
    if (copy == nullptr) return nullptr;
    copy->Unused(false);
    copy->Name(name);
    copy->WorldPosition(static_cast<float>(x), static_cast<float>(y), false);
    return copy;
}

Sprite* SpriteCopy(const char* source, const char* name, int x, int y, float angle, float speed) {
    report::Routine("SpriteCopy");
    Sprite* copy = SpriteCopy2(source, name, x, y);
    if (copy == nullptr) return nullptr;
    copy->VectorAngle(angle, 0);
    copy->Speed(speed);
    return copy;
}

void Clear(const char* source) {
    report::Routine("Clear");
    for (int i = 0; i < 16; ++i) SpriteCopy2(source, "c", 0, 30 * i);
}

void ShootSFX() {
    report::Routine("ShootSFX");
    static const char* const names[5] = {"shoot", "ShootOne", "ShootTwo", "ShootThree", "ShootFour"};
    PlayOneOf(names);
}

void JumpSFX() {
    report::Routine("JumpSFX");
    static const char* const names[5] = {"name", "JumpOne", "JumpTwo", "JumpThree", "JumpFour"};
    PlayOneOf(names);
}

void AddSFX(GameNode* level) {
    report::Routine("AddSFX");
    static const char* const effects[8][2] = {
        {"JumpOne", "Jump1.wav"},     {"JumpTwo", "Jump2.wav"},    {"JumpThree", "Jump3.wav"},
        {"JumpFour", "Jump4.wav"},    {"ShootOne", "Shoot1.wav"},  {"ShootTwo", "Shoot2.wav"},
        {"ShootThree", "Shoot3.wav"}, {"ShootFour", "Shoot4.wav"},
    };
    for (const auto& effect : effects) sound::AddSFX(*level, effect[0], effect[1], false, 100);
}
