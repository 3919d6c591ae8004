// A bitmap decoded into a surface of the display's depth with a colour key,
// as the map and actor bitmaps are loaded (the input is a program bitmap).
#include "FuzzSupport.h"
#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Image.h"
#include "platform/Resources.h"
#include "platform/Surface.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    displayDepth = 16;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    const qel::ResourceEntry entry{qel::Image::ResourceType, "fuzz.bmp", bytes.data(), std::uint32_t(size)};
    const qel::ResourceTable table{&entry, 1};
    const qel::ResourceTable* previous = qel::ProgramResources();
    qel::SetProgramResources(&table);
    qel::Surface* surface = LoadImageFile(nullptr, "fuzz.bmp", QelRGB(255, 0, 255));
    ReleaseSurface(surface);
    qel::SetProgramResources(previous);
    return 0;
}
