// A game program for whole-engine runs inside the test process: its hooks
// record what the engine calls, three levels (Ids 1 to 3) record their visits,
// and a per-pass script drives the run headless on the virtual clock.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include <gtest/gtest.h>

class GameNode;

struct EngineRun {
    // Everything the hooks and level functions were called for, in order.
    static std::vector<std::string> calls;
    // Called once per main-loop pass with the pass number (from 1).
    static std::function<void(int pass)> script;
    // What the hooks do beyond recording (each may be replaced by a test).
    static std::function<void()> setDataPath;
    static std::function<void()> mode;
    static std::function<void()> levels;
    static std::function<void(GameNode*)> buildLevel;
    static int pass;

    static int Count(const std::string& call);
    // Adds levels with these Ids; each records "build:<id>", "exit:<id>", "change:<id>".
    static void AddLevels(std::initializer_list<int> ids);
    // QelMain with the recording hooks; the run ends at pass 200 at the latest.
    static int Run(const char* commandLine = "");
};

// Each test runs in its own folder with its own single-instance lock, on the
// virtual clock, with message boxes recorded instead of shown.
class EngineRunTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    struct Box {
        std::string text;
        std::string caption;
    };
    std::vector<Box> boxes;
    std::string folder;
    std::string previousFolder;
};
