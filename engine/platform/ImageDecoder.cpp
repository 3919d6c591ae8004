#include "platform/ImageDecoderInternal.h"

#include <SDL.h>

#include <climits>
#include <cstring>
#include <utility>

#include "platform/ByteBlock.h"
#include "platform/ImageLimitsInternal.h"

// stb_image compiled here with only the game's formats, its functions private
// to this file: it measures every picture and decodes JPEGs. Its blocks come
// from SDL's allocator.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC SDL_malloc
#define STBI_REALLOC SDL_realloc
#define STBI_FREE SDL_free
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace qel {

static_assert(STBI_MAX_DIMENSIONS == MaxImageSide);

namespace {

// The byte at `at`, 0 past the end (as the decoder reads it).
std::uint8_t ByteAt(const std::uint8_t* data, std::size_t size, std::size_t at) { return at < size ? data[at] : 0; }

// Whether each Huffman table of a JPEG holds at most the 256 symbols its
// store has room for: this stb_image (2.27) builds a table before checking
// that and writes past it. Segments are found as the decoder finds them,
// wherever they are (tables may come between scans): a marker is 0xFF and a
// byte other than 0 or fill, and a table segment is read table by table while
// its length lasts, its counts read even past the segment's end.
bool HuffmanTablesFit(const std::uint8_t* data, std::size_t size) {
    // The image's start marker, after any fill; else no JPEG.
    std::size_t at = 0;
    while (at < size && data[at] == 0xFF) ++at;
    if (at == 0 || at >= size || data[at] != 0xD8) return true;
    for (++at; at + 1 < size;) {
        const std::uint8_t marker = data[at + 1];
        if (data[at] != 0xFF || marker == 0xFF) {
            ++at;  // scan data, a stray byte or fill before a marker
            continue;
        }
        // Stuffed zeros, restarts, image start and end and TEM have no length.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
            at += 2;
            continue;
        }
        const long length = long(ByteAt(data, size, at + 2)) << 8 | ByteAt(data, size, at + 3);
        if (marker == 0xC4) {
            std::size_t table = at + 4;
            for (long left = length - 2; left > 0;) {
                long symbols = 0;
                for (std::size_t i = 1; i <= 16; ++i) symbols += ByteAt(data, size, table + i);
                if (symbols > 256) return false;
                table += 17 + std::size_t(symbols);
                left -= 17 + symbols;
            }
        }
        at += 2 + std::size_t(length);
    }
    return true;
}

}  // namespace

namespace {

// A BMP read by SDL's reader, which takes a level map's rows whole (stb_image
// reads them a byte at a time, 30 times slower) and reads colour tables
// right. Pictures stored with a colour table become 0xAARRGGBB, so that
// every row converts alone.
DecodedPixels DecodeBmp(const std::uint8_t* data, std::size_t size) {
    DecodedPixels decoded;
    SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, int(size)), 1);
    if (surface == nullptr) return decoded;
    const Uint32 format = surface->format->format;
    if (SDL_ISPIXELFORMAT_INDEXED(format) || SDL_BYTESPERPIXEL(format) == 0 || SDL_HasColorKey(surface)) {
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(surface);
        if (argb == nullptr) return decoded;
        surface = argb;
    }
    decoded.width = surface->w;
    decoded.height = surface->h;
    decoded.pitch = surface->pitch;
    decoded.format = surface->format->format;
    decoded.pixels = static_cast<const std::uint8_t*>(surface->pixels);
    decoded.owner = {surface, [](void* s) { SDL_FreeSurface(static_cast<SDL_Surface*>(s)); }};
    return decoded;
}

std::uint32_t LittleEndian32(const std::uint8_t* at) {
    Uint32 v;
    std::memcpy(&v, at, 4);
    return SDL_SwapLE32(v);
}

// The rows of a BMP with an information header (or a later one), 24 bits a
// pixel, no compression and every row inside the file, where they lie: each
// row is the picture's BGR bytes, padded to 4 bytes, bottom row first unless
// the height is negative. Null pixels for any other BMP.
DecodedPixels PlainBmpRows(const std::uint8_t* data, std::size_t size) {
    DecodedPixels rows;
    constexpr std::size_t FileHeader = 14, InfoHeader = 40;
    if (size < FileHeader + InfoHeader || data[0] != 'B' || data[1] != 'M') return rows;
    const std::uint32_t offset = LittleEndian32(data + 10);
    const std::uint32_t header = LittleEndian32(data + 14);
    const std::int32_t width = std::int32_t(LittleEndian32(data + 18));
    const std::int32_t height = std::int32_t(LittleEndian32(data + 22));
    const std::uint32_t planesAndBits = LittleEndian32(data + 26);
    const std::uint32_t compression = LittleEndian32(data + 30);
    if (header < InfoHeader || header > size || offset < FileHeader + header) return rows;
    if (planesAndBits != (1u | 24u << 16) || compression != 0) return rows;
    if (width <= 0 || height == 0 || height == INT_MIN || !ImageSizeAllowed(width, height)) return rows;
    const std::int64_t stride = (std::int64_t(width) * 3 + 3) & ~std::int64_t(3);
    const std::int64_t count = height < 0 ? -std::int64_t(height) : height;
    if (std::int64_t(offset) + stride * count > std::int64_t(size)) return rows;
    rows.width = width;
    rows.height = std::int32_t(count);
    rows.format = SDL_PIXELFORMAT_BGR24;
    const bool bottomUp = height > 0;
    rows.pitch = std::int32_t(bottomUp ? -stride : stride);
    rows.pixels = data + offset + (bottomUp ? stride * (count - 1) : 0);
    return rows;
}

DecodedPixels DecodeJpeg(const std::uint8_t* data, std::size_t size, int channels) {
    DecodedPixels decoded;
    // Grey pictures are widened to colour, so every row converts alike.
    const int wanted = channels <= 2 ? channels + 2 : channels;
    int width = 0, height = 0, stored = 0;
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &width, &height, &stored, wanted);
    if (pixels == nullptr) return decoded;
    decoded.width = width;
    decoded.height = height;
    decoded.pitch = width * wanted;
    decoded.format = wanted == 4 ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24;
    decoded.pixels = pixels;
    decoded.owner = {pixels, stbi_image_free};
    return decoded;
}

}  // namespace

DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > std::size_t(INT_MAX)) return {};
    // Before the size is asked: a table is built while the header is read.
    if (!HuffmanTablesFit(data, size)) return {};
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) return {};
    if (width <= 0 || height == 0 || !ImageSizeAllowed(width, height)) return {};
    const bool bmp = data[0] == 'B';  // the only other format stb_image knows here is JPEG
    DecodedPixels decoded = bmp ? DecodeBmp(data, size) : DecodeJpeg(data, size, channels);
    // The picture is what the size check saw, or none.
    if (decoded.width != width || decoded.height != (height < 0 ? -height : height)) return {};
    return decoded;
}

DecodedPixels DecodePicture(ByteBlock&& bytes) {
    DecodedPixels rows = PlainBmpRows(bytes.data(), bytes.size());
    if (rows.pixels == nullptr) return DecodePicture(bytes.data(), bytes.size());
    rows.owner = {new ByteBlock(std::move(bytes)), [](void* b) { delete static_cast<ByteBlock*>(b); }};
    return rows;
}

}  // namespace qel
