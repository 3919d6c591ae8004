// A replay pair: the recorded input (".rep") and the state it starts from
// (".sar"), loaded the way a replay request is carried out. The input holds
// both files, the input first, split at the separator.
#include "FuzzSupport.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parts = fuzz::SplitInput(data, size, "QEL_PAIR");
    parts.resize(2);
    fuzz::WriteInput("fuzz.rep", parts[0].data(), parts[0].size());
    fuzz::WriteInput("fuzz.sar", parts[1].data(), parts[1].size());
    fuzz::UntilFatalExit([] {
        myGame->LoadReplay("fuzz.rep");
        myGame->RealLoadGame();
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
