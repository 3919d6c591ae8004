#include "platform/Image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Surface.h"

namespace qel {

namespace {
// The decoded picture as 0xAARRGGBB rows; false when there is none. Frees `decoded`.
bool ToArgb(SDL_Surface* decoded, std::int32_t& width, std::int32_t& height, std::vector<std::uint32_t>& pixels) {
    if (!decoded) return false;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (!argb) return false;
    width = argb->w;
    height = argb->h;
    pixels.resize(std::size_t(width) * std::size_t(height));
    SDL_LockSurface(argb);
    for (int y = 0; y < height; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(argb->pixels) + std::ptrdiff_t(y) * argb->pitch;
        std::memcpy(pixels.data() + std::size_t(y) * std::size_t(width), row, std::size_t(width) * 4);
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
}

// Decoding a picture costs its pixels, whatever the file's length: a header
// that claims more than these is refused before anything is decoded.
constexpr std::int64_t MaxSide = 16384;
constexpr std::int64_t MaxPixelBytes = std::int64_t(256) << 20;

bool SizeAllowed(std::int64_t width, std::int64_t height) {
    width = width < 0 ? -width : width;
    height = height < 0 ? -height : height;
    return width <= MaxSide && height <= MaxSide && width * height * 4 <= MaxPixelBytes;
}

std::uint32_t Little(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

std::uint32_t Big(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

// The picture formats a game's bitmaps come in (those the Windows image
// loader read). The decoder knows more, some of which allocate whatever
// their header claims or leak: those are refused.
bool KnownFormat(const std::uint8_t* p, std::size_t n) {
    SDL_RWops* rw = SDL_RWFromConstMem(p, int(n));
    if (!rw) return false;
    const bool known = IMG_isBMP(rw) || IMG_isGIF(rw) || IMG_isJPG(rw) || IMG_isPNG(rw) || IMG_isTIF(rw) ||
                       IMG_isICO(rw) || IMG_isCUR(rw);
    SDL_RWclose(rw);
    return known;
}

// The size a BMP, PNG, GIF or JPEG header gives, checked; a format of no
// game bitmap is refused, and a header cut short is left to the decoder.
bool HeaderSizeAllowed(const std::uint8_t* p, std::size_t n) {
    if (!KnownFormat(p, n)) return false;
    if (n >= 26 && p[0] == 'B' && p[1] == 'M') {
        if (Little(p + 14, 4) == 12) return SizeAllowed(Little(p + 18, 2), Little(p + 20, 2));
        return SizeAllowed(std::int32_t(Little(p + 18, 4)), std::int32_t(Little(p + 22, 4)));
    }
    if (n >= 24 && std::memcmp(p, "\x89PNG", 4) == 0) return SizeAllowed(Big(p + 16, 4), Big(p + 20, 4));
    if (n >= 10 && std::memcmp(p, "GIF", 3) == 0) return SizeAllowed(Little(p + 6, 2), Little(p + 8, 2));
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xD8) {
        // Segments up to the first start-of-frame, which holds the size.
        for (std::size_t at = 2; at + 9 <= n && p[at] == 0xFF;) {
            const std::uint8_t marker = p[at + 1];
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
                return SizeAllowed(Big(p + at + 7, 2), Big(p + at + 5, 2));
            at += 2 + Big(p + at + 2, 2);
        }
    }
    return true;
}

std::uint8_t Blend(std::uint32_t over, std::uint32_t under, std::uint32_t alpha) {
    return std::uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}
}  // namespace

Image::Image(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {}

Image::~Image() = default;

std::unique_ptr<Image> Image::FromMemory(const void* data, std::size_t size) {
    if (!data || size == 0 || size > 0x7FFFFFFF) return nullptr;
    if (!HeaderSizeAllowed(static_cast<const std::uint8_t*>(data), size)) return nullptr;
    std::int32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!ToArgb(IMG_Load_RW(SDL_RWFromConstMem(data, int(size)), 1), width, height, pixels)) return nullptr;
    return std::unique_ptr<Image>(new Image(width, height, std::move(pixels)));
}

std::unique_ptr<Image> Image::FromFile(const std::string& path) {
    // Only a regular file is a picture (a folder or a device never ends).
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    std::uint8_t head[65536];
    std::size_t got = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    if (!HeaderSizeAllowed(head, got)) return nullptr;
    std::int32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!ToArgb(IMG_Load(path.c_str()), width, height, pixels)) return nullptr;
    return std::unique_ptr<Image>(new Image(width, height, std::move(pixels)));
}

std::unique_ptr<Image> Image::Load(const char* name, const std::string& folder) {
    if (!name) return nullptr;
    if (const ResourceEntry* entry = FindProgramResource(ResourceType, name))
        if (auto image = FromMemory(entry->data, entry->size)) return image;
    return FromFile(NativePath((folder + name).c_str()));
}

void Image::DrawInto(Surface& target, std::int32_t x, std::int32_t y, COLORREF key) const {
    const std::int64_t x0 = std::max<std::int64_t>(0, -std::int64_t(x)), y0 = std::max<std::int64_t>(0, -std::int64_t(y));
    const std::int64_t x1 = std::min<std::int64_t>(width_, std::int64_t(target.Width()) - x);
    const std::int64_t y1 = std::min<std::int64_t>(height_, std::int64_t(target.Height()) - y);
    // The key compares against opaque pixels of exactly that colour.
    const std::uint32_t keyArgb =
        key == InvalidColor ? 0 : 0xFF000000u | std::uint32_t(RedOf(key)) << 16 | std::uint32_t(GreenOf(key)) << 8 | BlueOf(key);
    // At 8 bits each colour needs a palette search: remember the answers.
    std::unordered_map<std::uint32_t, std::uint32_t> mapped;
    auto map = [&](COLORREF c) {
        if (target.BitsPerPixel() != 8) return target.MapColor(c);
        auto [it, fresh] = mapped.try_emplace(c, 0);
        if (fresh) it->second = target.MapColor(c);
        return it->second;
    };
    for (std::int64_t iy = y0; iy < y1; ++iy) {
        for (std::int64_t ix = x0; ix < x1; ++ix) {
            std::uint32_t p = pixels_[std::size_t(iy) * std::size_t(width_) + std::size_t(ix)];
            std::uint32_t alpha = p >> 24;
            if ((key != InvalidColor && p == keyArgb) || alpha == 0) continue;
            std::int32_t tx = std::int32_t(x + ix), ty = std::int32_t(y + iy);
            COLORREF colour = QelRGB(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p));
            if (alpha != 255) {
                COLORREF under = target.RawToColor(target.GetRawPixel(tx, ty));
                colour = QelRGB(Blend(RedOf(colour), RedOf(under), alpha), Blend(GreenOf(colour), GreenOf(under), alpha),
                                Blend(BlueOf(colour), BlueOf(under), alpha));
            }
            target.SetRawPixel(tx, ty, map(colour));
        }
    }
}

}  // namespace qel
