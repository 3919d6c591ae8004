#include "platform/GifDecoderInternal.h"

#include <SDL.h>
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ImageLimitsInternal.h"

namespace qel {

namespace {

// The bytes giflib reads: a read past the end gives what is left, which
// giflib takes as an error.
struct GifSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

int ReadGifBytes(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t given = std::min(std::size_t(std::max(count, 0)), source->size - source->at);
    std::memcpy(out, source->data + source->at, given);
    source->at += given;
    return int(given);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// A fully transparent pixel: the screen around the image and the image's
// transparent colour.
constexpr std::uint32_t Transparent = 0;

// Reads an extension with all its blocks; a graphic control block sets the
// transparent colour index of the image that follows it (-1: none).
bool ReadExtension(GifFileType* gif, int& transparentIndex) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    GraphicsControlBlock control;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
        DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        transparentIndex = control.TransparentColor;
    while (block != nullptr)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    return true;
}

// Reads records up to the first image's descriptor; false when the data ends
// or breaks before it.
bool ReadToFirstImage(GifFileType* gif, int& transparentIndex) {
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
        if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
        if (record != EXTENSION_RECORD_TYPE || !ReadExtension(gif, transparentIndex)) return false;
    }
}

// Each colour index as 0xAARRGGBB: the table's colours opaque, indices past
// the table black, the transparent index fully transparent.
std::array<std::uint32_t, 256> ColourLookup(const ColorMapObject& table, int transparentIndex) {
    std::array<std::uint32_t, 256> lookup;
    lookup.fill(0xFF000000u);
    const int count = std::min(table.ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = table.Colors[i];
        lookup[std::size_t(i)] = 0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
    }
    if (transparentIndex >= 0 && transparentIndex < 256) lookup[std::size_t(transparentIndex)] = Transparent;
    return lookup;
}

// The image's row at each place of the stored order: interlaced images store
// every 8th row from 0, then every 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(std::size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) order.push_back(y);
        return order;
    }
    constexpr int Start[] = {0, 4, 2, 1}, Step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = Start[pass]; y < height; y += Step[pass]) order.push_back(y);
    return order;
}

// The first image's rows decoded onto the screen (pixels 0xAARRGGBB, one row
// of the screen every `width` pixels); the parts off the screen are dropped.
bool DrawFirstImage(GifFileType* gif, const std::array<std::uint32_t, 256>& lookup, std::uint32_t* screen) {
    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0) return true;
    std::vector<GifPixelType> line(std::size_t(image.Width));
    const int visibleWidth = std::min(image.Width, gif->SWidth - image.Left);
    for (int y : RowOrder(image.Height, image.Interlace)) {
        if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR) return false;
        const int sy = image.Top + y;
        if (sy < 0 || sy >= gif->SHeight) continue;
        std::uint32_t* row = screen + std::size_t(sy) * std::size_t(gif->SWidth);
        for (int x = 0; x < visibleWidth; ++x) row[image.Left + x] = lookup[line[std::size_t(x)]];
    }
    return true;
}

// The screen with the first image on it, in one SDL block, or null.
std::uint32_t* ReadFirstImage(GifFileType* gif) {
    if (gif->SWidth <= 0 || gif->SHeight <= 0 || !ImageSizeAllowed(gif->SWidth, gif->SHeight)) return nullptr;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    if (!ReadToFirstImage(gif, transparentIndex)) return nullptr;
    // The image is decoded whole, the parts off the screen too.
    const GifImageDesc& image = gif->Image;
    if (!ImageSizeAllowed(image.Width, image.Height)) return nullptr;
    const ColorMapObject* table = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
    if (table == nullptr) return nullptr;
    auto* screen = static_cast<std::uint32_t*>(SDL_calloc(std::size_t(gif->SWidth) * std::size_t(gif->SHeight), 4));
    static_assert(Transparent == 0, "the zeroed screen is transparent");
    if (screen == nullptr) return nullptr;
    if (!DrawFirstImage(gif, ColourLookup(*table, transparentIndex), screen)) {
        SDL_free(screen);
        return nullptr;
    }
    return screen;
}

}  // namespace

bool IsGif(const std::uint8_t* data, std::size_t size) {
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

DecodedPixels DecodeGif(const std::uint8_t* data, std::size_t size) {
    GifSource source{data, size, 0};
    int error = 0;
    const GifFile gif(DGifOpen(&source, ReadGifBytes, &error));
    if (!gif) return {};
    std::uint32_t* screen = ReadFirstImage(gif.get());
    if (screen == nullptr) return {};
    return RowsFromSdlAllocator(reinterpret_cast<std::uint8_t*>(screen), gif->SWidth, gif->SHeight, gif->SWidth * 4,
                                SDL_PIXELFORMAT_ARGB8888);
}

}  // namespace qel
