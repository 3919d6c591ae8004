// The sprites whose z-order changed during a frame, in arrival order; drained
// at the end of the frame, when each goes back to its place in its display list.
#pragma once
#include <cstdint>
#include <deque>
#include "QelExport.h"

class GameNode;
class Sprite;

// Exported with GameNode, which hands it out.
class QEL_API ZOrderQueue {
public:
    void Push(Sprite* sprite, std::uint32_t zOrder);
    // Re-sorts each queued sprite of the level: its sorted z-order becomes the
    // queued one and it goes in front of the first sprite of its list whose
    // sorted z-order is not below its own (after smaller ones, ahead of equal
    // ones). A sprite no longer in the level is dropped.
    void Drain(GameNode& level);
    // The sprite is going away: none of its entries may be drained.
    void Forget(const Sprite* sprite);
    void Clear() { entries.clear(); }
    bool Empty() const { return entries.empty(); }

private:
    struct Entry {
        Sprite* sprite;
        std::uint32_t zOrder;
    };
    std::deque<Entry> entries;
};
