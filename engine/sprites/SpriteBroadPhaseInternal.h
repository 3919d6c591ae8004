// Where the sprites of the current level stand, in a grid of square cells,
// so that a sprite's walk over the others meets only those that any frame of
// theirs could bring near it. The grid answers from the sprites' positions
// at the moment it is asked: every move made through a sprite's own methods
// marks the sprite, and the grid takes the marked ones up before it answers.
// It is rebuilt from the display lists at the first question of each frame
// and whenever a list changed (a sprite added, removed or destroyed).
#pragma once
#include <cstdint>
#include <vector>

#include "QelExport.h"

class List;
class Sprite;

namespace sprites {

// A sprite of the display lists and the list it is in.
struct ListedSprite {
    Sprite* sprite;
    std::int32_t list;
};

class SpriteBroadPhase {
public:
    // A rectangle in map coordinates (the map's world position taken off).
    struct Reach {
        float left, top, right, bottom;
    };

    // Fills `near` with the sprites of the display lists that might overlap
    // `reach` with any frame, flip or animation of their actor, in the walk's
    // order (list 0 to 15, each from its head); any sprite left out overlaps
    // nowhere near. Answers false, with `near` empty, when the grid cannot
    // tell (no level, or a reach too far out for float sums to be trusted to
    // the pixel): the caller then walks every sprite.
    static bool Near(const Reach& reach, std::vector<ListedSprite>& near);

    // The sprite's position or actor changed.
    static void Moved(Sprite& sprite);
    // The sprite is being destroyed.
    static void Forget(Sprite& sprite);
};

}  // namespace sprites
