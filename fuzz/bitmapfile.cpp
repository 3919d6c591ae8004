// A bitmap that is no program resource, read from its file in the asset
// folder (the game's own path for map and actor art) into a surface of the
// display's depth with a colour key.
#include "FuzzSupport.h"
#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Resources.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    displayDepth = 16;
    qel::SetProgramResources(nullptr);
    currentAssetFolder = "";  // the scratch folder, where the input is written
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::WriteInput("fuzz.bmp", data, size);
    qel::Surface* surface = LoadImageFile(nullptr, name.c_str(), QelRGB(255, 0, 255));
    ReleaseSurface(surface);
    return 0;
}
