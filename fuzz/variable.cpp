// Variables: the saved record (first byte even) or a text file read into a
// shown text (first byte odd), in a running level.
#include "FuzzSupport.h"
#include "foundation/File.h"
#include "foundation/Variable.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartSmallGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::UntilFatalExit([&] {
        if (data[0] % 2 == 0) {
            fuzz::ResourceInput input("fuzz.var", data + 1, size - 1);
            File file("fuzz.var", File::Reading);
            Variable variable;
            variable.Load(file);
        } else {
            const std::string name = fuzz::WriteInput("fuzz.txt", data + 1, size - 1);
            Variable variable;
            variable.LoadTextFile(name.c_str());
        }
    });
    fuzz::UntilFatalExit(fuzz::ResetSmallGame);
    return 0;
}
