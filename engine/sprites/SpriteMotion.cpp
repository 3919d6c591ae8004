// Sprite motion: direction by vector and by angle, canned motion, friction,
// the gravity arc, the collision factor, the position update with the main
// character's scrolling, and the bounce.
#include <algorithm>
#include <cmath>

#include "foundation/FloatToInt.h"
#include "foundation/UserError.h"
#include "sprites/FrameVariant.h"
#include "sprites/SpriteBroadPhaseInternal.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteDrawInternal.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteMessages.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

using namespace sprites;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kMaxArcStep = 500.0f;

// acos of a direction component that normalisation may have left a hair
// outside [-1, 1].
double AcosDegrees(float x) { return std::acos(std::clamp(static_cast<double>(x), -1.0, 1.0)) * 180.0 / kPi; }

float Tiny(double v) { return std::fabs(v) < 1e-9 ? 0.0f : static_cast<float>(v); }

bool CodeHasH(int code) { return code == 1 || code == 2; }
bool CodeHasV(int code) { return code == 1 || code == 3; }

tagRECT DisplayedBox(const FrameElem* frame, bool hFlip, bool vFlip) {
    return frame ? FrameVariant{*frame, hFlip, vFlip}.Box() : tagRECT{0, 0, 0, 0};
}

// Cuts the translation so that the box, from the position, stays in the world.
void KeepBoxInWorld(float x, float y, const tagRECT& box, float& tx, float& ty) {
    const float l = static_cast<float>(box.left), t = static_cast<float>(box.top);
    const float r = static_cast<float>(box.right), b = static_cast<float>(box.bottom);
    const float worldWidth = LevelWorldWidth(), worldHeight = LevelWorldHeight();
    if (x + tx + l < 0)
        tx = -x - l;
    else if (x + tx + r >= worldWidth)
        tx = worldWidth - x - r;
    if (y + ty + t < 0)
        ty = -y - t;
    else if (y + ty + b >= worldHeight)
        ty = worldHeight - y - b;
}

}  // namespace

// --- direction ---

void Sprite::VectorDirection(float dx, float dy, unsigned int smooth) {
    if (canned) return;
    if (dx == 0 && dy == 0) {
        directionX = directionY = 0;
        return;
    }
    const unsigned int turns = std::min(smooth, 10u);
    float length = std::sqrt(dx * dx + dy * dy);
    if (length != 0) {
        dx /= length;
        dy /= length;
    }
    float ax = dx, ay = dy;
    for (unsigned int i = 0; i < turns; ++i) {
        ax = directionX + ax;
        ay = directionY + ay;
        if (ax == 0 && ay == 0) ay = -0.01f;
        length = std::sqrt(ax * ax + ay * ay);
        if (length != 0) {
            ax /= length;
            ay /= length;
        }
    }
    directionX = ax;
    directionY = ay;
}

float Sprite::VectorAngle() const {
    const float a = static_cast<float>(AcosDegrees(directionX));
    int n = TruncToInt32(a);  // NaN after a corrupt direction
    if (a - n > 0.5f) ++n;
    return static_cast<float>(directionY > 0 ? 360 - n : n);
}

void Sprite::VectorAngle(float angle, float smooth) {
    if (canned) return;
    const char* target = "void Sprite::VectorAngle(float,float)";
    if (!(angle >= 0 && angle <= 359)) {
        UserError::Report(target, "%s", Text(MsgAngle));
        return;
    }
    if (!(smooth >= 0 && smooth <= 180)) {
        UserError::Report(target, "%s", Text(MsgSmoothAngle));
        return;
    }
    auto turnTo = [this](double degrees) {
        const double r = degrees * kPi / 180.0;
        directionX = Tiny(std::cos(r));
        directionY = -Tiny(std::sin(r));
    };
    if (smooth == 0) {
        turnTo(angle);
        return;
    }
    const float upY = -directionY;
    double c = AcosDegrees(directionX);
    if (upY < 0) c = 360.0 - c;
    const double diff = angle - c;
    double next = angle;
    if (diff <= 0 && diff >= -180) {
        if (-diff >= smooth) next = c - smooth;
    } else if (diff < -180) {
        if (smooth <= 360 + diff) next = c + smooth;
    } else if (diff > 0 && diff <= 180) {
        if (smooth <= diff) {
            next = c + smooth;
            if (next < 0) next += 360;
        }
    } else if (smooth <= 360 - diff) {
        next = c - smooth;
        if (next < 0) next += 360;
    }
    turnTo(next);
}

// --- canned motion ---

unsigned int Sprite::CannedDirection() const {
    if (!canned) return 0;
    if (cannedFactorX == 1 && cannedFactorY == 1) return 1;
    if (cannedFactorX == -1 && cannedFactorY == 1) return 2;
    if (cannedFactorX == 1 && cannedFactorY == -1) return 3;
    if (cannedFactorX == -1 && cannedFactorY == -1) return 4;
    return 0;
}

void Sprite::CannedDirection(unsigned int d) {
    if (!canned) return;
    if (d >= 5) {
        UserError::Report("void Sprite::CannedDirection(int)", Text(MsgDirection), static_cast<int>(d));
        return;
    }
    directionX = directionY = 0;
    if (doNotCutDirection) {
        // Waits for the start of a cycle; with a delay of 0 the unsigned
        // comparison never lets it through (kept as the engine always had it).
        const FrameElem* frame = RequestedFrame();
        const std::uint32_t delay = frame ? frame->Delay : 0;
        if (!(currentFrame == 0 && delayCount >= delay - 1u)) return;
    }
    switch (d) {
        case 1:
            cannedFactorX = 1;
            cannedFactorY = 1;
            break;
        case 2:
            cannedFactorX = -1;
            cannedFactorY = 1;
            break;
        case 3:
            cannedFactorX = 1;
            cannedFactorY = -1;
            break;
        case 4:
            cannedFactorX = -1;
            cannedFactorY = -1;
            break;
        default: break;
    }
}

void Sprite::CannedFactor() {
    const FrameElem* requested = RequestedFrame();
    const FrameElem* shown = DisplayedFrame();
    canned = false;
    VectorDirection(requested ? requested->CannedX : 0, shown ? shown->CannedY : 0, 0);
    directionX *= cannedFactorX;
    directionY *= cannedFactorY;
    canned = true;
    if (!cannedHDirection && !cannedVDirection) {
        directionX = directionY = 0;
        cannedFactorX = cannedFactorY = 0;
    } else if (!cannedHDirection) {
        directionX = 0;
        cannedFactorX = 0;
    } else if (!cannedVDirection) {
        directionY = 0;
        cannedFactorY = 0;
    }
    if (!autoFlip) {
        currentHFlip = requestedHFlip;
        currentVFlip = requestedVFlip;
        return;
    }
    if (requested && requested->HasHFlip) {
        if (cannedFactorX == -1)
            currentHFlip = true;
        else if (cannedFactorX == 1)
            currentHFlip = false;
    } else {
        currentHFlip = false;
    }
    if (requested && requested->HasVFlip) {
        if (cannedFactorY == -1)
            currentVFlip = true;
        else if (cannedFactorY == 1)
            currentVFlip = false;
    } else {
        currentVFlip = false;
    }
}

// --- friction and gravity ---

void Sprite::Friction(float percent) {
    if (!(percent >= 0 && percent <= 100)) {
        UserError::Report("void Sprite::Friction(float)", "%s", Text(MsgFriction));
        return;
    }
    friction = percent * 0.01f;
}

void Sprite::FrictionFactor() {
    if (friction == 0) return;
    speed -= friction;
    if (speed < 0) speed = 0;
}

void Sprite::GravityFriction(float percent) { gravityFriction = std::clamp(percent, 0.0f, 100.0f); }

void Sprite::Gravity(bool on, float percent) {
    if (!(percent >= 0 && percent <= 100)) {
        UserError::Report("void Sprite::Gravity(bool,int)", "%s", Text(MsgGravity));
        return;
    }
    if (on) {
        gravity = true;
        arcStartX = mapX;
        arcStartY = mapY;
        g = percent * 0.01f;
        arcStartSpeed = speed;
        arcStartDirectionX = directionX;
        arcStartDirectionY = directionY;
        arcFrameCount = 0;
        impactSpeed = 0;
    } else {
        gravity = false;
        arcStartX = arcStartY = arcStartSpeed = 0;
        arcStartDirectionX = arcStartDirectionY = 0;
        arcFrameCount = 0;
        g = 0.2f;
    }
}

void Sprite::GravityFactor() {
    ++arcFrameCount;
    const float t = static_cast<float>(arcFrameCount);
    const float x = arcStartDirectionX * arcStartSpeed * t + arcStartX;
    const float y = arcStartDirectionY * arcStartSpeed * t + arcStartY + 0.5f * g * t * t;
    const float dx = x - mapX;
    const float dy = y - mapY;
    VectorDirection(dx, dy, 0);
    const float step = std::min(std::sqrt(dx * dx + dy * dy), kMaxArcStep);
    translationX = directionX * step;
    translationY = directionY * step;
    speed = step;
}

// --- the translation of a frame ---

void Sprite::GetTranslation() {
    if (displacementPending) {
        // The displacement gives this frame's direction and speed; friction,
        // canned motion and gravity then act on it as on any frame's motion.
        VectorDirection(displacementX, displacementY, 0);
        speed = std::sqrt(displacementX * displacementX + displacementY * displacementY);
    }
    if (canned) {
        CannedFactor();
        const FrameElem* shown = DisplayedFrame();
        translationX = cannedFactorX * (shown ? shown->CannedX : 0) * speed;
        translationY = cannedFactorY * (shown ? shown->CannedY : 0) * speed;
        return;
    }
    FlipSet();
    FrictionFactor();
    if (gravity) {
        GravityFactor();
    } else {
        translationX = directionX * speed;
        translationY = directionY * speed;
    }
}

void Sprite::UpdateTranslation() {
    if (collisionFactor > 1.0f) return;
    if (!gravity) {
        translationX = directionX * speed * collisionFactor;
        translationY = directionY * speed * collisionFactor;
    } else {
        translationX *= collisionFactor;
        translationY *= collisionFactor;
    }
}

// --- the position update ---

// The move that keeps a peg-registered frame's registration point in place
// when the flips change; withTranslation adds this frame's translation too.
void Sprite::MoveForPegFlip(bool withTranslation) {
    const float tx = withTranslation ? translationX : 0;
    const float ty = withTranslation ? translationY : 0;
    const FrameElem* frame = DisplayedFrame();
    if (!pegRegistered || !frame || !frame->PegFrame) {
        mapX += tx;
        mapY += ty;
        return;
    }
    newFlipCode = FlipCode(currentHFlip, currentVFlip);
    if (!flipCodeReady) {
        lastFlipCode = newFlipCode;
        flipCodeReady = true;
        mapX += tx;
        mapY += ty;
        return;
    }
    if (newFlipCode != lastFlipCode) {
        mapX += tx + (CodeHasH(newFlipCode) != CodeHasH(lastFlipCode) ? std::trunc(frame->MoveX) : 0.0f);
        mapY += ty + (CodeHasV(newFlipCode) != CodeHasV(lastFlipCode) ? std::trunc(frame->MoveY) : 0.0f);
    } else {
        mapX += tx;
        mapY += ty;
    }
    lastFlipCode = newFlipCode;
}

void Sprite::UpdateSprite() {
    if (showVectorOfTranslation) ShowVectorOfTranslation(0UL);
    if (!mainCharacter) {
        // Each peer of a networked game has its own main character; every
        // player's sprite is kept in the world alike, so that all peers
        // move it the same.
        if (IsActiveNetworkPlayer() && LevelIsNetworked()) {
            const float tx = translationX, ty = translationY;
            KeepBoxInWorld(mapX, mapY, DisplayedBox(DisplayedFrame(), currentHFlip, currentVFlip), translationX,
                           translationY);
            MoveForPegFlip(true);
            translationX = tx;
            translationY = ty;
        } else {
            MoveForPegFlip(true);
        }
        if (zOrder != CursorZOrder) {
            if (!map || MapKind(map) == Map::MasterMap) {
                viewportX = TruncToInt32(mapX - ViewWorldX());
                viewportY = TruncToInt32(mapY - ViewWorldY());
            } else {
                viewportX = TruncToInt32(map->ViewPortX() + mapX);
                viewportY = TruncToInt32(map->ViewPortY() + mapY);
            }
        }
    } else {
        ScrollAsMainCharacter();
    }
    sprites::SpriteBroadPhase::Moved(*this);
    Bounce();
}

namespace {

// The scrolling box along one axis: its far side (right or bottom), its near
// side (left or top) and where both started.
struct BoxAxis {
    float (ViewPort::*inflateFar)(float);
    float (ViewPort::*inflateNear)(float);
    float (ViewPort::*farEdge)() const;
    float (ViewPort::*nearEdge)() const;
    float initialFar, initialNear;
};

// The main character's move along one axis. position is its map coordinate,
// t the translation clamped to the world, moved how far the viewport scrolled,
// nextStart the viewport's world coordinate after this frame's scroll and size
// the sprite's extent. An axis that wanted no scroll lets the box shrink back
// and moves position at once; a scrolled axis answers the new position, which
// the box may have cut short when the viewport could not follow.
float MoveAlongAxis(ViewPort& view, const BoxAxis& axis, float& position, float t, float moved, bool scrolled,
                    float nextStart, float size) {
    if (!scrolled) {
        if (t > 0) {
            if ((view.*axis.nearEdge)() < axis.initialNear) (view.*axis.inflateNear)(-t);
        } else if ((view.*axis.farEdge)() > axis.initialFar) {
            (view.*axis.inflateFar)(t);
        }
        position += t;
        return position;
    }
    if (moved == t) return position + t;
    if (t >= 0) {
        const float taken = (view.*axis.inflateFar)(t - moved);
        if (std::fabs(taken + moved - t) < 0.001f) return position + t;
        const float limit = ((view.*axis.farEdge)() + nextStart) - position - size;
        return limit <= t ? position + limit : position + t;
    }
    const float taken = -(view.*axis.inflateNear)(moved - t);
    if (std::fabs(taken + moved - t) < 0.001f) return position + t;
    const float limit = (position - (view.*axis.nearEdge)()) + nextStart;
    return limit <= -t ? position - limit : position + t;
}

}  // namespace

void Sprite::ScrollAsMainCharacter() {
    ViewPort& view = *LevelViewPort();
    const tagRECT box = DisplayedBox(DisplayedFrame(), currentHFlip, currentVFlip);
    const float l = static_cast<float>(box.left), t = static_cast<float>(box.top);
    const float r = static_cast<float>(box.right), b = static_cast<float>(box.bottom);
    float tx = translationX, ty = translationY;
    KeepBoxInWorld(mapX, mapY, box, tx, ty);
    const float x0 = mapX + tx - view.WorldXPos() + l;
    const float y0 = mapY + ty - view.WorldYPos() + t;
    const float x1 = x0 + r - l;
    const float y1 = y0 + b - t;
    const bool scrollX = tx != 0 && !(view.BBViewPortXPos() < x0 && x1 < view.BBViewPortRightPos());
    const bool scrollY = ty != 0 && !(view.BBViewPortYPos() < y0 && y1 < view.BBViewPortBottomPos());
    const ScrollDelta moved = view.Scroll(scrollX ? tx : 0, scrollY ? ty : 0);
    const FRECT initial = view.InitialBBClone();
    const BoxAxis horizontal{&ViewPort::InflateBBRight,
                             &ViewPort::InflateBBLeft,
                             &ViewPort::BBViewPortRightPos,
                             &ViewPort::BBViewPortXPos,
                             initial.right,
                             initial.left};
    const BoxAxis vertical{&ViewPort::InflateBBBottom, &ViewPort::InflateBBTop, &ViewPort::BBViewPortBottomPos,
                           &ViewPort::BBViewPortYPos,  initial.bottom,          initial.top};
    // The viewport's left and top after this frame's scroll.
    const float nextLeft = view.WorldXPos() + moved.x;
    const float nextTop = view.WorldYPos() + moved.y;
    const float newX = MoveAlongAxis(view, horizontal, mapX, tx, moved.x, scrollX, nextLeft, Width());
    const float newY = MoveAlongAxis(view, vertical, mapY, ty, moved.y, scrollY, nextTop, Height());
    MoveForPegFlip(false);
    viewportX = TruncToInt32(mapX - view.WorldXPos());
    viewportY = TruncToInt32(mapY - view.WorldYPos());
    if (scrollX) mapX = newX;
    if (scrollY) mapY = newY;
}

// --- the bounce ---

void Sprite::Bounce() {
    if (collisionFactor > 1.0f) return;
    if (gravity) {
        // The impact time solves the arc along the sum of both coordinates.
        const float sum = arcStartDirectionX + arcStartDirectionY;
        const float d = (mapX + mapY) - (arcStartX + arcStartY);
        const float u = arcStartSpeed;
        const float disc = u * u * sum * sum + 2 * g * d;
        double impact = speed;
        // With g = 0 two roots divide by zero: the sprite keeps its speed.
        if (disc == 0 || (disc > 0 && g != 0)) {
            float time;
            if (disc > 0) {
                const float t1 = (-u * sum - std::sqrt(disc)) / g;
                const float t2 = (-u * sum + std::sqrt(disc)) / g;
                const std::int32_t frames = arcFrameCount;
                if (frames - 2 < t2 && t2 < frames + 2)
                    time = t2;
                else if (frames - 2 < t1 && t1 < frames + 2)
                    time = t1;
                else
                    time = std::max(t1, t2);
            } else {
                time = g != 0 ? -u * sum / g : 0.0f;
            }
            const double ud = u, gd = g, td = time;
            impact = std::sqrt(std::max(0.0, ud * ud + 2 * gd * td * ud * arcStartDirectionY + gd * gd * td * td));
        }
        impactSpeed = static_cast<float>(impact);
        arcStartX = mapX;
        arcStartY = mapY;
        arcStartSpeed = reflection ? std::max(0.0f, impactSpeed - gravityFriction) : 0.0f;
        arcFrameCount = 0;
        speed = impactSpeed;
    }
    if (reflection && !collisionType && !canned) reflect(lastHitSegment.NormalX(), lastHitSegment.NormalY());
}

void Sprite::reflect(float nx, float ny) {
    const float dot = directionX * nx + directionY * ny;
    directionX = directionX - 2 * dot * nx;
    directionY = directionY - 2 * dot * ny;
    if (gravity) {
        arcStartDirectionX = directionX;
        arcStartDirectionY = directionY;
    }
}

void Sprite::ShowVectorOfTranslation(unsigned long colour) {
    const FrameElem* frame = DisplayedFrame();
    if (!map || !frame) return;
    const FrameVariant variant{*frame, currentHFlip, currentVFlip};
    const float x = variant.CenterX() + mapX + MapWorldX();
    const float y = variant.CenterY() + mapY + MapWorldY();
    DrawLine(x, y, x + 100 * directionX, y + 100 * directionY, colour);
}
