#include "runtime/ZOrderQueue.h"

#include <algorithm>
#include <mutex>

#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"

namespace {

// The level's list that holds the sprite, found by address alone (a queued
// sprite is never read before it is known to be alive).
List* ListHolding(GameNode& level, const Sprite* sprite) {
    for (int n = 0; n < GameNode::DisplayListCount; ++n) {
        List& list = level.DisplayList(n);
        for (node* p = list.Head(); !p->EOList(); p = p->Next())
            if (p == sprite) return &list;
    }
    return nullptr;
}

void Resort(List& list, Sprite* sprite, std::uint32_t zOrder) {
    // Network workers walk the display lists under this lock: one that met
    // the sprite mid-move would lose its place in the list.
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    sprite->SortedZOrder(zOrder);
    list.remove(sprite);
    node* before = list.Head();
    while (!before->EOList() && static_cast<Sprite*>(before)->SortedZOrder() < zOrder) before = before->Next();
    list.add(sprite, before);
}

}  // namespace

void ZOrderQueue::Push(Sprite* sprite, std::uint32_t zOrder) { entries.push_back({sprite, zOrder}); }

void ZOrderQueue::Drain(GameNode& level) {
    while (!entries.empty()) {
        const Entry entry = entries.front();
        entries.pop_front();
        if (List* list = ListHolding(level, entry.sprite)) Resort(*list, entry.sprite, entry.zOrder);
    }
}

void ZOrderQueue::Forget(const Sprite* sprite) {
    entries.erase(
        std::remove_if(entries.begin(), entries.end(), [sprite](const Entry& e) { return e.sprite == sprite; }),
        entries.end());
}
