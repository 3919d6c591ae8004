// A networked level run through the engine's own main loop against a second
// player in this process over loopback: the engine joins the session, takes
// its sprite, waits for the frame's input of both players before anything
// moves, gives the other player's keys to that player's sprite, and goes to
// the disconnect level when the other player falls silent.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/BmpWriter.h"
#include "../network/FakeNetEnvironment.h"
#include "EngineRun.h"
#include "display/Display.h"
#include "network/NetSession.h"
#include "network/NetworkRequest.h"
#include "platform/Clock.h"
#include "platform/DialogNetwork.h"
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

const char* const Loopback = "127.0.0.1";
// Any port above 1000 passes the check; the host listens on one the system
// chooses, so test programs running at the same time never meet.
constexpr std::uint32_t SomePort = 24600;
constexpr unsigned char Jump = 0x39;
constexpr int Actor = 1;
constexpr int FramesExchanged = 4;

// The thread the level's change handler ran on.
std::thread::id levelChangedOn;

// A bottom-up 24-bit BMP of one colour.
void WriteBmp(const std::filesystem::path& path, int w, int h) {
    ASSERT_TRUE(bmp24::WriteSolid(path.string(), w, h, 0x404040)) << path;
}

void BuildActor() {
    SpriteElem& slot = SpriteList[Actor];
    slot.AnimationCount = 1;
    slot.Animations = new AnimationElem[1];
    slot.Animations[0].FrameCount = 1;
    slot.Animations[0].Frames = new FrameElem[1];
    FrameElem& frame = slot.Animations[0].Frames[0];
    frame.FileName = "player.bmp";
    frame.Width = 4;
    frame.Height = 3;
    frame.Box = frame.hFBox = frame.vFBox = frame.hvFBox = tagRECT{0, 0, 3, 2};
}

// Sprites 1 and 2 of the level, both open to network players.
void AddPlayer(GameNode* level, const char* name, float x) {
    Sprite s;
    s.Name(name);
    s.ActorIndex(Actor);
    s.BelongToMap("master");
    s.MapPosition(x, 10, false);
    ASSERT_TRUE(level->Add(s));
    Sprite* added = Sprite::Search(name);
    ASSERT_NE(added, nullptr);
    added->networkPlayer = true;
}

// Waits in real time, at most 5 s, until the condition holds.
bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class NetworkLevelTest : public EngineRunTest {
protected:
    void SetUp() override {
        EngineRunTest::SetUp();
        levelChangedOn = {};
        const std::filesystem::path art = std::filesystem::path(folder) / "Art Assets";
        std::filesystem::create_directories(art / "Actors");
        std::filesystem::create_directories(art / "Maps");
        WriteBmp(art / "Maps" / "master.bmp", 64, 48);
        WriteBmp(art / "Actors" / "player.bmp", 4, 3);
        assetRoot = folder;
        EngineRun::setDataPath = [this] { ArtAssetsPath = assetRoot.c_str(); };
        EngineRun::mode = [] { SetMode(64, 48, 32); };
        EngineRun::levels = [this] {
            EngineRun::AddLevels({1, 2});
            GameNode* level = GameNode::Search("level1");
            level->BuildActorsP = [](GameNode*) { BuildActor(); };
            level->NetworkLevel = true;
            level->NetworkPort = port;
            level->ApplicationGUID = TestGuid(41);
            level->RequiredPlayers = 2;
            level->MaximumPlayers = 2;
            level->DisconnectLevel = 1;
            level->OnLevelChangeP = [](GameNode*) { levelChangedOn = std::this_thread::get_id(); };
        };
        EngineRun::buildLevel = [](GameNode* level) {
            if (level->Id() != 1) return;
            level->WorldWidth(64);
            level->WorldHeight(48);
            level->GetViewPort().ViewPortWidth(64);
            level->GetViewPort().ViewPortHeight(48);
            level->AddMap("master", "master.bmp", Map::MasterMap);
            AddPlayer(level, "Red", 4);
            AddPlayer(level, "Blue", 20);
        };

        // The other player hosts and takes the first sprite, Red.
        {
            std::lock_guard<qel::CriticalSection> hold(hostEnv.lock);
            hostEnv.sprites[1].name = "Red";
            hostEnv.sprites[2].name = "Blue";
        }
        hostEnv.chooser = ChooseFirst;
        NetworkComponentTesting::BindAddress(host, Loopback);
        NetworkComponentTesting::ListenOnAnyPort(host);
        ASSERT_EQ(host.Host(TestGuid(41), SomePort, "Session", "Hoster"), 0);
        port = NetworkComponentTesting::ListeningPort(host);
        ASSERT_NE(port, 0u);
        ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.waits == 1; }));

        // This player joins it and takes Blue.
        qel::DialogResponder answers;
        answers.option = [] { return int(qel::ButtonJoin); };
        answers.session = [](bool join, qel::SessionFields& fields) {
            if (!join) return int(qel::ButtonCancel);
            fields.first = Loopback;
            fields.second = "Joiner";
            return int(qel::ButtonOk);
        };
        answers.selectPlayer = [this](const std::vector<std::string>& names, int& selected) {
            offered = names;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == "Blue") selected = int(i);
            return int(qel::ButtonOk);
        };
        answers.wait = [](const std::function<bool()>& done) {
            return WaitFor(done) ? int(qel::ButtonOk) : int(qel::ButtonCancel);
        };
        qel::SetDialogResponderForTests(answers);
        qel::UseRealClock();
    }

    void TearDown() override {
        qel::SetDialogResponderForTests({});
        host.Kill();
        hostEnv.JoinWorkers();
        EngineRunTest::TearDown();
    }

    // The other player's input for one frame: the jump key held down.
    void HostSendsFrame() {
        unsigned char keys[2] = {Jump, 1};
        host.AddToQOut(NetFrameMarker, nullptr, 0);
        host.AddToQOut(NetKeyEvents, keys, 2);
        host.SendQOut();
        host.ClearQOut();
        hostEnv.frameEvent.Set();
    }

    std::string assetRoot;
    std::uint32_t port = 0;
    FakeNetEnvironment hostEnv;
    NetworkComponent host{hostEnv};
    std::vector<std::string> offered;
};

}  // namespace

TEST_F(NetworkLevelTest, FramesWaitForTheOtherPlayerAndItsSilenceLeadsToTheDisconnectLevel) {
    struct Seen {
        bool redPressed, redTriggered, bluePressed;
        std::uint32_t redFrames;
    };
    std::vector<Seen> exchanged;
    int sent = 0;
    int silentPass = 0;
    bool ownSpriteIsMain = false;
    bool sessionOpenAfter = true;
    int levelAfter = 0;
    EngineRun::script = [&](int pass) {
        if (waitingForPlayers) {
            // The join, the choice of a player and the wait run on the
            // session's threads: let them reach the next request.
            WaitFor([] { return netRequest.Pending() || !waitingForPlayers; });
            if (waitingForPlayers || netRequest.Pending()) return;
        }
        if (gNode->Id() == 1 && silentPass == 0) {
            if (sent > 0) {
                Sprite* red = Sprite::Search("Red");
                Sprite* blue = Sprite::Search("Blue");
                if (red == nullptr || blue == nullptr) return myGame->EndGame();
                exchanged.push_back({red->Keyboard_IsPressed(Jump), red->Keyboard_IsTriggered(Jump),
                                     blue->Keyboard_IsPressed(Jump), red->remoteFrameCounter});
                ownSpriteIsMain = blue->MainCharacter();
            }
            if (sent < FramesExchanged) {
                HostSendsFrame();
                ++sent;
                return;
            }
            // The other player falls silent; the ten seconds pass on the
            // virtual clock.
            silentPass = pass;
            qel::UseVirtualClock(qel::TimeGetTime(), 1);
            return;
        }
        if (gNode->Id() == 2) {
            levelAfter = 2;
            sessionOpenAfter = net::Current() != nullptr;
            // The closed session's last workers end before the game does.
            WaitFor([] {
                myGame->ReapFinishedThreads();
                return myGame->ThreadCount() == 0;
            });
            myGame->EndGame();
        }
    };
    std::vector<std::string> boxes;
    qel::SetMessageBoxObserver([&boxes](const char* text, const char* caption, qel::MessageBoxIcon) {
        boxes.push_back(std::string(caption) + "|" + text);
    });
    EXPECT_EQ(EngineRun::Run(), 0);
    qel::SetMessageBoxObserver({});

    // The player is told why the game ended before it goes.
    EXPECT_EQ(boxes,
              std::vector<std::string>{"Attention|Connection to the host is lost.\nSorry, the game cannot continue."});
    EXPECT_EQ(offered, (std::vector<std::string>{"Blue"}));  // Red was taken already
    ASSERT_EQ(exchanged.size(), std::size_t(FramesExchanged));
    for (std::size_t i = 0; i < exchanged.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(exchanged[i].redPressed);
        EXPECT_EQ(exchanged[i].redTriggered, i == 0);
        EXPECT_FALSE(exchanged[i].bluePressed);    // this player pressed nothing
        EXPECT_EQ(exchanged[i].redFrames, i + 1);  // one batch per frame, none while waiting
    }
    EXPECT_TRUE(ownSpriteIsMain);
    EXPECT_GT(silentPass, 0);
    EXPECT_EQ(levelAfter, 2);
    // The session's worker asked for the disconnect level; the level's own
    // handler ran on the main thread, between two frames, as for any change.
    EXPECT_EQ(levelChangedOn, std::this_thread::get_id());
    EXPECT_FALSE(sessionOpenAfter);
    EXPECT_EQ(EngineRun::Count("build:2"), 1);
}
