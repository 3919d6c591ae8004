// The game's actor tables: what each builder leaves in the engine's actor table,
// what the tables share, and that they empty and rebuild cleanly between levels.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "actors/ActorBitmaps.h"
#include "logic/GameDeclarations.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteListInternal.h"
#include "world/CollisionSegment.h"

// The records' array allocation goes through the nothrow array new. Counting down
// to a failure lets a test run the builders out of memory at a chosen array;
// otherwise this behaves as the standard one does.
namespace {
std::atomic<int> nothrowArrayNewsUntilFailure{0};
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (nothrowArrayNewsUntilFailure > 0 && --nothrowArrayNewsUntilFailure == 0) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using Builder = void (*)(GameNode*);

struct NamedBuilder {
    const char* name;
    Builder build;
};

const NamedBuilder AllBuilders[] = {
    {"standard", BuildStandardActors}, {"menu", BuildMenuActors},        {"interlude", BuildInterludeActors},
    {"Level_31", BuildLevel31Actors},  {"Level_40", BuildLevel40Actors},
};

// Everything a frame holds, in a form that compares by value.
struct SegmentValues {
    float x1, y1, x2, y2, normalX, normalY;
    int id;
    int type;
    int tag;
    bool operator==(const SegmentValues&) const = default;
};

struct FrameValues {
    std::string fileName;
    std::int32_t width, height;
    COLORREF transparentColor;
    float cannedX, cannedY;
    std::uint32_t delay;
    bool hasHFlip, hasVFlip;
    std::int32_t reserved;
    std::array<std::array<std::int32_t, 2>, 4 * FrameElem::HotSpotCount> hotSpots;
    std::array<std::array<std::int32_t, 4>, 4> boxes;
    std::array<std::vector<SegmentValues>, 4> collisions;
    std::array<float, 10> centres;
    bool pegFrame, useColorKey;
    bool operator==(const FrameValues&) const = default;
};

struct AnimationValues {
    std::int32_t loopFrame;
    const void* sfx;
    int loopSfx;
    bool soundStatus;
    std::vector<FrameValues> frames;
    bool operator==(const AnimationValues&) const = default;
};

using SlotValues = std::vector<AnimationValues>;

std::vector<SegmentValues> SegmentsOf(const List& list) {
    std::vector<SegmentValues> out;
    for (node* n = list.Head(); !n->EOList(); n = n->Next()) {
        const auto* shape = static_cast<const CollisionData*>(n);
        EXPECT_EQ(shape->Type(), CollisionData::SegmentKind);
        const auto* s = static_cast<const CollisionSegment*>(shape);
        out.push_back({s->OriginX(), s->OriginY(), s->EndX(), s->EndY(), s->NormalX(), s->NormalY(), s->Id(),
                       s->TypeByte(), s->Tag()});
    }
    return out;
}

std::array<std::int32_t, 4> BoxOf(const tagRECT& r) { return {r.left, r.top, r.right, r.bottom}; }

FrameValues ValuesOf(const FrameElem& f) {
    FrameValues v{};
    v.fileName = static_cast<const char*>(f.FileName);
    v.width = f.Width;
    v.height = f.Height;
    v.transparentColor = f.TransparentColor;
    v.cannedX = f.CannedX;
    v.cannedY = f.CannedY;
    v.delay = f.Delay;
    v.hasHFlip = f.HasHFlip;
    v.hasVFlip = f.HasVFlip;
    v.reserved = f.Reserved;
    const QelPoint* variants[4] = {f.HotSpots, f.hFHotSpots, f.vFHotSpots, f.hvFHotSpots};
    for (int var = 0; var < 4; ++var)
        for (int i = 0; i < FrameElem::HotSpotCount; ++i)
            v.hotSpots[var * FrameElem::HotSpotCount + i] = {variants[var][i].x, variants[var][i].y};
    v.boxes = {BoxOf(f.Box), BoxOf(f.hFBox), BoxOf(f.vFBox), BoxOf(f.hvFBox)};
    v.collisions = {SegmentsOf(f.Collisions), SegmentsOf(f.hFCollisions), SegmentsOf(f.vFCollisions),
                    SegmentsOf(f.hvFCollisions)};
    v.centres = {f.CenterX, f.MoveX, f.hFCenterX, f.vFCenterX, f.hvFCenterX,
                 f.CenterY, f.MoveY, f.hFCenterY, f.vFCenterY, f.hvFCenterY};
    v.pegFrame = f.PegFrame;
    v.useColorKey = f.UseColorKey;
    return v;
}

SlotValues ValuesOfSlot(int slot) {
    const SpriteElem& s = SpriteList[slot];
    SlotValues out;
    if (s.AnimationCount > 0) {
        EXPECT_NE(s.Animations, nullptr) << "slot " << slot;
    }
    for (int a = 0; a < s.AnimationCount && s.Animations; ++a) {
        const AnimationElem& anim = s.Animations[a];
        AnimationValues av{anim.LoopFrame, anim.SFX, anim.LoopSFX, anim.SoundStatus, {}};
        if (anim.FrameCount > 0) {
            EXPECT_NE(anim.Frames, nullptr) << "slot " << slot << " animation " << a;
        }
        for (int f = 0; f < anim.FrameCount && anim.Frames; ++f) av.frames.push_back(ValuesOf(anim.Frames[f]));
        out.push_back(std::move(av));
    }
    return out;
}

std::vector<SlotValues> WholeTable() {
    std::vector<SlotValues> table;
    for (int slot = 0; slot < ActorTableSize; ++slot) table.push_back(ValuesOfSlot(slot));
    return table;
}

const FrameElem& FrameAt(int slot, int animation) { return SpriteList[slot].Animations[animation].Frames[0]; }

// Every builder starts on an empty table, as the level switch leaves it.
class ActorTableTest : public ::testing::Test {
protected:
    void SetUp() override { EmptyActorTable(); }
    void TearDown() override { EmptyActorTable(); }

    std::vector<SlotValues> FreshTable(Builder build) {
        EmptyActorTable();
        build(nullptr);
        return WholeTable();
    }
};

}  // namespace

TEST_F(ActorTableTest, EachBuilderFillsOnlyItsSlotsWithOneFrameAnimations) {
    struct Case {
        Builder build;
        std::array<int, 7> animationsPerSlot;
    };
    const Case cases[] = {
        {BuildStandardActors, {7, 1, 1, 5, 0, 0, 0}},  {BuildMenuActors, {7, 0, 0, 5, 1, 0, 0}},
        {BuildInterludeActors, {7, 0, 0, 0, 0, 0, 0}}, {BuildLevel31Actors, {7, 1, 1, 5, 0, 7, 0}},
        {BuildLevel40Actors, {7, 1, 1, 5, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        EmptyActorTable();
        c.build(nullptr);
        for (int slot = 0; slot < ActorTableSize; ++slot) {
            SCOPED_TRACE(testing::Message() << "slot " << slot);
            const int expected = slot < 7 ? c.animationsPerSlot[slot] : 0;
            const SpriteElem& s = SpriteList[slot];
            ASSERT_EQ(s.AnimationCount, expected);
            ASSERT_EQ(s.Animations != nullptr, expected > 0);
            for (int a = 0; a < expected; ++a) {
                const AnimationElem& anim = s.Animations[a];
                EXPECT_EQ(anim.FrameCount, 1);
                EXPECT_NE(anim.Frames, nullptr);
                EXPECT_EQ(anim.LoopFrame, 0);
                EXPECT_EQ(anim.SFX, nullptr);
                EXPECT_EQ(anim.LoopSFX, 0);
                EXPECT_TRUE(anim.SoundStatus);
            }
        }
    }
}

TEST_F(ActorTableTest, FramesCarryTheirPictureSizeColourHotPointBoxAndCentre) {
    struct Case {
        Builder build;
        int slot, animation;
        const char* fileName;
        std::uint32_t delay;
        int width, height;
        COLORREF colour;
        int hotX, hotY;
        std::array<std::int32_t, 4> box;
        float centreX, centreY;
        bool keyed;
        int segments;
    };
    const Case cases[] = {
        {BuildStandardActors, 0, 0, "protag.bmp", 55, 32, 32, 0xDC00FF, 8, 8, {0, 0, 31, 31}, 16, 16, true, 4},
        {BuildStandardActors, 0, 5, "protag.bmp", 1, 32, 32, 0xDC00FF, 16, 16, {0, 0, 31, 31}, 16, 16, true, 0},
        {BuildStandardActors, 0, 6, "protagr.bmp", 55, 32, 32, 0xDC00FF, 8, 8, {0, 0, 31, 31}, 16, 16, true, 4},
        {BuildStandardActors, 1, 0, "projectile.bmp", 1, 16, 16, 0xDC00FF, 8, 8, {0, 0, 15, 15}, 8, 8, true, 0},
        {BuildStandardActors, 2, 0, "goal.bmp", 1, 70, 70, 0xF0F0F0, 35, 35, {0, 0, 69, 69}, 35, 35, false, 0},
        // The wide obstacle keeps its registration point 16 pixels in.
        {BuildStandardActors, 3, 2, "clearObst.bmp", 1, 45, 32, 0xDC00FF, 16, 16, {0, 0, 44, 31}, 16, 16, true, 0},
        {BuildStandardActors, 3, 4, "decider.bmp", 1, 32, 32, 0xDC00FF, 16, 16, {0, 0, 31, 31}, 16, 16, true, 0},
        {BuildMenuActors, 0, 5, "protag.bmp", 1, 32, 32, 0xDC00FF, 16, 16, {0, 0, 31, 31}, 16, 16, true, 0},
        {BuildMenuActors,
         4,
         0,
         "titlescreen.bmp",
         1,
         640,
         480,
         0xF0F0F0,
         320,
         240,
         {0, 0, 639, 479},
         320,
         240,
         false,
         0},
        {BuildInterludeActors, 0, 3, "protagm.bmp", 55, 32, 32, 0xDC00FF, 8, 8, {0, 0, 31, 31}, 16, 16, true, 4},
        {BuildLevel31Actors, 5, 0, "gradient1.bmp", 1, 5000, 1, 0xF0F0F0, 2500, 0, {0, 0, 4999, 0}, 2500, 0, false, 0},
        {BuildLevel31Actors, 5, 5, "gradient6.bmp", 1, 5000, 1, 0xF0F0F0, 2500, 0, {0, 0, 4999, 0}, 2500, 0, false, 0},
        // The same picture again, now with its black pixels left out.
        {BuildLevel31Actors, 5, 6, "gradient6.bmp", 1, 5000, 1, 0x000000, 2500, 0, {0, 0, 4999, 0}, 2500, 0, true, 0},
        {BuildLevel40Actors, 6, 0, "credits.bmp", 1, 640, 480, 0xDC00FF, 320, 240, {0, 0, 639, 479}, 320, 240, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "slot " << c.slot << " animation " << c.animation);
        EmptyActorTable();
        c.build(nullptr);
        const FrameElem& f = FrameAt(c.slot, c.animation);
        EXPECT_STREQ(static_cast<const char*>(f.FileName), c.fileName);
        EXPECT_EQ(f.Delay, c.delay);
        EXPECT_EQ(f.Width, c.width);
        EXPECT_EQ(f.Height, c.height);
        EXPECT_EQ(f.TransparentColor, c.colour);
        EXPECT_EQ(f.HotSpots[0].x, c.hotX);
        EXPECT_EQ(f.HotSpots[0].y, c.hotY);
        EXPECT_EQ(BoxOf(f.Box), c.box);
        EXPECT_EQ(f.CenterX, c.centreX);
        EXPECT_EQ(f.CenterY, c.centreY);
        EXPECT_EQ(f.UseColorKey, c.keyed);
        EXPECT_EQ(f.Collisions.Count(), c.segments);
    }
}

// Rules of every frame of every table: no canned motion, no mirrored images, no
// peg registration, the box over the whole picture, a long delay exactly where
// the collision box is, and the fields no builder writes at their defaults.
TEST_F(ActorTableTest, EveryFrameKeepsTheCommonValuesAndUnwrittenDefaults) {
    for (const NamedBuilder& b : AllBuilders) {
        const auto table = FreshTable(b.build);
        for (int slot = 0; slot < ActorTableSize; ++slot) {
            for (std::size_t a = 0; a < table[slot].size(); ++a) {
                SCOPED_TRACE(testing::Message() << b.name << " slot " << slot << " animation " << a);
                const FrameValues& f = table[slot][a].frames.at(0);
                EXPECT_EQ(f.cannedX, 0.0f);
                EXPECT_EQ(f.cannedY, 0.0f);
                EXPECT_FALSE(f.hasHFlip);
                EXPECT_FALSE(f.hasVFlip);
                EXPECT_EQ(f.reserved, 0);
                EXPECT_FALSE(f.pegFrame);
                EXPECT_EQ(f.boxes[0], (std::array<std::int32_t, 4>{0, 0, f.width - 1, f.height - 1}));
                const bool boxed = !f.collisions[0].empty();
                EXPECT_EQ(f.delay, boxed ? 55u : 1u);
                for (int var = 1; var < 4; ++var) {
                    EXPECT_EQ(f.boxes[var], (std::array<std::int32_t, 4>{0, 0, 31, 31}));
                    EXPECT_TRUE(f.collisions[var].empty());
                }
                for (int i = 1; i < 4 * FrameElem::HotSpotCount; ++i)
                    EXPECT_EQ(f.hotSpots[i], (std::array<std::int32_t, 2>{0, 0})) << "hot point " << i;
                for (int i : {1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_EQ(f.centres[i], 0.0f) << "centre field " << i;
                const FrameElem& frame = FrameAt(slot, int(a));
                for (int s = 0; s < 4; ++s) EXPECT_EQ(frame.Surfaces[s], nullptr);
            }
        }
    }
}

// The protagonist's box runs counter-clockwise with outward normals; the engine
// lists shapes last-added first, so the list starts at the right edge.
TEST_F(ActorTableTest, ProtagonistCarriesTheCollisionBoxWithItsFeetOnId1) {
    const std::vector<SegmentValues> fromHead = {
        {30, 29, 30, 2, 1, 0, 0, 0, 0},  // right, facing right
        {1, 29, 30, 29, 0, 1, 1, 0, 0},  // bottom, facing down: the feet
        {1, 2, 1, 29, -1, 0, 0, 0, 0},   // left, facing left
        {30, 2, 1, 2, 0, -1, 0, 0, 0},   // top, facing up
    };
    for (const NamedBuilder& b : AllBuilders) {
        EmptyActorTable();
        b.build(nullptr);
        for (int a = 0; a < 7; ++a) {
            SCOPED_TRACE(testing::Message() << b.name << " animation " << a);
            const auto segments = SegmentsOf(FrameAt(0, a).Collisions);
            if (a == 5)
                EXPECT_TRUE(segments.empty());
            else
                EXPECT_EQ(segments, fromHead);
        }
    }
}

TEST_F(ActorTableTest, OtherTablesTakeTheirSharedSlotsFromTheStandardOneUnchanged) {
    const auto standard = FreshTable(BuildStandardActors);
    struct Case {
        Builder build;
        std::vector<int> sharedSlots;
    };
    const Case cases[] = {
        {BuildMenuActors, {0, 3}},
        {BuildInterludeActors, {0}},
        {BuildLevel31Actors, {0, 1, 2, 3}},
        {BuildLevel40Actors, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        const auto table = FreshTable(c.build);
        for (int slot : c.sharedSlots) EXPECT_EQ(table[slot], standard[slot]) << "slot " << slot;
    }
}

// Whatever level came before, the switch empties the table and the builder
// leaves the same table as on a first entry; leftovers would show under ASan.
TEST_F(ActorTableTest, EveryEntryLeavesTheSameTableWhateverCameBefore) {
    for (const NamedBuilder& next : AllBuilders) {
        const auto expected = FreshTable(next.build);
        for (const NamedBuilder& before : AllBuilders) {
            SCOPED_TRACE(testing::Message() << before.name << " then " << next.name);
            EmptyActorTable();
            before.build(nullptr);
            EmptyActorTable();
            for (int slot = 0; slot < ActorTableSize; ++slot) {
                ASSERT_EQ(SpriteList[slot].AnimationCount, 0);
                ASSERT_EQ(SpriteList[slot].Animations, nullptr);
            }
            next.build(nullptr);
            EXPECT_TRUE(WholeTable() == expected);
        }
    }
}

TEST_F(ActorTableTest, BitmapListGivesEveryPictureItsFramesSizeAndKey) {
    std::set<std::string> used;
    for (const NamedBuilder& b : AllBuilders) {
        const auto table = FreshTable(b.build);
        for (int slot = 0; slot < ActorTableSize; ++slot) {
            for (const AnimationValues& anim : table[slot]) {
                const FrameValues& f = anim.frames.at(0);
                SCOPED_TRACE(f.fileName);
                used.insert(f.fileName);
                const ActorBitmap* entry = nullptr;
                for (const ActorBitmap& bitmap : ActorBitmaps)
                    if (f.fileName == bitmap.fileName) entry = &bitmap;
                ASSERT_NE(entry, nullptr);
                EXPECT_EQ(entry->width, f.width);
                EXPECT_EQ(entry->height, f.height);
                if (f.useColorKey) {
                    EXPECT_TRUE(entry->keyed);
                    EXPECT_EQ(entry->colorKey, f.transparentColor);
                } else if (!entry->keyed) {
                    EXPECT_EQ(entry->colorKey, f.transparentColor);
                }
            }
        }
    }
    EXPECT_EQ(used.size(), std::size_t(ActorBitmapCount));
}

// A table with a count but no array would crash the engine's next walk of it, so
// an exhausted heap ends the game with a message instead.
TEST(ActorTableDeathTest, ARecordArrayThatCannotBeMadeEndsTheGame) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int failingArray : {1, 2, 9}) {  // slot 0's animations, its first frame, slot 1's animations
        SCOPED_TRACE(testing::Message() << "array " << failingArray);
        EXPECT_EXIT(
            {
                EmptyActorTable();
                nothrowArrayNewsUntilFailure = failingArray;
                BuildLevel31Actors(nullptr);
            },
            testing::ExitedWithCode(1), "Not enough memory to build the actor table.");
    }
}
