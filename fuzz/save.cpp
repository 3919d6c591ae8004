// A save game loaded by the game's own load path (the load request carried out
// at the start of a frame), in the game at its first level, then a few frames
// run and drawn from what it loaded.
#include "FuzzSupport.h"
#include "runtime/EngineGlobals.h"
#include "runtime/FrameStep.h"
#include "runtime/Game.h"

namespace {
constexpr int FramesAfterLoading = 3;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::WriteInput("fuzz.sav", data, size);
    fuzz::UntilFatalExit([&] {
        myGame->LoadGame(name.c_str());
        for (int frame = 0; frame <= FramesAfterLoading; ++frame) FrameStep();
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
