// A level's palette bitmap, read from the maps folder for the 8-bit display
// palette.
#include "FuzzSupport.h"
#include "display/DisplayInternal.h"
#include "runtime/EngineGlobalsInternal.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    mapsFolder = "";  // the scratch folder, where the input is written
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::WriteInput("palette.bmp", data, size);
    qel::PaletteEntries palette{};
    LoadBmpFile(name.c_str(), palette);
    return 0;
}
