// What a run of the real program needs around it: a scratch folder that is
// the working directory and the engine's, with the game's built assets linked
// in, a virtual clock, and sound mixed by hand one frame at a time.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "foundation/String.h"
#include "logic/GameDeclarations.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "runtime/EngineGlobalsInternal.h"
#include "testing/TestHooks.h"

namespace gametest {

class GameRunFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previousFolder = std::filesystem::current_path();
        char pattern[] = "/tmp/nolt-run-XXXXXX";
        folder = mkdtemp(pattern);
        std::filesystem::create_directory_symlink(std::filesystem::path(QEL_BINARY_DIR) / "game" / "Art Assets",
                                                  folder / "Art Assets");
        std::filesystem::current_path(folder);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        // The recording's state files go to the engine's working directory:
        // this run's own, not the folder other test programs share.
        savedWorkingDirectory = workingDirectory;
        workingDirectory = folder.string().c_str();
        qel::UseVirtualClock(1000, 1);
        qel::UseManualMixing(true);
    }
    void TearDown() override {
        qel::UseManualMixing(false);
        qel::UseRealClock();
        workingDirectory = savedWorkingDirectory;
        std::filesystem::current_path(previousFolder);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder, previousFolder;
    String savedWorkingDirectory;
};

// The program's own paths, with its assets found from the run's folder (the
// engine's working directory is wherever the test started).
inline void AssetsInTheRunFolder() {
    SetDataPath();
    ArtAssetsPath = std::filesystem::current_path().string().c_str();
}

// The music advances with the game's own time, not the wall clock's.
inline void MixOneFrame(int framesPerSecond) {
    if (!qel::IsAudioDeviceOpen()) return;
    std::vector<std::int16_t> out(std::size_t(qel::AudioDeviceRate() / framesPerSecond) *
                                  std::size_t(qel::AudioDeviceChannels()));
    qel::RenderAudio(out.data(), out.size() / std::size_t(qel::AudioDeviceChannels()));
}

}  // namespace gametest
