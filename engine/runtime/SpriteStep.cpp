#include "runtime/SpriteStep.h"

#include "foundation/List.h"
#include "foundation/Variable.h"
#include "logic/Alarm.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "world/Map.h"

namespace {

bool IsCursor(const Sprite& s) { return s.ZOrder() == Sprite::CursorZOrder; }

// Behaviours of the sprite's local variables, then its own.
void RunBehaviours(Sprite& s, bool firstPass) {
    // A remote player's sprite with pending input runs Sprite::HandleQ()
    // here, with network play.
    for (unsigned int i = 0; i < s.localVariables.Size(); ++i) {
        Variable& v = s.localVariables[i];
        v.GetBehavior().Update(&v);
    }
    // The path state machine's traverser runs here (Go with the sprite) when
    // its running flag is set, with the path state machines on sprites; and
    // the cursor object's own function on the cursor's first pass, with the
    // cursor.
    (void)firstPass;
    s.behavior.Update(&s);
    // Sprite::UpdateMovementPattern() comes here with the movement patterns.
}

// Animation, motion and collisions of one frame; the position update.
void Move(Sprite& s, Map* map, bool firstPass) {
    if (firstPass) s.UpdateAnimation();
    s.GetTranslation();
    if (firstPass && s.PegRegistered()) s.PegRegistered(1);
    sprites::HandleAlarms(s);
    s.ResetCollisionState(firstPass);
    if (s.CheckCollisionWithMap()) sprites::CheckMapCollision(s, map);
    // Sprite::UpdatePSM() comes here with the path state machines on sprites.
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
                    RunBehaviours(s, firstPass);
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
