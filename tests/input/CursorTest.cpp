#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "InputTestSupport.h"
#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "input/Mouse.h"
#include "input/QelCursor.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/CollisionSegment.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

namespace {

using namespace inputtest;

class CursorTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        savedWidth = displayWidth;
        savedHeight = displayHeight;
        displayWidth = 640;
        displayHeight = 480;
        gNode = &level;
        LevelViewPort() = ViewPort(2000, 480, 0, 0, 640, 480);
        mouse = std::make_unique<Mouse>(nullptr, nullptr);
        QelRect screen{0, 0, 640, 480};
        mouse->SetMotionRect(&screen);
        session.mouse = mouse.get();
        pMouse = mouse.get();
        dir = std::filesystem::temp_directory_path() / ("qel-cursor-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        ClearReport();
    }
    void TearDown() override {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        SpriteList[QelCursor::BuiltInActor].Empty();
        pQelCursor = nullptr;
        pMouse = nullptr;
        mouse.reset();
        gNode = nullptr;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);
        displayWidth = savedWidth;
        displayHeight = savedHeight;
        std::filesystem::remove_all(dir);
        InputTest::TearDown();
    }

    static void ClearReport() {
        UserError::Errors.Clear();
        UserError::SpritesErrors.Clear();
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        std::memset(_UE.TargetFunction, 0, sizeof _UE.TargetFunction);
    }

    void Frame() {
        Pump();
        MouseEvent* out = events;
        mouse->Update(out);
    }

    std::vector<char> Saved(QelCursor& cursor, const char* leaf) {
        const auto path = dir / leaf;
        {
            File f(path.c_str(), File::Writing);
            f.Write(static_cast<node*>(&cursor));
            EXPECT_TRUE(f.Close());
        }
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    node* Load(const std::vector<char>& bytes, bool& sound) {
        const auto path = dir / "in.bin";
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
        File f(path.c_str(), File::Reading);
        node* p = nullptr;
        f.Read(p);
        // The test owns what it read; the file would free it otherwise.
        sound = f.Claim(p) && !f.HasError();
        return p;
    }

    std::int32_t savedWidth = 0, savedHeight = 0;
    GameNode level;
    std::unique_ptr<Mouse> mouse;
    MouseEvent events[256];
    std::filesystem::path dir;
};

TEST_F(CursorTest, ANewCursorSitsMidScreenWithTheBuiltInPicture) {
    QelCursor cursor;
    EXPECT_STREQ(cursor.Name(), "QEL_CURSOR");
    EXPECT_EQ(cursor.ViewportPositionX(), 320u);
    EXPECT_EQ(cursor.ViewportPositionY(), 240u);
    EXPECT_EQ(cursor.ActorIndex(), 1000u);
    const SpriteElem& slot = SpriteList[QelCursor::BuiltInActor];
    ASSERT_EQ(slot.AnimationCount, 1);
    ASSERT_EQ(slot.Animations[0].FrameCount, 1);
    const FrameElem& f = slot.Animations[0].Frames[0];
    EXPECT_STREQ(f.FileName, "TEXTSCURSOR");
    EXPECT_EQ(f.Width, 10);
    EXPECT_EQ(f.Height, 19);
    EXPECT_EQ(f.TransparentColor, 0xFFFFFFu);
    EXPECT_EQ(f.HotSpots[0].x, 5);
    EXPECT_EQ(f.HotSpots[0].y, 9);
    EXPECT_EQ(f.Box.right, 8);
    EXPECT_TRUE(f.UseColorKey);
    EXPECT_EQ(f.Collisions.Count(), 1u);
    // Without a cursor sprite every question has the neutral answer.
    EXPECT_EQ(cursor.CursorSprite(), nullptr);
    EXPECT_EQ(cursor.Animation(), 0);
    EXPECT_FALSE(cursor.CollisionWithMap());
    EXPECT_FALSE(cursor.IsPressedOnSprite("x", 0));
    cursor.Frame(3);
    // A second cursor rebuilds the slot without keeping the old picture.
    QelCursor again;
    EXPECT_EQ(SpriteList[QelCursor::BuiltInActor].AnimationCount, 1);
}

TEST_F(CursorTest, TheCursorSpriteShowsTheBuiltInActorButRemembersWhatWasAsked) {
    QelCursor cursor;
    cursor.AddSpriteCursor(2000, 0, 0, false);
    Sprite* s = cursor.CursorSprite();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pQelCursor, &cursor);
    EXPECT_EQ(s, Sprite::Search("QEL_CURSOR_ROSRUC_"));
    EXPECT_EQ(s->ActorIndex(), 1000);
    EXPECT_EQ(s->ZOrder(), Sprite::CursorZOrder);
    EXPECT_EQ(s->DisplayListNumber(), 15);
    EXPECT_TRUE(s->Unused());
    EXPECT_TRUE(s->GhostCollisionWithMap());
    EXPECT_TRUE(s->GhostCollisionWithSprite());
    EXPECT_FALSE(s->CollisionType());
    EXPECT_EQ(s->MapPositionX(), 320.0f);
    EXPECT_EQ(cursor.ActorIndex(), 2000u);
    EXPECT_EQ(mouse->ViewportX(), 320);

    // Saved, the level emptied and loaded: the loaded cursor makes its sprite
    // again with the built-in actor, and saves the same bytes.
    cursor.ViewportPosition(100, 60, false);
    const std::vector<char> first = Saved(cursor, "first.bin");
    for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
    EXPECT_EQ(cursor.CursorSprite(), nullptr);  // its sprite left with the level
    bool sound = false;
    QelCursor* const current = pQelCursor;
    auto* loaded = static_cast<QelCursor*>(Load(first, sound));
    ASSERT_TRUE(sound);
    ASSERT_NE(loaded, nullptr);
    // Reading alone neither takes over the cursor nor adds to the level.
    EXPECT_EQ(pQelCursor, current);
    EXPECT_EQ(loaded->CursorSprite(), nullptr);
    loaded->AdoptOrAddSpriteCursor();
    ASSERT_NE(loaded->CursorSprite(), nullptr);
    EXPECT_EQ(loaded->CursorSprite()->ActorIndex(), 1000);
    EXPECT_EQ(loaded->CursorSprite()->MapPositionX(), 100.0f);
    EXPECT_EQ(loaded->ActorIndex(), 2000u);
    EXPECT_EQ(pQelCursor, loaded);
    EXPECT_EQ(Saved(*loaded, "second.bin"), first);
    delete loaded;
}

TEST_F(CursorTest, APositionIsKeptInsideTheViewWhileTheSpriteTakesItAsGiven) {
    QelCursor cursor;
    cursor.AddSpriteCursor(2000, 0, 0, false);
    LevelViewPort().WorldXPos(50);
    const struct {
        unsigned int x, y;
        unsigned int keptX, keptY;
        float spriteX, spriteY;
    } cases[] = {
        {700, 100, 639, 100, 750, 100},
        {10, 900, 10, 479, 60, 900},
        {639, 479, 639, 479, 689, 479},
    };
    for (const auto& c : cases) {
        cursor.ViewportPosition(c.x, c.y, false);
        EXPECT_EQ(cursor.ViewportPositionX(), c.keptX);
        EXPECT_EQ(cursor.ViewportPositionY(), c.keptY);
        EXPECT_EQ(mouse->ViewportX(), int(c.keptX));
        EXPECT_EQ(mouse->ViewportY(), int(c.keptY));
        EXPECT_EQ(cursor.CursorSprite()->MapPositionX(), c.spriteX);
        EXPECT_EQ(cursor.CursorSprite()->MapPositionY(), c.spriteY);
    }
    cursor.ViewportPositionX(700, false);
    EXPECT_EQ(cursor.ViewportPositionX(), 639u);
}

TEST_F(CursorTest, EachFrameTheCursorGoesToTheMouse) {
    QelCursor cursor;
    cursor.AddSpriteCursor(2000, 0, 0, false);
    Motion(30, 20);
    Frame();
    cursor.__InternalCursorFct();
    EXPECT_EQ(cursor.ViewportPositionX(), unsigned(mouse->ViewportX()));
    EXPECT_EQ(cursor.ViewportPositionY(), unsigned(mouse->ViewportY()));
    EXPECT_NE(cursor.ViewportPositionX(), 320u);
}

TEST_F(CursorTest, ClicksCountOnlyWhileTheCursorTouchesWhatIsAsked) {
    QelCursor cursor;
    cursor.AddSpriteCursor(2000, 0, 0, false);
    Sprite* s = cursor.CursorSprite();
    CollisionSegment floor(0, 0, 10, 0, 3, 0, 0);
    // What this frame's collisions found.
    s->spriteNamesHit.Add(String("button"));
    s->mapShapesHit.Add(&floor);
    Button(SDL_BUTTON_LEFT, true);
    Frame();
    EXPECT_TRUE(cursor.IsTriggeredOnSprite("button", 0));
    EXPECT_TRUE(cursor.IsPressedOnSprite("button", 0));
    EXPECT_FALSE(cursor.IsTriggeredOnSprite("other", 0));
    EXPECT_FALSE(cursor.IsTriggeredOnSprite("button", 1));
    EXPECT_TRUE(cursor.IsTriggeredOnMap(3, 0));
    EXPECT_FALSE(cursor.IsTriggeredOnMap(4, 0));
    Frame();  // held: pressed, no longer triggered
    EXPECT_FALSE(cursor.IsTriggeredOnSprite("button", 0));
    EXPECT_TRUE(cursor.IsPressedOnSprite("button", 0));
    EXPECT_TRUE(cursor.IsPressedOnMap(3, 0));
    s->mapShapesHit.Clear();
    EXPECT_FALSE(cursor.IsPressedOnMap(3, 0));
    QelRect around{300, 200, 340, 260};
    EXPECT_TRUE(cursor.InRect(around));
    EXPECT_FALSE(cursor.InRect(QelRect{0, 0, 10, 10}));
}

TEST_F(CursorTest, LocalDataComesFromThePrototypesOrIsReported) {
    node prototype;
    node* table[1] = {&prototype};
    NArray = table;
    maxNIndex = 0;
    QelCursor cursor;
    cursor.AddLocalVariable(1);
    EXPECT_STREQ(_UE.ErrorMessage, "The local variable 1 cannot be found.");
    EXPECT_STREQ(_UE.TargetFunction, "void QelCursor::AddLocalVariable(unsigned int index)");
    EXPECT_EQ(cursor.LocalData(), nullptr);
    cursor.AddLocalVariable(0);
    EXPECT_NE(cursor.LocalData(), nullptr);
    EXPECT_NE(cursor.LocalData(), &prototype);
    cursor.AddLocalVariable(0);  // replaces (and frees) the first clone
    NArray = nullptr;
    maxNIndex = -1;
}

TEST_F(CursorTest, DamagedRecordsLoadWithoutHarm) {
    QelCursor cursor;
    cursor.AddSpriteCursor(12345, 7, 7, true);  // an actor that does not exist
    const std::vector<char> good = Saved(cursor, "good.bin");
    for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
    std::vector<std::vector<char>> bad;
    for (std::size_t cut : {good.size() / 2, good.size() - 1, std::size_t(40)})
        bad.emplace_back(good.begin(), good.begin() + static_cast<long>(cut));
    // Local data present while the index says none.
    std::vector<char> orphan(good.begin(), good.end() - 8);
    for (int b : {-1, -1, -1, -1}) orphan.push_back(char(b));  // index -1
    const char name[32] = "CollisionSegment";
    orphan.insert(orphan.end(), name, name + 32);
    for (char b : {1, 0, 0, 0}) orphan.push_back(b);  // id 1
    orphan.insert(orphan.end(), 54, 0);               // the segment's record
    bad.push_back(orphan);
    for (const auto& bytes : bad) {
        bool sound = true;
        node* p = Load(bytes, sound);
        EXPECT_FALSE(sound);
        if (auto* c = static_cast<QelCursor*>(p)) {
            c->ViewportPosition(5, 5, false);
            c->IsPressedOnMap(1, 0);
            delete c;
        }
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        pQelCursor = nullptr;
    }
}

}  // namespace
