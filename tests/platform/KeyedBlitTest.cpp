// Keyed copies from sprite-like pictures, checked pixel by pixel against a
// copy done one pixel at a time here: whatever way the surface finds to skip
// its key pixels (opaque runs, testing each pixel), and however the picture
// or its key changed since the last copy, row by row or whole.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Surface.h"

namespace {

using qel::BlitResult;
using qel::Surface;

constexpr int SpriteW = 40, SpriteH = 12;
constexpr int BackW = 50, BackH = 20;
constexpr std::uint32_t Key = 0x2A;

std::uint32_t Opaque(std::mt19937& random, int bpp) {
    const std::uint32_t mask = bpp == 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << bpp) - 1;
    std::uint32_t v = random() & mask;
    return v == Key ? v + 1 : v;
}

// A sprite whose pixels are the key where `keyed` says so, random values elsewhere.
std::unique_ptr<Surface> Sprite(int bpp, const std::function<bool(int x, int y, std::mt19937&)>& keyed) {
    std::mt19937 random(7);
    auto s = Surface::Create(SpriteW, SpriteH, bpp);
    for (int y = 0; y < SpriteH; ++y)
        for (int x = 0; x < SpriteW; ++x) s->SetRawPixel(x, y, keyed(x, y, random) ? Key : Opaque(random, bpp));
    s->SetColorKey(Key);
    return s;
}

std::unique_ptr<Surface> Back(int bpp) {
    auto b = Surface::Create(BackW, BackH, bpp);
    std::mt19937 random(11);
    for (int y = 0; y < BackH; ++y)
        for (int x = 0; x < BackW; ++x) b->SetRawPixel(x, y, Opaque(random, bpp));
    return b;
}

// Stores a raw pixel straight into a row's bytes, as drawing code does.
void Write(std::uint8_t* row, int bytesPerPixel, int x, std::uint32_t raw) {
    for (int i = 0; i < bytesPerPixel; ++i) row[x * bytesPerPixel + i] = std::uint8_t(raw >> (8 * i));
}

std::vector<std::uint32_t> Pixels(const Surface& s) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) out.push_back(s.GetRawPixel(x, y));
    return out;
}

// The pixels `back` must hold after Blit(d, source, s, flags), found one pixel
// at a time: each destination pixel inside the clip takes its source pixel
// unless that is the key.
std::vector<std::uint32_t> Expected(const Surface& back, const QelRect* clip, const QelRect& d, const Surface& source,
                                    const QelRect& s, std::uint32_t flags) {
    std::vector<std::uint32_t> out = Pixels(back);
    for (int y = d.top; y < d.bottom; ++y) {
        for (int x = d.left; x < d.right; ++x) {
            if (x < 0 || y < 0 || x >= back.Width() || y >= back.Height()) continue;
            if (clip && (x < clip->left || y < clip->top || x >= clip->right || y >= clip->bottom)) continue;
            const int sx = (flags & qel::BlitMirrorLeftRight) ? s.right - 1 - (x - d.left) : s.left + (x - d.left);
            const int sy = (flags & qel::BlitMirrorUpDown) ? s.bottom - 1 - (y - d.top) : s.top + (y - d.top);
            const std::uint32_t v = source.GetRawPixel(sx, sy);
            if ((flags & qel::BlitSourceKey) && source.HasColorKey() && v == source.ColorKey()) continue;
            out[std::size_t(y) * std::size_t(back.Width()) + std::size_t(x)] = v;
        }
    }
    return out;
}

void ExpectBlitAsOnePixelAtATime(Surface& back, const QelRect* clip, const QelRect& d, const Surface& source,
                                 const QelRect& s, std::uint32_t flags) {
    if (clip) back.SetClipRect(*clip);
    const std::vector<std::uint32_t> expected = Expected(back, clip, d, source, s, flags);
    ASSERT_EQ(back.Blit(d, source, s, flags), BlitResult::Ok);
    EXPECT_EQ(Pixels(back), expected);
}

// Enough copies of the source rectangle for its rows' runs to be found and used.
int CopiesUntilFound(const QelRect& s) { return SpriteW / (s.right - s.left) + 2; }

struct Picture {
    const char* name;
    std::function<bool(int x, int y, std::mt19937&)> keyed;
};

const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> pictures = {
        {"key at both row ends and once inside",
         [](int x, int y, std::mt19937&) { return x == 0 || x == SpriteW - 1 || x == 5 + (7 + 5 * y) % 30; }},
        {"whole key rows", [](int x, int y, std::mt19937&) { return y == 0 || y == 5 || y == SpriteH - 1 || x == 9; }},
        {"one opaque pixel in a corner",
         [](int x, int y, std::mt19937&) { return x != SpriteW - 1 || y != SpriteH - 1; }},
        {"one opaque pixel at a row start", [](int x, int y, std::mt19937&) { return x != 0 || y != 4; }},
        {"opaque row ends around a key middle", [](int x, int, std::mt19937&) { return x >= 3 && x < SpriteW - 3; }},
        {"no key pixel", [](int, int, std::mt19937&) { return false; }},
        {"every other pixel the key", [](int x, int y, std::mt19937&) { return (x + y) % 2 == 0; }},
        {"all key", [](int, int, std::mt19937&) { return true; }},
    };
    return pictures;
}

struct Placement {
    const char* name;
    QelRect destination;
    QelRect source;
    bool clipped;
    QelRect clip;
};

const Placement Placements[] = {
    {"inside", {5, 4, 45, 16}, {0, 0, SpriteW, SpriteH}, false, {}},
    {"over the left and top", {-7, -3, 33, 9}, {0, 0, SpriteW, SpriteH}, true, {0, 0, BackW, BackH}},
    {"over the right and bottom", {20, 15, 60, 27}, {0, 0, SpriteW, SpriteH}, true, {0, 0, BackW, BackH}},
    {"clip cutting every side", {2, 2, 42, 14}, {0, 0, SpriteW, SpriteH}, true, {8, 6, 30, 13}},
    {"part of the source", {0, 0, 34, 9}, {3, 2, 37, 11}, false, {}},
    {"one source column", {10, 0, 11, 11}, {SpriteW - 1, 1, SpriteW, SpriteH}, false, {}},
    {"part of the source, clipped", {-2, 5, 33, 14}, {4, 1, 39, 10}, true, {1, 0, 31, 12}},
};

const std::uint32_t Flags[] = {
    qel::BlitSourceKey,
    qel::BlitSourceKey | qel::BlitMirrorUpDown,
    qel::BlitSourceKey | qel::BlitMirrorLeftRight,
    qel::BlitSourceKey | qel::BlitMirrorLeftRight | qel::BlitMirrorUpDown,
};

TEST(KeyedBlit, EveryPictureAndPlacementMatchesACopyOnePixelAtATime) {
    for (int bpp : {8, 16, 24, 32}) {
        for (const Picture& picture : Pictures()) {
            auto sprite = Sprite(bpp, picture.keyed);
            for (const Placement& place : Placements) {
                for (std::uint32_t flags : Flags) {
                    SCOPED_TRACE(std::string(picture.name) + ", " + place.name + ", flags " + std::to_string(flags) +
                                 ", " + std::to_string(bpp) + " bits");
                    auto back = Back(bpp);
                    // A row is found once copies have tested as many of its
                    // pixels as it holds: the first copies test each pixel,
                    // the later ones use what was found.
                    for (int time = 0; time < CopiesUntilFound(place.source); ++time)
                        ExpectBlitAsOnePixelAtATime(*back, place.clipped ? &place.clip : nullptr, place.destination,
                                                    *sprite, place.source, flags);
                }
            }
        }
    }
}

// After a copy, whatever changes the sprite's pixels or key shows in the next copy.
TEST(KeyedBlit, ChangesAfterACopyShowInTheNext) {
    struct Change {
        const char* how;
        std::function<void(Surface&)> apply;
    };
    auto lockedWrite = [](int x, int y, std::uint32_t raw) {
        return [=](Surface& s) {
            std::int32_t pitch = 0;
            Write(s.Lock(&pitch) + std::ptrdiff_t(y) * pitch, s.BytesPerPixel(), x, raw);
            s.Unlock();
        };
    };
    const Change changes[] = {
        {"key set inside a run", [](Surface& s) { s.SetRawPixel(17, 3, Key); }},
        {"opaque pixel set over a row-end key", [](Surface& s) { s.SetRawPixel(SpriteW - 1, 6, 0x11); }},
        {"key written through a lock", lockedWrite(20, 7, Key)},
        {"opaque pixel written through a lock", lockedWrite(0, 2, 0x13)},
        {"row written", [](Surface& s) { Write(s.Row(8), s.BytesPerPixel(), 5, Key); }},
        {"key filled over a block",
         [](Surface& s) {
             const QelRect block{6, 2, 30, 9};
             s.Fill(&block, Key);
         }},
        {"picture copied into it",
         [](Surface& s) {
             auto dot = Surface::Create(3, 2, s.BitsPerPixel());
             dot->Fill(nullptr, 0x15);
             s.Blit({0, 0, 3, 2}, *dot, {0, 0, 3, 2});
         }},
        {"its own left part copied keyed onto its right part",
         [](Surface& s) {
             ExpectBlitAsOnePixelAtATime(s, nullptr, {20, 0, 40, 12}, s, {0, 0, 20, 12}, qel::BlitSourceKey);
         }},
        {"key changed to a value it holds", [](Surface& s) { s.SetColorKey(s.GetRawPixel(12, 5)); }},
        {"key cleared", [](Surface& s) { s.ClearColorKey(); }},
    };
    const Picture& picture = Pictures()[0];
    const QelRect whole{0, 0, SpriteW, SpriteH};
    for (int bpp : {8, 16, 24, 32}) {
        for (const Change& change : changes) {
            SCOPED_TRACE(std::string(change.how) + " at " + std::to_string(bpp) + " bits");
            auto sprite = Sprite(bpp, picture.keyed);
            auto back = Back(bpp);
            for (int time = 0; time < CopiesUntilFound(whole); ++time)
                ExpectBlitAsOnePixelAtATime(*back, nullptr, {5, 4, 45, 16}, *sprite, whole, qel::BlitSourceKey);
            change.apply(*sprite);
            for (int time = 0; time < CopiesUntilFound(whole); ++time) {
                ExpectBlitAsOnePixelAtATime(*back, nullptr, {5, 4, 45, 16}, *sprite, whole, qel::BlitSourceKey);
                ExpectBlitAsOnePixelAtATime(*back, nullptr, {1, 1, 41, 13}, *sprite, whole, qel::BlitSourceKey);
            }
        }
    }
}

// A locked sprite may change between copies without an unlock in between.
TEST(KeyedBlit, CopiesFromALockedSpriteSeeEachWrite) {
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(std::to_string(bpp) + " bits");
        auto sprite = Sprite(bpp, Pictures()[0].keyed);
        auto back = Back(bpp);
        const QelRect whole{0, 0, SpriteW, SpriteH};
        std::int32_t pitch = 0;
        std::uint8_t* pixels = sprite->Lock(&pitch);
        ExpectBlitAsOnePixelAtATime(*back, nullptr, {5, 4, 45, 16}, *sprite, whole, qel::BlitSourceKey);
        Write(pixels + 3 * pitch, sprite->BytesPerPixel(), 10, Key);
        ExpectBlitAsOnePixelAtATime(*back, nullptr, {5, 4, 45, 16}, *sprite, whole, qel::BlitSourceKey);
        Write(pixels + 3 * pitch, sprite->BytesPerPixel(), 10, 0x17);
        ExpectBlitAsOnePixelAtATime(*back, nullptr, {1, 1, 41, 13}, *sprite, whole, qel::BlitSourceKey);
        sprite->Unlock();
        ExpectBlitAsOnePixelAtATime(*back, nullptr, {5, 4, 45, 16}, *sprite, whole, qel::BlitSourceKey);
    }
}

// A wide picture drawn into between copies of small windows of it, as a game
// draws into its map: each write changes its own rows, copies go on from what
// was found for the others, and rows found again leave their old runs behind
// until they are dropped.
TEST(KeyedBlit, WritesBetweenCopiesOfWindowsOfAWidePicture) {
    constexpr int W = 700, H = 24, ViewW = 200, ViewH = 30;
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(std::to_string(bpp) + " bits");
        std::mt19937 random(bpp);
        auto map = Surface::Create(W, H, bpp);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) map->SetRawPixel(x, y, (x + 3 * y) % 23 < 4 ? Key : Opaque(random, bpp));
        map->SetColorKey(Key);
        auto view = Surface::Create(ViewW, ViewH, bpp);
        auto pick = [&random](int lo, int hi) { return lo + int(random() % unsigned(hi - lo + 1)); };
        for (int step = 0; step < 3000; ++step) {
            const int y = pick(0, H - 1), x = pick(0, W - 1);
            switch (random() % 12) {
                case 0: map->SetRawPixel(x, y, random() % 2 ? Key : Opaque(random, bpp)); break;
                case 1: {
                    const QelRect block{x, y, std::min(W, x + pick(1, 40)), std::min(H, y + pick(1, 4))};
                    map->Fill(&block, random() % 2 ? Key : Opaque(random, bpp));
                    break;
                }
                case 2: Write(map->Row(y), map->BytesPerPixel(), x, random() % 2 ? Key : Opaque(random, bpp)); break;
                default: {
                    const int w = pick(1, 160), h = pick(1, H);
                    const int sx = pick(0, W - w), sy = pick(0, H - h);
                    const int dx = pick(-8, ViewW - 4), dy = pick(-4, ViewH - 2);
                    const QelRect clip{0, 0, ViewW, ViewH};
                    const std::uint32_t flags =
                        qel::BlitSourceKey | (random() % 4 == 0 ? std::uint32_t(qel::BlitMirrorUpDown) : 0u);
                    ExpectBlitAsOnePixelAtATime(*view, &clip, {dx, dy, dx + w, dy + h}, *map, {sx, sy, sx + w, sy + h},
                                                flags);
                    if (::testing::Test::HasFailure()) return;
                }
            }
        }
    }
}

}  // namespace
