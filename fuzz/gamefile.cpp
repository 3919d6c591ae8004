// The binary game file: display mode, logic tables and levels, each part read
// as the start-up reads it, into a new game. A corrupt part is refused with
// its message and installs nothing.
#include "FuzzSupport.h"
#include "foundation/File.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameFileLoadersInternal.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ResourceInput input("fuzz.gam", data, size);
    File file("fuzz.gam", File::Reading);
    myGame = new Game();
    fuzz::UntilFatalExit([&] {
        gamefile::Reader reader(file);
        if (gamefile::ReadMode(reader) && gamefile::ReadLogic(reader)) gamefile::ReadLevels(reader);
    });
    Game::gameNodeList.del();
    delete myGame;
    myGame = nullptr;
    return 0;
}
