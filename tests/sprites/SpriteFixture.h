// A small level for the sprite tests: a current GameNode, a viewport and a few
// actors in the actor table, all undone afterwards.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "foundation/UserError.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

class SpriteTest : public ::testing::Test {
protected:
    static constexpr int Walker = 1;    // 2 animations: delays {2,0,1} loop 0, and a one-frame one
    static constexpr int Peg = 2;       // frames with registration points and flips
    static constexpr int Empty = 3;     // an empty slot
    static constexpr int NoFrames = 4;  // one animation without frames

    void SetUp() override {
        gNode = &level;
        level.WorldWidth(2000);
        level.WorldHeight(480);
        LevelViewPort() = ViewPort(2000, 480, 0, 0, 640, 480);
        MakeActor(Walker, {{2, 0, 1}, {0}});
        MakeActor(Peg, {{0, 0}, {0}});
        for (int a = 0; a < 2; ++a)
            for (int f = 0; f < SpriteList[Peg].Animations[a].FrameCount; ++f) {
                FrameElem& fr = SpriteList[Peg].Animations[a].Frames[f];
                fr.PegFrame = true;
                fr.HasHFlip = fr.HasVFlip = true;
                fr.CenterX = 10.0f + 3 * f + a;
                fr.CenterY = 20.0f + 2 * f;
                fr.hFCenterX = 31 - fr.CenterX;
                fr.vFCenterX = fr.CenterX;
                fr.hvFCenterX = 31 - fr.CenterX;
                fr.hFCenterY = fr.CenterY;
                fr.vFCenterY = 31 - fr.CenterY;
                fr.hvFCenterY = 31 - fr.CenterY;
            }
        SpriteList[NoFrames].Animations = new AnimationElem[1];
        SpriteList[NoFrames].AnimationCount = 1;
        ClearUserErrors();
    }

    void TearDown() override {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        for (int a : {Walker, Peg, Empty, NoFrames}) SpriteList[a].Empty();
        pMainCharacter = nullptr;
        gNode = nullptr;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);
    }

    // One animation per list entry, one frame per delay; frames are 32 x 32.
    static void MakeActor(int slot, std::initializer_list<std::initializer_list<unsigned>> animations) {
        SpriteElem& s = SpriteList[slot];
        s.AnimationCount = static_cast<int>(animations.size());
        s.Animations = new AnimationElem[animations.size()];
        int a = 0;
        for (auto delays : animations) {
            AnimationElem& anim = s.Animations[a++];
            anim.FrameCount = static_cast<int>(delays.size());
            anim.Frames = new FrameElem[delays.size()];
            int f = 0;
            for (unsigned d : delays) {
                anim.Frames[f].Delay = d;
                anim.Frames[f].Width = 32;
                anim.Frames[f].Height = 32;
                ++f;
            }
        }
    }

    // A sprite added to the level (display list 0 unless changed before).
    Sprite* Add(const char* name, int actor = Walker, unsigned z = 0) {
        Sprite* s = new Sprite();
        s->Name(name);
        s->ZOrder(z);
        s->ActorIndex(actor);
        Sprite* added = s->CreateSprite();
        delete s;
        return added;
    }

    static void ClearUserErrors() {
        for (Array<UserError>* h : {&UserError::SpritesErrors, &UserError::Errors, &UserError::MapsErrors}) h->Clear();
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        std::memset(_UE.TargetFunction, 0, sizeof _UE.TargetFunction);
    }

    // The last report, then forgotten, so that the same report prints again.
    static std::string LastError() {
        std::string text = std::string(_UE.TargetFunction) + " | " + _UE.ErrorMessage;
        ClearUserErrors();
        return text;
    }

    GameNode level;
};
