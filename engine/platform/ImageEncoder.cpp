#include "platform/ImageEncoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/Surface.h"

namespace qel {

namespace {
constexpr const char* encoders[] = {"image/bmp", "image/jpeg"};

// The surface as 24-bit pixels, blue byte first (the BMP layout).
SDL_Surface* ToBgr24(const Surface& surface) {
    SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, surface.Width(), surface.Height(), 24, SDL_PIXELFORMAT_BGR24);
    if (!out) return nullptr;
    SDL_LockSurface(out);
    for (std::int32_t y = 0; y < surface.Height(); ++y) {
        auto* row = static_cast<std::uint8_t*>(out->pixels) + std::ptrdiff_t(y) * out->pitch;
        for (std::int32_t x = 0; x < surface.Width(); ++x) {
            COLORREF c = surface.RawToColor(surface.GetRawPixel(x, y));
            row[3 * x] = BlueOf(c);
            row[3 * x + 1] = GreenOf(c);
            row[3 * x + 2] = RedOf(c);
        }
    }
    SDL_UnlockSurface(out);
    return out;
}

// Writes to a temporary name beside the target and renames it into place,
// so a failed write leaves no file and never a truncated one.
template <typename Write>
bool WriteAtomically(const Surface& surface, const std::string& path, Write write) {
    SDL_Surface* pixels = ToBgr24(surface);
    if (!pixels) return false;
    std::string temporary = path + ".part" + std::to_string(::getpid());
    bool ok = write(pixels, temporary.c_str()) == 0 && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    SDL_FreeSurface(pixels);
    return ok;
}
}  // namespace

std::int32_t ImageEncoderIndex(const char* mimeType) {
    if (!mimeType) return -1;
    for (std::int32_t i = 0; i < std::int32_t(std::size(encoders)); ++i)
        if (std::strcmp(mimeType, encoders[i]) == 0) return i;
    return -1;
}

bool SaveBmp24(const Surface& surface, const std::string& path) {
    return WriteAtomically(surface, path, [](SDL_Surface* s, const char* file) { return SDL_SaveBMP(s, file); });
}

bool SaveJpeg(const Surface& surface, const std::string& path, std::int32_t quality) {
    quality = std::max(0, std::min(100, quality));
    return WriteAtomically(surface, path,
                           [quality](SDL_Surface* s, const char* file) { return IMG_SaveJPG(s, file, int(quality)); });
}

}  // namespace qel
