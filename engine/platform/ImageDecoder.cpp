#include "platform/ImageDecoderInternal.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/ImageLimitsInternal.h"

// stb_image compiled here with only the game's formats, its functions private
// to this file. Its blocks come from SDL's allocator, which gives a level
// map's pixels huge pages.
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

void DecodedPixels::Free::operator()(std::uint8_t* pixels) const { stbi_image_free(pixels); }

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

constexpr std::size_t BmpFileHeader = 14;
constexpr std::size_t BmpInfoHeader = 40;
constexpr std::size_t BmpCoreHeader = 12;

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

std::uint32_t Little(const std::uint8_t* data, std::size_t size, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | ByteAt(data, size, at + std::size_t(i));
    return value;
}

// A BMP with a colour table (8 bits a pixel or fewer) as this stb_image reads
// it right: a 40-byte header and a full table of 256 entries, those the file
// lacks black. The decoder leaves table entries the file lacks as whatever
// its stack held, and reads four entries too few after an OS/2 core header.
// Empty when the bytes are no such BMP.
std::vector<std::uint8_t> PaletteWidened(const std::uint8_t* data, std::size_t size) {
    if (size < BmpFileHeader + BmpCoreHeader || data[0] != 'B' || data[1] != 'M') return {};
    const std::uint32_t headerSize = Little(data, size, 14, 4);
    const bool core = headerSize == BmpCoreHeader;
    if (!core && headerSize < BmpInfoHeader) return {};
    const std::uint32_t bits = core ? Little(data, size, 24, 2) : Little(data, size, 28, 2);
    if (bits > 8) return {};
    const std::uint32_t offset = Little(data, size, 10, 4);
    const std::size_t entryBytes = core ? 3 : 4;
    if (offset < BmpFileHeader + headerSize + entryBytes) return {};  // no table: refused as it is
    const std::size_t entries = std::min<std::size_t>(256, (offset - BmpFileHeader - headerSize) / entryBytes);
    const std::size_t table = BmpFileHeader + BmpInfoHeader;
    const std::size_t pixels = table + 256 * 4;
    std::vector<std::uint8_t> b(pixels + (offset < size ? size - offset : 0), 0);
    std::copy(data, data + BmpFileHeader, b.begin());
    Put(b, 10, std::uint32_t(pixels), 4);
    if (core) {
        Put(b, 14, BmpInfoHeader, 4);
        Put(b, 18, Little(data, size, 18, 2), 4);
        Put(b, 22, Little(data, size, 20, 2), 4);
        Put(b, 26, Little(data, size, 22, 2), 2);
        Put(b, 28, bits, 2);
    } else {
        for (std::size_t i = 14; i < table; ++i) b[i] = ByteAt(data, size, i);
        Put(b, 14, BmpInfoHeader, 4);
    }
    Put(b, 46, 256, 4);  // colours used
    const std::size_t from = BmpFileHeader + headerSize;
    for (std::size_t i = 0; i < entries; ++i)
        for (std::size_t c = 0; c < 3; ++c) b[table + 4 * i + c] = ByteAt(data, size, from + entryBytes * i + c);
    if (offset < size) std::copy(data + offset, data + size, b.begin() + std::ptrdiff_t(pixels));
    return b;
}

}  // namespace

DecodedPixels DecodePicture(const std::uint8_t* data, std::size_t size) {
    DecodedPixels decoded;
    if (data == nullptr || size == 0 || size > std::size_t(INT_MAX)) return decoded;
    const std::vector<std::uint8_t> widened = PaletteWidened(data, size);
    if (!widened.empty()) {
        data = widened.data();
        size = widened.size();
        if (size > std::size_t(INT_MAX)) return decoded;
    }
    // Before the size is asked: a table is built while the header is read.
    if (!HuffmanTablesFit(data, size)) return decoded;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) return decoded;
    if (width <= 0 || height == 0 || !ImageSizeAllowed(width, height)) return decoded;
    // Grey pictures are widened to colour, so every row converts alike.
    const int wanted = channels <= 2 ? channels + 2 : channels;
    int gotWidth = 0, gotHeight = 0, stored = 0;
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &gotWidth, &gotHeight, &stored, wanted);
    if (pixels == nullptr) return decoded;
    // The picture is what the size check saw, or none.
    if (gotWidth != width || gotHeight != (height < 0 ? -height : height)) {
        stbi_image_free(pixels);
        return decoded;
    }
    decoded.width = gotWidth;
    decoded.height = gotHeight;
    decoded.channels = wanted;
    decoded.pixels.reset(pixels);
    return decoded;
}

}  // namespace qel
