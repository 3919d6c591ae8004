// Sprite steering and relative-position queries: speed changes, following
// another sprite's hot point, and distances between registration points.
#include <cmath>

#include "foundation/UserError.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteMessages.h"

using namespace sprites;

void Sprite::SpeedInc(float d, float max) {
    speed += d;
    if (speed > max) speed = max;
}

void Sprite::SpeedDec(float d, float min) {
    if (min < 0) min = 0;
    speed -= d;
    if (speed < min) speed = min;
}

namespace {

// Hot point n of the sprite's current frame and flips, without the peg correction.
QelPoint RawHotPoint(const Sprite& s, unsigned int n) {
    const FrameElem* frame = s.RequestedFrame();
    if (!frame) return QelPoint{};
    return FrameVariant{*frame, s.HFlip() != 0, s.VFlip() != 0}.HotSpots()[n];
}

}  // namespace

void Sprite::Follow(Sprite* target, unsigned int myHot, unsigned int targetHot, unsigned int smooth) {
    FollowReporting(target, myHot, targetHot, smooth,
                    "void Sprite::Follow(Sprite *,unsigned int,unsigned int,unsigned int)");
}

void Sprite::Follow(const String targetName, unsigned int myHot, unsigned int targetHot, unsigned int smooth) {
    FollowReporting(Search(targetName), myHot, targetHot, smooth,
                    "void Sprite::Follow(const char *,unsigned int,unsigned int,unsigned int)");
}

// Both overloads steer alike; each reports under its own signature.
void Sprite::FollowReporting(Sprite* target, unsigned int myHot, unsigned int targetHot, unsigned int smooth,
                             const char* where) {
    if (!target) {
        UserError::Report(where, "%s", Text(MsgFollowNull));
        return;
    }
    if (myHot >= static_cast<unsigned int>(HotSpotCount)) {
        UserError::Report(where, Text(MsgHotPointOfSprite), static_cast<int>(myHot));
        return;
    }
    if (targetHot >= static_cast<unsigned int>(HotSpotCount)) {
        UserError::Report(where, Text(MsgHotPointOfSprite), static_cast<int>(targetHot));
        return;
    }
    if (smooth >= 11) {
        UserError::Report(where, "%s", Text(MsgSmoothFactor));
        return;
    }
    const QelPoint mine = RawHotPoint(*this, myHot);
    const QelPoint theirs = RawHotPoint(*target, targetHot);
    VectorDirection((theirs.x + target->mapX) - (mine.x + mapX), (theirs.y + target->mapY) - (mine.y + mapY), smooth);
}

// The other sprite's registration point minus this one's, both taken in the
// variant of this sprite's flips.
bool Sprite::RelativePoints(Sprite* other, const char* message, const char* target, float& dx, float& dy) {
    dx = dy = 0;
    if (!other) {
        UserError::Report(target, "%s", message);
        return false;
    }
    auto centre = [this](const Sprite& s, float& x, float& y) {
        x = s.mapX;
        y = s.mapY;
        if (const FrameElem* frame = s.RequestedFrame()) {
            const FrameVariant variant{*frame, currentHFlip, currentVFlip};
            x += variant.CenterX();
            y += variant.CenterY();
        }
    };
    float ox, oy, sx, sy;
    centre(*other, ox, oy);
    centre(*this, sx, sy);
    dx = ox - sx;
    dy = oy - sy;
    return true;
}

float Sprite::Distance(Sprite* other) {
    float dx, dy;
    if (!RelativePoints(other, Text(MsgDistanceNull), "float Sprite::Distance(Sprite *)", dx, dy)) return 0;
    return std::sqrt(dx * dx + dy * dy);
}

float Sprite::DistanceX(Sprite* other) {
    float dx, dy;
    if (!RelativePoints(other, Text(MsgDistanceNull), "float Sprite::DistanceX(Sprite *)", dx, dy)) return 0;
    return std::fabs(dx);
}

float Sprite::DistanceY(Sprite* other) {
    float dx, dy;
    if (!RelativePoints(other, Text(MsgDistanceNull), "float Sprite::DistanceY(Sprite *)", dx, dy)) return 0;
    return std::fabs(dy);
}

float Sprite::DifferenceX(Sprite* other) {
    float dx, dy;
    RelativePoints(other, Text(MsgDifferenceNull), "float Sprite::DifferenceX(Sprite *)", dx, dy);
    return dx;
}

float Sprite::DifferenceY(Sprite* other) {
    float dx, dy;
    RelativePoints(other, Text(MsgDifferenceNull), "float Sprite::DifferenceY(Sprite *)", dx, dy);
    return dy;
}

bool Sprite::Left(Sprite* other) {
    float dx, dy;
    return RelativePoints(other, Text(MsgRelativeNull), "bool  Sprite::Left(Sprite *)", dx, dy) && dx <= 0;
}

bool Sprite::Right(Sprite* other) {
    float dx, dy;
    return RelativePoints(other, Text(MsgRelativeNull), "bool  Sprite::Right(Sprite *)", dx, dy) && dx >= 0;
}

bool Sprite::Up(Sprite* other) {
    float dx, dy;
    return RelativePoints(other, Text(MsgRelativeNull), "bool  Sprite::Up(Sprite *)", dx, dy) && dy <= 0;
}

bool Sprite::Down(Sprite* other) {
    float dx, dy;
    return RelativePoints(other, Text(MsgRelativeNull), "bool  Sprite::Down(Sprite *)", dx, dy) && dy >= 0;
}
