#include "platform/IconDecoder.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>

namespace qel {

namespace {

constexpr std::size_t DirectorySize = 6;
constexpr std::size_t EntrySize = 16;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::int32_t MostSide = 256;
constexpr std::uint16_t CursorType = 2;

std::uint32_t Le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// One picture of the file: a device-independent bitmap whose height counts
// the colour rows and then the transparency mask's rows, bottom row first.
struct Picture {
    const std::uint8_t* header = nullptr;
    std::size_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // of the image alone
    std::uint32_t bits = 0;
    std::uint32_t colours = 0;  // palette entries
    std::size_t colourStride = 0;
    std::size_t maskStride = 0;

    const std::uint8_t* Palette() const { return header + Le32(header); }
    const std::uint8_t* ColourRow(std::int32_t y) const {
        return Palette() + 4 * std::size_t(colours) + std::size_t(height - 1 - y) * colourStride;
    }
    const std::uint8_t* MaskRow(std::int32_t y) const {
        return Palette() + 4 * std::size_t(colours) + std::size_t(height) * colourStride +
               std::size_t(height - 1 - y) * maskStride;
    }
    bool Masked(const std::uint8_t* maskRow, std::int32_t x) const { return (maskRow[x / 8] >> (7 - x % 8)) & 1; }
};

bool ReadPicture(const std::uint8_t* data, std::size_t size, Picture& picture) {
    if (size < InfoHeaderSize) return false;
    const std::uint32_t headerSize = Le32(data);
    const auto width = std::int32_t(Le32(data + 4));
    const auto doubleHeight = std::int32_t(Le32(data + 8));
    const std::uint32_t bits = Le16(data + 14);
    const std::uint32_t compression = Le32(data + 16);
    const std::uint32_t used = Le32(data + 32);
    if (headerSize < InfoHeaderSize || headerSize > size || compression != 0) return false;
    if (width <= 0 || width > MostSide || doubleHeight <= 0 || doubleHeight % 2 || doubleHeight / 2 > MostSide)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const std::uint32_t colours = bits > 8 ? 0 : used ? used : 1u << bits;
    if (bits <= 8 && colours > 1u << bits) return false;
    picture = {data,
               size,
               width,
               doubleHeight / 2,
               bits,
               colours,
               (std::size_t(width) * bits + 31) / 32 * 4,
               (std::size_t(width) + 31) / 32 * 4};
    const std::size_t needed = headerSize + 4 * std::size_t(colours) +
                               std::size_t(picture.height) * (picture.colourStride + picture.maskStride);
    return needed <= size;
}

// The colour of a pixel as ARGB, fully opaque unless the picture has alpha.
std::uint32_t PixelAt(const Picture& p, const std::uint8_t* row, std::int32_t x) {
    if (p.bits == 32) {
        const std::uint8_t* q = row + 4 * std::size_t(x);
        return std::uint32_t(q[3]) << 24 | std::uint32_t(q[2]) << 16 | std::uint32_t(q[1]) << 8 | q[0];
    }
    if (p.bits == 24) {
        const std::uint8_t* q = row + 3 * std::size_t(x);
        return 0xFF000000u | std::uint32_t(q[2]) << 16 | std::uint32_t(q[1]) << 8 | q[0];
    }
    const std::size_t bit = std::size_t(x) * p.bits;
    const std::uint32_t index = (row[bit / 8] >> (8 - p.bits - bit % 8)) & ((1u << p.bits) - 1);
    if (index >= p.colours) return 0xFF000000u;
    const std::uint8_t* q = p.Palette() + 4 * std::size_t(index);
    return 0xFF000000u | std::uint32_t(q[2]) << 16 | std::uint32_t(q[1]) << 8 | q[0];
}

// A 32-bit picture carries its own alpha, unless every alpha is 0 (an older
// picture that leaves transparency to the mask).
SDL_Surface* Draw(const Picture& p) {
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, p.width, p.height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!image) return nullptr;
    bool ownAlpha = false;
    for (std::int32_t y = 0; y < p.height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(image->pixels) + y * image->pitch);
        for (std::int32_t x = 0; x < p.width; ++x) {
            out[x] = PixelAt(p, p.ColourRow(y), x);
            ownAlpha = ownAlpha || (out[x] >> 24) != 0;
        }
    }
    if (p.bits == 32 && ownAlpha) return image;
    for (std::int32_t y = 0; y < p.height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(image->pixels) + y * image->pitch);
        for (std::int32_t x = 0; x < p.width; ++x) out[x] = p.Masked(p.MaskRow(y), x) ? 0 : out[x] | 0xFF000000u;
    }
    return image;
}

}  // namespace

DecodedIcon DecodeIcon(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    DecodedIcon decoded;
    if (!bytes || size < DirectorySize || Le16(bytes) != 0) return decoded;
    const std::uint32_t type = Le16(bytes + 2);
    const std::size_t count = Le16(bytes + 4);
    if ((type != 1 && type != CursorType) || count > (size - DirectorySize) / EntrySize) return decoded;
    // The largest picture; of two the same size, the one with more colours.
    Picture best;
    const std::uint8_t* bestEntry = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = bytes + DirectorySize + i * EntrySize;
        const std::size_t length = Le32(entry + 8);
        const std::size_t offset = Le32(entry + 12);
        Picture picture;
        if (offset > size || length > size - offset || !ReadPicture(bytes + offset, length, picture)) continue;
        const auto area = [](const Picture& p) { return std::int64_t(p.width) * p.height; };
        if (!bestEntry || area(picture) > area(best) || (area(picture) == area(best) && picture.bits > best.bits)) {
            best = picture;
            bestEntry = entry;
        }
    }
    if (!bestEntry) return decoded;
    decoded.image = Draw(best);
    if (decoded.image && type == CursorType) {
        decoded.hotX = std::min(std::int32_t(Le16(bestEntry + 4)), best.width - 1);
        decoded.hotY = std::min(std::int32_t(Le16(bestEntry + 6)), best.height - 1);
    }
    return decoded;
}

}  // namespace qel
