#include "display/RandomDissolve.h"

#include <algorithm>
#include <limits>

#include "display/DisplayInternal.h"
#include "display/Screen.h"
#include "foundation/File.h"
#include "foundation/UserError.h"

namespace {

// Far beyond any display: a saved grid larger than this is corrupt.
constexpr std::int32_t kMaxGridSide = 1 << 14;

}  // namespace

CREATE RandomDissolve::cr("RandomDissolve", RandomDissolve::CreateObject);

RandomDissolve::RandomDissolve()
    : columns(std::max(displayWidth, 0) / BlockSize),
      rows(std::max(displayHeight, 0) / BlockSize),
      grid(std::size_t(columns) * std::size_t(rows), 0) {}

RandomDissolve::~RandomDissolve() = default;

node* RandomDissolve::CreateObject() { return new RandomDissolve(); }

const char* RandomDissolve::ClassName() const { return "RandomDissolve"; }

bool RandomDissolve::Marked(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= columns || y >= rows) return false;
    return grid[std::size_t(x) * std::size_t(rows) + std::size_t(y)] != 0;
}

bool RandomDissolve::MayStart(const char* effect, const char* target) const {
    if (!running) return true;
    UserError::Report(target, "The effect %s can't be set because another RandomDissolve effect is running.", effect);
    return false;
}

void RandomDissolve::Start(DissolveKind newKind, int frameCount, int delayFrames) {
    frames = frameCount;
    running = true;
    // No frames to spread over (zero or negative): every block at the first update.
    const std::int64_t blocks = std::int64_t(columns) * rows;
    blocksPerFrame = std::int32_t(frameCount > 0 ? blocks / frameCount : blocks);
    delay = delayFrames;
    kind = newKind;
}

void RandomDissolve::OneColor(unsigned long c, int frameCount, int delayFrames) {
    if (!MayStart("OneColor", "void RandomDissolve::OneColor(COLORREF,int,int)")) return;
    colour = COLORREF(c);
    Start(OneColorKind, frameCount, delayFrames);
}

void RandomDissolve::MultiColor(int frameCount, int delayFrames) {
    if (!MayStart("MultiColor", "void RandomDissolve::MultiColor(int,int)")) return;
    Start(MultiColorKind, frameCount, delayFrames);
}

void RandomDissolve::BlackAndWhite(int frameCount, int delayFrames) {
    if (!MayStart("BlackAndWhite", "void RandomDissolve::BlackAndWhite(int,int)")) return;
    Start(BlackAndWhiteKind, frameCount, delayFrames);
}

void RandomDissolve::Update() {
    // 64-bit sum, and a counter at its limit ends the dissolve instead of wrapping.
    if (counter > std::int64_t(frames) + delay || counter == std::numeric_limits<std::int32_t>::max()) {
        Stop();
        return;
    }
    if (!running) return;
    ++counter;
    if (pScreen != nullptr) pScreen->Start();
    MarkBlocks();
    Paint();
    if (pScreen != nullptr) pScreen->Stop();
}

void RandomDissolve::MarkBlocks() {
    const unsigned int xRange = unsigned(columns) + 2, yRange = unsigned(rows) + 2;
    for (std::int32_t block = 0; block < blocksPerFrame; ++block) {
        for (int attempt = 0; attempt < MarkingTries; ++attempt) {
            const std::int32_t x = std::int32_t(generator.Int(xRange));
            const std::int32_t y = std::int32_t(generator.Int(yRange));
            if (x >= columns || y >= rows || Cell(x, y) != 0) continue;
            Cell(x, y) = 1;
            break;
        }
    }
}

void RandomDissolve::Paint() {
    const bool indexed = displayDepth == 8;
    for (std::int32_t x = 0; x < columns; ++x) {
        for (std::int32_t y = 0; y < rows; ++y) {
            if (Cell(x, y) == 0) continue;
            const int px = x * BlockSize, py = y * BlockSize;
            // The random draws happen with or without a screen, so the
            // generator's sequence does not depend on the display.
            if (kind == OneColorKind) {
                if (pScreen != nullptr) pScreen->Rect(px, py, BlockSize, BlockSize, colour);
            } else if (kind == MultiColorKind) {
                if (indexed) {
                    const auto index = static_cast<unsigned char>(generator.Int(256));
                    if (pScreen != nullptr) pScreen->PaletteRect(px, py, BlockSize, BlockSize, index);
                } else {
                    const COLORREF r = generator.Int(256), g = generator.Int(256), b = generator.Int(256);
                    if (pScreen != nullptr) pScreen->Rect(px, py, BlockSize, BlockSize, r | g << 8 | b << 16);
                }
            } else if (indexed) {
                const auto index = static_cast<unsigned char>(generator.Int(2) * 255);
                if (pScreen != nullptr) pScreen->PaletteRect(px, py, BlockSize, BlockSize, index);
            } else {
                const COLORREF v = generator.Int(256);
                if (pScreen != nullptr) pScreen->Rect(px, py, BlockSize, BlockSize, v | v << 8 | v << 16);
            }
        }
    }
}

void RandomDissolve::Stop() {
    counter = 0;
    frames = 0;
    running = false;
    std::fill(grid.begin(), grid.end(), 0);
    blocksPerFrame = 0;
    delay = 0;
    kind = Idle;
}

void RandomDissolve::Save(File& file) {
    file.Write(columns);
    file.Write(rows);
    file.Write(blocksPerFrame);
    for (std::uint8_t cell : grid) file.Write(static_cast<unsigned char>(cell));
    file.Write(std::uint32_t(colour));
    file.Write(counter);
    file.Write(delay);
    file.Write(frames);
    file.Write(running);
    file.Write(std::int32_t(kind));
    generator.Save(file);
}

void RandomDissolve::Load(File& file) {
    std::int32_t readColumns = 0, readRows = 0, readBlocks = 0;
    file.Read(readColumns);
    file.Read(readRows);
    file.Read(readBlocks);
    // The grid's size comes from the file: it must be one a display could
    // give and one the file can hold, or nothing is taken from the record.
    const bool sizeOk = readColumns >= 0 && readRows >= 0 && readColumns <= kMaxGridSide && readRows <= kMaxGridSide &&
                        std::int64_t(readColumns) * readRows <= file.BytesLeft();
    if (!sizeOk || readBlocks < 0 || readBlocks > std::int64_t(readColumns) * readRows) file.SetError();
    if (file.HasError()) return;
    std::vector<std::uint8_t> readGrid(std::size_t(readColumns) * std::size_t(readRows));
    if (!readGrid.empty()) file.Read(readGrid.data(), int(readGrid.size()));
    for (std::uint8_t& cell : readGrid) cell = cell != 0;
    std::uint32_t readColour = 0;
    std::int32_t readCounter = 0, readDelay = 0, readFrames = 0, readKind = 0;
    bool readRunning = false;
    file.Read(readColour);
    file.Read(readCounter);
    file.Read(readDelay);
    file.Read(readFrames);
    file.Read(readRunning);
    file.Read(readKind);
    Random readGenerator;
    readGenerator.Load(file);
    if (file.HasError()) return;
    columns = readColumns;
    rows = readRows;
    blocksPerFrame = readBlocks;
    grid = std::move(readGrid);
    colour = readColour;
    counter = readCounter;
    delay = readDelay;
    frames = readFrames;
    running = readRunning;
    kind = DissolveKind(readKind);
    generator = readGenerator;
}
