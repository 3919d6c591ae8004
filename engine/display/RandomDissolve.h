// The dissolve screen transition: every frame more 5 x 5-pixel blocks are
// marked at random, and every marked block is painted (one colour, random
// colours, or black, white and greys) straight into the back buffer.
#pragma once
#include <cstdint>
#include <vector>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/Random.h"
#include "foundation/Types.h"

class QEL_API RandomDissolve : public node {
public:
    enum DissolveKind : std::int32_t { Idle = -1, OneColorKind = 0, MultiColorKind = 1, BlackAndWhiteKind = 2 };
    static constexpr int BlockSize = 5;
    static constexpr int MarkingTries = 50;

    // The grid covers the display (displayWidth x displayHeight) as it is now.
    RandomDissolve();
    ~RandomDissolve() override;

    static node* CreateObject();
    static CREATE cr;
    const char* ClassName() const override;
    void Load(File& file) override;
    void Save(File& file) override;

    void OneColor(unsigned long colour, int frames, int delay);
    void MultiColor(int frames, int delay);
    void BlackAndWhite(int frames, int delay);

    void Update();
    bool IsRunning() const { return running; }
    void Stop();

    DissolveKind Kind() const { return kind; }
    std::int32_t Columns() const { return columns; }
    std::int32_t Rows() const { return rows; }
    std::int32_t BlocksPerFrame() const { return blocksPerFrame; }
    bool Marked(std::int32_t x, std::int32_t y) const;
    Random& Generator() { return generator; }

private:
    bool MayStart(const char* effect, const char* target) const;
    void Start(DissolveKind newKind, int frameCount, int delayFrames);
    void MarkBlocks();
    void Paint();
    std::uint8_t& Cell(std::int32_t x, std::int32_t y) {
        return grid[std::size_t(x) * std::size_t(rows) + std::size_t(y)];
    }

    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t blocksPerFrame = 0;
    // Column after column, rows bytes each; 1 = marked.
    std::vector<std::uint8_t> grid;
    COLORREF colour = 0;
    std::int32_t counter = 0;
    std::int32_t delay = 0;
    std::int32_t frames = 0;
    bool running = false;
    DissolveKind kind = Idle;
    Random generator;
};
