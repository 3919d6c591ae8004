// A small level run through the engine's own main loop and frame step: a
// master map, a standard map over it and a few sprites that walk, animate,
// flip, are re-sorted and removed, and a main character that scrolls the view.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "EngineRun.h"
#include "display/DisplayInternal.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "logic/LogicTables.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/Map.h"
#include "world/ViewPort.h"
#include "testing/TestHooks.h"

namespace {

constexpr int ScreenW = 64, ScreenH = 48;
constexpr int WorldW = 128;
constexpr std::uint32_t Key = 0x00FF00;  // green, the frames' colour key
constexpr std::uint32_t Deck = 0x2060A0;
constexpr int DeckX = 40, DeckY = 30, DeckW = 8, DeckH = 6;

// Actor slots of the test level.
constexpr int Walker = 1;   // one animation of two 4 x 3 frames, 2 frames each
constexpr int Flipper = 2;  // one 4 x 3 frame with all its mirrored copies

// The 4 x 3 frame image; Key pixels are transparent.
constexpr std::uint32_t FrameImage[3][4] = {
    {0xA00001, Key, 0xA00002, 0xA00003},
    {Key, 0xA00004, Key, 0xA00005},
    {0xA00006, 0xA00007, 0xA00008, Key},
};
// The walker's second frame: the same shape in other colours.
std::uint32_t SecondFrame(int x, int y) { return FrameImage[y][x] == Key ? Key : FrameImage[y][x] ^ 0x0A0A00; }

// The master map's pixel at world (x, y).
std::uint32_t Master(int x, int y) { return std::uint32_t(x * 2) << 16 | std::uint32_t(y * 5) << 8 | 0x40; }

// Writes a bottom-up 24-bit BMP; pixel(x, y) answers 0x00RRGGBB.
template <class Pixel>
void WriteBmp(const std::filesystem::path& path, int w, int h, Pixel pixel) {
    ASSERT_TRUE(bmp24::Write(path.string(), w, h, pixel)) << path;
}

void MakeFrame(FrameElem& frame, const char* file) {
    frame.FileName = file;
    frame.Width = 4;
    frame.Height = 3;
    frame.Box = frame.hFBox = frame.vFBox = frame.hvFBox = tagRECT{0, 0, 3, 2};
    frame.TransparentColor = Key;
    frame.UseColorKey = true;
    frame.HasHFlip = frame.HasVFlip = true;
    frame.Delay = 2;
}

void BuildActors() {
    SpriteElem& walker = SpriteList[Walker];
    walker.AnimationCount = 1;
    walker.Animations = new AnimationElem[1];
    walker.Animations[0].FrameCount = 2;
    walker.Animations[0].Frames = new FrameElem[2];
    MakeFrame(walker.Animations[0].Frames[0], "walk0.bmp");
    MakeFrame(walker.Animations[0].Frames[1], "walk1.bmp");
    SpriteElem& flipper = SpriteList[Flipper];
    flipper.AnimationCount = 1;
    flipper.Animations = new AnimationElem[1];
    flipper.Animations[0].FrameCount = 1;
    flipper.Animations[0].Frames = new FrameElem[1];
    MakeFrame(flipper.Animations[0].Frames[0], "walk0.bmp");
}

struct SpriteSpec {
    const char* name;
    int actor;
    const char* map;
    float x, y;
    bool h, v;  // requested flips (the automatic flips are off when either is set)
    float speed, dx;
    unsigned z = 0;
    bool mainCharacter = false;
};

void AddSprite(GameNode* level, const SpriteSpec& spec) {
    Sprite s;
    s.Name(spec.name);
    s.ActorIndex(spec.actor);
    s.BelongToMap(spec.map);
    s.MapPosition(spec.x, spec.y, false);
    s.Speed(spec.speed);
    if (spec.dx != 0) s.VectorDirection(spec.dx, 0, 0);
    s.ZOrder(spec.z);
    s.MainCharacter(spec.mainCharacter);
    ASSERT_TRUE(level->Add(s));
    // The level's copy starts unflipped: flips are asked of it.
    Sprite* added = Sprite::Search(spec.name);
    ASSERT_NE(added, nullptr);
    if (spec.h || spec.v) {
        added->AutoFlip(false);
        added->HFlip(spec.h);
        added->VFlip(spec.v);
    }
}

// The level: a 128 x 48 world seen through a 64 x 48 view whose scrolling box
// spans screen columns 16 to 48; the master map, and the deck, a standard map
// of z-order 1 at world (40, 30).
void BuildMaps(GameNode* level) {
    level->WorldWidth(WorldW);
    level->WorldHeight(ScreenH);
    ViewPort& view = level->GetViewPort();
    view.ViewPortWidth(ScreenW);
    view.ViewPortHeight(ScreenH);
    view.ViewPortScrollingBB(16, 0, 32, ScreenH);
    level->AddMap("master", "master.bmp", Map::MasterMap);
    Map deck("deck", "deck.bmp", Map::StandardMap, 1, DeckX, DeckY, false, QelRect{0, 0, WorldW, ScreenH});
    level->Add(deck);
}

Sprite* Find(const char* name) { return Sprite::Search(name); }

class LevelRunTest : public EngineRunTest {
protected:
    void SetUp() override {
        EngineRunTest::SetUp();
        const std::filesystem::path art = std::filesystem::path(folder) / "Art Assets";
        std::filesystem::create_directories(art / "Actors");
        std::filesystem::create_directories(art / "Maps");
        WriteBmp(art / "Maps" / "master.bmp", WorldW, ScreenH, Master);
        WriteBmp(art / "Maps" / "deck.bmp", DeckW, DeckH, [](int, int) { return Deck; });
        WriteBmp(art / "Actors" / "walk0.bmp", 4, 3, [](int x, int y) { return FrameImage[y][x]; });
        WriteBmp(art / "Actors" / "walk1.bmp", 4, 3, SecondFrame);
        assetRoot = folder;
        EngineRun::setDataPath = [this] { ArtAssetsPath = assetRoot.c_str(); };
        EngineRun::mode = [] { SetMode(ScreenW, ScreenH, 32); };
        EngineRun::levels = [] { EngineRun::AddLevels({1}); };
    }

    // Runs the level built by `sprites` and calls `check` at every pass after
    // the first (frames done = pass - 1) until it answers true.
    void RunLevel(std::function<void(GameNode*)> sprites, std::function<bool(int frames)> check) {
        EngineRun::buildLevel = [sprites](GameNode* level) {
            BuildActors();
            BuildMaps(level);
            sprites(level);
        };
        EngineRun::script = [check, done = false](int pass) mutable {
            if (pass == 1) pDirectDraw->SetFrameCapture(true);
            if (pass == 1 || done) return;
            done = check(pass - 1);
            if (done) myGame->EndGame();
        };
        EXPECT_EQ(EngineRun::Run(), 0);
    }

    std::string assetRoot;
};

// Which of the walker's two frames a screen position shows: 0, 1, or -1 for
// neither (reads the top-left pixel, which is opaque in both).
int ShownFrame(const std::vector<std::uint32_t>& frame, int x, int y) {
    const std::uint32_t p = frame[std::size_t(y * ScreenW + x)];
    if (p == FrameImage[0][0]) return 0;
    if (p == SecondFrame(0, 0)) return 1;
    return -1;
}

}  // namespace

TEST_F(LevelRunTest, OneFrameMatchesTheGoldenImagePixelForPixel) {
    struct Placed {
        int x, y;
        bool h, v;
    };
    // Four flips with the colour key, two of them partly off the screen; a
    // sprite on the master map under the deck (hidden: the deck is drawn after
    // the master map's sprites) and a sprite on the deck (drawn after it).
    const std::vector<Placed> flips = {{4, 4, false, false}, {12, 4, true, false},   {20, 4, false, true},
                                       {28, 4, true, true},  {62, 20, false, false}, {-2, 40, true, false}};
    const int riderX = 2, riderY = 1;
    std::vector<std::uint32_t> captured;
    RunLevel(
        [&](GameNode* level) {
            for (std::size_t i = 0; i < flips.size(); ++i) {
                const Placed& p = flips[i];
                const std::string name = "flip" + std::to_string(i);
                AddSprite(level, {name.c_str(), Flipper, "master", float(p.x), float(p.y), p.h, p.v, 0, 0});
            }
            AddSprite(level, {"hidden", Flipper, "master", DeckX + 1, DeckY + 1, false, false, 0, 0});
            AddSprite(level, {"rider", Flipper, "deck", float(riderX), float(riderY), false, false, 0, 0});
        },
        [&](int frames) {
            if (frames < 3) return false;
            captured = pDirectDraw->LastFrame();
            return true;
        });

    std::vector<std::uint32_t> expected(ScreenW * ScreenH);
    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x) expected[std::size_t(y * ScreenW + x)] = Master(x, y);
    auto put = [&](int x, int y, std::uint32_t p) {
        if (x >= 0 && x < ScreenW && y >= 0 && y < ScreenH && p != Key) expected[std::size_t(y * ScreenW + x)] = p;
    };
    auto sprite = [&](int sx, int sy, bool h, bool v) {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) put(sx + x, sy + y, FrameImage[v ? 2 - y : y][h ? 3 - x : x]);
    };
    for (const Placed& p : flips) sprite(p.x, p.y, p.h, p.v);
    for (int y = 0; y < DeckH; ++y)
        for (int x = 0; x < DeckW; ++x) put(DeckX + x, DeckY + y, Deck);
    sprite(DeckX + riderX, DeckY + riderY, false, false);

    ASSERT_EQ(captured.size(), expected.size());
    int wrong = 0;
    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x) {
            const std::size_t i = std::size_t(y * ScreenW + x);
            if (captured[i] != expected[i] && ++wrong <= 10)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << captured[i] << ", expected "
                              << expected[i];
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(LevelRunTest, SpritesWalkAnimateAndTurnFrameByFrame) {
    struct Seen {
        float x;
        int frame;
        int shown;  // the frame read back from the presented image
        int hFlip;
    };
    std::vector<Seen> walker, back;
    RunLevel(
        [](GameNode* level) {
            AddSprite(level, {"walker", Walker, "master", 4, 10, false, false, 2, 1});
            AddSprite(level, {"back", Walker, "master", 50, 20, false, false, 1, -1});
        },
        [&](int frames) {
            const std::vector<std::uint32_t>& image = pDirectDraw->LastFrame();
            Sprite* w = Find("walker");
            Sprite* b = Find("back");
            walker.push_back(
                {w->LeftPosition(), w->Frame(), ShownFrame(image, w->ViewportX(), w->ViewportY()), w->HFlip()});
            // Turned round, the back walker shows its top-left pixel at its right end.
            back.push_back(
                {b->LeftPosition(), b->Frame(), ShownFrame(image, b->ViewportX() + 3, b->ViewportY()), b->HFlip()});
            return frames >= 9;
        });
    ASSERT_EQ(walker.size(), 9u);
    // The first frame is shown for its delay, every later one for its delay
    // plus the frame that loads it: one animation step per frame.
    const int frameSequence[9] = {0, 0, 1, 1, 1, 0, 0, 0, 1};
    for (std::size_t i = 0; i < walker.size(); ++i) {
        const int frames = int(i) + 1;
        SCOPED_TRACE("after frame " + std::to_string(frames));
        EXPECT_FLOAT_EQ(walker[i].x, 4.0f + 2.0f * frames);
        EXPECT_FLOAT_EQ(back[i].x, 50.0f - 1.0f * frames);
        EXPECT_EQ(walker[i].frame, frameSequence[i]);
        EXPECT_EQ(back[i].frame, frameSequence[i]);
        EXPECT_EQ(walker[i].shown, walker[i].frame);
        EXPECT_EQ(back[i].shown, back[i].frame);
        EXPECT_EQ(walker[i].hFlip, 0);
        EXPECT_EQ(back[i].hFlip, 1);
    }
}

TEST_F(LevelRunTest, MainCharacterPushesTheScrollingBoxAndTheViewFollows) {
    struct Seen {
        float view;
        float x;
        int screenX;
        std::uint32_t topLeft;  // the presented image's pixel (0, 0)
    };
    std::vector<Seen> seen;
    RunLevel(
        [](GameNode* level) {
            level->GetViewPort().MaxInflateBBRight(16);
            AddSprite(level, {"hero", Walker, "master", 20, 10, false, false, 2, 1, 0, true});
        },
        [&](int frames) {
            Sprite* hero = Find("hero");
            seen.push_back({gNode->GetViewPort().WorldXPos(), hero->LeftPosition(), hero->ViewportX(),
                            pDirectDraw->LastFrame()[0]});
            return frames >= 60;
        });
    ASSERT_EQ(seen.size(), 60u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const int f = int(i) + 1;
        SCOPED_TRACE("after frame " + std::to_string(f));
        const Seen& s = seen[i];
        EXPECT_EQ(s.x, std::min(20.0f + 2.0f * float(f), 124.0f));
        if (f <= 12) {
            // Inside the scrolling box (screen columns 16 to 48): the view stays.
            EXPECT_EQ(s.view, 0.0f);
            EXPECT_EQ(s.screenX, 20 + 2 * f);
        } else if (f <= 44) {
            // Against the box's right side: the view scrolls with the hero.
            EXPECT_EQ(s.view, 2.0f * float(f - 12));
            EXPECT_EQ(s.screenX, 44);
        } else {
            // The view is at the world's end: the box inflates by at most 16
            // and the hero stops at its right side (while it pushes, it is
            // drawn where it stood before the frame's move).
            EXPECT_EQ(s.view, 64.0f);
            EXPECT_EQ(s.screenX, std::min(44 + 2 * (f - 45), 60));
        }
        // Each frame draws the map where the previous frame left the view.
        const float drawnWith = i == 0 ? 0.0f : seen[i - 1].view;
        EXPECT_EQ(s.topLeft, Master(int(drawnWith), 0));
    }
}

TEST_F(LevelRunTest, PausedMapsStillDrawAndRunTheirSpritesUnusedOnesAreSkipped) {
    struct Case {
        const char* name;
        bool pause, unused;
        bool deckDrawn;
        float riderX;  // after 3 frames at 1 pixel a frame from 0
    };
    // The flags are set after the first frame, which placed the deck.
    const Case cases[] = {
        {"plain", false, false, true, 3},
        {"paused", true, false, true, 3},
        {"paused and unused", true, true, true, 3},
        {"unused", false, true, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t corner = 0;
        float riderX = -1;
        RunLevel(
            [](GameNode* level) {
                AddSprite(level, {"rider", Flipper, "deck", 0, 0, false, false, 1, 1});
            },
            [&](int frames) {
                if (frames == 1) {
                    Map* deck = Map::Search("deck");
                    deck->Pause(c.pause);
                    deck->Unused(c.unused);
                }
                if (frames < 3) return false;
                corner = pDirectDraw->LastFrame()[std::size_t((DeckY + DeckH - 1) * ScreenW + DeckX + DeckW - 1)];
                riderX = Find("rider")->LeftPosition();
                return true;
            });
        EXPECT_EQ(corner, c.deckDrawn ? Deck : Master(DeckX + DeckW - 1, DeckY + DeckH - 1));
        EXPECT_EQ(riderX, c.riderX);
    }
}

TEST_F(LevelRunTest, FlaggedSpritesAreRemovedAndChangedZOrdersResortedAtTheFrameEnd) {
    std::vector<std::string> order;
    bool mainCharacterForgotten = false;
    RunLevel(
        [](GameNode* level) {
            level->GetViewPort().ViewPortScrollingBB(0, 0, ScreenW, ScreenH);
            for (auto [name, z] : {std::pair{"a", 1u}, {"b", 2u}, {"c", 3u}})
                AddSprite(level, {name, Flipper, "master", 10, 10, false, false, 0, 0, z});
            AddSprite(level, {"gone", Flipper, "master", 20, 10, false, false, 0, 0, 4, true});
        },
        [&](int frames) {
            if (frames == 1) {
                // Both move to the same z-order in one frame: the later one
                // in the walk ends ahead of the earlier one.
                Find("a")->ZOrder(5);
                Find("b")->ZOrder(5);
                Find("gone")->DeleteFlag(true);
                return false;
            }
            List& list = gNode->DisplayList(0);
            for (node* p = list.Head(); !p->EOList(); p = p->Next())
                order.push_back(static_cast<const char*>(static_cast<Sprite*>(p)->Name()));
            mainCharacterForgotten = pMainCharacter == nullptr;
            return true;
        });
    EXPECT_EQ(order, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_TRUE(mainCharacterForgotten);
}

TEST_F(LevelRunTest, ALevelIsNotEmptiedUnderItsRunningSpritesAndTexts) {
    // Behaviours of a sprite and of a text that empty the level: refused, as
    // the level's lists are being walked. Between frames the level empties.
    static int tries;
    tries = 0;
    static std::string refusal;
    refusal.clear();
    bool emptied = false;
    RunLevel(
        [](GameNode* level) {
            FArray = NewVoidPointers(1);
            FArray[0] = reinterpret_cast<void*>(+[](void*) {
                ++tries;
                gNode->Empty();
                refusal = std::string(_UE.TargetFunction) + " | " + _UE.ErrorMessage;
            });
            maxFIndex = 0;
            AddSprite(level, {"emptier", Flipper, "master", 10, 10, false, false, 0, 0, 1});
            Sprite::Search("emptier")->behavior.AddFunction(0, true);
            Variable text("x");
            text.Name("emptier text");
            text.GetBehavior().AddFunction(0, true);
            level->Add(text);
        },
        [&emptied](int frames) {
            if (frames < 3) return false;
            EXPECT_NE(Sprite::Search("emptier"), nullptr);
            EXPECT_NE(Variable::Search("emptier text"), nullptr);
            gNode->Empty();
            emptied = gNode->DisplayList(0).Count() == 0;
            return true;
        });
    EXPECT_TRUE(emptied);
    EXPECT_GE(tries, 4);
    EXPECT_EQ(refusal,
              "void GameNode::Empty() | The level level1 cannot be emptied while its texts, maps and sprites run.");
}

TEST_F(LevelRunTest, MainCharacterOutsideTheScrollingBoxEndsTheGame) {
    struct Case {
        float x;
        bool fatal;
    };
    // The box spans world columns 16 to 48; the frame's box (right and bottom
    // inclusive, 3 and 2) is taken as a rectangle, so x 45 still fits.
    for (const Case& c : {Case{16, false}, Case{45, false}, Case{15, true}, Case{46, true}}) {
        SCOPED_TRACE(c.x);
        auto run = [&c] {
            qel::SetMessageBoxObserver(
                [](const char* text, const char*, qel::MessageBoxIcon) { std::fprintf(stderr, "box: %s\n", text); });
            EngineRun::buildLevel = [&c](GameNode* level) {
                BuildActors();
                BuildMaps(level);
                AddSprite(level, {"hero", Walker, "master", c.x, 10, false, false, 0, 0, 0, true});
            };
            EngineRun::script = [](int pass) {
                if (pass == 3) myGame->EndGame();
            };
            std::exit(EngineRun::Run() == 0 && EngineRun::Count("build:1") == 1 ? 0 : 2);
        };
        if (c.fatal)
            EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
                        "box: The main character must be inside the viewport scrolling bounding box\\.");
        else
            EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
    }
}
