#include "runtime/SpriteStepInternal.h"

#include <mutex>

#include "foundation/List.h"
#include "foundation/Variable.h"
#include "input/QelCursor.h"
#include "logic/Alarm.h"
#include "logic/CallbackOwner.h"
#include "logic/PathStateMachineTraverser.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "world/Map.h"

namespace {

bool IsCursor(const Sprite& s) { return s.ZOrder() == Sprite::CursorZOrder; }

// A remote player's input, then the behaviours of the sprite's local
// variables, its path state machine, the cursor object's own function, its own
// behaviour and its movement pattern.
void RunBehaviours(Sprite& s, bool cursor, bool firstPass) {
    // A remote player's sprite takes this frame's input before its behaviours ask for it.
    if (s.IsActiveNetworkPlayer()) s.HandleQ();
    for (unsigned int i = 0; i < s.localVariables.Size(); ++i) {
        Variable& v = s.localVariables[i];
        v.GetBehavior().Update(v);
    }
    if (PathStateMachineTraverser* t = s.Traverser(); t != nullptr && t->PathEnabled()) {
        const qel::CallbackOwnerScope owner(&s, &s);
        t->Go(&s);
    }
    if (cursor && firstPass && pQelCursor != nullptr) pQelCursor->__InternalCursorFct();
    s.behavior.Update(s);
    s.UpdateMovementPattern();
}

// Animation, motion and collisions of one frame; the position update.
void Move(Sprite& s, Map* map, bool firstPass) {
    if (firstPass) s.UpdateAnimation();
    s.GetTranslation();
    if (firstPass && s.PegRegistered()) s.PegRegistered(1);
    sprites::HandleAlarms(s);
    s.ResetCollisionState(firstPass);
    if (s.CheckCollisionWithMap()) sprites::CheckMapCollision(s, map);
    s.UpdatePSM();
    if (s.ZOrder() != s.SortedZOrder()) gNode->ZOrders().Push(&s, s.ZOrder());
    sprites::CheckSpriteCollisions(s, map);
    if (firstPass) {
        s.UpdateTranslation();
        s.UpdateSprite();
    }
}

void Draw(Sprite& s, bool cursor, bool firstPass) {
    if (!cursor) s.DisplaySprite();
    if (firstPass) s.HandleLastFlipPR();
    s.EndDisplacement();
}

}  // namespace

node* RemoveSprite(Sprite* sprite, List& displayList) {
    for (unsigned int i = 0; i < sprite->alarms.Size(); ++i)
        if (Alarm* alarm = sprite->alarms[i]) alarm->ForgetSprite(sprite);
    if (gNode != nullptr) gNode->ZOrders().Forget(sprite);
    // Network workers look sprites up and queue input to them under this lock.
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    return sprite->RemoveFrom(displayList);
}

void RunSpriteStep(Map* map, bool& cursorSeen) {
    for (int n = 0; n < GameNode::DisplayListCount; ++n) {
        List& list = gNode->DisplayList(n);
        node* p = list.Head();
        while (!p->EOList()) {
            Sprite& s = *static_cast<Sprite*>(p);
            const bool cursor = IsCursor(s);
            const bool firstPass = !cursor || !cursorSeen;
            if (s.Unused()) {
                s.UpdateViewportPosition();
                s.ResetCollisionState(true);
            } else if (s.BelongToMapPtr() == map || cursor) {
                if (s.Pause()) {
                    s.UpdateViewportPosition();
                } else {
                    if (s.DeleteFlag()) {
                        p = RemoveSprite(&s, list);
                        continue;
                    }
                    RunBehaviours(s, cursor, firstPass);
                    if (s.DeleteFlag()) {
                        p = RemoveSprite(&s, list);
                        continue;
                    }
                    Move(s, map, firstPass);
                }
                Draw(s, cursor, firstPass);
            }
            if (cursor) cursorSeen = true;
            p = p->Next();
        }
    }
}
