#include "platform/ImageDecoderInternal.h"

#include <SDL.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jpeglib.h>

#include "platform/GifDecoderInternal.h"
#include "platform/ImageLimitsInternal.h"
#include "platform/PngDecoderInternal.h"

// stb_image compiled here with only BMP and JPEG, its functions private to
// this file: it measures those pictures. Its blocks come from SDL's
// allocator.
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

// A JPEG is decoded by libjpeg-turbo, which keeps to its data on any input
// (stb_image's decoder shifts past 32 bits on some corrupt ones). Its errors
// jump back to the decode; so that the jump skips no destructor, the decode
// holds only plain objects.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFails(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

// A corrupt stream is decoded as far as it goes, silently.
void JpegWarns(j_common_ptr, int) {}

// A progressive picture may hold any number of scans, each a pass over the
// whole picture: beyond what any encoder writes, it is refused.
constexpr long MaxJpegScans = 500;

void LimitJpegScans(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > MaxJpegScans) JpegFails(info);
}

// The decoder's own working memory (a progressive picture's coefficients).
constexpr long MaxJpegWorkBytes = long(MaxImagePixelBytes) * 2;

// The picture's RGB rows in one SDL block, or null; its size in `width` and `height`.
std::uint8_t* ReadJpegRows(const std::uint8_t* data, std::size_t size, int& width, int& height) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    std::uint8_t* volatile rows = nullptr;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegFails;
    errors.manager.emit_message = JpegWarns;
    progress.progress_monitor = LimitJpegScans;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        SDL_free(rows);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    info.mem->max_memory_to_use = MaxJpegWorkBytes;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t pitch = std::size_t(info.output_width) * 3;
    rows = static_cast<std::uint8_t*>(SDL_malloc(pitch * info.output_height));
    if (rows == nullptr) JpegFails(reinterpret_cast<j_common_ptr>(&info));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows + pitch * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    width = int(info.output_width);
    height = int(info.output_height);
    jpeg_destroy_decompress(&info);
    return rows;
}

DecodedPixels DecodeJpeg(const std::uint8_t* data, std::size_t size) {
    int width = 0, height = 0;
    std::uint8_t* rows = ReadJpegRows(data, size, width, height);
    if (rows == nullptr) return {};
    return RowsFromSdlAllocator(rows, width, height, width * 3, SDL_PIXELFORMAT_RGB24);
}

}  // namespace

DecodedPixels RowsFromSdlAllocator(std::uint8_t* rows, std::int32_t width, std::int32_t height, std::int32_t pitch,
                                   std::uint32_t format) {
    DecodedPixels decoded;
    decoded.width = width;
    decoded.height = height;
    decoded.pitch = pitch;
    decoded.format = format;
    decoded.pixels = rows;
    decoded.owner = {rows, SDL_free};
    return decoded;
}

DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > std::size_t(INT_MAX)) return {};
    // Each measures its picture against the limits before it makes a pixel.
    if (IsPng(data, size)) return DecodePng(data, size);
    if (IsGif(data, size)) return DecodeGif(data, size);
    // Before the size is asked: a table is built while the header is read.
    if (!HuffmanTablesFit(data, size)) return {};
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) return {};
    if (width <= 0 || height == 0 || !ImageSizeAllowed(width, height)) return {};
    const bool bmp = data[0] == 'B';  // the only other format stb_image knows here is JPEG
    DecodedPixels decoded = bmp ? DecodeBmp(data, size) : DecodeJpeg(data, size);
    // The picture is what the size check saw, or none.
    if (decoded.width != width || decoded.height != (height < 0 ? -height : height)) return {};
    return decoded;
}

DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size, PixelOwner bytes) {
    DecodedPixels rows = PlainBmpRows(data, size);
    if (rows.pixels == nullptr) return DecodePicture(data, size);
    rows.owner = std::move(bytes);
    return rows;
}

}  // namespace qel
