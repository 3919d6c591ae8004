#include "platform/PngDecoderInternal.h"

#include <SDL.h>
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/ImageLimitsInternal.h"

namespace qel {

namespace {

// The bytes libpng reads: asking for more than is left is an error, so a file
// cut short is refused instead of read on.
struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

void ReadPngBytes(png_structp png, png_bytep out, std::size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->at) png_error(png, "cut short");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

// Errors jump back to the decode, silently; warnings (a damaged ancillary
// chunk, surplus data) change nothing.
[[noreturn]] void PngFails(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarns(png_structp, png_const_charp) {}

// The decoder's blocks come from SDL's allocator, as every other decoder's.
png_voidp PngAllocate(png_structp, png_alloc_size_t bytes) { return SDL_malloc(bytes); }
void PngFree(png_structp, png_voidp block) { SDL_free(block); }

// Chunks that change nothing of what is drawn here are skipped unread: text
// (compressed or not), colour spaces and profiles, and the rest of the
// ancillary chunks but transparency. A hostile file's text or profile then
// costs no decompression and no memory.
constexpr png_byte SkippedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
constexpr int SkippedChunkCount = int(sizeof SkippedChunks / 5);

// Every colour type and depth becomes 8-bit B, G, R, A: palettes and grey
// expanded, the transparency chunk made alpha, 16 bits scaled to 8, opaque
// pictures given alpha 255, interlaced passes put together.
int SetBgraOutput(png_structp png) {
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    return png_set_interlace_handling(png);
}

// The picture's rows in one SDL block, or null; its size in `width` and `height`.
std::uint8_t* ReadPngRows(const std::uint8_t* data, std::size_t size, std::int32_t& width, std::int32_t& height) {
    PngSource source{data, size, 0};
    png_structp png =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngFails, PngWarns, nullptr, PngAllocate, PngFree);
    if (png == nullptr) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    std::uint8_t* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        SDL_free(rows);
        return nullptr;
    }
    png_set_read_fn(png, &source, ReadPngBytes);
    png_set_user_limits(png, MaxImageSide, MaxImageSide);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, SkippedChunks, SkippedChunkCount);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (!ImageSizeAllowed(w, h)) png_error(png, "beyond the image limits");
    const int passes = SetBgraOutput(png);
    png_read_update_info(png, info);
    const std::size_t pitch = std::size_t(w) * 4;
    if (png_get_rowbytes(png, info) != pitch) png_error(png, "unexpected row layout");
    rows = static_cast<std::uint8_t*>(SDL_calloc(h, pitch));
    if (rows == nullptr) png_error(png, "out of memory");
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, rows + pitch * y, nullptr);
    width = std::int32_t(w);
    height = std::int32_t(h);
    png_destroy_read_struct(&png, &info, nullptr);
    return rows;
}

}  // namespace

bool IsPng(const std::uint8_t* data, std::size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

DecodedPixels DecodePng(const std::uint8_t* data, std::size_t size) {
    std::int32_t width = 0, height = 0;
    std::uint8_t* rows = ReadPngRows(data, size, width, height);
    if (rows == nullptr) return {};
    return RowsFromSdlAllocator(rows, width, height, width * 4, SDL_PIXELFORMAT_BGRA32);
}

}  // namespace qel
