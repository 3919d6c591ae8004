// Sprite properties and placement: positions in map and world form, clamped
// moves, one-frame displacements, the main character's teleport, the map
// binding, alarms and path states.
#include <cmath>

#include "foundation/UserError.h"
#include "logic/PathStateMachine.h"
#include "logic/PathStateMachineTraverser.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/FrameVariant.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteLinksInternal.h"
#include "sprites/SpriteMessages.h"
#include "world/GeometryInternal.h"
#include "world/ViewPort.h"

using namespace sprites;

void Sprite::Name(const char* text) {
    if (text) name = text;
}

void Sprite::Visible(const char* spriteName, bool on) {
    if (Sprite* s = Search(spriteName))
        s->Visible(on);
    else
        UserError::Report("void Sprite::Visible(const char *,bool)", Text(MsgSpriteName), spriteName ? spriteName : "");
}

void Sprite::Speed(float v) {
    if (v < 0) {
        UserError::Report("void  Sprite::Speed(float)", "%s", Text(MsgSpeed));
        return;
    }
    speed = v;
    savedSpeed = v;
}

void Sprite::Unused(bool on) {
    unused = on;
    if (!on && mainCharacter) pMainCharacter = this;
}

float Sprite::MapWorldX() const { return sprites::MapWorldX(map); }
float Sprite::MapWorldY() const { return sprites::MapWorldY(map); }

float Sprite::MapPositionX() const { return pegRegistered ? mapX + FrameCenterX() : mapX; }
float Sprite::MapPositionY() const { return pegRegistered ? mapY + FrameCenterY() : mapY; }
float Sprite::WorldPositionX() const { return MapPositionX() + MapWorldX(); }
float Sprite::WorldPositionY() const { return MapPositionY() + MapWorldY(); }
int Sprite::ViewportX() const { return pegRegistered ? TruncToInt32(double(viewportX) + FrameCenterX()) : viewportX; }
int Sprite::ViewportY() const { return pegRegistered ? TruncToInt32(double(viewportY) + FrameCenterY()) : viewportY; }

void Sprite::RecomputeViewportX() { viewportX = TruncToInt32(mapX + MapWorldX() - ViewWorldX()); }
void Sprite::RecomputeViewportY() { viewportY = TruncToInt32(mapY + MapWorldY() - ViewWorldY()); }

void Sprite::UpdateViewportPosition() {
    RecomputeViewportX();
    RecomputeViewportY();
}

void Sprite::PendDisplacement(float dx, float dy) {
    displacementPending = true;
    displacementX = dx;
    displacementY = dy;
    savedSpeed = speed;
}

void Sprite::StoreX(float x, bool displacement) {
    if (displacement)
        PendDisplacement(x - MapPositionX(), displacementY);
    else
        mapX = pegRegistered ? x - FrameCenterX() : x;
    sprites::SpriteBroadPhase::Moved(*this);
    RecomputeViewportX();
}

void Sprite::StoreY(float y, bool displacement) {
    if (displacement)
        PendDisplacement(displacementX, y - MapPositionY());
    else
        mapY = pegRegistered ? y - FrameCenterY() : y;
    sprites::SpriteBroadPhase::Moved(*this);
    RecomputeViewportY();
}

void Sprite::MapPositionX(float x, bool displacement) { StoreX(x, displacement); }
void Sprite::MapPositionY(float y, bool displacement) { StoreY(y, displacement); }

void Sprite::MapPosition(float x, float y, bool displacement) {
    StoreX(x, displacement);
    StoreY(y, displacement);
}

void Sprite::WorldPositionX(float x, bool displacement) { StoreX(x - MapWorldX(), displacement); }
void Sprite::WorldPositionY(float y, bool displacement) { StoreY(y - MapWorldY(), displacement); }

void Sprite::WorldPosition(float x, float y, bool displacement) {
    StoreX(x - MapWorldX(), displacement);
    StoreY(y - MapWorldY(), displacement);
}

// The clamped move along one axis: stored is that axis's map position and
// pending its one-frame displacement; offset is 0 for the map forms and the
// map's world position for the world forms, which compare (stored + offset)
// with the limit.
void Sprite::ClampedMove(float& stored, float& pending, float d, float limit, bool displacement, bool increase,
                         float offset) {
    if (!displacement) {
        stored = increase ? stored + d : stored - d;
        if (increase ? stored + offset >= limit : stored + offset <= limit) stored = limit - offset;
        return;
    }
    const float position = stored + offset;
    if (increase ? position + d >= limit : position - d <= limit) d = increase ? limit - position : position - limit;
    PendDisplacement(displacementX, displacementY);
    pending = increase ? d : -d;
}

void Sprite::ClampedX(float dx, float limit, bool displacement, bool increase, float offset) {
    ClampedMove(mapX, displacementX, dx, limit, displacement, increase, offset);
    sprites::SpriteBroadPhase::Moved(*this);
    RecomputeViewportX();
}

void Sprite::ClampedY(float dy, float limit, bool displacement, bool increase, float offset) {
    ClampedMove(mapY, displacementY, dy, limit, displacement, increase, offset);
    sprites::SpriteBroadPhase::Moved(*this);
    RecomputeViewportY();
}

void Sprite::MapPositionXInc(float dx, float limit, bool d) { ClampedX(dx, limit, d, true, 0); }
void Sprite::MapPositionXDec(float dx, float limit, bool d) { ClampedX(dx, limit, d, false, 0); }
void Sprite::MapPositionYInc(float dy, float limit, bool d) { ClampedY(dy, limit, d, true, 0); }
void Sprite::MapPositionYDec(float dy, float limit, bool d) { ClampedY(dy, limit, d, false, 0); }
void Sprite::WorldPositionXInc(float dx, float limit, bool d) { ClampedX(dx, limit, d, true, MapWorldX()); }
void Sprite::WorldPositionXDec(float dx, float limit, bool d) { ClampedX(dx, limit, d, false, MapWorldX()); }
void Sprite::WorldPositionYInc(float dy, float limit, bool d) { ClampedY(dy, limit, d, true, MapWorldY()); }
void Sprite::WorldPositionYDec(float dy, float limit, bool d) { ClampedY(dy, limit, d, false, MapWorldY()); }

void Sprite::MainCharWorldPosition(float x, float y) {
    if (!mainCharacter || unused) return;
    const FrameElem* frame = RequestedFrame();
    ViewPort* view = LevelViewPort();
    if (!frame || !view) return;
    const tagRECT& box = FrameVariant{*frame, currentHFlip, currentVFlip}.Box();
    float dx = x - mapX;
    float dy = y - mapY;
    const float worldWidth = LevelWorldWidth();
    const float worldHeight = LevelWorldHeight();
    if (mapX + box.left + dx < 0)
        dx = -mapX - box.left;
    else if (mapX + box.right + dx >= worldWidth)
        dx = worldWidth - mapX - box.right;
    if (mapY + box.top + dy < 0)
        dy = -mapY - box.top;
    else if (mapY + box.bottom + dy >= worldHeight)
        dy = worldHeight - mapY - box.bottom;
    const float px = mapX + dx;
    const float py = mapY + dy;
    float screenDx = px - view->WorldXPos() - viewportX;
    float screenDy = py - view->WorldYPos() - viewportY;
    const QelRect visible = view->IntWorldRect();
    const bool inside = px + box.left >= visible.left && py + box.top >= visible.top &&
                        px + box.right < visible.right && py + box.bottom < visible.bottom;
    mapX = px;
    mapY = py;
    sprites::SpriteBroadPhase::Moved(*this);
    if (!inside) {
        const ScrollDelta moved = view->Offset(screenDx, screenDy, false);
        // When the view moved the whole way the sprite keeps its place on the
        // screen; otherwise the box takes the rest.
        if (moved.x != screenDx || moved.y != screenDy) {
            screenDx = px - view->WorldXPos() - viewportX;
            screenDy = py - view->WorldYPos() - viewportY;
            UpdateViewportPosition();
            view->OffsetVPSBB(screenDx, screenDy);
        }
    } else {
        UpdateViewportPosition();
        view->OffsetVPSBB(screenDx, screenDy);
    }
}

const char* Sprite::BelongToMap() const { return map ? sprites::MapName(map) : nullptr; }

void Sprite::BelongToMap(const char* mapName) {
    const char* target = "void Sprite::BelongToMap(const char *)";
    Map* found = FindMap(mapName);
    const char* shownName = mapName ? mapName : "";
    if (!found) {
        UserError::Report(target, Text(MsgMapMissing), shownName, static_cast<const char*>(name));
        return;
    }
    const int kind = MapKind(found);
    if (kind != 0 && kind != 1) {
        UserError::Report(target, Text(MsgMapNotMasterOrStandard), shownName, static_cast<const char*>(name));
        return;
    }
    map = found;
    alarms.Clear();
    alarmCount = 0;
}

void Sprite::BelongToMapPtr(Map* m) {
    if (!m) {
        UserError::Report("void Sprite::BelongToMap(Map *)", "%s", Text(MsgNullMap));
        return;
    }
    map = m;
}

bool Sprite::AddAlarm(const char* alarmName) {
    Alarm* alarm = MapAlarmNamed(map, alarmName);
    if (!alarm) return false;
    alarms.Add(alarm);
    ++alarmCount;
    return true;
}

void Sprite::ChangePathState(unsigned int n) {
    if (!traverser) return;
    traverser->StopShortestPath();
    // A number beyond int is no state either: it is reported as such.
    traverser->SetCurrentState(n > 0x7FFFFFFFu ? -1 : static_cast<int>(n));
}

unsigned int Sprite::NearestStationNumber(bool useTraverser) {
    PathStateMachine* machine = traverser ? traverser->PathMachine() : nullptr;
    if (!machine || machine->NumberOfStations() == 0) return 0;
    if (useTraverser) return traverser->NearestStationNumber(this);
    const float px = mapX + HotSpotX(0), py = mapY + HotSpotY(0);
    float best = 200000.0f;
    unsigned int nearest = 0;
    for (int i = 0; i < machine->NumberOfStations(); ++i) {
        const Position p = machine->GetStation(i);
        const float dx = p.x - px, dy = p.y - py;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < best) {
            best = d;
            nearest = static_cast<unsigned int>(i);
        }
    }
    return nearest;
}
