// The subsystems that the main loop and the frame step drive, run through the
// engine's own loop: screen transitions holding a level switch, particle
// systems that die, texts around the sprites, the cursor sprite, and sprites
// steered by a path state machine and by a movement pattern.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "EngineRun.h"
#include "display/DisplayInternal.h"
#include "display/RandomDissolve.h"
#include "foundation/Variable.h"
#include "input/Mouse.h"
#include "input/QelCursor.h"
#include "logic/Edge.h"
#include "logic/LogicTables.h"
#include "logic/MovementPattern.h"
#include "logic/PathStateMachine.h"
#include "logic/PathStateMachineTraverser.h"
#include "logic/PathTables.h"
#include "logic/State.h"
#include "platform/Display.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/Map.h"
#include "world/Particle.h"
#include "world/ParticleSystem.h"
#include "world/ViewPort.h"

namespace {

constexpr int ScreenW = 64, ScreenH = 48;
constexpr std::uint32_t MapColour = 0x102030;
constexpr std::uint32_t SpriteColour = 0xA00001;
constexpr std::uint32_t CursorColour = 0x00C0E0;
constexpr int Solid = 1;    // actor: one opaque 4 x 3 frame
constexpr int Pointer = 2;  // actor: the cursor's opaque 4 x 3 frame
// A bitmap of one colour (0x00RRGGBB).
void WriteBmp(const std::filesystem::path& path, int w, int h, std::uint32_t colour) {
    ASSERT_TRUE(bmp24::WriteSolid(path.string(), w, h, colour)) << path;
}

void OneFrameActor(int actor, const char* file) {
    SpriteElem& slot = SpriteList[actor];
    slot.AnimationCount = 1;
    slot.Animations = new AnimationElem[1];
    slot.Animations[0].FrameCount = 1;
    slot.Animations[0].Frames = new FrameElem[1];
    FrameElem& frame = slot.Animations[0].Frames[0];
    frame.FileName = file;
    frame.Width = 4;
    frame.Height = 3;
    frame.Box = frame.hFBox = frame.vFBox = frame.hvFBox = tagRECT{0, 0, 3, 2};
    frame.UseColorKey = false;
    frame.Delay = 1;
}

Sprite* AddSprite(GameNode* level, const char* name, float x, float y) {
    Sprite s;
    s.Name(name);
    s.ActorIndex(Solid);
    s.BelongToMap("master");
    s.MapPosition(x, y, false);
    level->Add(s);
    return Sprite::Search(name);
}

std::uint32_t Pixel(int x, int y) { return pDirectDraw->LastFrame()[std::size_t(y * ScreenW + x)]; }

int CountColour(std::uint32_t colour) {
    int n = 0;
    for (std::uint32_t p : pDirectDraw->LastFrame()) n += p == colour;
    return n;
}

// A 64 x 48 level with one master map of one colour and the two actors.
class WiredLevelTest : public EngineRunTest {
protected:
    void SetUp() override {
        EngineRunTest::SetUp();
        const std::filesystem::path art = std::filesystem::path(folder) / "Art Assets";
        std::filesystem::create_directories(art / "Actors");
        std::filesystem::create_directories(art / "Maps");
        WriteBmp(art / "Maps" / "master.bmp", ScreenW, ScreenH, MapColour);
        WriteBmp(art / "Actors" / "solid.bmp", 4, 3, SpriteColour);
        WriteBmp(art / "Actors" / "pointer.bmp", 4, 3, CursorColour);
        EngineRun::setDataPath = [this] { ArtAssetsPath = folder.c_str(); };
        EngineRun::mode = [] { SetMode(ScreenW, ScreenH, 32); };
        EngineRun::levels = [] { EngineRun::AddLevels({1}); };
    }

    // Runs the level that `build` fills; `check` sees every pass (frames
    // done = pass - 1) until it answers true.
    void RunLevel(std::function<void(GameNode*)> build, std::function<bool(int frames)> check) {
        EngineRun::buildLevel = [build](GameNode* level) {
            OneFrameActor(Solid, "solid.bmp");
            OneFrameActor(Pointer, "pointer.bmp");
            level->WorldWidth(ScreenW);
            level->WorldHeight(ScreenH);
            level->GetViewPort().ViewPortWidth(ScreenW);
            level->GetViewPort().ViewPortHeight(ScreenH);
            level->AddMap("master", "master.bmp", Map::MasterMap);
            build(level);
        };
        EngineRun::script = [check, done = false](int pass) mutable {
            if (pass == 1) pDirectDraw->SetFrameCapture(true);
            if (pass == 1 || done) return;
            done = check(pass - 1);
            if (done) myGame->EndGame();
        };
        EXPECT_EQ(EngineRun::Run(), 0);
    }
};

// --- screen transitions ---

TEST_F(EngineRunTest, ARunningTransitionHoldsTheLevelSwitchAndIsStillPresented) {
    constexpr int Request = 5;
    struct Pass {
        bool running;         // the dissolve, as the previous frame left it
        bool switched;        // level 2 has been built
        std::uint32_t shown;  // frames presented so far
    };
    std::vector<Pass> passes;
    EngineRun::script = [&](int pass) {
        if (pass >= Request && pass < Request + 30)
            passes.push_back(
                {Effect_RandomDissolve->IsRunning(), EngineRun::Count("build:2") == 1, pDirectDraw->PresentCount()});
        if (pass == Request) {
            Effect_RandomDissolve->OneColor(0x0000FF, 6, 2);
            myGame->LevelNumber(1);
        }
        if (pass == Request + 30) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_EQ(passes.size(), 30u);
    // The frame step advances the dissolve once per frame until it ends; the
    // level is switched only on the pass after.
    std::size_t end = 1;
    while (end < passes.size() && passes[end].running) ++end;
    ASSERT_LT(end, passes.size());
    EXPECT_GE(end, 6u);
    EXPECT_LE(end, 12u);
    for (std::size_t i = 0; i < end; ++i) EXPECT_FALSE(passes[i].switched) << "pass " << i;
    EXPECT_TRUE(passes[end].switched);
    EXPECT_EQ(EngineRun::Count("build:2"), 1);
    // While the switch waits behind the running dissolve, every frame is presented.
    for (std::size_t i = 1; i < end; ++i) EXPECT_EQ(passes[i].shown - passes[i - 1].shown, 1u) << "pass " << i;
}

// --- particle systems ---

void AgeLimit(Particle* p) { p->MaximumAge(3); }
void Drift(Particle*) {}

TEST_F(WiredLevelTest, AParticleSystemThatDiesIsRemovedAndUncounted) {
    struct Seen {
        int systems;
        std::int32_t counter;
        bool sparks, idle;
    };
    std::vector<Seen> seen;
    auto has = [](const char* name) {
        for (node* n = gNode->ParticleSystems().Head(); !n->EOList(); n = n->Next())
            if (std::string(static_cast<ParticleSystem*>(n)->Name()) == name) return true;
        return false;
    };
    RunLevel(
        [](GameNode*) {
            FArray = NewVoidPointers(2);
            FArray[0] = reinterpret_cast<void*>(&AgeLimit);
            FArray[1] = reinterpret_cast<void*>(&Drift);
            maxFIndex = 1;
            for (const char* name : {"sparks", "idle"}) {
                ParticleSystem prototype(4, 0, 1);
                prototype.Name(name);
                prototype.BelongToMap("master");
                ParticleSystem* live = prototype.CreateParticleSystem();
                ASSERT_NE(live, nullptr);
                // An unused system is not run, so it never ages.
                live->Unused(std::string(name) == "idle");
            }
        },
        [&](int frames) {
            seen.push_back({int(gNode->ParticleSystems().Count()), gNode->IdCounter(GameNode::ParticleSystemIds),
                            has("sparks"), has("idle")});
            return frames == 12;
        });
    ASSERT_EQ(seen.size(), 12u);
    EXPECT_EQ(seen.front().systems, 2);
    EXPECT_EQ(seen.front().counter, 2);
    EXPECT_TRUE(seen.front().sparks);
    const Seen& last = seen.back();
    EXPECT_EQ(last.systems, 1);
    EXPECT_EQ(last.counter, 1);
    EXPECT_FALSE(last.sparks);
    EXPECT_TRUE(last.idle);
    for (const Seen& s : seen) EXPECT_EQ(s.systems, s.counter);
}

// --- texts ---

TEST_F(WiredLevelTest, MapTextsGoUnderOrOverTheSpritesAndTextsWithoutAMapOverAll) {
    constexpr std::uint32_t Under = 0x808080, Over = 0xC0C0C0, Screen = 0x404040;
    auto text = [](GameNode* level, QelRect frame, std::uint32_t colour, const char* map, bool topMost) {
        auto* v = new Variable("");
        level->Add(v);
        v->DisplayType(Variable::RespectingWords);
        v->Frame(frame);
        v->ShowFrame(true);
        v->FrameColor(colour);
        v->TopMost(topMost);
        if (map != nullptr) v->BelongToMap(map);
    };
    std::uint32_t under = 0, over = 0, screen = 0, free = 0;
    RunLevel(
        [&](GameNode* level) {
            // Each frame's top edge runs over a sprite's top row.
            AddSprite(level, "a", 10, 10);
            AddSprite(level, "b", 10, 30);
            AddSprite(level, "c", 40, 10);
            text(level, QelRect{11, 10, 30, 20}, Under, "master", false);
            text(level, QelRect{11, 30, 30, 40}, Over, "master", true);
            text(level, QelRect{41, 10, 60, 20}, Screen, nullptr, false);
        },
        [&](int frames) {
            under = Pixel(12, 10);
            over = Pixel(12, 30);
            screen = Pixel(42, 10);
            free = Pixel(20, 10);
            return frames == 3;
        });
    EXPECT_EQ(under, SpriteColour);
    EXPECT_EQ(over, Over);
    EXPECT_EQ(screen, Screen);
    EXPECT_EQ(free, Under);  // the frame that the sprite does not cover is drawn
}

// --- cursor ---

TEST_F(WiredLevelTest, ShowCursorShowsTheCursorSpriteWhereTheCursorIsAndHidesItAgain) {
    struct Seen {
        int cursorPixels;
        std::uint32_t atCursor;
        int mouseX, mouseY;
    };
    std::vector<Seen> seen;
    unsigned int cursorX = 0, cursorY = 0;
    RunLevel(
        [&](GameNode*) {
            QelCursor* cursor = NewQelCursor();
            cursor->AddSpriteCursor(Pointer, 0, 0, false);
            cursorX = cursor->ViewportPositionX();
            cursorY = cursor->ViewportPositionY();
        },
        [&](int frames) {
            seen.push_back({CountColour(CursorColour), Pixel(int(cursorX) + 1, int(cursorY) + 1), pMouse->ViewportX(),
                            pMouse->ViewportY()});
            if (frames == 2) pMouse->Locate(0, 0);  // the hidden cursor stays where it is
            if (frames == 3) myGame->ShowCursor(true);
            if (frames == 6) myGame->ShowCursor(false);
            return frames == 9;
        });
    ASSERT_EQ(seen.size(), 9u);
    for (int frames : {1, 2, 3}) EXPECT_EQ(seen[frames - 1].cursorPixels, 0) << frames;
    // Shown: the mouse goes to the cursor, which is drawn there, whole.
    EXPECT_EQ(seen[4].mouseX, int(cursorX));
    EXPECT_EQ(seen[4].mouseY, int(cursorY));
    for (int frames : {5, 6}) {
        EXPECT_EQ(seen[frames - 1].cursorPixels, 12) << frames;
        EXPECT_EQ(seen[frames - 1].atCursor, CursorColour) << frames;
    }
    for (int frames : {8, 9}) EXPECT_EQ(seen[frames - 1].cursorPixels, 0) << frames;
}

// --- path state machines and movement patterns ---

constexpr unsigned char NoKey = 0xFF;
State Station(bool stop) { return State(nullptr, 0, NoKey, -1, stop, 0); }
State Leg(int target) { return State(nullptr, 0, NoKey, target, false, 1); }
Edge Reached(int station) { return Edge(station, nullptr, false, false, NoKey, 0, -1, 0); }
Edge LeaveFor(int leg, int station) { return Edge(leg, nullptr, false, false, NoKey, 2, station, 1); }

// Stations 0 to 5 ten pixels apart on the line y = 20, from x = 4; legs
// 0 -> 2 -> 5 (states 6 and 7); station 5 stops the sprite.
void BuildLine() {
    PSMArray = NewPathStateMachines(1);
    maxPSMIndex = 0;
    PathStateMachine m(6);
    for (int i = 0; i < 6; ++i) m.AddStation({4.0f + 10.0f * i, 20});
    for (int i = 0; i < 6; ++i) m.AddState(Station(i == 5));
    m.AddState(Leg(2));
    m.AddState(Leg(5));
    m.States()[0].AddEdge(LeaveFor(6, 2));
    m.States()[6].AddEdge(Reached(2));
    m.States()[2].AddEdge(LeaveFor(7, 5));
    m.States()[7].AddEdge(Reached(5));
    m.LinkWeight(0, 2, m.Distance(0, 2));
    m.LinkWeight(2, 5, m.Distance(2, 5));
    m.ComputeShortestPath();
    PSMArray[0] = m;
}

// Ten pixels right, then six down.
void BuildRightThenDown() {
    MPArray = NewMovementPatterns(1);
    maxMPIndex = 0;
    MPArray[0].NumberOfVectors(2);
    MPArray[0].CalculateVectorPattern(0, 10, 0);
    MPArray[0].CalculateVectorPattern(1, 0, 6);
}

TEST_F(WiredLevelTest, SpritesFollowTheirPathStateMachineAndTheirMovementPatternFrameByFrame) {
    struct Point {
        float x, y;
    };
    std::vector<Point> walker, patrol;
    std::vector<bool> patrolling;
    int walkerState = -1;
    bool routeEnded = false;
    RunLevel(
        [](GameNode* level) {
            BuildLine();
            BuildRightThenDown();
            Sprite* w = AddSprite(level, "walker", 4, 20);
            w->Speed(2);
            w->ApplyPathStateMachine(0);
            w->ShortestPath(5);
            Sprite* p = AddSprite(level, "patrol", 30, 2);
            p->Speed(2);
            p->ApplyMovementPattern(0);
            p->StartMovementPattern(false, false);
        },
        [&](int frames) {
            Sprite* w = Sprite::Search("walker");
            Sprite* p = Sprite::Search("patrol");
            walker.push_back({w->MapPositionX(), w->MapPositionY()});
            patrol.push_back({p->MapPositionX(), p->MapPositionY()});
            patrolling.push_back(p->ApplyingMovementPattern());
            if (frames == 40) {
                walkerState = w->Traverser()->GetCurrentState();
                routeEnded = w->EndOfShortestPath();
            }
            return frames == 40;
        });
    ASSERT_EQ(walker.size(), 40u);
    // The walker went along its route to station 5 and stopped there.
    EXPECT_EQ(walkerState, 5);
    EXPECT_TRUE(routeEnded);
    EXPECT_NEAR(walker.back().x, 54.0f, 1.0f);
    for (const Point& p : walker) EXPECT_EQ(p.y, 20.0f);
    EXPECT_EQ(walker[30].x, walker.back().x);
    EXPECT_LT(walker[5].x, walker[10].x);

    // The patrol went right at its speed, then turned down at the leg's end.
    std::size_t turn = 1;
    while (turn < patrol.size() && patrol[turn].y == patrol[0].y) {
        EXPECT_FLOAT_EQ(patrol[turn].x - patrol[turn - 1].x, 2.0f) << turn;
        ++turn;
    }
    ASSERT_LT(turn + 2, patrol.size());
    const float across = patrol[turn - 1].x - 30.0f;
    EXPECT_GE(across, 10.0f);
    EXPECT_LE(across, 12.0f);
    for (std::size_t i = turn; i < turn + 2; ++i) {
        EXPECT_EQ(patrol[i].x, patrol[turn - 1].x) << i;
        EXPECT_FLOAT_EQ(patrol[i].y - patrol[i - 1].y, 2.0f) << i;
    }
    EXPECT_TRUE(patrolling.front());
    EXPECT_FALSE(patrolling.back());
}

}  // namespace
