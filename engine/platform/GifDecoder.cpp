#include "platform/GifDecoderInternal.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ImageLimitsInternal.h"

namespace qel {

namespace {

constexpr std::uint8_t ImageIntroducer = 0x2C;
constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t GraphicControlLabel = 0xF9;
constexpr std::uint8_t PlainTextLabel = 0x01;
constexpr int MaxCodeWidth = 12;
constexpr int MaxCodes = 1 << MaxCodeWidth;
constexpr std::uint32_t Transparent = 0;
// An index beyond the colour table (or with no table at all) shows black.
constexpr std::uint32_t MissingColour = 0xFF000000;

// Walks the file once, front to back, and never past its end: every read is
// checked, and each step of a loop consumes input or a pixel, so hostile bytes
// can neither overrun nor stall it.
class GifDecoder {
public:
    GifDecoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    SDL_Surface* Decode() {
        if (!ReadScreen() || !FindFirstImage() || !ReadImageDescriptor()) return nullptr;
        std::uint8_t minCodeSize = 0;
        if (!Byte(minCodeSize) || minCodeSize < 2 || minCodeSize > 8) return nullptr;
        screen_ = SDL_CreateRGBSurfaceWithFormat(0, int(screenWidth_), int(screenHeight_), 32,
                                                 SDL_PIXELFORMAT_ARGB8888);
        if (!screen_) return nullptr;
        std::memset(screen_->pixels, 0, std::size_t(screen_->pitch) * std::size_t(screen_->h));
        StartRow();
        if (!DecodePixels(minCodeSize)) {
            SDL_FreeSurface(screen_);
            return nullptr;
        }
        return screen_;
    }

private:
    bool Byte(std::uint8_t& out) {
        if (at_ >= size_) return false;
        out = data_[at_++];
        return true;
    }

    bool Bytes(std::size_t count, const std::uint8_t*& out) {
        if (count > size_ - at_) return false;
        out = data_ + at_;
        at_ += count;
        return true;
    }

    std::uint32_t Little16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }

    // A colour table of 2 << (packed & 7) entries when the packed byte's top bit says there is one.
    bool ReadColourTable(std::uint8_t packed, const std::uint8_t*& table, int& count) {
        table = nullptr;
        count = 0;
        if (!(packed & 0x80)) return true;
        count = 2 << (packed & 7);
        return Bytes(std::size_t(count) * 3, table);
    }

    bool ReadScreen() {
        const std::uint8_t* head = nullptr;
        if (!Bytes(13, head) || (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0))
            return false;
        screenWidth_ = Little16(head + 6);
        screenHeight_ = Little16(head + 8);
        if (screenWidth_ == 0 || screenHeight_ == 0 || !ImageSizeAllowed(screenWidth_, screenHeight_)) return false;
        return ReadColourTable(head[10], colours_, colourCount_);
    }

    bool SkipSubBlocks() {
        for (std::uint8_t length = 0;;) {
            const std::uint8_t* skipped = nullptr;
            if (!Byte(length)) return false;
            if (length == 0) return true;
            if (!Bytes(length, skipped)) return false;
        }
    }

    // The transparent index of the graphic control that precedes the image;
    // a control too short to hold one is ignored.
    bool ReadGraphicControl() {
        const std::uint8_t* block = nullptr;
        std::uint8_t length = 0;
        if (!Byte(length)) return false;
        if (length == 0) return true;
        if (!Bytes(length, block)) return false;
        if (length >= 4) transparent_ = (block[0] & 1) ? int(block[3]) : -1;
        return SkipSubBlocks();
    }

    // Extensions up to the first image descriptor; a trailer, an unknown
    // block or the end of the file before it means there is no picture.
    bool FindFirstImage() {
        for (std::uint8_t introducer = 0; Byte(introducer);) {
            if (introducer == ImageIntroducer) return true;
            std::uint8_t label = 0;
            if (introducer != ExtensionIntroducer || !Byte(label)) return false;
            if (label == GraphicControlLabel) {
                if (!ReadGraphicControl()) return false;
                continue;
            }
            // A plain text block is drawn instead of an image: the control before it was its own.
            if (label == PlainTextLabel) transparent_ = -1;
            if (!SkipSubBlocks()) return false;
        }
        return false;
    }

    bool ReadImageDescriptor() {
        const std::uint8_t* d = nullptr;
        if (!Bytes(9, d)) return false;
        left_ = Little16(d);
        top_ = Little16(d + 2);
        width_ = Little16(d + 4);
        height_ = Little16(d + 6);
        interlaced_ = (d[8] & 0x40) != 0;
        if (!ImageSizeAllowed(left_ + width_, top_ + height_)) return false;
        const std::uint8_t* local = nullptr;
        int localCount = 0;
        if (!ReadColourTable(d[8], local, localCount)) return false;
        if (local) {
            colours_ = local;
            colourCount_ = localCount;
        }
        MakePalette();
        pixelsLeft_ = width_ * height_;
        return true;
    }

    void MakePalette() {
        palette_.fill(MissingColour);
        for (int i = 0; i < colourCount_ && i < 256; ++i) {
            const std::uint8_t* c = colours_ + 3 * i;
            palette_[std::size_t(i)] = 0xFF000000u | std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
        }
        if (transparent_ >= 0) palette_[std::size_t(transparent_)] = Transparent;
    }

    // The screen row under the image's current row, clipped to the screen.
    void StartRow() {
        column_ = 0;
        rowPixels_ = nullptr;
        const std::int64_t y = top_ + row_;
        const std::int64_t visible = std::min(width_, std::int64_t(screenWidth_) - left_);
        if (row_ >= height_ || y >= screenHeight_ || visible <= 0) return;
        visibleColumns_ = visible;
        auto* line = static_cast<std::uint8_t*>(screen_->pixels) + std::size_t(y) * std::size_t(screen_->pitch);
        rowPixels_ = reinterpret_cast<std::uint32_t*>(line) + left_;
    }

    // Interlaced images store every 8th row from 0, then from 4, every 4th
    // from 2, every 2nd from 1.
    void NextRow() {
        static constexpr int start[4] = {0, 4, 2, 1};
        static constexpr int step[4] = {8, 8, 4, 2};
        if (!interlaced_) {
            ++row_;
        } else {
            row_ += step[pass_];
            while (row_ >= height_ && pass_ < 3) row_ = start[++pass_];
        }
        StartRow();
    }

    void Put(std::uint8_t index) {
        if (rowPixels_ && column_ < visibleColumns_) rowPixels_[column_] = palette_[index];
        --pixelsLeft_;
        if (++column_ == width_) NextRow();
    }

    // The next code of `width` bits, least significant bit first, from the
    // data's sub-blocks; -1 when the data ends.
    int NextCode(int width) {
        while (bitCount_ < width) {
            if (blockLeft_ == 0) {
                std::uint8_t length = 0;
                if (!Byte(length) || length == 0) return -1;
                blockLeft_ = length;
            }
            std::uint8_t b = 0;
            if (!Byte(b)) return -1;
            --blockLeft_;
            bits_ |= std::uint32_t(b) << bitCount_;
            bitCount_ += 8;
        }
        const int code = int(bits_ & ((1u << width) - 1));
        bits_ >>= width;
        bitCount_ -= width;
        return code;
    }

    // Puts a code's string out, pixel by pixel, up to the image's last pixel.
    void Emit(int code) {
        std::array<std::uint8_t, MaxCodes> reversed;
        int length = 0;
        for (int c = code; c >= 0; c = prefix_[std::size_t(c)]) reversed[std::size_t(length++)] = suffix_[std::size_t(c)];
        while (length > 0 && pixelsLeft_ > 0) Put(reversed[std::size_t(--length)]);
    }

    // Variable-width LZW: a clear code restarts the table, an end code stops;
    // a full table of 4096 codes is kept until the next clear.
    bool DecodePixels(int minCodeSize) {
        const int clear = 1 << minCodeSize, end = clear + 1;
        for (int c = 0; c < clear; ++c) {
            prefix_[std::size_t(c)] = -1;
            suffix_[std::size_t(c)] = first_[std::size_t(c)] = std::uint8_t(c);
        }
        int width = minCodeSize + 1, next = clear + 2, previous = -1;
        while (pixelsLeft_ > 0) {
            const int code = NextCode(width);
            if (code < 0 || code == end) return false;  // cut short: no partial picture
            if (code == clear) {
                width = minCodeSize + 1;
                next = clear + 2;
                previous = -1;
                continue;
            }
            if (previous < 0) {
                if (code > clear) return false;
                Emit(code);
                previous = code;
                continue;
            }
            if (code > next) return false;
            if (next < MaxCodes) {
                // The new string is the previous one plus the first pixel of this
                // one (of the previous one when this code is the one being made).
                prefix_[std::size_t(next)] = std::int16_t(previous);
                suffix_[std::size_t(next)] = first_[std::size_t(code < next ? code : previous)];
                first_[std::size_t(next)] = first_[std::size_t(previous)];
                if (++next == 1 << width && width < MaxCodeWidth) ++width;
            }
            Emit(code);
            previous = code;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;

    std::int64_t screenWidth_ = 0, screenHeight_ = 0;
    const std::uint8_t* colours_ = nullptr;
    int colourCount_ = 0;
    int transparent_ = -1;
    std::array<std::uint32_t, 256> palette_{};

    std::int64_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool interlaced_ = false;
    std::int64_t pixelsLeft_ = 0;

    SDL_Surface* screen_ = nullptr;
    std::int64_t row_ = 0, column_ = 0, visibleColumns_ = 0;
    int pass_ = 0;
    std::uint32_t* rowPixels_ = nullptr;

    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    int blockLeft_ = 0;
    std::array<std::int16_t, MaxCodes> prefix_{};
    std::array<std::uint8_t, MaxCodes> suffix_{};
    std::array<std::uint8_t, MaxCodes> first_{};
};

}  // namespace

bool IsGif(const std::uint8_t* data, std::size_t size) {
    return data && size >= 3 && std::memcmp(data, "GIF", 3) == 0;
}

SDL_Surface* DecodeGif(const std::uint8_t* data, std::size_t size) {
    if (!data) return nullptr;
    GifDecoder decoder(data, size);
    return decoder.Decode();
}

}  // namespace qel
