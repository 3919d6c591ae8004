// The data of one level and of its sprites, as the one level builder applies
// them. Plain data with no engine types, so that the asset generator can draw
// each level's map from the same segments the player collides with.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace nolt {

// A numbered entry of the engine's logic tables added to a behaviour list.
struct BehaviorRef {
    enum Kind : std::uint8_t { Function, Timer, StateMachine };
    Kind kind;
    std::uint32_t index;
    bool active = true;
};

struct SoundEntry {
    enum Kind : std::uint8_t { Music, Effect };
    Kind kind;
    std::string name;
    std::string file;  // bytes as the engine takes them (code page 1252)
};

struct SegmentRecord {
    float x1, y1, x2, y2;
    std::int32_t id;  // 0 floors, ledges and ceilings; 1 walls
    std::uint8_t type = 0;
    std::int32_t extra = 0;
};

struct RectRecord {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One sprite, fields in the order in which the builder applies them.
struct SpriteRecord {
    std::string name;
    bool visible = true;
    bool unused = false;
    bool paused = false;
    bool reflection = false;
    bool mainCharacter = false;
    std::string mapName = "level";
    std::int32_t actorIndex = 0;
    std::int32_t animation = 0;
    std::int32_t frame = 0;
    bool pegRegistered = false;
    std::uint32_t zOrder = 0;
    float startX = 0, startY = 0;
    bool collidesWithMap = false;
    bool ghostOnMap = false;  // applied only when collidesWithMap
    std::int32_t displayList = 0;
    float friction = 0;
    bool spriteCollision = false;  // the three below only when set
    bool testsOtherSprites = false;
    bool testsOwnList = false;
    bool ghostOnSprites = false;
    std::vector<std::uint32_t> localData;
    std::vector<BehaviorRef> behaviors;
    float directionX = 0, directionY = 0;
    bool showTranslation = false;
    bool collisionByBox = true;
    float speed = 0;
    std::int32_t variableCount = 0;
    bool showBox = false, showShapes = false;
    bool gravityOn = false;
    float gravityPercent = 20;
};

// One level, fields in the order in which the builder uses them.
struct LevelRecord {
    std::string name;
    std::uint32_t consoleColour = 0x000000;
    std::vector<BehaviorRef> levelBehaviors;
    std::uint32_t worldWidth = 640, worldHeight = 480;
    float boxX = 5, boxY = 194, boxWidth = 95, boxHeight = 167;
    float viewStartY = 0;
    float inflateMaximum = 900;
    std::vector<SoundEntry> sounds;
    std::string mapBitmap;
    std::int32_t mapType = 1;  // 0 master map (the engine's zero rectangle), 1 standard map
    RectRecord mapRect;        // standard maps only
    std::uint32_t mapTransparency = 0xDC00FF;
    std::vector<SegmentRecord> segments;
    std::string streamedStart;  // empty: none
    std::vector<SpriteRecord> sprites;
    bool standardEffects = true;

    // The size of the map's bitmap: a master map covers the 640 x 480 view.
    std::int32_t BitmapWidth() const { return mapType == 0 ? 640 : mapRect.right - mapRect.left; }
    std::int32_t BitmapHeight() const { return mapType == 0 ? 480 : mapRect.bottom - mapRect.top; }
};

constexpr int LevelCount = 39;

// The record of level number k (0 Menu ... 38 Level_40); built once.
const LevelRecord& LevelRecordOf(int levelNumber);

}  // namespace nolt
