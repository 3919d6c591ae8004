#include "world/Map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include "display/DisplayInternal.h"
#include "display/GeometricsDrawn.h"
#include "display/SurfaceLoading.h"
#include "foundation/AssetName.h"
#include "foundation/FieldWalk.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/Alarm.h"
#include "logic/LogicTables.h"
#include "platform/Paths.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/LevelViewInternal.h"
#include "world/MapManagerInternal.h"
#include "world/ViewPort.h"
#include "world/WrappingAlgorithmeInternal.h"

CREATE Map::cr("Map", Map::CreateObject);

namespace {

Map::ShapeDestroyedHook shapeDestroyedHook = nullptr;

const char* const kNotExist = "The bitmap file %s does not exist.";
const char* const kLoadError = "Error loading the %s bitmap file.";

int ShapeId(const CollisionData* shape) {
    if (shape->Type() == CollisionData::SegmentKind) return static_cast<const CollisionSegment*>(shape)->Id();
    return static_cast<const CollisionCircle*>(shape)->Id();
}

// Deletes one shape of a list, telling the hook first.
void DestroyShape(List& list, node* shape) {
    if (shapeDestroyedHook) shapeDestroyedHook(static_cast<const CollisionData*>(shape));
    list.del(shape);
}

void DestroyShapes(List& list) {
    while (!list.Head()->EOList()) DestroyShape(list, list.Head());
}

// Deletes every shape with that id whose kind the filter takes.
void RemoveMatching(List& list, int id, unsigned int kind) {
    node* n = list.Head();
    while (!n->EOList()) {
        node* following = n->Next();
        const auto* shape = static_cast<const CollisionData*>(n);
        const bool kindMatches = kind == 0 || (kind == 1 && shape->Type() == CollisionData::SegmentKind) ||
                                 (kind == 2 && shape->Type() == CollisionData::CircleKind);
        if (kindMatches && ShapeId(shape) == id) DestroyShape(list, n);
        n = following;
    }
}

bool FileExists(const String& folder, const char* file) {
    const String path = folder + String(file);
    std::ifstream in(qel::NativePath(path));
    return in.good();
}

float LevelWorldWidth() { return gNode ? float(gNode->WorldWidth()) : LevelViewPort().WorldWidth(); }

float LevelWorldHeight() { return gNode ? float(gNode->WorldHeight()) : LevelViewPort().WorldHeight(); }

// A world side as a grid extent, within the largest bitmap side.
std::uint32_t WorldSide(float world) {
    if (!(world > 0)) return 0;
    return world >= float(Map::MaxBitmapSide) ? Map::MaxBitmapSide : std::uint32_t(world);
}

std::int32_t MaxPosition(float world, std::uint32_t size) {
    const double m = double(world) - double(size);
    return m > 0 ? TruncToInt32(m) : 0;
}

// Cell range [first, last] that may hold a shape spanning [lo, hi] on one axis
// (the squares are closed, so a shape on a border belongs to both sides).
bool CellRange(float lo, float hi, std::uint32_t size, int count, int& first, int& last) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return false;
    const double a = std::floor(double(lo) / size) - 1.0, b = std::floor(double(hi) / size);
    if (b < 0.0 || a > double(count - 1)) return false;
    first = int(std::max(0.0, a));
    last = int(std::min(double(count - 1), b));
    return true;
}

}  // namespace

// --- construction ---

Map::Map() {}

Map::Map(const char* name, const char* file, MapType type, int zOrder, int worldX, int worldY, bool fixedToViewport,
         QelRect displayRect) {
    switch (type) {
        case MasterMap: InitMasterMap(name, file, zOrder); break;
        case StandardMap: InitStandardMap(name, file, zOrder, worldX, worldY, fixedToViewport, displayRect); break;
        case WrappedMap: InitWrappedMap(name, file, zOrder, worldX, worldY, fixedToViewport, displayRect); break;
        default: break;
    }
    mapType = type;
}

Map::Map(const Map& other) : node() {
    qel::FieldCopier copier;
    Fields(copier, *this, other);
    LoadMap();
}

Map::~Map() {
    FreeMap();
    DestroyGrid();
    delete localVariable;
    localVariable = nullptr;
    DestroyShapes(shapes);
}

node* Map::CreateObject() { return new Map(); }

node* Map::Clone() const { return new Map(*this); }

void Map::Name(const char* text) {
    if (text) name = text;
}

void Map::LoadBitmapOrExit(const char* target) {
    LoadMap();
    if (surface) return;
    if (!FileExists(mapsFolder, fileName)) UserError::ReportAndExit(target, kNotExist, (const char*)fileName);
    UserError::ReportAndExit(target, kLoadError, (const char*)fileName);
}

void Map::ReadSurfaceSize() {
    width = surface ? std::uint32_t(surface->Width()) : 0;
    height = surface ? std::uint32_t(surface->Height()) : 0;
    bitmapRect = QelRect{0, 0, std::int32_t(width), std::int32_t(height)};
}

void Map::InitMasterMap(const char* name, const char* file, int zOrder) {
    this->zOrder = zOrder;
    isMasterMap = true;
    fileName = file;
    this->name = name;
    paletteBitmapName = file;
    SetDisplayPalette();
    const ViewPort& view = LevelViewPort();
    viewportX = 0.0f - view.WorldXPos();
    viewportY = 0.0f - view.WorldYPos();
    LoadBitmapOrExit("void Map::InitMasterMap(const char *,const char *,int)");
    ReadSurfaceSize();
    if (TruncToInt32(view.Width()) <= std::int64_t(width) && TruncToInt32(view.Height()) <= std::int64_t(height)) {
        display = &Map::DisplayMasterMap;
        return;
    }
    UserError::ReportAndExit("void Map::InitMasterMap(char *,char *,int)",
                             "For the bitmap file %s to be a master map, its height and width must be greater "
                             "or equal to the height and width of the viewport.",
                             (const char*)fileName);
}

void Map::InitStandardMap(const char* name, const char* file, int zOrder, int x, int y, bool fixed, QelRect rect) {
    this->zOrder = zOrder;
    worldX = float(x);
    worldY = float(y);
    const ViewPort& view = LevelViewPort();
    viewportX = worldX - view.WorldXPos();
    viewportY = worldY - view.WorldYPos();
    fileName = file;
    this->name = name;
    LoadBitmapOrExit("void Map::InitStandardMap(char *,char *,int,int,int)");
    ReadSurfaceSize();
    maxWorldX = MaxPosition(LevelWorldWidth(), width);
    maxWorldY = MaxPosition(LevelWorldHeight(), height);
    display = &Map::DisplayStandardMap;
    fixedToViewport = fixed;
    displayRect = rect;
    if (fixed)
        displayRect = OffsetRect(rect, -std::int64_t(TruncToInt32(view.WorldXPos())),
                                 -std::int64_t(TruncToInt32(view.WorldYPos())));
}

void Map::InitWrappedMap(const char* name, const char* file, int zOrder, int x, int y, bool fixed, QelRect rect) {
    this->zOrder = zOrder;
    worldX = float(x);
    worldY = float(y);
    fileName = file;
    this->name = name;
    LoadBitmapOrExit("void Map::InitWrappedMap(char *,char *,int,int,int)");
    ReadSurfaceSize();
    display = &Map::DisplayWrappedMap;
    // The rectangle comes from level files too: any corner, however far out,
    // gives sizes and offsets held within range.
    const QelRect window{0, 0, RectWidth(rect), RectHeight(rect)};
    viewportX = float(std::int64_t(x) - rect.left);
    viewportY = float(std::int64_t(y) - rect.top);
    const ViewPort& view = LevelViewPort();
    wrapping = std::make_unique<WrappingAlgorithme>();
    wrapping->SetUp(bitmapRect, window, fixed, rect.left, rect.top, view.WorldXPos(), view.WorldYPos());
    wrapping->SetOffset(RoundHalfTowardZero(viewportX), RoundHalfTowardZero(viewportY), view.WorldXPos(),
                        view.WorldYPos());
}

// --- position ---

float Map::WorldPositionX() {
    if (mapType == WrappedMap) {
        UserError::Report("float Map::WorldPositionX()",
                          "The map's X world position is correct only if the map is not wrapping.");
        return 0.0f;
    }
    return mapType == MasterMap ? 0.0f : worldX;
}

float Map::WorldPositionY() {
    if (mapType == WrappedMap) {
        UserError::Report("float Map::WorldPositionY()",
                          "The map's Y world position is correct only if the map is not wrapping.");
        return 0.0f;
    }
    return mapType == MasterMap ? 0.0f : worldY;
}

void Map::WorldPositionX(float x) {
    if (mapType == StandardMap) worldX = x;
}

void Map::WorldPositionY(float y) {
    if (mapType == StandardMap) worldY = y;
}

void Map::WorldPositionXInc(float d, float limit) {
    if (mapType != StandardMap) return;
    worldX += d;
    if (worldX >= limit) worldX = limit;
}

void Map::WorldPositionXDec(float d, float limit) {
    if (mapType != StandardMap) return;
    worldX -= d;
    if (worldX <= limit) worldX = limit;
}

void Map::WorldPositionYInc(float d, float limit) {
    if (mapType != StandardMap) return;
    worldY += d;
    if (worldY >= limit) worldY = limit;
}

void Map::WorldPositionYDec(float d, float limit) {
    if (mapType != StandardMap) return;
    worldY -= d;
    if (worldY <= limit) worldY = limit;
}

int Map::ViewPortX() {
    if (mapType == WrappedMap) {
        UserError::Report("int Map::ViewPortX()",
                          "The map's X viewport position is correct only if the map is not wrapping.");
        return 0;
    }
    if (mapType == MasterMap) return RoundHalfTowardZero(-double(LevelViewPort().WorldXPos()));
    return RoundHalfTowardZero(viewportX);
}

int Map::ViewPortY() {
    if (mapType == WrappedMap) {
        UserError::Report("int Map::ViewPortY()",
                          "The map's Y viewport position is correct only if the map is not wrapping.");
        return 0;
    }
    if (mapType == MasterMap) return RoundHalfTowardZero(-double(LevelViewPort().WorldYPos()));
    return RoundHalfTowardZero(viewportY);
}

// --- bitmap ---

void Map::LoadMap() {
    currentAssetFolder = mapsFolder;
    FreeMap();
    surface = TheMapManager().Acquire(fileName, transparencyColor);
}

void Map::FreeMap() {
    TheMapManager().Release(surface);
    surface = nullptr;
}

// --- alarms, local data, texts ---

bool Map::Add(Alarm* alarm) {
    if (alarm == nullptr) return false;
    // An alarm already in a map's list belongs to that map: linking it again
    // would join the two chains.
    if (alarm->Next() != nullptr) {
        UserError::Report("bool Map::Add(Alarm *)", "Alarm %s has already been added.", alarm->Name());
        return false;
    }
    ++alarmCount;
    alarm->Id(alarmCount);
    alarms.add(alarm);
    return true;
}

bool Map::Add(Alarm alarm) { return Add(new Alarm(&alarm)); }

void Map::AddLocalVariable(unsigned int index) {
    if (std::int64_t(index) > std::int64_t(maxNIndex) || !NArray || !NArray[index]) {
        UserError::Report("void Map::AddLocalVariable(unsigned int index)", "The local variable %d cannot be found.",
                          int(index));
        return;
    }
    delete localVariable;
    localVariable = NArray[index]->Clone();
    localDataIndex = std::int32_t(index);
}

void Map::ClearVariableMapList() {
    if (!gNode) return;
    for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) static_cast<Map*>(n)->textVariables.Clear();
}

Map* Map::Search(const char* name) {
    if (gNode && name) {
        for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next())
            if (std::strcmp(static_cast<Map*>(n)->name, name) == 0) return static_cast<Map*>(n);
    }
    UserError::Report("Map* Map::Search(char *)", "Map %s not found.", name ? name : "");
    return nullptr;
}

void Map::Use(const char* name) {
    if (gNode && name) {
        for (node* n = gNode->Maps().Head(); !n->EOList(); n = n->Next()) {
            Map* map = static_cast<Map*>(n);
            if (map->unused && std::strcmp(map->name, name) == 0) {
                map->unused = false;
                return;
            }
        }
    }
    UserError::Report("void Map::Use(char *)", "Map %s not found.", name ? name : "");
}

Map* Map::CreateMap() {
    if ((mapType != StandardMap && mapType != WrappedMap) || !gNode) return nullptr;
    Map* copy = new Map(*this);
    if (gNode->Add(copy)) return copy;
    delete copy;
    return nullptr;
}

// --- collision grid ---

void Map::SetShapeDestroyedHook(ShapeDestroyedHook hook) { shapeDestroyedHook = hook; }

void Map::SpacePartitionGridSize(unsigned int size) {
    LayOutGrid(size, std::max(width, WorldSide(LevelWorldWidth())), std::max(height, WorldSide(LevelWorldHeight())));
}

void Map::LayOutGrid(unsigned int size, std::uint32_t coveredWidth, std::uint32_t coveredHeight) {
    std::uint64_t s = size < 64 ? 64 : size;
    if (s % 2) ++s;
    cellSize = std::uint32_t(std::min<std::uint64_t>(s, 1u << 30));
    collisionWidth = coveredWidth;
    collisionHeight = coveredHeight;
    gridColumns = collisionWidth < cellSize ? 1 : std::int32_t(collisionWidth / cellSize + 1);
    gridRows = collisionHeight < cellSize ? 1 : std::int32_t(collisionHeight / cellSize + 1);
    InitGrid();
    // Shapes added before this call go into the new cells rather than vanish.
    InitCollision();
}

void Map::DestroyGrid() {
    for (auto& column : grid)
        for (auto& cell : column) DestroyShapes(*cell);
    grid.clear();
}

void Map::InitGrid() {
    DestroyGrid();
    if (std::int64_t(gridColumns) * std::int64_t(gridRows) > MaxGridCells || gridColumns < 1 || gridRows < 1) return;
    grid.resize(std::size_t(gridColumns));
    for (auto& column : grid) {
        column.resize(std::size_t(gridRows));
        for (auto& cell : column) cell = std::make_unique<List>();
    }
}

List* Map::Cell(int i, int j) {
    if (i < 0 || j < 0 || std::size_t(i) >= grid.size() || std::size_t(j) >= grid[std::size_t(i)].size())
        return nullptr;
    return grid[std::size_t(i)][std::size_t(j)].get();
}

void Map::AddToCells(const CollisionData& shape) {
    if (grid.empty()) return;
    const float size = float(cellSize);
    float x1, y1, x2, y2, radius = 0;
    const bool segment = shape.Type() == CollisionData::SegmentKind;
    if (segment) {
        const auto& s = static_cast<const CollisionSegment&>(shape);
        x1 = s.OriginX();
        y1 = s.OriginY();
        x2 = s.OriginX() + s.DirectionX() * s.MagnitudeX();
        y2 = s.OriginY() + s.DirectionY() * s.MagnitudeY();
    } else {
        const auto& c = static_cast<const CollisionCircle&>(shape);
        radius = c.Radius();
        x1 = x2 = c.OriginX();
        y1 = y2 = c.OriginY();
    }
    int i0, i1, j0, j1;
    if (!CellRange(std::min(x1, x2) - radius, std::max(x1, x2) + radius, cellSize, gridColumns, i0, i1)) return;
    if (!CellRange(std::min(y1, y2) - radius, std::max(y1, y2) + radius, cellSize, gridRows, j0, j1)) return;
    for (int i = i0; i <= i1; ++i) {
        for (int j = j0; j <= j1; ++j) {
            const float left = float(i) * size, top = float(j) * size;
            const bool touches = segment ? SegmentIntersectsRect(x1, y1, x2, y2, left, top, left + size, top + size)
                                         : CircleIntersectsRect(x1, y1, radius, left, top, left + size, top + size);
            if (touches) grid[std::size_t(i)][std::size_t(j)]->add(shape.Clone());
        }
    }
}

void Map::AddCollisionData(CollisionSegment segment) {
    if (segment.MagnitudeX() == 0.0f && segment.MagnitudeY() == 0.0f) return;
    shapes.add(segment.Clone());
    AddToCells(segment);
}

void Map::AddCollisionData(CollisionCircle circle) {
    shapes.add(circle.Clone());
    AddToCells(circle);
}

void Map::RemoveCollisionData(unsigned int id, unsigned int kind) {
    if (shapes.Count() == 0 || kind > 2) return;
    RemoveMatching(shapes, int(id), kind);
    for (auto& column : grid)
        for (auto& cell : column) RemoveMatching(*cell, int(id), kind);
}

void Map::InitCollision() {
    for (auto& column : grid)
        for (auto& cell : column) DestroyShapes(*cell);
    for (node* n = shapes.Head(); !n->EOList(); n = n->Next()) AddToCells(*static_cast<const CollisionData*>(n));
}

void Map::ShowMapCollision(unsigned long colour) {
    GeometricsDrawn draw;
    for (node* n = shapes.Head(); !n->EOList(); n = n->Next()) {
        const auto* shape = static_cast<const CollisionData*>(n);
        if (shape->Type() == CollisionData::SegmentKind) {
            const auto* s = static_cast<const CollisionSegment*>(shape);
            draw.Line(s->OriginX() + worldX, s->OriginY() + worldY,
                      s->OriginX() + s->MagnitudeX() * s->DirectionX() + worldX,
                      s->OriginY() + s->MagnitudeY() * s->DirectionY() + worldY, colour);
        } else {
            const auto* c = static_cast<const CollisionCircle*>(shape);
            draw.Circle(c->OriginX() + worldX, c->OriginY() + worldY, c->Radius(), colour);
        }
    }
}

// --- display ---

void Map::DisplayMap() {
    (this->*display)();
    if (showCollision) ShowMapCollision(0xFFFFFFul);
}

void Map::Blit(const QelRect& destination, const QelRect& source) {
    if (!pBackBuffer || !surface) return;
    const std::uint32_t flags = (blitFlags & BlitKeySource) ? qel::BlitSourceKey : qel::BlitNone;
    if (pBackBuffer->Blit(destination, *surface, source, flags) != qel::BlitResult::Lost) return;
    RestoreSurfaces();
    if (pBackBuffer && surface) pBackBuffer->Blit(destination, *surface, source, flags);
}

void Map::DisplayMasterMap() {
    const QelRect view = LevelViewPort().IntWorldRect();
    const QelRect part = IntersectRects(bitmapRect, view);
    if (RectIsEmpty(part) || !visible || _IsSuspended) return;
    Blit(QelRect{0, 0, part.right - part.left, part.bottom - part.top}, part);
}

void Map::UpdateStandardMap() {
    const ViewPort& view = LevelViewPort();
    const ScrollDelta delta = view.CurrentDeltaScroll();
    float dx = 0, dy = 0;
    if (scrollRatioX != 0.0f || scrollRatioY != 0.0f) {
        if (maxWorldX != 0) dx = delta.x * scrollRatioX;
        if (maxWorldY != 0) dy = delta.y * scrollRatioY;
    } else {
        if (maxWorldX != 0) dx = speedX;
        if (maxWorldY != 0) dy = speedY;
    }
    if (maxWorldX != 0) {
        if (worldX + dx < 0)
            dx = -worldX;
        else if (worldX + dx >= float(maxWorldX))
            dx = float(maxWorldX) - worldX;
    }
    if (maxWorldY != 0) {
        if (worldY + dy < 0)
            dy = -worldY;
        else if (worldY + dy >= float(maxWorldY))
            dy = float(maxWorldY) - worldY;
    }
    worldX += dx;
    worldY += dy;
    viewportX = worldX - view.WorldXPos();
    viewportY = worldY - view.WorldYPos();
    const std::int32_t ix = RoundHalfTowardZero(viewportX), iy = RoundHalfTowardZero(viewportY);
    placedRect = OffsetRect(bitmapRect, ix, iy);
    QelRect clip = displayRect;
    if (!fixedToViewport)
        clip = OffsetRect(clip, -std::int64_t(RoundHalfTowardZero(view.WorldXPos())),
                          -std::int64_t(RoundHalfTowardZero(view.WorldYPos())));
    destinationRect = IntersectRects(placedRect, clip);
    if (!RectIsEmpty(destinationRect)) sourceRect = OffsetRect(destinationRect, -std::int64_t(ix), -std::int64_t(iy));
}

void Map::DisplayStandardMap() {
    if (!pause) UpdateStandardMap();
    if (!visible || _IsSuspended || RectIsEmpty(destinationRect)) return;
    const ViewPort& view = LevelViewPort();
    const QelRect screen{0, 0, TruncToInt32(view.Width()), TruncToInt32(view.Height())};
    if (RectsOverlap(destinationRect, screen)) Blit(destinationRect, sourceRect);
}

void Map::UpdateWrappedMap() {
    const ViewPort& view = LevelViewPort();
    const ScrollDelta delta = view.CurrentDeltaScroll();
    viewportX += delta.x * scrollRatioX + speedX;
    viewportY += delta.y * scrollRatioY + speedY;
    if (wrapping)
        wrapping->SetOffset(RoundHalfTowardZero(viewportX), RoundHalfTowardZero(viewportY), view.WorldXPos(),
                            view.WorldYPos());
}

void Map::DisplayWrappedMap() {
    if (!pause) UpdateWrappedMap();
    if (!visible || _IsSuspended || !wrapping) return;
    const QelRect* sources = wrapping->SourceList();
    const QelRect* destinations = wrapping->DestinationList();
    for (std::uint32_t i = 0; i < wrapping->PieceCount(); ++i) Blit(destinations[i], sources[i]);
}

void Map::SetRoutineFromType() {
    switch (mapType) {
        case MasterMap: display = &Map::DisplayMasterMap; break;
        case StandardMap: display = &Map::DisplayStandardMap; break;
        case WrappedMap: display = &Map::DisplayWrappedMap; break;
        default: display = &Map::DummyDisplay; break;
    }
}

// --- record ---

template <class Walk, class... Self>
void Map::Fields(Walk& walk, Self&... self) {
    walk(self.behavior...);
    walk(self.id...);
    walk(self.name...);
    walk(self.fileName...);
    // A bitmap outside the maps folder is corrupt data, never opened.
    walk.Corrupt(!IsConfinedAssetName(qel::FirstOf(self...).fileName));
    walk(self.isMasterMap...);
    walk(self.height...);
    walk(self.width...);
    walk.Corrupt(qel::FirstOf(self...).width > MaxBitmapSide || qel::FirstOf(self...).height > MaxBitmapSide);
    walk(self.gridRows...);
    walk(self.gridColumns...);
    walk(self.worldX...);
    walk(self.worldY...);
    walk(self.viewportX...);
    walk(self.viewportY...);
    walk(self.maxWorldX...);
    walk(self.maxWorldY...);
    walk(self.zOrder...);
    walk(self.visible...);
    walk(self.scrollRatioX...);
    walk(self.scrollRatioY...);
    walk(self.speedX...);
    walk(self.speedY...);
    walk(self.transparencyColor...);
    walk(self.bitmapRect...);
    walk(self.placedRect...);
    walk(self.sourceRect...);
    walk(self.destinationRect...);
    walk(self.displayRect...);
    walk(self.fixedToViewport...);
    walk(self.pause...);
    walk(self.blitFlags...);
    walk.Step([](File&, Map&) {},
              [](File& f, Map& m) {
                  if (!f.HasError()) m.LoadMap();  // a missing bitmap leaves the map undrawn
                  return true;
              },
              [](Map&, const Map&) {}, self...);
    walk.Step([](File& f, Map& m) { f.Write(std::int32_t(m.mapType)); },
              [](File& f, Map& m) {
                  std::int32_t type = 0;
                  f.Read(type);
                  // A kind the constructor never set up loads as it was saved: drawn by nothing.
                  m.mapType = MapType(type);
                  m.SetRoutineFromType();
                  return true;
              },
              [](Map& to, const Map& from) {
                  to.mapType = from.mapType;
                  to.display = from.display;
              },
              self...);
    walk(self.reserved...);
    walk(self.alarmCount...);
    walk(self.alarmMaximum...);
    walk(self.showCollision...);
    walk.Step([](File& f, Map& m) { f.Write(m.cellSize); }, [](File& f, Map& m) { return m.ReadGrid(f); },
              [](Map& to, const Map& from) {
                  to.cellSize = from.cellSize;
                  if (!from.HasGrid() || from.cellSize == 0) return;
                  to.grid.resize(from.grid.size());
                  for (std::size_t i = 0; i < to.grid.size(); ++i) {
                      to.grid[i].resize(from.grid[i].size());
                      for (std::size_t j = 0; j < to.grid[i].size(); ++j)
                          to.grid[i][j] = std::make_unique<List>(*from.grid[i][j]);
                  }
              },
              self...);
    walk(self.unused...);
    walk.Step(
        [](File& f, Map& m) {
            m.alarms.Save(f);
            m.shapes.Save(f);
        },
        [](File& f, Map& m) {
            // A foreign element is refused while reading: deleting it afterwards
            // would leave the file's id table pointing at freed memory.
            m.alarms.LoadOnly<Alarm>(f);
            m.shapes.LoadOnly<CollisionData>(f);
            if (!f.HasError()) m.InitCollision();
            m.textVariables.Clear();
            return true;
        },
        [](Map& to, const Map& from) {
            to.alarms = from.alarms;
            to.shapes = from.shapes;
            to.textVariables = from.textVariables;
        },
        self...);
    walk.Step(
        [](File& f, Map& m) {
            f.Write(m.wrapping != nullptr);
            if (!m.wrapping) return;
            std::uint8_t bytes[WrappingAlgorithme::kRecordSize];
            m.wrapping->ToBytes(bytes);
            f.Write(bytes, int(sizeof bytes));
        },
        [](File& f, Map& m) {
            bool hasWrapping = false;
            f.Read(hasWrapping);
            m.wrapping.reset();
            if (!hasWrapping) return true;
            std::uint8_t bytes[WrappingAlgorithme::kRecordSize] = {};
            f.Read(bytes, int(sizeof bytes));
            auto loaded = std::make_unique<WrappingAlgorithme>();
            if (loaded->FromBytes(bytes))
                m.wrapping = std::move(loaded);
            else
                f.SetError();
            return true;
        },
        [](Map& to, const Map& from) {
            if (from.wrapping) to.wrapping = std::make_unique<WrappingAlgorithme>(*from.wrapping);
        },
        self...);
    walk.Step(
        [](File& f, Map& m) {
            f.Write(m.localDataIndex);
            f.Write(m.localVariable);
        },
        [](File& f, Map& m) {
            f.Read(m.localDataIndex);
            node* data = nullptr;
            f.Read(data);
            delete m.localVariable;
            m.localVariable = nullptr;
            // The local data becomes the map's own: one another owner took is refused.
            if (f.Claim(data)) m.localVariable = data;
            return true;
        },
        [](Map& to, const Map& from) {
            to.localVariable = from.localVariable ? from.localVariable->Clone() : nullptr;
            to.localDataIndex = from.localVariable ? from.localDataIndex : -1;
        },
        self...);
    // Derived from the bitmap when it is laid out, never saved.
    walk.Unsaved(self.collisionHeight...);
    walk.Unsaved(self.collisionWidth...);
}

void Map::Save(File& file) {
    qel::FieldWriter writer(file);
    Fields(writer, *this);
}

void Map::Load(File& file) {
    qel::FieldReader reader(file);
    Fields(reader, *this);
    if (file.HasError()) {
        // A corrupt record leaves a map that draws nothing and collides with nothing.
        display = &Map::DummyDisplay;
        DestroyGrid();
        DestroyShapes(shapes);
        wrapping.reset();
    }
}

// The grid comes back as it was saved. A map whose grid was never laid out
// saved the constructor's 1 x 1, which its size need not give: it keeps those
// counts and stays without a grid. Other counts than these two are corrupt.
bool Map::ReadGrid(File& file) {
    std::uint32_t savedCellSize = 0;
    file.Read(savedCellSize);
    if (file.HasError()) {
        DestroyGrid();
        cellSize = 128;
        return true;
    }
    const std::int32_t savedRows = gridRows, savedColumns = gridColumns;
    SpacePartitionGridSize(savedCellSize);
    // A save from before grids covered the world laid them over the bitmap.
    if (gridRows != savedRows || gridColumns != savedColumns) LayOutGrid(savedCellSize, width, height);
    if (gridRows != savedRows || gridColumns != savedColumns) {
        DestroyGrid();
        gridRows = savedRows;
        gridColumns = savedColumns;
        if (savedRows != 1 || savedColumns != 1) file.SetError();
    }
    return true;
}
