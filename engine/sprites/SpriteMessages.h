// The message-table entries the sprites report with.
#pragma once
#include "foundation/MessageTable.h"

namespace sprites {

enum Message : int {
    MsgLocalVariable = 1,
    MsgFollowNull = 38,
    MsgSpriteName = 68,
    MsgSpriteId = 69,
    MsgSpeed = 70,
    MsgAnimationNegative = 71,
    MsgAnimationNotFound = 72,
    MsgFrameNegative = 73,
    MsgFrameNotFound = 74,
    MsgActorNegative = 75,
    MsgActorTooLarge = 76,
    MsgDirection = 77,
    MsgAngle = 78,
    MsgSmoothAngle = 79,
    MsgGravity = 80,
    MsgMapNotMasterOrStandard = 81,
    MsgMapMissing = 82,
    MsgNullMap = 83,
    MsgHotPoint = 84,
    MsgFriction = 85,
    MsgHotPointOfSprite = 89,
    MsgSmoothFactor = 92,
    MsgDistanceNull = 93,
    MsgDifferenceNull = 94,
    MsgRelativeNull = 95,
    MsgFlipNull = 96,
    MsgAnimationIndexNegative = 98,
    MsgSoundNotFound = 99,
};

inline const char* Text(Message m) { return MessageTable[m]; }

}  // namespace sprites
