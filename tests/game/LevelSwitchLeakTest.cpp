// The real program entering every level of the game in play order, round
// after round: whatever a level holds must be given back when it is left, so
// the heap in use, the open files and the threads at the end of a round are
// what they were at the end of the one before; and back in a small level after
// the largest ones, the process holds about what it held on its first visit.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "GameRunFolder.h"
#include "SanitizedBuild.h"
#include "logic/GameDeclarations.h"
#include "platform/AudioBuffer.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/QelMain.h"
#include "testing/TestHooks.h"

extern const qel::ResourceTable noltResources;

namespace {

struct Holdings {
    std::size_t heapBytes = 0;
    int files = 0;
    int threads = 0;
};

Holdings Now() {
    Holdings h;
    h.heapBytes = mallinfo2().uordblks;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) (void)entry, ++h.files;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0) h.threads = std::atoi(line.c_str() + 8);
    return h;
}

class LevelSwitchLeak : public gametest::GameRunFolder {};

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// The resident memory of a fresh run of the program (a child process) that
// enters `levels` in turn after the Menu, a few frames each, taken at the
// last one's last frame; 0 when the run failed.
double ResidentAtTheEndOf(const std::vector<std::string>& levels, bool refuseHugePages) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (refuseHugePages) prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
        constexpr int FramesPerLevel = 4;
        std::size_t next = 0;
        int frame = 0, enteredAt = 0;
        double resident = 0;
        InstallGameHooks();
        SetDataPathP = gametest::AssetsInTheRunFolder;
        qel::SetFrameHook([&] {
            ++frame;
            gametest::MixOneFrame(60);
            if (myGame == nullptr || gNode == nullptr || frame - enteredAt < FramesPerLevel || resident > 0) return;
            if (next == levels.size()) {
                resident = ResidentMiB();
                myGame->EndGame();
                return;
            }
            myGame->LevelName(levels[next++].c_str());
            enteredAt = frame;
        });
        std::string line;
        QelMain(&noltResources, nullptr, line.data(), 1);
        (void)!write(fds[1], &resident, sizeof resident);
        _exit(0);
    }
    close(fds[1]);
    double resident = 0;
    if (read(fds[0], &resident, sizeof resident) != ssize_t(sizeof resident)) resident = 0;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return resident;
}

TEST_F(LevelSwitchLeak, EveryRoundOfTheGameEndsHoldingWhatTheRoundBeforeHeld) {
    constexpr int Rounds = 4, FramesPerLevel = 4;
    std::vector<std::string> order;  // the order of play, after the Menu
    std::vector<Holdings> afterRound;
    std::size_t next = 0;
    int frame = 0, enteredAt = 0;
    InstallGameHooks();
    SetDataPathP = gametest::AssetsInTheRunFolder;
    qel::SetFrameHook([&] {
        ++frame;
        gametest::MixOneFrame(60);
        if (myGame == nullptr || gNode == nullptr || frame - enteredAt < FramesPerLevel) return;
        if (order.empty()) {
            std::map<int, std::string> byId;
            for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
                byId[static_cast<GameNode*>(n)->Id()] = static_cast<GameNode*>(n)->Name();
            for (const auto& [id, name] : byId)
                if (name != "Menu") order.push_back(name);
        }
        if (next == order.size()) {
            afterRound.push_back(Now());
            next = 0;
            if (int(afterRound.size()) == Rounds) {
                myGame->EndGame();
                return;
            }
        }
        myGame->LevelName(order[next++].c_str());
        enteredAt = frame;
    });
    std::string line;
    EXPECT_EQ(QelMain(&noltResources, nullptr, line.data(), 1), 0);
    qel::SetFrameHook({});

    ASSERT_EQ(afterRound.size(), std::size_t(Rounds));
    EXPECT_GE(order.size(), 38u);
    // The first round grows the heap to the game's largest levels; from the
    // second on, a round may only add its entries to the level history
    // (4 bytes a switch) and what rounding gives or takes.
    const std::size_t allowed = 16 * 1024;
    for (int r = 2; r < Rounds; ++r) {
        SCOPED_TRACE("round " + std::to_string(r + 1));
        EXPECT_LE(afterRound[r].heapBytes, afterRound[1].heapBytes + allowed)
            << "heap in use " << afterRound[1].heapBytes << " after the second round";
        EXPECT_EQ(afterRound[r].files, afterRound[1].files);
        EXPECT_EQ(afterRound[r].threads, afterRound[1].threads);
    }
}

}  // namespace

namespace {

// The largest levels (Level_31 and Level_32, 7,000 pixels wide) leave the heap
// full of freed blocks between the ones still in use; with huge pages refused
// their maps come from the heap too.
TEST_F(LevelSwitchLeak, BackInLevel1AfterTheLargestLevelsTheProcessHoldsAboutWhatItsFirstVisitHeld) {
    if (SanitizedBuild) GTEST_SKIP() << "the sanitizers keep freed memory for their own checks";
    const std::vector<std::string> rounds = {"Level_1",  "Level_31", "Level_32", "Level_1",  "Level_31",
                                             "Level_32", "Level_1",  "Level_31", "Level_32", "Level_1"};
    for (const bool refuseHugePages : {false, true}) {
        SCOPED_TRACE(refuseHugePages ? "huge pages refused" : "huge pages as the system gives them");
        const double once = ResidentAtTheEndOf({"Level_1"}, refuseHugePages);
        const double after = ResidentAtTheEndOf(rounds, refuseHugePages);
        ASSERT_GT(once, 0);
        ASSERT_GT(after, 0);
        EXPECT_LE(after / once, 1.2) << after << " MiB after three rounds, " << once << " MiB after one visit";
    }
}

}  // namespace
