// A binary level file: its actors, then the level's settings and contents,
// read into an emptied current level as entering the level reads them.
#include "FuzzSupport.h"
#include "foundation/File.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"
#include "sprites/SpriteListInternal.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::UntilFatalExit([&] {
        fuzz::ResourceInput input("fuzz.lvl", data, size);
        pMainCharacter = nullptr;
        gNode->Empty();
        EmptyActorTable();
        File file("fuzz.lvl", File::Reading);
        gamefile::Reader reader(file);
        if (gamefile::ReadActors(reader, *gNode)) gamefile::ReadLevel(reader, *gNode);
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
