#include "platform/Image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "platform/GifDecoderInternal.h"
#include "platform/ImageLimitsInternal.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Surface.h"

namespace qel {

// The decoded picture, kept in the format it was stored in (a level map is a
// large picture: no whole copy of it is made in another format). Formats that
// rows cannot be converted from on their own (indexed, keyed) are turned into
// 0xAARRGGBB once.
struct Image::Decoded {
    SDL_Surface* surface = nullptr;
    ~Decoded() { SDL_FreeSurface(surface); }
};

namespace {

// Takes `decoded`; null when there is none, it cannot be converted, or the
// decoder made it larger than any header checked before could tell.
SDL_Surface* RowConvertible(SDL_Surface* decoded) {
    if (!decoded) return nullptr;
    if (!ImageSizeAllowed(decoded->w, decoded->h)) {
        SDL_FreeSurface(decoded);
        return nullptr;
    }
    const Uint32 format = decoded->format->format;
    if (!SDL_ISPIXELFORMAT_INDEXED(format) && SDL_BYTESPERPIXEL(format) > 0 && !SDL_HasColorKey(decoded) &&
        !SDL_HasSurfaceRLE(decoded))
        return decoded;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    return argb;
}

// No picture within the image limits needs a file much larger than its pixels.
constexpr std::int64_t MaxFileBytes = MaxImagePixelBytes + (std::int64_t(1) << 20);

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

// A GIF's screen and every image in it give sizes: a file with any of them
// beyond the limits is hostile and refused whole, even where only its first
// image would be decoded. Stray bytes between blocks are skipped here; the
// decoder refuses them before the first image.
bool GifSizesAllowed(const std::uint8_t* p, std::size_t n) {
    if (n < 13 || !ImageSizeAllowed(Little(p + 6, 2), Little(p + 8, 2))) return false;
    auto skipSubBlocks = [&](std::size_t at) {
        while (at < n && p[at] != 0) at += std::size_t(p[at]) + 1;
        return at + 1;
    };
    std::size_t at = 13;
    if (p[10] & 0x80) at += 3u << ((p[10] & 7) + 1);  // global colour table
    while (at < n) {
        const std::uint8_t block = p[at++];
        if (block == ';') return true;
        if (block == '!') {
            at = skipSubBlocks(at + 1);  // past the extension's label
        } else if (block == ',') {
            if (at + 9 > n) return true;  // cut short: the decoder stops here too
            const std::int64_t left = Little(p + at, 2), top = Little(p + at + 2, 2);
            const std::int64_t width = Little(p + at + 4, 2), height = Little(p + at + 6, 2);
            if (!ImageSizeAllowed(left + width, top + height)) return false;
            const std::uint8_t packed = p[at + 8];
            at += 9;
            if (packed & 0x80) at += 3u << ((packed & 7) + 1);  // local colour table
            at = skipSubBlocks(at + 1);                          // past the code size
        }
    }
    return true;
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
        if (Little(p + 14, 4) == 12) return ImageSizeAllowed(Little(p + 18, 2), Little(p + 20, 2));
        return ImageSizeAllowed(std::int32_t(Little(p + 18, 4)), std::int32_t(Little(p + 22, 4)));
    }
    if (n >= 24 && std::memcmp(p, "\x89PNG", 4) == 0) return ImageSizeAllowed(Big(p + 16, 4), Big(p + 20, 4));
    if (n >= 10 && std::memcmp(p, "GIF", 3) == 0) return GifSizesAllowed(p, n);
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xD8) {
        // Segments up to the first start-of-frame, which holds the size.
        for (std::size_t at = 2; at + 9 <= n && p[at] == 0xFF;) {
            const std::uint8_t marker = p[at + 1];
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
                return ImageSizeAllowed(Big(p + at + 7, 2), Big(p + at + 5, 2));
            at += 2 + Big(p + at + 2, 2);
        }
    }
    return true;
}

std::uint8_t Blend(std::uint32_t over, std::uint32_t under, std::uint32_t alpha) {
    return std::uint8_t((over * alpha + under * (255 - alpha) + 127) / 255);
}

// The raw value a surface stores for an opaque 0xAARRGGBB pixel: the formulas
// of Surface::MapColor without a call per pixel, and at 8 bits the palette
// search remembered per colour (a level map has few colours).
class OpaqueToRaw {
public:
    explicit OpaqueToRaw(const Surface& target) : target_(target), bits_(target.BitsPerPixel()) {}

    std::uint32_t operator()(std::uint32_t argb) {
        switch (bits_) {
            case 16: return ((argb >> 19) & 0x1F) << 11 | ((argb >> 10) & 0x3F) << 5 | ((argb >> 3) & 0x1F);
            case 8: return Colour(QelRGB(std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb)));
            default: return argb & 0xFFFFFF;
        }
    }

    std::uint32_t Colour(COLORREF colour) {
        if (bits_ != 8) return target_.MapColor(colour);
        if (colour == lastColour_) return lastRaw_;
        auto [it, fresh] = palette_.try_emplace(colour, 0);
        if (fresh) it->second = target_.MapColor(colour);
        lastColour_ = colour;
        lastRaw_ = it->second;
        return lastRaw_;
    }

private:
    const Surface& target_;
    const std::int32_t bits_;
    std::unordered_map<std::uint32_t, std::uint32_t> palette_;
    COLORREF lastColour_ = InvalidColor;
    std::uint32_t lastRaw_ = 0;
};

void StoreRaw(std::uint8_t* at, int bytes, std::uint32_t raw) {
    switch (bytes) {
        case 1: *at = std::uint8_t(raw); break;
        case 2: { const std::uint16_t v = std::uint16_t(raw); std::memcpy(at, &v, 2); break; }
        case 3: at[0] = std::uint8_t(raw); at[1] = std::uint8_t(raw >> 8); at[2] = std::uint8_t(raw >> 16); break;
        default: std::memcpy(at, &raw, 4); break;
    }
}
}  // namespace

Image::Image(std::unique_ptr<Decoded> decoded)
    : width_(decoded->surface->w), height_(decoded->surface->h), decoded_(std::move(decoded)) {}

Image::~Image() = default;

std::unique_ptr<Image> Image::Made(std::unique_ptr<Decoded> decoded) {
    if (!decoded->surface) return nullptr;
    return std::unique_ptr<Image>(new Image(std::move(decoded)));
}

std::unique_ptr<Image> Image::FromMemory(const void* data, std::size_t size) {
    if (!data || size == 0 || size > 0x7FFFFFFF) return nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (!HeaderSizeAllowed(bytes, size)) return nullptr;
    auto decoded = std::make_unique<Decoded>();
    // GIFs are decoded by our own reader: SDL_image's frees wild pointers on
    // hostile files, which no check from outside can rule out.
    decoded->surface = RowConvertible(IsGif(bytes, size) ? DecodeGif(bytes, size)
                                                         : IMG_Load_RW(SDL_RWFromConstMem(data, int(size)), 1));
    return Made(std::move(decoded));
}

// The whole file, decoded from memory after the checks of its bytes.
static std::unique_ptr<Image> FromWholeFile(const std::string& path) {
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(path, error);
    if (error || length > std::uintmax_t(MaxFileBytes)) return nullptr;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return Image::FromMemory(bytes.data(), got);
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
    // A GIF's sizes are spread through the file, and it is decoded from memory.
    if (IsGif(head, got)) return FromWholeFile(path);
    if (!HeaderSizeAllowed(head, got)) return nullptr;
    auto decoded = std::make_unique<Decoded>();
    decoded->surface = RowConvertible(IMG_Load(path.c_str()));
    return Made(std::move(decoded));
}


void Image::ArgbRow(std::int32_t y, std::uint32_t* out) const {
    const SDL_Surface* surface = decoded_->surface;
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + std::ptrdiff_t(y) * surface->pitch;
    if (SDL_ConvertPixels(width_, 1, surface->format->format, row, surface->pitch, SDL_PIXELFORMAT_ARGB8888, out,
                          width_ * 4) != 0)
        std::fill(out, out + width_, 0u);  // no conversion: nothing is drawn from this row
}

std::uint32_t Image::Pixel(std::int32_t x, std::int32_t y) const {
    std::vector<std::uint32_t> row(std::size_t(width_), 0);
    ArgbRow(y, row.data());
    return row[std::size_t(x)];
}

std::unique_ptr<Image> Image::Load(const char* name, const std::string& folder) {
    if (!name) return nullptr;
    if (const ResourceEntry* entry = FindProgramResource(ResourceType, name))
        if (auto image = FromMemory(entry->data, entry->size)) return image;
    return FromFile(NativePath((folder + name).c_str()));
}

bool Image::Opaque() const {
    // Without an alpha channel (and keyed formats were converted) every pixel is.
    if (!SDL_ISPIXELFORMAT_ALPHA(decoded_->surface->format->format)) return true;
    std::vector<std::uint32_t> row(std::size_t(width_), 0);
    for (std::int32_t y = 0; y < height_; ++y) {
        ArgbRow(y, row.data());
        if (!std::all_of(row.begin(), row.end(), [](std::uint32_t p) { return p >> 24 == 0xFF; })) return false;
    }
    return true;
}

namespace {

// One row of image pixels drawn at (x, ty) of the target, from column x0 up
// to x1. On a 32-bit target an opaque pixel is its own raw value, which
// keeps the common loop free of per-pixel format switches.
template <bool Xrgb32>
void DrawRow(Surface& target, const std::uint32_t* source, std::int64_t x0, std::int64_t x1, std::int32_t x,
             std::int32_t ty, bool keyed, std::uint32_t keyArgb, OpaqueToRaw& toRaw) {
    const int bytes = target.BytesPerPixel();
    std::uint8_t* row = target.Row(ty);
    for (std::int64_t ix = x0; ix < x1; ++ix) {
        const std::uint32_t p = source[ix];
        const std::uint32_t alpha = p >> 24;
        if ((keyed && p == keyArgb) || alpha == 0) continue;
        const std::int32_t tx = std::int32_t(x + ix);
        if (alpha == 255) {
            if constexpr (Xrgb32) {
                const std::uint32_t raw = p & 0xFFFFFF;
                std::memcpy(row + std::size_t(tx) * 4, &raw, 4);
            } else {
                StoreRaw(row + std::size_t(tx) * std::size_t(bytes), bytes, toRaw(p));
            }
            continue;
        }
        const COLORREF under = target.RawToColor(target.GetRawPixel(tx, ty));
        const COLORREF colour =
            QelRGB(Blend((p >> 16) & 0xFF, RedOf(under), alpha), Blend((p >> 8) & 0xFF, GreenOf(under), alpha),
                   Blend(p & 0xFF, BlueOf(under), alpha));
        target.SetRawPixel(tx, ty, toRaw.Colour(colour));
    }
}

}  // namespace

void Image::DrawInto(Surface& target, std::int32_t x, std::int32_t y, COLORREF key) const {
    const std::int64_t x0 = std::max<std::int64_t>(0, -std::int64_t(x)), y0 = std::max<std::int64_t>(0, -std::int64_t(y));
    const std::int64_t x1 = std::min<std::int64_t>(width_, std::int64_t(target.Width()) - x);
    const std::int64_t y1 = std::min<std::int64_t>(height_, std::int64_t(target.Height()) - y);
    if (x0 >= x1 || y0 >= y1) return;
    // The key compares against opaque pixels of exactly that colour.
    const bool keyed = key != InvalidColor;
    const std::uint32_t keyArgb =
        keyed ? 0xFF000000u | std::uint32_t(RedOf(key)) << 16 | std::uint32_t(GreenOf(key)) << 8 | BlueOf(key) : 0;
    OpaqueToRaw toRaw(target);
    const bool xrgb32 = target.BitsPerPixel() == 32;
    std::vector<std::uint32_t> argb(std::size_t(width_), 0);
    for (std::int64_t iy = y0; iy < y1; ++iy) {
        ArgbRow(std::int32_t(iy), argb.data());
        const std::int32_t ty = std::int32_t(y + iy);
        if (xrgb32)
            DrawRow<true>(target, argb.data(), x0, x1, x, ty, keyed, keyArgb, toRaw);
        else
            DrawRow<false>(target, argb.data(), x0, x1, x, ty, keyed, keyArgb, toRaw);
    }
}

}  // namespace qel
