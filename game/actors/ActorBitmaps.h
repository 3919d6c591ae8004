// Every frame bitmap that the game's actor tables name, with the size its frames
// draw and the colour left out where a frame draws it keyed, so that the asset
// generator can paint each picture to fit. Self-contained on purpose.
#pragma once
#include <cstdint>

struct ActorBitmap {
    const char* fileName;
    std::int32_t width;
    std::int32_t height;
    // 0x00BBGGRR. For a keyed picture, its see-through colour; for an opaque one,
    // the colour the frames carry (never left out).
    std::uint32_t colorKey;
    bool keyed;
};

inline constexpr ActorBitmap ActorBitmaps[] = {
    {"protag.bmp", 32, 32, 0xDC00FF, true},
    {"protagg.bmp", 32, 32, 0xDC00FF, true},
    {"protagy.bmp", 32, 32, 0xDC00FF, true},
    {"protagm.bmp", 32, 32, 0xDC00FF, true},
    {"protagb.bmp", 32, 32, 0xDC00FF, true},
    {"protagr.bmp", 32, 32, 0xDC00FF, true},
    {"projectile.bmp", 16, 16, 0xDC00FF, true},
    {"goal.bmp", 70, 70, 0xF0F0F0, false},
    {"clear.bmp", 32, 32, 0xDC00FF, true},
    {"camera.bmp", 32, 32, 0xDC00FF, true},
    {"clearObst.bmp", 45, 32, 0xDC00FF, true},
    {"clearObstWhite.bmp", 32, 32, 0xDC00FF, true},
    {"decider.bmp", 32, 32, 0xDC00FF, true},
    {"titlescreen.bmp", 640, 480, 0xF0F0F0, false},
    {"gradient1.bmp", 5000, 1, 0xF0F0F0, false},
    {"gradient2.bmp", 5000, 1, 0xF0F0F0, false},
    {"gradient3.bmp", 5000, 1, 0xF0F0F0, false},
    {"gradient4.bmp", 5000, 1, 0xF0F0F0, false},
    {"gradient5.bmp", 5000, 1, 0xF0F0F0, false},
    // One gradient frame draws this picture opaque, the band's last step keys
    // out its black pixels.
    {"gradient6.bmp", 5000, 1, 0x000000, true},
    {"credits.bmp", 640, 480, 0xDC00FF, true},
};

inline constexpr int ActorBitmapCount = int(sizeof(ActorBitmaps) / sizeof(ActorBitmaps[0]));
