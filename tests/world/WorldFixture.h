// Shared set-up of the map and surface tests: a scratch "maps" and "actors"
// folder, generated 24-bit BMP files, a small 32-bit back buffer and a known
// viewport.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "common/BmpWriter.h"
#include "TempDir.h"
#include "display/DisplayInternal.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "world/LevelViewInternal.h"
#include "world/ViewPort.h"

// Writes a bottom-up 24-bit BMP; pixel(x, y) answers 0x00RRGGBB.
inline void WriteBmp(const std::string& path, int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
    TempDir::WriteAll(path, bmp24::Encode(w, h, pixel));
}

// A pixel id that survives 32-bit surfaces: red = x, green = y.
inline std::uint32_t IdColour(int x, int y) {
    return (std::uint32_t(x & 0xFF) << 16) | (std::uint32_t(y & 0xFF) << 8) | 0x40;
}

class WorldFixture : public ::testing::Test {
protected:
    void SetUp() override {
        savedDepth = displayDepth;
        displayDepth = 32;
        mapsFolder = (dir.Path().string() + "/").c_str();
        actorsFolder = mapsFolder;
        currentAssetFolder = mapsFolder;
        back = qel::Surface::Create(64, 48, 32);
        back->SetClipRect(QelRect{0, 0, 64, 48});
        pBackBuffer = back.get();
        ResetView(0, 0);
    }
    void TearDown() override {
        pBackBuffer = nullptr;
        displayDepth = savedDepth;
        ResetView(0, 0);
    }

    // The level view: a 64 x 48 window at (x, y) on a 2000 x 1000 world.
    static void ResetView(float x, float y) {
        ViewPort& v = LevelViewPort();
        v = ViewPort(2000, 1000, x, y, 64, 48);
    }

    std::string Bitmap(const std::string& name, int w, int h,
                       const std::function<std::uint32_t(int, int)>& pixel = IdColour) {
        WriteBmp(dir.File(name), w, h, pixel);
        return name;
    }

    std::uint32_t Pixel(int x, int y) const { return back->GetRawPixel(x, y) & 0xFFFFFF; }
    void ClearBack(std::uint32_t raw = 0x123456) { back->Fill(nullptr, raw); }

    TempDir dir;
    std::unique_ptr<qel::Surface> back;
    std::int32_t savedDepth = 16;
};

// A level's world no larger than any bitmap of the test: a map's grid covers
// its bitmap alone.
class GridOverTheBitmapFixture : public WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        LevelViewPort().WorldWidth(8);
        LevelViewPort().WorldHeight(8);
    }
};
