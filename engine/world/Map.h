// One background layer of a level: a bitmap drawn behind or between the sprites
// (master, standard or wrapped), carrying the level's collision shapes in a grid
// of square cells, its trigger zones, a behaviour, local data and the texts shown
// on it.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "QelExport.h"
#include "foundation/Array.h"
#include "foundation/Create.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "logic/Behavior.h"

class Alarm;
class CollisionData;
class CollisionCircle;
class CollisionSegment;
class Variable;
class WrappingAlgorithme;
namespace qel {
class Surface;
}

class QEL_API Map : public node {
public:
    enum MapType : std::int32_t { MasterMap = 0, StandardMap = 1, WrappedMap = 2 };

    static constexpr std::uint32_t BlitWait = 0x1000000;
    static constexpr std::uint32_t BlitKeySource = 0x8000;
    // Bounds a loaded record must keep: larger ones are corrupt.
    static constexpr std::uint32_t MaxBitmapSide = 1u << 16;
    // Enough cells for the largest bitmap at the smallest cell size.
    static constexpr std::int64_t MaxGridCells = std::int64_t(MaxBitmapSide / 64 + 1) * (MaxBitmapSide / 64 + 1);

    Map();
    Map(const char* name, const char* file, MapType type, int zOrder, int worldX, int worldY, bool fixedToViewport,
        QelRect displayRect);
    // A copy with its own grid and one more reference on the shared bitmap.
    Map(const Map& other);
    Map& operator=(const Map&) = delete;
    ~Map() override;

    static node* CreateObject();
    static CREATE cr;
    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "Map"; }

    // --- properties ---
    int Id() const { return id; }
    void Id(int v) { id = v; }
    const char* Name() const { return name; }
    void Name(const char* text);
    const char* FileName() const { return fileName; }
    bool Visible() const { return visible; }
    void Visible(bool v) { visible = v; }
    float ScrollRatioX() const { return scrollRatioX; }
    float ScrollRatioY() const { return scrollRatioY; }
    void ScrollRatioX(float v) { scrollRatioX = v; }
    void ScrollRatioY(float v) { scrollRatioY = v; }
    float SpeedX() const { return speedX; }
    float SpeedY() const { return speedY; }
    void SpeedX(float v) { speedX = v; }
    void SpeedY(float v) { speedY = v; }
    // Takes effect at the next LoadMap.
    unsigned long TransparencyColor() const { return transparencyColor; }
    void TransparencyColor(unsigned long colour) { transparencyColor = std::uint32_t(colour); }
    bool UseTransparency() const { return (blitFlags & BlitKeySource) != 0; }
    void UseTransparency(bool on) { blitFlags = on ? BlitWait | BlitKeySource : BlitWait; }
    bool Pause() const { return pause; }
    void Pause(bool v) { pause = v; }
    bool Unused() const { return unused; }
    void Unused(bool v) { unused = v; }
    int AlarmMaximum() const { return alarmMaximum; }
    void AlarmMaximum(int v) { alarmMaximum = v < 1 ? 0 : v; }
    void ShowMapCollision(bool on) { showCollision = on; }
    bool ShowsMapCollision() const { return showCollision; }
    unsigned int Width() const { return width; }
    unsigned int Height() const { return height; }
    bool IsMasterMap() const { return isMasterMap; }
    int ZOrder() const { return zOrder; }
    int AlarmCount() const { return alarmCount; }
    MapType Type() const { return mapType; }
    std::uint32_t BlitFlags() const { return blitFlags; }
    qel::Surface* Surface() const { return surface; }
    const WrappingAlgorithme* Wrapping() const { return wrapping.get(); }

    // --- position ---
    float WorldPositionX();
    float WorldPositionY();
    void WorldPositionX(float x);
    void WorldPositionY(float y);
    void WorldPositionXInc(float d, float limit);
    void WorldPositionXDec(float d, float limit);
    void WorldPositionYInc(float d, float limit);
    void WorldPositionYDec(float d, float limit);
    int ViewPortX();
    int ViewPortY();
    // The viewport offset as stored (no rounding, no report).
    float ViewPortOffsetX() const { return viewportX; }
    float ViewPortOffsetY() const { return viewportY; }

    // --- bitmap ---
    void LoadMap();
    void FreeMap();

    // --- alarms, local data, texts, behaviour ---
    bool Add(Alarm* alarm);
    bool Add(Alarm alarm);
    void AddLocalVariable(unsigned int index);
    node* LocalData() const { return localVariable; }
    std::int32_t LocalDataIndex() const { return localDataIndex; }
    static void ClearVariableMapList();
    Array<Variable*>& TextVariables() { return textVariables; }
    Behavior& GetBehavior() { return behavior; }
    List& Alarms() { return alarms; }
    List& Shapes() { return shapes; }

    // --- finding and re-using maps of the current level ---
    static Map* Search(const char* name);
    void Use(const char* name);
    Map* CreateMap();

    // --- collision grid ---
    void SpacePartitionGridSize(unsigned int size);
    unsigned int SpacePartitionGridSize() const { return cellSize; }
    void InitGrid();
    void AddCollisionData(CollisionSegment segment);
    void AddCollisionData(CollisionCircle circle);
    // kind 0: segments and circles, 1: segments, 2: circles; others: nothing.
    void RemoveCollisionData(unsigned int id, unsigned int kind);
    void InitCollision();
    void ShowMapCollision(unsigned long colour);
    int GridColumns() const { return gridColumns; }
    int GridRows() const { return gridRows; }
    // The map area the grid covers: the larger of the bitmap and the level's
    // world when the grid was laid out, so a small bitmap under a wide, still
    // level keeps its floors beyond the bitmap's edge.
    unsigned int CollisionWidth() const { return collisionWidth; }
    unsigned int CollisionHeight() const { return collisionHeight; }
    bool HasGrid() const { return !grid.empty(); }
    // The shapes of cell (i, j); null outside the grid or when there is none.
    List* Cell(int i, int j);

    // Called with every shape copy the map destroys while the level runs, so
    // that whoever still points at it (a sprite's list of map shapes hit) can
    // drop the pointer first.
    using ShapeDestroyedHook = void (*)(const CollisionData* shape);
    static void SetShapeDestroyedHook(ShapeDestroyedHook hook);

    // --- display ---
    void DisplayMap();
    void DummyDisplay() {}
    void DisplayMasterMap();
    void DisplayStandardMap();
    void DisplayWrappedMap();
    void UpdateStandardMap();
    void UpdateWrappedMap();

private:
    using DisplayRoutine = void (Map::*)();

    void Init();
    void InitMasterMap(const char* name, const char* file, int zOrder);
    void InitStandardMap(const char* name, const char* file, int zOrder, int x, int y, bool fixed, QelRect rect);
    void InitWrappedMap(const char* name, const char* file, int zOrder, int x, int y, bool fixed, QelRect rect);
    void LoadBitmapOrExit(const char* target);
    void ReadSurfaceSize();
    // Sets the cell size and lays out cells over that map area.
    void LayOutGrid(unsigned int size, std::uint32_t coveredWidth, std::uint32_t coveredHeight);
    // Every field of the saved record, in file order, for saving, loading and
    // copying alike (see foundation/FieldWalk.h).
    template <class Walk, class... Self>
    static void Fields(Walk& walk, Self&... self);
    bool ReadGrid(File& file);
    void SetRoutineFromType();
    void DestroyGrid();
    void AddToCells(const CollisionData& shape);
    void Blit(const QelRect& destination, const QelRect& source);

    qel::Surface* surface = nullptr;
    std::unique_ptr<WrappingAlgorithme> wrapping;
    std::int32_t id = 0;
    String name;
    String fileName;
    bool isMasterMap = false;
    std::uint32_t height = 0, width = 0;
    std::int32_t gridRows = 1, gridColumns = 1;
    std::uint32_t collisionHeight = 0, collisionWidth = 0;
    float worldX = 0, worldY = 0;
    float viewportX = 0, viewportY = 0;
    std::int32_t maxWorldX = 0, maxWorldY = 0;
    std::int32_t zOrder = 0;
    bool visible = true;
    float scrollRatioX = 0, scrollRatioY = 0;
    float speedX = 0, speedY = 0;
    std::uint32_t transparencyColor = 0;
    QelRect bitmapRect{}, placedRect{}, sourceRect{}, destinationRect{}, displayRect{};
    bool fixedToViewport = true;
    bool pause = false;
    std::uint32_t blitFlags = BlitWait;
    MapType mapType = StandardMap;
    std::int32_t localDataIndex = -1;
    bool reserved = false;
    DisplayRoutine display = &Map::DummyDisplay;
    std::int32_t alarmCount = 0;
    std::int32_t alarmMaximum = 512;
    bool showCollision = false;
    std::uint32_t cellSize = 128;
    bool unused = false;
    List alarms;
    List shapes;
    // grid[i][j]: column i, row j.
    std::vector<std::vector<std::unique_ptr<List>>> grid;
    Array<Variable*> textVariables;
    Behavior behavior;
};
