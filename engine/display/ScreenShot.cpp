#include "display/ScreenShot.h"

#include <string>

#include "display/DisplayInternal.h"
#include "platform/ImageEncoder.h"
#include "platform/Paths.h"

namespace {

constexpr int kJpegQuality = 100;

// The target path, or empty when there is nothing to write or no encoder.
std::string TargetPath(const char* name, const char* mimeType, const char* extension) {
    if (name == nullptr || pBackBuffer == nullptr || qel::ImageEncoderIndex(mimeType) < 0) return {};
    return qel::NativePath((std::string(name) + extension).c_str());
}

}  // namespace

void ScreenShotBMP(const char* name) {
    const std::string path = TargetPath(name, "image/bmp", ".bmp");
    if (!path.empty()) qel::SaveBmp24(*pBackBuffer, path);
}

void ScreenShotJPG(const char* name) {
    const std::string path = TargetPath(name, "image/jpeg", ".jpg");
    if (!path.empty()) qel::SaveJpeg(*pBackBuffer, path, kJpegQuality);
}
