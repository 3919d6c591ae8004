// Decoded images (the game's bitmaps): found among the program's bitmap
// resources or on disk, measured, and drawn into surfaces with one exact
// colour left out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "QelExport.h"
#include "foundation/Types.h"

namespace qel {

class Surface;

class QEL_API Image {
public:
    // The resource type of the program's bitmaps.
    static constexpr const char* ResourceType = "BITMAP";

    // The program's bitmap resource of that name, else the file folder + name
    // (a path in the engine's "\" form). Null when neither decodes.
    static std::unique_ptr<Image> Load(const char* name, const std::string& folder);
    static std::unique_ptr<Image> FromMemory(const void* data, std::size_t size);
    static std::unique_ptr<Image> FromFile(const std::string& path);
    ~Image();

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // 0xAARRGGBB of a pixel.
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const;

    // True when no pixel is partly or fully transparent: drawn over any fill,
    // every pixel is then the image's own.
    bool Opaque() const;

    // Draws the image with its top-left at (x, y), clipped to the surface.
    // Pixels whose colour is exactly `key` (InvalidColor: none) are skipped and
    // keep what the surface holds; partly transparent pixels are blended over it.
    void DrawInto(Surface& target, std::int32_t x, std::int32_t y, COLORREF key) const;

private:
    struct Decoded;
    explicit Image(std::unique_ptr<Decoded> decoded);
    // Null when the decoder gave no picture.
    static std::unique_ptr<Image> Made(std::unique_ptr<Decoded> decoded);
    // One row as 0xAARRGGBB pixels, width of them.
    void ArgbRow(std::int32_t y, std::uint32_t* out) const;

    std::int32_t width_;
    std::int32_t height_;
    std::unique_ptr<Decoded> decoded_;
};

}  // namespace qel
