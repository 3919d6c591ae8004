// The object graph: one object reference and whatever it brings with it, read
// by File::Read(node*&) inside a running level of the game.
#include "FuzzSupport.h"
#include "foundation/File.h"
#include "foundation/Node.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::UntilFatalExit([&] {
        fuzz::ResourceInput input("fuzz.obj", data, size);
        File file("fuzz.obj", File::Reading);
        node* read = nullptr;
        file.Read(read);
        // The reader takes what it read; the file frees everything else.
        if (file.Claim(read)) delete read;
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
