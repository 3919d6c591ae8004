// A save game loaded by the game's own load path (the load request carried out
// at the start of a frame), in the game at its first level, then a few frames
// run and drawn from what it loaded. What loaded must also be saved again,
// load back from that save, and let the level be left for the next one.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "FuzzSupport.h"
#include "platform/MessageBox.h"
#include "runtime/EngineGlobals.h"
#include "runtime/FrameStepInternal.h"
#include "runtime/Game.h"
#include "runtime/MainLoopInternal.h"
#include "testing/TestHooks.h"

namespace {

constexpr int FramesAfterLoading = 3;
constexpr char SavedAgain[] = "again.sav";
int refusedLoads = 0;

// A save the engine wrote of a state it accepted is refused when read back:
// the player's progress would be lost.
void LoadBackWhatWasSavedAgain() {
    std::filesystem::remove(SavedAgain);
    myGame->SaveGame(SavedAgain);
    myGame->RealSaveGame();
    if (!std::filesystem::exists(SavedAgain)) return;
    refusedLoads = 0;
    myGame->LoadGame(SavedAgain);
    myGame->RealLoadGame();
    if (refusedLoads != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    // Other messages (a level's own complaints about what it was given) may
    // come with any load; only the refusal counts.
    qel::SetMessageBoxObserver([](const char* text, const char*, qel::MessageBoxIcon) {
        if (std::strcmp(text, "Error loading file.") == 0) ++refusedLoads;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::WriteInput("fuzz.sav", data, size);
    fuzz::UntilFatalExit([&] {
        myGame->LoadGame(name.c_str());
        for (int frame = 0; frame <= FramesAfterLoading; ++frame) FrameStep();
        LoadBackWhatWasSavedAgain();
        FrameStep();
        myGame->RestartLevel();
        LevelSwitch();
        FrameStep();
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
