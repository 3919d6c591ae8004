#include "platform/ImageEncoder.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "platform/Surface.h"

// stb_image_write compiled here with its functions private: JPEG writing needs
// no image library loaded at start-up.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace qel {

namespace {
constexpr const char* encoders[] = {"image/bmp", "image/jpeg"};

// The surface's pixels as 24-bit rows of `pitch` bytes, red first or blue first.
void Write24(const Surface& surface, std::uint8_t* out, std::size_t pitch, bool blueFirst) {
    const int red = blueFirst ? 2 : 0;
    for (std::int32_t y = 0; y < surface.Height(); ++y) {
        std::uint8_t* row = out + std::size_t(y) * pitch;
        for (std::int32_t x = 0; x < surface.Width(); ++x) {
            COLORREF c = surface.RawToColor(surface.GetRawPixel(x, y));
            row[3 * x + red] = RedOf(c);
            row[3 * x + 1] = GreenOf(c);
            row[3 * x + 2 - red] = BlueOf(c);
        }
    }
}

// Writes to a temporary name beside the target and renames it into place,
// so a failed write leaves no file and never a truncated one.
template <typename Write>
bool WriteAtomically(const std::string& path, Write write) {
    std::string temporary = path + ".part" + std::to_string(::getpid());
    bool ok = write(temporary.c_str()) && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
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
    return WriteAtomically(path, [&surface](const char* file) {
        SDL_Surface* pixels =
            SDL_CreateRGBSurfaceWithFormat(0, surface.Width(), surface.Height(), 24, SDL_PIXELFORMAT_BGR24);
        if (!pixels) return false;
        SDL_LockSurface(pixels);
        Write24(surface, static_cast<std::uint8_t*>(pixels->pixels), std::size_t(pixels->pitch), true);
        SDL_UnlockSurface(pixels);
        const bool written = SDL_SaveBMP(pixels, file) == 0;
        SDL_FreeSurface(pixels);
        return written;
    });
}

bool SaveJpeg(const Surface& surface, const std::string& path, std::int32_t quality) {
    // The encoder reads 0 as its default; the lowest quality is 1.
    quality = std::max(1, std::min(100, quality));
    const std::size_t pitch = 3 * std::size_t(surface.Width());
    std::vector<std::uint8_t> rgb(pitch * std::size_t(surface.Height()));
    if (rgb.empty()) return false;
    Write24(surface, rgb.data(), pitch, false);
    return WriteAtomically(path, [&](const char* file) {
        return stbi_write_jpg(file, surface.Width(), surface.Height(), 3, rgb.data(), int(quality)) != 0;
    });
}

}  // namespace qel
