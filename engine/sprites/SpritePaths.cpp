// The sprite's side of path state machines: binding a machine of the table
// through a traverser, routes to stations, and the gate test that switches
// the path state when the sprite crosses a gate segment.
#include <algorithm>

#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "logic/PathStateMachine.h"
#include "logic/PathStateMachineTraverser.h"
#include "logic/PathTables.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"

namespace {

constexpr int MsgStationRange = 100;
constexpr int MsgPathMachineNotFound = 102;

}  // namespace

void Sprite::ApplyPathStateMachine(unsigned int i) {
    PathStateMachine* machine = i > 0x7FFFFFFFu ? nullptr : GetPathStateMachine(static_cast<int>(i));
    if (!machine) {
        UserError::Report("void Sprite::ApplyPathStateMachine(int)", MessageTable[MsgPathMachineNotFound],
                          static_cast<int>(i));
        return;
    }
    PathStateMachineTraverser::Release(traverser);
    traverser = new PathStateMachineTraverser(machine);
}

void Sprite::ShortestPath(unsigned int station) {
    if (!traverser) return;
    const int count = traverser->PathMachine() ? traverser->PathMachine()->NumberOfStations() : 0;
    if (station >= static_cast<unsigned int>(count)) {
        UserError::Report("void Sprite::ShortestPath(unsigned int)", MessageTable[MsgStationRange], count - 1);
        return;
    }
    traverser->ShortestPath(station);
}

void Sprite::StopShortestPath() {
    if (traverser) traverser->StopShortestPath();
}

bool Sprite::EndOfShortestPath() { return traverser && traverser->EndOfShortestPath(); }

void Sprite::EnablePath(bool on) {
    if (!traverser) return;
    traverser->PathEnabled(on);
    gateWait = !on;
}

bool Sprite::EnablePath() const { return traverser && traverser->PathEnabled(); }

void Sprite::DisplayPath(bool show, unsigned long colour) {
    if (show && traverser && traverser->PathMachine()) traverser->PathMachine()->DisplayPath(colour, this);
}

void Sprite::UpdatePSM() {
    if (!traverser || !gateWait) return;
    ++psmCounter;
    // The gate test starts on the second frame of waiting.
    if (psmCounter > 1 && TestPSMCollision()) {
        // The gate's state change may have replaced the traverser.
        if (traverser) traverser->PathEnabled(true);
        gateWait = false;
        psmCounter = 0;
    }
}

bool Sprite::TestPSMCollision() {
    if (!traverser || !traverser->PathMachine()) return false;
    const FrameElem* shown = DisplayedFrame();
    if (!shown) return false;
    // This frame's swept box, in map coordinates, kept on the map.
    const tagRECT& box = sprites::FrameVariant{*shown, currentHFlip, currentVFlip}.Box();
    const std::int32_t l = TruncToInt32(float(box.left) + mapX), t = TruncToInt32(float(box.top) + mapY);
    const std::int32_t r = TruncToInt32(float(box.right) + mapX), b = TruncToInt32(float(box.bottom) + mapY);
    const std::int32_t ml = TruncToInt32(float(l) + translationX), mt = TruncToInt32(float(t) + translationY);
    const std::int32_t mr = TruncToInt32(float(r) + translationX), mb = TruncToInt32(float(b) + translationY);
    float left = float(std::min(l, ml)), top = float(std::min(t, mt));
    float right = float(std::max(r, mr)), bottom = float(std::max(b, mb));
    left = std::max(left, 0.0f);
    top = std::max(top, 0.0f);
    if (map) {
        right = std::min(right, float(map->Width()));
        bottom = std::min(bottom, float(map->Height()));
    }
    // Two short probes through hot point 0 of the unflipped frame, one each way.
    const QelPoint hot = shown->HotSpots[0];
    const float hx = float(hot.x), hy = float(hot.y);
    CollisionSegment probes[2] = {CollisionSegment(hx - 1, hy, hx + 1, hy, 0, 0, 0),
                                  CollisionSegment(hx + 1, hy, hx - 1, hy, 0, 0, 0)};
    // Gates and sprite are both taken in map coordinates.
    for (CollisionSegment* gate : traverser->PathMachine()->Gates()) {
        const float x1 = gate->OriginX(), y1 = gate->OriginY();
        if (!SegmentIntersectsRect(x1, y1, gate->EndX(), gate->EndY(), left, top, right, bottom)) continue;
        if (-directionX * gate->NormalX() + -directionY * gate->NormalY() < 0.0f) continue;
        for (CollisionSegment& probe : probes) {
            probe.HitTime(CollisionSegment::kNoHit);
            // The sweep writes contact values into its target: a copy keeps the gate clean.
            CollisionSegment target(*gate);
            if (!probe.DetectCollision(&target, mapX, mapY, 0, 0, translationX, translationY, speed)) continue;
            if (probe.HitTime() > collisionFactor) continue;
            if ((gate->TypeByte() & 1u) == 0) collisionFactor = probe.HitTime();
            const int state = gate->Tag();
            ChangePathState(state < 0 ? 0xFFFFFFFFu : static_cast<unsigned int>(state));
            collisionWithPath = true;
            return true;
        }
    }
    return false;
}
