#include "sprites/SpriteBroadPhaseInternal.h"

#include <algorithm>
#include <cmath>

#include "sprites/AnimationElem.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "sprites/SpriteList.h"

namespace sprites {

namespace {

// Pixels added on every side of a sprite's box and of a reach (so twice
// between them): the pair test adds the map's world position to both sides
// and truncates to integers, which moves an edge by a little more than one
// pixel at most while every value stays below kFar.
constexpr double kSlack = 2.0;
// Beyond 2^22 a float's step is half a pixel: such sprites are met by every
// question, and such a reach is left to the plain walk.
constexpr double kFar = 4194304.0;
constexpr std::int64_t kMostCells = 65536;
// A sprite wider than this many cells is met by every question instead.
constexpr std::int64_t kMostCellsPerSprite = 64;
constexpr double kSmallestCell = 16.0;

struct Box {
    double left, top, right, bottom;
};

bool Finite(const Box& b) {
    return std::abs(b.left) < kFar && std::abs(b.top) < kFar && std::abs(b.right) < kFar && std::abs(b.bottom) < kFar;
}

// The union of every box that the actor's frames present under any flip.
struct ActorExtent {
    bool known = false;
    bool any = false;
    Box box{};
};

ActorExtent FindExtent(int actor) {
    ActorExtent e;
    e.known = true;
    if (actor < 0 || actor >= ActorTableSize) return e;
    const SpriteElem& slot = SpriteList[actor];
    if (!slot.Animations) return e;
    for (std::int32_t a = 0; a < slot.AnimationCount; ++a) {
        const AnimationElem& animation = slot.Animations[a];
        if (!animation.Frames) continue;
        for (std::int32_t f = 0; f < animation.FrameCount; ++f)
            for (int flips = 0; flips < 4; ++flips) {
                const tagRECT& r = FrameVariant{animation.Frames[f], (flips & 1) != 0, (flips & 2) != 0}.Box();
                const Box b{double(r.left), double(r.top), double(r.right), double(r.bottom)};
                if (!e.any) {
                    e.box = b;
                    e.any = true;
                    continue;
                }
                e.box = {std::min(e.box.left, b.left), std::min(e.box.top, b.top), std::max(e.box.right, b.right),
                         std::max(e.box.bottom, b.bottom)};
            }
    }
    return e;
}

struct Cells {
    std::int32_t c0 = 0, r0 = 0, c1 = -1, r1 = -1;  // none when c1 < c0
    bool everywhere = false;
    bool operator==(const Cells&) const = default;
};

struct Entry {
    Sprite* sprite = nullptr;
    std::int32_t list = 0;
    Cells cells;
    bool marked = false;  // moved since it was placed
};

// What a display list looked like at the last rebuild: a sprite added goes
// to the front and one removed lowers the count.
struct ListShape {
    const List* list = nullptr;
    int count = 0;
    const node* head = nullptr;
};

class Grid {
public:
    bool Near(const SpriteBroadPhase::Reach& reach, std::vector<ListedSprite>& near);
    void Mark(std::int32_t slot, const Sprite& sprite);
    void Invalidate() { valid_ = false; }

private:
    bool ListsUnchanged() const;
    bool OrderUnchanged() const;
    bool ExtentsUnchanged();
    void Refresh();
    void Rebuild();
    void Replace(std::int32_t slot);
    void TakeUpMarked();
    Box BoxOf(const Sprite& sprite);
    Cells CellsOf(const Box& box) const;
    std::int32_t Column(double x) const;
    std::int32_t Row(double y) const;
    void Place(std::int32_t slot);
    void Unplace(std::int32_t slot);
    std::vector<std::int32_t>& Cell(std::int32_t c, std::int32_t r) { return cells_[std::size_t(r) * columns_ + c]; }

    bool valid_ = false;
    std::uint32_t frame_ = 0;
    ListShape lists_[Sprite::DisplayListCount];
    std::vector<Entry> entries_;
    std::vector<std::int32_t> marked_;
    std::vector<std::int32_t> everywhere_;
    std::vector<ActorExtent> extents_;
    std::vector<std::vector<std::int32_t>> cells_;
    double originX_ = 0, originY_ = 0, cell_ = 64;
    std::int32_t columns_ = 0, rows_ = 0;
    std::uint32_t question_ = 0;
    std::vector<std::uint32_t> seen_;  // per entry, the last question that met it
    std::vector<std::int32_t> found_;  // the entries one question met
};

Grid& TheGrid() {
    // Never destroyed: sprites destroyed at exit still tell it.
    static Grid* grid = new Grid;
    return *grid;
}

bool Grid::ListsUnchanged() const {
    for (int n = 0; n < Sprite::DisplayListCount; ++n) {
        const List* list = LevelDisplayList(n);
        const ListShape& was = lists_[n];
        if (list != was.list || !list || list->Count() != was.count || list->Head() != was.head) return false;
    }
    return true;
}

// The walk's order: what the last rebuild numbered (the frame step re-sorts
// sprites after the walk).
bool Grid::OrderUnchanged() const {
    std::size_t slot = 0;
    for (int n = 0; n < Sprite::DisplayListCount; ++n) {
        const List* list = LevelDisplayList(n);
        for (node* p = list->Head(); !p->EOList(); p = p->Next(), ++slot)
            if (slot >= entries_.size() || entries_[slot].sprite != p || entries_[slot].list != n) return false;
    }
    return slot == entries_.size();
}

bool Grid::ExtentsUnchanged() {
    for (std::size_t actor = 0; actor < extents_.size(); ++actor) {
        const ActorExtent& was = extents_[actor];
        if (!was.known) continue;
        const ActorExtent now = FindExtent(int(actor));
        if (now.any != was.any || (now.any && (now.box.left != was.box.left || now.box.top != was.box.top ||
                                               now.box.right != was.box.right || now.box.bottom != was.box.bottom)))
            return false;
    }
    return true;
}

// Answers with the sprites where they stand now. Within a frame only the
// marked ones moved; a new frame may follow a saved game loaded onto the
// sprites or new actor frames, so then every entry is placed again.
void Grid::Refresh() {
    if (!valid_ || !ListsUnchanged()) return Rebuild();
    if (frame_ == LevelFrameNumber()) return TakeUpMarked();
    if (!OrderUnchanged() || !ExtentsUnchanged()) return Rebuild();
    for (Entry& e : entries_) e.marked = false;
    marked_.clear();
    for (std::size_t slot = 0; slot < entries_.size(); ++slot) Replace(std::int32_t(slot));
    frame_ = LevelFrameNumber();
}

Box Grid::BoxOf(const Sprite& sprite) {
    const int actor = sprite.ActorIndex();
    if (actor < 0 || actor >= ActorTableSize) return {0, 0, -1, -1};
    ActorExtent& e = extents_[std::size_t(actor)];
    if (!e.known) e = FindExtent(actor);
    if (!e.any) return {0, 0, -1, -1};
    const double x = sprite.mapX, y = sprite.mapY;
    return {x + e.box.left - kSlack, y + e.box.top - kSlack, x + e.box.right + kSlack, y + e.box.bottom + kSlack};
}

std::int32_t Grid::Column(double x) const {
    return std::int32_t(std::clamp(std::floor((x - originX_) / cell_), 0.0, double(columns_ - 1)));
}

std::int32_t Grid::Row(double y) const {
    return std::int32_t(std::clamp(std::floor((y - originY_) / cell_), 0.0, double(rows_ - 1)));
}

// Clamping keeps the cells of two overlapping boxes overlapping, so a sprite
// that has left the area the grid was built over is found in its edge cells.
Cells Grid::CellsOf(const Box& box) const {
    Cells c;
    if (!(box.right >= box.left) || !(box.bottom >= box.top)) {
        // A NaN position compares false everywhere: the pair test decides.
        c.everywhere = std::isnan(box.left) || std::isnan(box.top);
        return c;
    }
    if (!Finite(box)) {
        c.everywhere = true;
        return c;
    }
    c.c0 = Column(box.left);
    c.c1 = Column(box.right);
    c.r0 = Row(box.top);
    c.r1 = Row(box.bottom);
    if (std::int64_t(c.c1 - c.c0 + 1) * (c.r1 - c.r0 + 1) > kMostCellsPerSprite) c = Cells{0, 0, -1, -1, true};
    return c;
}

void Grid::Place(std::int32_t slot) {
    const Cells& c = entries_[std::size_t(slot)].cells;
    if (c.everywhere) {
        everywhere_.push_back(slot);
        return;
    }
    for (std::int32_t r = c.r0; r <= c.r1; ++r)
        for (std::int32_t col = c.c0; col <= c.c1; ++col) Cell(col, r).push_back(slot);
}

void Grid::Unplace(std::int32_t slot) {
    const Cells& c = entries_[std::size_t(slot)].cells;
    auto drop = [slot](std::vector<std::int32_t>& v) {
        auto it = std::find(v.begin(), v.end(), slot);
        if (it == v.end()) return;
        *it = v.back();
        v.pop_back();
    };
    if (c.everywhere) {
        drop(everywhere_);
        return;
    }
    for (std::int32_t r = c.r0; r <= c.r1; ++r)
        for (std::int32_t col = c.c0; col <= c.c1; ++col) drop(Cell(col, r));
}

void Grid::Rebuild() {
    entries_.clear();
    marked_.clear();
    everywhere_.clear();
    extents_.assign(ActorTableSize, ActorExtent{});
    for (int n = 0; n < Sprite::DisplayListCount; ++n) {
        List* list = LevelDisplayList(n);
        lists_[n] = {list, list ? list->Count() : 0, list ? list->Head() : nullptr};
        if (!list) continue;
        for (node* p = list->Head(); !p->EOList(); p = p->Next()) {
            Sprite* s = static_cast<Sprite*>(p);
            s->broadPhaseSlot = std::int32_t(entries_.size());
            entries_.push_back({s, n, {}, false});
        }
    }
    // The cell: about the common size of a sprite, and no more cells than
    // kMostCells over the area the sprites stand in.
    std::vector<Box> boxes;
    boxes.reserve(entries_.size());
    std::vector<double> sizes;
    Box area{0, 0, 0, 0};
    for (const Entry& e : entries_) {
        boxes.push_back(BoxOf(*e.sprite));
        const Box& b = boxes.back();
        if (!(b.right >= b.left) || !(b.bottom >= b.top) || !Finite(b)) continue;
        area = sizes.empty() ? b
                             : Box{std::min(area.left, b.left), std::min(area.top, b.top),
                                   std::max(area.right, b.right), std::max(area.bottom, b.bottom)};
        sizes.push_back(std::max(b.right - b.left, b.bottom - b.top));
    }
    cell_ = kSmallestCell;
    if (!sizes.empty()) {
        std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(sizes.size() / 2), sizes.end());
        cell_ = std::max(cell_, sizes[sizes.size() / 2]);
    }
    const double width = area.right - area.left, height = area.bottom - area.top;
    while ((std::int64_t(width / cell_) + 1) * (std::int64_t(height / cell_) + 1) > kMostCells) cell_ *= 2;
    originX_ = area.left;
    originY_ = area.top;
    columns_ = std::int32_t(width / cell_) + 1;
    rows_ = std::int32_t(height / cell_) + 1;
    cells_.resize(std::size_t(columns_) * std::size_t(rows_));
    for (auto& c : cells_) c.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].cells = CellsOf(boxes[i]);
        Place(std::int32_t(i));
    }
    seen_.assign(entries_.size(), 0);
    question_ = 0;
    frame_ = LevelFrameNumber();
    valid_ = true;
}

void Grid::Replace(std::int32_t slot) {
    Entry& e = entries_[std::size_t(slot)];
    const Cells now = CellsOf(BoxOf(*e.sprite));
    if (now == e.cells) return;
    Unplace(slot);
    e.cells = now;
    Place(slot);
}

void Grid::TakeUpMarked() {
    for (const std::int32_t slot : marked_) {
        entries_[std::size_t(slot)].marked = false;
        Replace(slot);
    }
    marked_.clear();
}

void Grid::Mark(std::int32_t slot, const Sprite& sprite) {
    if (!valid_ || slot < 0 || std::size_t(slot) >= entries_.size()) return;
    Entry& e = entries_[std::size_t(slot)];
    if (e.sprite != &sprite || e.marked) return;
    e.marked = true;
    marked_.push_back(slot);
}

bool Grid::Near(const SpriteBroadPhase::Reach& reach, std::vector<ListedSprite>& near) {
    near.clear();
    if (!LevelDisplayList(0)) return false;
    const Box r{double(reach.left) - kSlack, double(reach.top) - kSlack, double(reach.right) + kSlack,
                double(reach.bottom) + kSlack};
    if (!(r.right >= r.left) || !(r.bottom >= r.top) || !Finite(r)) return false;
    Refresh();
    if (++question_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        question_ = 1;
    }
    found_.clear();
    auto meet = [this](std::int32_t slot) {
        std::uint32_t& seen = seen_[std::size_t(slot)];
        if (seen == question_) return;
        seen = question_;
        found_.push_back(slot);
    };
    const std::int32_t c0 = Column(r.left), c1 = Column(r.right), r0 = Row(r.top), r1 = Row(r.bottom);
    for (std::int32_t row = r0; row <= r1; ++row)
        for (std::int32_t col = c0; col <= c1; ++col)
            for (const std::int32_t slot : Cell(col, row)) meet(slot);
    for (const std::int32_t slot : everywhere_) meet(slot);
    // Entries were made in walk order.
    std::sort(found_.begin(), found_.end());
    for (const std::int32_t slot : found_) {
        const Entry& e = entries_[std::size_t(slot)];
        near.push_back({e.sprite, e.list});
    }
    return true;
}

}  // namespace

bool SpriteBroadPhase::Near(const Reach& reach, std::vector<ListedSprite>& near) { return TheGrid().Near(reach, near); }

void SpriteBroadPhase::Moved(Sprite& sprite) {
    const std::int32_t slot = sprite.broadPhaseSlot;
    if (slot >= 0) TheGrid().Mark(slot, sprite);
}

void SpriteBroadPhase::Forget(Sprite& sprite) {
    if (sprite.broadPhaseSlot >= 0) TheGrid().Invalidate();
}

}  // namespace sprites
