// The generated pictures: a level's map drawn from its own collision segments,
// with the mask of what it draws as solid, and the actor frames at the sizes the actor tables give them.
#pragma once
#include "Canvas.h"
#include "SolidMask.h"
#include "actors/ActorBitmaps.h"
#include "levels/LevelData.h"

struct MapPicture {
    Canvas picture;
    SolidMask mask;  // what the picture draws as solid, for the tests
};

MapPicture PaintMap(const nolt::LevelRecord& level);
Canvas PaintActor(const ActorBitmap& bitmap);

// 0x00BBGGRR as the pictures' 0xRRGGBB.
constexpr std::uint32_t FromColorRef(std::uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
