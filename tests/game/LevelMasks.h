// The masks the asset generator writes beside the maps: what each map draws
// as solid, read once per map, and the player's collision box against them.
#pragma once
#include <map>
#include <string>

#include "SolidMask.h"
#include "levels/LevelData.h"

namespace gametest {

inline const std::string MasksFolder = std::string(QEL_BINARY_DIR) + "/game/Map Masks/";

// The mask of a level's map; empty when the file is missing or unreadable.
inline const SolidMask& MaskOf(const nolt::LevelRecord& level) {
    static std::map<std::string, SolidMask> masks;
    auto [at, added] = masks.try_emplace(level.mapBitmap);
    if (added) at->second.Read(MasksFolder + level.mapBitmap + ".mask");
    return at->second;
}

inline const nolt::LevelRecord* LevelNamed(const std::string& name) {
    for (int k = 0; k < nolt::LevelCount; ++k)
        if (nolt::LevelRecordOf(k).name == name) return &nolt::LevelRecordOf(k);
    return nullptr;
}

// The player's collision box lies one pixel inside its 32 x 32 picture's
// sides and two inside its top and bottom; `margin` pixels more on each side
// are let off, for the pixel a line is drawn on and the engine's rounding.
constexpr int BoxLeft = 1, BoxTop = 2, BoxRight = 30, BoxBottom = 29, BoxMargin = 2;

// Solid pixels under the box of a player whose picture's top-left corner is
// at map pixel (x, y).
inline int SolidUnderPlayer(const SolidMask& mask, int x, int y, int margin = BoxMargin) {
    return mask.SolidIn(x + BoxLeft + margin, y + BoxTop + margin, x + BoxRight - margin, y + BoxBottom - margin);
}

}  // namespace gametest
