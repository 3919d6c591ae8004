#include "levels/LevelBuilder.h"
#include "foundation/Console.h"
#include "foundation/Types.h"
#include "logic/Behavior.h"
#include "logic/GameDeclarations.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sound/LevelSounds.h"
#include "sound/StreamedSound.h"
#include "sound/StreamedSoundPTR.h"
#include "sprites/Sprite.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace nolt {
namespace {

void AddBehaviors(Behavior& behavior, const std::vector<BehaviorRef>& refs) {
    for (const BehaviorRef& b : refs) {
        switch (b.kind) {
            case BehaviorRef::Function: behavior.AddFunction(b.index, b.active); break;
            case BehaviorRef::Timer: behavior.AddTimer(b.index, b.active); break;
            case BehaviorRef::StateMachine: behavior.AddStateMachine(b.index, b.active); break;
        }
    }
}

void SetWorldAndCamera(GameNode& level, const LevelRecord& r) {
    level.WorldWidth(r.worldWidth);
    level.WorldHeight(r.worldHeight);
    level.FPStoMS(60);
    level.QuitOnEscape(true);
    level.ShowScrollingBoundingBox(false);
    ViewPort& view = level.GetViewPort();
    view.ViewPortScrollingBB(r.boxX, r.boxY, r.boxWidth, r.boxHeight);
    view.WorldXPos(0);
    view.WorldYPos(r.viewStartY);
    view.MaxInflateBBLeft(r.inflateMaximum);
    view.MaxInflateBBTop(r.inflateMaximum);
    view.MaxInflateBBRight(r.inflateMaximum);
    view.MaxInflateBBBottom(r.inflateMaximum);
    view.ViewPortWidth(640);
    view.ViewPortHeight(480);
}

void AddSounds(GameNode& level, const std::vector<SoundEntry>& sounds) {
    for (const SoundEntry& s : sounds) {
        if (s.kind == SoundEntry::Music)
            sound::AddMusic(level, s.name.c_str(), s.file.c_str(), false);
        else
            sound::AddSFX(level, s.name.c_str(), s.file.c_str(), false, 100);
    }
}

void AddMap(GameNode& level, const LevelRecord& r) {
    const bool master = r.mapType == Map::MasterMap;
    const QelRect area = master ? zrect : QelRect{r.mapRect.left, r.mapRect.top, r.mapRect.right, r.mapRect.bottom};
    Map map("level", r.mapBitmap.c_str(), Map::MapType(r.mapType), 0, 0, 0, true, area);
    map.SpeedX(0);
    map.SpeedY(0);
    if (!master) {
        map.ScrollRatioX(0);
        map.ScrollRatioY(0);
    }
    map.UseTransparency(true);
    map.TransparencyColor(r.mapTransparency);
    map.Visible(true);
    map.Unused(false);
    map.Pause(false);
    map.SpacePartitionGridSize(128);
    map.ShowMapCollision(false);
    for (const SegmentRecord& s : r.segments)
        map.AddCollisionData(CollisionSegment(s.x1, s.y1, s.x2, s.y2, s.id, s.type, s.extra));
    level.Add(map);
}

void AddSprite(GameNode& level, const SpriteRecord& r) {
    Sprite sprite;
    sprite.Name(r.name.c_str());
    sprite.Visible(r.visible);
    sprite.Unused(r.unused);
    sprite.Pause(r.paused);
    sprite.Reflection(r.reflection);
    sprite.MainCharacter(r.mainCharacter);
    sprite.BelongToMap(r.mapName.c_str());
    sprite.ActorIndex(r.actorIndex);
    sprite.Animation(r.animation);
    sprite.Frame(r.frame);
    sprite.PegRegistered(r.pegRegistered);
    sprite.ZOrder(r.zOrder);
    sprite.MapPositionX(r.startX, false);
    sprite.MapPositionY(r.startY, false);
    sprite.CheckCollisionWithMap(r.collidesWithMap);
    if (r.collidesWithMap) sprite.GhostCollisionWithMap(r.ghostOnMap);
    sprite.DisplayListNumber(r.displayList);
    sprite.Friction(r.friction);
    sprite.ActivateCollisionWithSprite(r.spriteCollision);
    if (r.spriteCollision) {
        sprite.CheckCollisionWithSprite(r.testsOtherSprites);
        sprite.CheckSameDisplayList(r.testsOwnList);
        sprite.GhostCollisionWithSprite(r.ghostOnSprites);
    }
    for (std::uint32_t i : r.localData) sprite.AddLocalVariable(i);
    AddBehaviors(sprite.behavior, r.behaviors);
    sprite.VectorDirection(r.directionX, r.directionY, 0);
    sprite.ShowVectorOfTranslation(r.showTranslation);
    sprite.CollisionType(r.collisionByBox);
    sprite.Speed(r.speed);
    sprite.VariableNumber(r.variableCount);
    sprite.ShowSpriteBoundingBox(r.showBox);
    sprite.ShowSpriteCollision(r.showShapes);
    sprite.Gravity(r.gravityOn, r.gravityPercent);
    level.Add(sprite);
}

}  // namespace

void BuildLevel(GameNode* level, const LevelRecord& r) {
    if (!level) return;
    // The console exists only once the engine runs; a level built before has none to colour.
    if (pConsole) pConsole->Color(r.consoleColour);
    AddBehaviors(level->GetBehavior(), r.levelBehaviors);
    SetWorldAndCamera(*level, r);
    AddSounds(*level, r.sounds);
    AddMap(*level, r);
    if (!r.streamedStart.empty()) StreamedSoundPTR(r.streamedStart.c_str())->Play();
    for (const SpriteRecord& s : r.sprites) AddSprite(*level, s);
    if (r.standardEffects) AddSFX(level);
}

}  // namespace nolt
