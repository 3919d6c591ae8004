// A bot that plays a level as a player would: it reads the level's collision
// segments and the player's and goal's positions each frame, and presses the
// movement keys (walk, jump at walls, edges and ledges, drop from ledges).
#pragma once
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "logic/GameDeclarations.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"

// The level's sprite of that name, found without a report when missing.
inline Sprite* FindSprite(const char* name) {
    if (gNode == nullptr) return nullptr;
    for (int list = 0; list < GameNode::DisplayListCount; ++list)
        for (node* p = gNode->DisplayList(list).Head(); !p->EOList(); p = p->Next())
            if (std::strcmp(static_cast<Sprite*>(p)->Name(), name) == 0) return static_cast<Sprite*>(p);
    return nullptr;
}

class PlayerBot {
public:
    // One frame: looks at the level and sets the keys for it. `Keys` has
    // Set(key, down) and Tap(key).
    template <class Keys>
    void Step(Keys& keys) {
        Sprite* player = FindSprite("protag");
        Sprite* goal = FindSprite("goal");
        if (player == nullptr || goal == nullptr) return;
        if (segments.empty()) ReadSegments();
        const Box me = BoxOf(*player), target = BoxOf(*goal);
        const int dir = Direction(me, target);
        keys.Set(KeyLeft, dir < 0);
        keys.Set(KeyRight, dir > 0);
        ++frames;
        if (player->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) != PlatformState) return;
        if (ShouldJump(me, target, dir)) keys.Tap(KeyUp);
    }

private:
    static constexpr unsigned char KeyLeft = 0xCB, KeyRight = 0xCD, KeyUp = 0xC8;
    static constexpr int PlatformState = 1;
    // A jump rises about 145 pixels and carries about 200 pixels forward.
    static constexpr float JumpHeight = 135, JumpReach = 190;

    struct Box {
        float left, top, right, bottom;
        float CentreX() const { return (left + right) / 2; }
    };
    struct Line {
        float x1, y1, x2, y2;
        bool floor;  // faces up: holds a player landing on it
        bool wall;
    };

    static Box BoxOf(Sprite& s) {
        const float x = s.WorldPositionX(), y = s.WorldPositionY();
        return Box{x, y, x + float(s.Width()), y + float(s.Height())};
    }

    void ReadSegments() {
        for (node* m = gNode->Maps().Head(); !m->EOList(); m = m->Next()) {
            Map* map = static_cast<Map*>(m);
            const float wx = map->WorldPositionX(), wy = map->WorldPositionY();
            for (node* n = map->Shapes().Head(); !n->EOList(); n = n->Next()) {
                const auto* shape = static_cast<CollisionData*>(n);
                if (shape->Type() != CollisionData::SegmentKind) continue;
                const auto* s = static_cast<const CollisionSegment*>(shape);
                Line line{s->OriginX() + wx, s->OriginY() + wy, s->EndX() + wx, s->EndY() + wy, false, false};
                const bool flat = std::fabs(line.y2 - line.y1) <= std::fabs(line.x2 - line.x1);
                line.floor = s->Id() == 0 && flat && s->NormalY() < 0;
                line.wall = s->Id() == 1 && !flat;
                segments.push_back(line);
            }
        }
    }

    // Which way to walk: toward the goal, or the other way for a while when
    // the goal has come no nearer for long.
    int Direction(const Box& me, const Box& target) {
        const float distance = std::fabs(target.CentreX() - me.CentreX()) + std::fabs(target.top - me.top);
        // Put back to the start (a fall out of the world, a goal that sends
        // the player round again): progress is measured afresh.
        if (distance > lastDistance + 100) {
            bestDistance = distance;
            lastProgress = frames;
            reverseUntil = 0;
        }
        lastDistance = distance;
        if (distance < bestDistance - 8) {
            bestDistance = distance;
            lastProgress = frames;
        }
        if (frames - lastProgress > 150) {
            reverseUntil = frames + 75 + (turns % 3) * 40;
            ++turns;
            lastProgress = frames;
            bestDistance = distance;
        }
        const float dx = target.CentreX() - me.CentreX();
        int dir = dx > 2 ? 1 : dx < -2 ? -1 : 0;
        if (frames < reverseUntil) dir = dir == 0 ? 1 : -dir;
        return dir;
    }

    // Height of the highest floor under x within [from, to], or none.
    bool FloorUnder(float x, float from, float to, float& y) const {
        bool found = false;
        for (const Line& l : segments) {
            if (!l.floor || x < std::fmin(l.x1, l.x2) || x > std::fmax(l.x1, l.x2)) continue;
            const float t = l.x2 == l.x1 ? 0 : (x - l.x1) / (l.x2 - l.x1);
            const float at = l.y1 + t * (l.y2 - l.y1);
            if (at >= from && at <= to && (!found || at < y)) {
                y = at;
                found = true;
            }
        }
        return found;
    }

    bool WallAhead(const Box& me, int dir, float reach) const {
        const float front = dir > 0 ? me.right : me.left;
        for (const Line& l : segments) {
            if (!l.wall) continue;
            const float x = (l.x1 + l.x2) / 2;
            const float ahead = (x - front) * float(dir);
            if (ahead < -1 || ahead > reach) continue;
            if (std::fmax(l.y1, l.y2) > me.top && std::fmin(l.y1, l.y2) < me.bottom - 3) return true;
        }
        return false;
    }

    bool ShouldJump(const Box& me, const Box& target, int dir) {
        if (frames - lastJump < 6) return false;
        const bool jump = WantsJump(me, target, dir);
        if (jump) lastJump = frames;
        return jump;
    }

    bool WantsJump(const Box& me, const Box& target, int dir) const {
        const float feet = me.bottom;
        // The goal stands on something higher, close by.
        if (target.bottom < me.top - 8 && std::fabs(target.CentreX() - me.CentreX()) < JumpReach) return true;
        if (dir == 0) return false;
        if (WallAhead(me, dir, 24)) return true;
        // A floor above within a jump, ahead, that brings the goal nearer in height.
        float y = 0;
        if (target.bottom < feet - 8) {
            for (float ahead = 0; ahead <= JumpReach; ahead += 16)
                if (FloorUnder(me.CentreX() + float(dir) * ahead, feet - JumpHeight, feet - 12, y)) return true;
        }
        // The edge of the floor: jump across a gap when there is something to
        // land on; otherwise walk off and drop.
        const float step = me.CentreX() + float(dir) * ((me.right - me.left) / 2 + 6);
        if (FloorUnder(step, feet - 6, feet + 16, y)) return false;
        for (float ahead = 40; ahead <= JumpReach; ahead += 12)
            if (FloorUnder(me.CentreX() + float(dir) * ahead, feet - JumpHeight, feet + 40, y)) return true;
        return false;
    }

    std::vector<Line> segments;
    int frames = 0, lastProgress = 0, reverseUntil = 0, turns = 0, lastJump = -100;
    float bestDistance = 1e9f, lastDistance = 1e9f;
};
