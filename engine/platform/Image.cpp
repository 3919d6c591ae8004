#include "platform/Image.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "platform/ByteBlock.h"
#include "platform/ImageDecoderInternal.h"
#include "platform/ImageLimitsInternal.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Surface.h"

namespace qel {

// The decoded picture, kept as the decoder made it (a level map is a large
// picture: no whole copy of it is made in another format).
struct Image::Decoded {
    DecodedPixels pixels;
};

namespace {

// No picture within the image limits needs a file much larger than its pixels.
constexpr std::int64_t MaxFileBytes = MaxImagePixelBytes + (std::int64_t(1) << 20);

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
        case 2: {
            const std::uint16_t v = std::uint16_t(raw);
            std::memcpy(at, &v, 2);
            break;
        }
        case 3:
            at[0] = std::uint8_t(raw);
            at[1] = std::uint8_t(raw >> 8);
            at[2] = std::uint8_t(raw >> 16);
            break;
        default: std::memcpy(at, &raw, 4); break;
    }
}
}  // namespace

Image::Image(std::unique_ptr<Decoded> decoded)
    : width_(decoded->pixels.width), height_(decoded->pixels.height), decoded_(std::move(decoded)) {}

Image::~Image() = default;

std::unique_ptr<Image> Image::Made(std::unique_ptr<Decoded> decoded) {
    if (decoded->pixels.pixels == nullptr) return nullptr;
    return std::unique_ptr<Image>(new Image(std::move(decoded)));
}

std::unique_ptr<Image> Image::FromMemory(const void* data, std::size_t size) {
    auto decoded = std::make_unique<Decoded>();
    decoded->pixels = DecodePicture(static_cast<const std::uint8_t*>(data), size);
    return Made(std::move(decoded));
}

std::unique_ptr<Image> Image::FromFile(const std::string& path) {
    // Only a regular file is a picture (a folder or a device never ends).
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    // Read into a block of the image's own, not mapped: the image keeps its
    // pixels when the file is cut short or replaced while it lives.
    const std::uintmax_t length = std::filesystem::file_size(path, error);
    if (error || length == 0 || length > std::uintmax_t(MaxFileBytes)) return nullptr;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    // The file as it is now: it may have changed length since it was measured.
    ByteBlock bytes(static_cast<std::size_t>(length));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (got != bytes.size()) return FromMemory(bytes.data(), got);
    const std::uint8_t* data = bytes.data();
    auto decoded = std::make_unique<Decoded>();
    decoded->pixels =
        DecodePicture(data, got, {new ByteBlock(std::move(bytes)), [](void* b) { delete static_cast<ByteBlock*>(b); }});
    return Made(std::move(decoded));
}

void Image::ArgbRow(std::int32_t y, std::uint32_t* out) const {
    const DecodedPixels& p = decoded_->pixels;
    const std::uint8_t* row = p.pixels + std::ptrdiff_t(y) * p.pitch;
    const int rowBytes = p.pitch < 0 ? -p.pitch : p.pitch;
    if (SDL_ConvertPixels(width_, 1, p.format, row, rowBytes, SDL_PIXELFORMAT_ARGB8888, out, width_ * 4) != 0)
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
    if (!SDL_ISPIXELFORMAT_ALPHA(decoded_->pixels.format)) return true;
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
    const std::int64_t x0 = std::max<std::int64_t>(0, -std::int64_t(x)),
                       y0 = std::max<std::int64_t>(0, -std::int64_t(y));
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
