// The sprite's side of movement patterns: binding, starting and stopping a
// pattern of the pattern table, its per-frame step and its debug drawing.
#include "display/GeometricsDrawn.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathTablesInternal.h"
#include "runtime/EngineGlobals.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/SpriteLevelInternal.h"

namespace {
constexpr int MsgPatternNotFound = 101;
}

void Sprite::ApplyMovementPattern(int i) {
    MovementPattern* found = GetMovementPattern(i);
    if (!found) {
        UserError::Report("void Sprite::ApplyMovementPattern(int)", MessageTable[MsgPatternNotFound], i);
        return;
    }
    patternIndex = i;
    pattern = found;
    for (float& f : patternValues) f = 0;
    patternDistance = 0;
    patternStep = -1;
    movementPatternLoop = false;
}

void Sprite::StartMovementPattern(bool loop, bool backToStart) {
    patternBackToStart = backToStart;
    StartMovementPattern(loop);
}

void Sprite::StartMovementPattern(bool loop) {
    patternStep = 0;
    patternDistance = 0;
    movementPatternLoop = loop;
    patternStartX = MapWorldX() + mapX;
    patternStartY = MapWorldY() + mapY;
}

void Sprite::StopMovementPattern() {
    patternStep = -1;
    patternDistance = 0;
    movementPatternLoop = false;
}

bool Sprite::EndOfMovementPattern() const {
    if (!pattern || pattern->NumberOfVectors() == 0) return false;
    const int last = static_cast<int>(pattern->NumberOfVectors()) - 1;
    const PatternVector* leg = pattern->Vector(last);
    return patternStep == last && leg && leg->length - speed <= patternDistance;
}

const char* Sprite::MovementPatternName() const { return pattern ? pattern->Name() : nullptr; }

void Sprite::UpdateMovementPattern() {
    if (!pattern) return;
    DisplayPattern(true, 0x0000FF);
    pattern->UpdateMovementPattern(this);
    // The pattern may put the sprite back at its start.
    sprites::SpriteBroadPhase::Moved(*this);
}

void Sprite::DisplayPattern(bool, unsigned long colour) {
    // patternValues: the drawing origin twice (start x, y, end x, y).
    if (patternStep == -1 || (patternStep == 0 && patternDistance == 0)) {
        const float x = patternBackToStart ? patternStartX : MapWorldX() + mapX;
        const float y = patternBackToStart ? patternStartY : MapWorldY() + mapY;
        patternValues[0] = patternValues[2] = x;
        patternValues[1] = patternValues[3] = y;
    }
    if (!showMovementPattern || patternStep == -1 || !pattern || !pDraw) return;
    float sx = patternValues[0], sy = patternValues[1];
    float ex = patternValues[2], ey = patternValues[3];
    const int count = static_cast<int>(pattern->NumberOfVectors());
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            const PatternVector* before = pattern->Vector(i - 1);
            sx += before->directionX * before->length;
            sy += before->directionY * before->length;
        }
        const PatternVector* leg = pattern->Vector(i);
        ex += leg->directionX * leg->length;
        ey += leg->directionY * leg->length;
        pDraw->Line(sx, sy, ex, ey, colour);
    }
}
