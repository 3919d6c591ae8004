// A small level for the collision tests: maps with bitmaps in a scratch folder,
// a box actor, a shape actor (a square of four outward-facing segments, the
// bottom one the feet, id 1) and a circle actor, and a one-sprite frame step.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "display/DisplayInternal.h"
#include "foundation/UserError.h"
#include "platform/ImageEncoder.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteCollision.h"
#include "sprites/SpriteList.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

class CollisionTest : public ::testing::Test {
protected:
    static constexpr int BoxActor = 11;     // 32 x 32, no shapes
    static constexpr int ShapeActor = 12;   // 32 x 32 square of segments: feet id 1, sides 2, top 3
    static constexpr int CircleActor = 13;  // 32 x 32 with a circle of radius 16 at its centre, id 4
    static constexpr int FeetId = 1, SideId = 2, TopId = 3, BallId = 4;
    // Map shape ids as the game uses them.
    static constexpr int FloorId = 0, WallId = 1;

    void SetUp() override {
        std::random_device rd;
        folder =
            std::filesystem::temp_directory_path() / ("qel-collision-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(folder);
        savedDepth = displayDepth;
        displayDepth = 32;
        mapsFolder = (folder.string() + "/").c_str();
        currentAssetFolder = mapsFolder;
        back = qel::Surface::Create(64, 48, 32);
        pBackBuffer = back.get();
        gNode = &level;
        level.WorldWidth(4000);
        level.WorldHeight(2000);
        LevelViewPort() = ViewPort(4000, 2000, 0, 0, 640, 480);
        MakeActor(BoxActor);
        MakeActor(ShapeActor);
        FrameElem& square = Frame(ShapeActor);
        // Clockwise on screen, so every normal (-dirY, dirX) points out of the square.
        square.AddCollisionData(CollisionSegment(0, 31, 31, 31, FeetId, 0, 0));  // bottom, normal down
        square.AddCollisionData(CollisionSegment(31, 31, 31, 0, SideId, 0, 0));  // right, normal right
        square.AddCollisionData(CollisionSegment(31, 0, 0, 0, TopId, 0, 0));     // top, normal up
        square.AddCollisionData(CollisionSegment(0, 0, 0, 31, SideId, 0, 0));    // left, normal left
        MirrorVariants(square);
        MakeActor(CircleActor);
        Frame(CircleActor).AddCollisionData(CollisionCircle(16, 16, 16, BallId, 0));
        MirrorVariants(Frame(CircleActor));
        ClearUserErrors();
    }

    void TearDown() override {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        maps.clear();
        for (int a : {BoxActor, ShapeActor, CircleActor}) SpriteList[a].Empty();
        pMainCharacter = nullptr;
        gNode = nullptr;
        pBackBuffer = nullptr;
        displayDepth = savedDepth;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    static FrameElem& Frame(int actor) { return SpriteList[actor].Animations[0].Frames[0]; }

    static void MakeActor(int slot) {
        SpriteElem& s = SpriteList[slot];
        s.AnimationCount = 1;
        s.Animations = new AnimationElem[1];
        s.Animations[0].FrameCount = 1;
        s.Animations[0].Frames = new FrameElem[1];
        s.Animations[0].Frames[0].Width = 32;
        s.Animations[0].Frames[0].Height = 32;
    }

    static void MirrorVariants(FrameElem& f) {
        f.hFCollisionList();
        f.vFCollisionList();
        f.hvFCollisionList();
    }

    // A standard map of w x h pixels at a world position, with its grid.
    Map& NewMap(int w, int h, unsigned int cell = 64, int worldX = 0, int worldY = 0) {
        const std::string file = "m" + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
        WriteBmp((folder / file).string(), w, h);
        const std::string name = "map" + std::to_string(maps.size());
        maps.push_back(std::make_unique<Map>(name.c_str(), file.c_str(), Map::StandardMap, 0, worldX, worldY, false,
                                             QelRect{0, 0, 640, 480}));
        maps.back()->SpacePartitionGridSize(cell);
        return *maps.back();
    }

    // A sprite of the level on that map at a map position; by box or by shapes.
    Sprite* Add(const char* name, int actor, Map* map, float x, float y, bool byBox = true) {
        Sprite proto;
        proto.Name(name);
        proto.ActorIndex(actor);
        Sprite* s = proto.CreateSprite();
        if (map) s->BelongToMapPtr(map);
        s->MapPosition(x, y, false);
        s->CollisionType(byBox);
        return s;
    }

    // Direction and speed, then this frame's translation.
    static void Aim(Sprite* s, float dx, float dy, float speed) {
        s->VectorDirection(dx, dy, 0);
        s->Speed(speed);
        s->GetTranslation();
    }

    // The collision part of one sprite's frame step, then the move.
    static void Step(Sprite* s) {
        sprites::HandleAlarms(*s);
        s->ResetCollisionState(true);
        if (s->CheckCollisionWithMap()) sprites::CheckMapCollision(*s, s->BelongToMapPtr());
        sprites::CheckSpriteCollisions(*s, s->BelongToMapPtr());
        s->UpdateTranslation();
        s->UpdateSprite();
    }

    static void ClearUserErrors() {
        for (Array<UserError>* h :
             {&UserError::SpritesErrors, &UserError::Errors, &UserError::MapsErrors, &UserError::AlarmsErrors})
            h->Clear();
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        std::memset(_UE.TargetFunction, 0, sizeof _UE.TargetFunction);
    }

    // The last report's message, then forgotten so that it can print again.
    static std::string LastError() {
        std::string text = _UE.ErrorMessage;
        ClearUserErrors();
        return text;
    }

    static void WriteBmp(const std::string& path, int w, int h) {
        qel::SaveBmp24(*qel::Surface::Create(w, h, 32), path);
    }

    std::filesystem::path folder;
    std::int32_t savedDepth = 16;
    std::unique_ptr<qel::Surface> back;
    GameNode level;
    std::vector<std::unique_ptr<Map>> maps;
};

// A 640 x 480 window over a 1000 x 600 map, for the tests whose results depend
// on the view's edges; the box actor's hot points are set by each suite.
class WindowedCollisionTest : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        savedWidth = windowWidth;
        savedHeight = windowHeight;
        windowWidth = 640;
        windowHeight = 480;
        map = &NewMap(1000, 600);
    }
    void TearDown() override {
        windowWidth = savedWidth;
        windowHeight = savedHeight;
        CollisionTest::TearDown();
    }

    std::int32_t savedWidth = 0, savedHeight = 0;
    Map* map = nullptr;
};
