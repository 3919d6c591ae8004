#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineRun.h"
#include "display/DisplayInternal.h"
#include "foundation/Console.h"
#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "logic/LogicTables.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "testing/TestHooks.h"

namespace {

using Calls = std::vector<std::string>;

void EndAtPass(int last) {
    EngineRun::script = [last](int pass) {
        if (pass == last) myGame->EndGame();
    };
}

// Nothing that shut-down deleted may still be reachable.
void ExpectEngineTornDown() {
    EXPECT_EQ(myGame, nullptr);
    EXPECT_EQ(gNode, nullptr);
    EXPECT_EQ(pConsole, nullptr);
    EXPECT_EQ(pDraw, nullptr);
    EXPECT_EQ(pScreen, nullptr);
    EXPECT_EQ(pDirectDraw, nullptr);
    EXPECT_EQ(pBackBuffer, nullptr);
    EXPECT_EQ(pKeyboard, nullptr);
    EXPECT_EQ(pMouse, nullptr);
    EXPECT_EQ(_Ghwnd, nullptr);
    EXPECT_EQ(FArray, nullptr);
    EXPECT_EQ(maxFIndex, -1);
    EXPECT_EQ(Game::gameNodeList.Count(), 0);
}

}  // namespace

TEST_F(EngineRunTest, HooksRunOnceEachInOrderAndTwoRunsInOneProcessBothEndWithZero) {
    for (int run = 0; run < 2; ++run) {
        EngineRun::calls.clear();
        EndAtPass(3);
        EngineRun::mode = [] {
            // A logic table the shut-down must free and forget.
            FArray = NewVoidPointers(4);
            maxFIndex = 3;
        };
        EXPECT_EQ(EngineRun::Run(), 0);
        const Calls expected = {"SetDataPath", "LoadGameFile", "Mode",    "BuildLogic",
                                "Qel",         "OnGameStart",  "build:1", "OnGameEnd"};
        EXPECT_EQ(EngineRun::calls, expected) << "run " << run;
        ExpectEngineTornDown();
    }
}

TEST_F(EngineRunTest, ClosingTheWindowEndsTheRunWithZeroAfterOneGameEnd) {
    EngineRun::script = [](int pass) {
        if (pass == 4) qel::SimulateWindowEvent(_Ghwnd, qel::SimulatedEvent::CloseRequested);
    };
    EXPECT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(EngineRun::Count("OnGameEnd"), 1);
    EXPECT_LT(EngineRun::pass, 20);
    ExpectEngineTornDown();
}

TEST_F(EngineRunTest, SecondInstanceIsRefused) {
    struct Case {
        bool screenSaver;
        bool lockUnusable;  // held by nobody, but its file cannot be opened
        bool messageShown;
    };
    const std::string gameFile = folder + "/game.bin";
    std::fclose(std::fopen(gameFile.c_str(), "wb"));
    const std::string runtimeFolder = std::getenv("XDG_RUNTIME_DIR");
    for (const Case& c :
         {Case{false, false, true}, Case{true, false, false}, Case{false, true, true}, Case{true, true, false}}) {
        SCOPED_TRACE(testing::Message() << "screen saver " << c.screenSaver << ", unusable " << c.lockUnusable);
        boxes.clear();
        EngineRun::calls.clear();
        EngineRun::mode = [&c, &gameFile] {
            _IsScreenSaver = c.screenSaver;
            // A game file opened by the game's loader goes with the refused start.
            _GameFile = new File(gameFile.c_str(), File::Reading);
        };
        qel::InstanceLock other;
        if (c.lockUnusable)
            setenv("XDG_RUNTIME_DIR", (folder + "/no such folder").c_str(), 1);
        else
            ASSERT_EQ(other.Acquire("QEL"), qel::InstanceLock::Result::Acquired);
        // A launcher or a script can tell that the game did not run.
        EXPECT_EQ(EngineRun::Run("s"), 1);
        setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
        const Calls expected = {"SetDataPath", "LoadGameFile", "Mode"};
        EXPECT_EQ(EngineRun::calls, expected);
        EXPECT_EQ(_GameFile, nullptr);
        ASSERT_EQ(boxes.size(), c.messageShown ? 1u : 0u) << "screen saver " << c.screenSaver;
        if (c.messageShown) {
            // A lock that could not be made at all is no second instance.
            EXPECT_EQ(boxes[0].text, c.lockUnusable
                                         ? "Could not open the file " + folder + "/no such folder/QEL.lock for writing."
                                         : "Cannot create more than one \x91Qel\x92 instance.");
            EXPECT_EQ(boxes[0].caption, "Exit error.");
        }
    }
    // Once the other holder is gone the game runs.
    EngineRun::mode = nullptr;
    _IsScreenSaver = false;
    EndAtPass(1);
    EXPECT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(EngineRun::Count("OnGameStart"), 1);
}

TEST_F(EngineRunTest, AWriteBeyondTheFileSizeLimitDoesNotEndTheGame) {
    struct sigaction before {};
    sigaction(SIGXFSZ, nullptr, &before);
    signal(SIGXFSZ, SIG_DFL);
    EndAtPass(1);
    EXPECT_EQ(EngineRun::Run(), 0);
    struct sigaction during {};
    sigaction(SIGXFSZ, nullptr, &during);
    EXPECT_EQ(during.sa_handler, SIG_IGN) << "the write fails and the save says so";
    sigaction(SIGXFSZ, &before, nullptr);
}

TEST_F(EngineRunTest, AssetRootThatDoesNotExistFallsBackToTheWorkingDirectoryOfLoadTime) {
    // The test runs in its own folder, so the directory current at start-up
    // differs from the one captured when the engine was loaded.
    ASSERT_NE(std::filesystem::current_path().string(), std::string(workingDirectory));
    const std::string existing = folder;
    struct Case {
        std::string art, data;
        std::string expectedArt, expectedData;
    };
    const std::string wd(workingDirectory);
    const Case cases[] = {
        {"/no/such/art", "/no/such/data", wd, wd},
        {"", existing, wd, existing},
        {existing, "/no/such/data", existing, wd},
    };
    for (const Case& c : cases) {
        EngineRun::setDataPath = [&c] {
            ArtAssetsPath = c.art.c_str();
            RTDPath = c.data.c_str();
        };
        EndAtPass(1);
        ASSERT_EQ(EngineRun::Run(), 0);
        EXPECT_EQ(std::string(ArtAssetsPath), c.expectedArt);
        EXPECT_EQ(std::string(RTDPath), c.expectedData);
        EXPECT_EQ(std::string(sfxFolder), c.expectedArt + "/Art Assets/Sounds/SFX/");
        EXPECT_EQ(std::string(dataFolder), c.expectedData + "/Data/");
    }
}

TEST_F(EngineRunTest, ScreenSaverCommandLetters) {
    struct Case {
        const char* commandLine;
        bool runs;
        bool windowed;  // when it runs
        const char* box;
    };
    const Case cases[] = {
        {"", false, false, nullptr},       {"/", false, false, nullptr},
        {"c", false, false, nullptr},      {"/c:123", false, false, "No settings available."},
        {"/c/123", false, false, nullptr},  // the number belongs to the next piece
        {"a 5", false, false, nullptr},     // no password to change here
        {"a", true, false, nullptr},       {"p 0", true, false, nullptr},
        {"/p 77", true, true, nullptr},    {"/p/77", true, false, nullptr},
        {"s", true, false, nullptr},
    };
    for (const Case& c : cases) {
        boxes.clear();
        EngineRun::calls.clear();
        EngineRun::mode = [] { _IsScreenSaver = true; };
        bool windowedAtStart = false;
        EngineRun::script = [&windowedAtStart](int pass) {
            windowedAtStart = _IsWindowed;
            if (pass == 1) myGame->EndGame();
        };
        EXPECT_EQ(EngineRun::Run(c.commandLine), 0) << c.commandLine;
        EXPECT_EQ(EngineRun::Count("OnGameStart"), c.runs ? 1 : 0) << c.commandLine;
        if (c.runs) {
            EXPECT_EQ(windowedAtStart, c.windowed) << c.commandLine;
        }
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u) << c.commandLine;
        if (c.box) {
            EXPECT_EQ(boxes[0].text, c.box);
            EXPECT_EQ(boxes[0].caption, "Information");
        }
    }
}

TEST_F(EngineRunTest, GameWithoutAFirstLevelEndsThroughTheFatalExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EngineRun::levels = [] { EngineRun::AddLevels({2, 3}); };
    qel::SetMessageBoxObserver({});  // the fatal message goes to standard error
    EXPECT_EXIT(EngineRun::Run(), testing::ExitedWithCode(1), "The level numbered: 0 is not found.");
}

TEST_F(EngineRunTest, WindowClientAreaIsTheDisplaySizeAndTitleQel) {
    EngineRun::mode = [] { SetMode(320, 200, 32); };
    int width = 0, height = 0;
    std::string title;
    EngineRun::script = [&](int pass) {
        if (pass != 1) return;
        width = _Ghwnd->ClientWidth();
        height = _Ghwnd->ClientHeight();
        title = _Ghwnd->Title();
        myGame->EndGame();
    };
    EXPECT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    EXPECT_EQ(title, "Qel");
}
