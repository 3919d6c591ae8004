#include <gtest/gtest.h>

#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteElem.h"
#include "sprites/SpriteListInternal.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"

namespace {

const CollisionSegment& SegmentAt(const List& list, int index) {
    node* n = list.Head();
    for (int i = 0; i < index; ++i) n = n->Next();
    return *static_cast<const CollisionSegment*>(n);
}

TEST(ActorDefinition, FrameDefaults) {
    FrameElem f;
    EXPECT_EQ(f.TransparentColor, 0x00FF00u);
    EXPECT_EQ(f.Box.right, 31);
    EXPECT_EQ(f.hvFBox.bottom, 31);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.Surfaces[i], nullptr);
    EXPECT_EQ(f.Collisions.Count(), 0);
    AnimationElem a;
    EXPECT_TRUE(a.SoundStatus);
    EXPECT_EQ(a.Frames, nullptr);
}

TEST(ActorDefinition, ShapesAddedAtTheHeadAndEmptySegmentsDropped) {
    FrameElem f;
    f.AddCollisionData(CollisionSegment(5, 5, 5, 5, 1, 0, 0));
    EXPECT_EQ(f.Collisions.Count(), 0);
    f.AddCollisionData(CollisionSegment(0, 0, 10, 0, 1, 0, 0));  // A
    f.AddCollisionData(CollisionSegment(0, 5, 10, 5, 2, 0, 0));  // B
    f.AddCollisionData(CollisionCircle(3, 3, 2, 3, 0));          // circles are never dropped
    ASSERT_EQ(f.Collisions.Count(), 3);
    EXPECT_EQ(static_cast<CollisionData*>(f.Collisions.Head())->Type(), 1);
    EXPECT_EQ(SegmentAt(f.Collisions, 1).Id(), 2);
    EXPECT_EQ(SegmentAt(f.Collisions, 2).Id(), 1);
}

TEST(ActorDefinition, MirroredVariants) {
    // (width, hot point, box, expected hF hot point, expected hF box left/right)
    const struct {
        int w, h;
        int hx, hy;
        int boxLeft, boxRight;
        int hfX, vfY;
        int hfBoxLeft, hfBoxRight;
    } cases[] = {
        {32, 32, 8, 8, 0, 31, 23, 23, 0, 31},
        {33, 33, 8, 8, 0, 32, 24, 24, -1, 31},  // odd width: the box lands one pixel left
    };
    for (const auto& c : cases) {
        FrameElem f;
        f.Width = c.w;
        f.Height = c.h;
        f.HotSpots[0] = QelPoint{c.hx, c.hy};
        f.Box = tagRECT{c.boxLeft, 0, c.boxRight, 31};
        f.hFHotSpotArray();
        f.vFHotSpotArray();
        f.hvFHotSpotArray();
        f.hFBoundingBox();
        f.vFBoundingBox();
        f.hvFBoundingBox();
        EXPECT_EQ(f.hFHotSpots[0].x, c.hfX);
        EXPECT_EQ(f.hFHotSpots[0].y, c.hy);
        EXPECT_EQ(f.vFHotSpots[0].x, c.hx);
        EXPECT_EQ(f.vFHotSpots[0].y, c.vfY);
        EXPECT_EQ(f.hvFHotSpots[0].x, c.hfX);
        EXPECT_EQ(f.hvFHotSpots[0].y, c.vfY);
        EXPECT_EQ(f.hFBox.left, c.hfBoxLeft) << c.w;
        EXPECT_EQ(f.hFBox.right, c.hfBoxRight) << c.w;
        EXPECT_EQ(f.hFBox.top, 0);
        EXPECT_EQ(f.hvFBox.left, c.hfBoxLeft);
    }
    FrameElem f;
    f.Width = 32;
    f.Height = 32;
    f.Box = tagRECT{0, 0, 31, 31};
    f.vFBoundingBox();
    EXPECT_EQ(f.vFBox.top, 0);
    EXPECT_EQ(f.vFBox.bottom, 31);
}

TEST(ActorDefinition, MirroredShapesCentresAndMoves) {
    FrameElem f;
    f.Width = 32;
    f.Height = 32;
    f.AddCollisionData(CollisionSegment(2, 30, 30, 30, 4, 6, 9));  // A
    f.AddCollisionData(CollisionCircle(10, 12, 3, 5, 7));          // B
    f.CenterX = 16;
    f.CenterY = 16;
    f.hFCollisionList();
    f.vFCollisionList();
    f.hvFCollisionList();
    f.hFCenter();
    f.vFCenter();
    f.hvFCenter();
    f.FrameFlippingMoves();

    // Collisions runs B, A; each variant runs reversed again: A', B'.
    ASSERT_EQ(f.hFCollisions.Count(), 2);
    const CollisionSegment& h = SegmentAt(f.hFCollisions, 0);
    EXPECT_FLOAT_EQ(h.OriginX(), 1);  // the ends swap under one mirror
    EXPECT_FLOAT_EQ(h.OriginY(), 30);
    EXPECT_FLOAT_EQ(h.EndX(), 29);
    EXPECT_EQ(h.Id(), 4);
    EXPECT_EQ(h.TypeByte(), 6);
    EXPECT_EQ(h.Tag(), 0);
    const auto* hc = static_cast<const CollisionCircle*>(f.hFCollisions.Head()->Next());
    EXPECT_FLOAT_EQ(hc->OriginX(), 22);  // W - cx, without the minus one
    EXPECT_FLOAT_EQ(hc->OriginY(), 12);
    EXPECT_EQ(hc->TypeByte(), 7);

    const CollisionSegment& v = SegmentAt(f.vFCollisions, 0);
    EXPECT_FLOAT_EQ(v.OriginX(), 30);
    EXPECT_FLOAT_EQ(v.OriginY(), 1);
    EXPECT_FLOAT_EQ(v.EndX(), 2);
    const auto* vc = static_cast<const CollisionCircle*>(f.vFCollisions.Head()->Next());
    EXPECT_FLOAT_EQ(vc->OriginY(), 20);

    const CollisionSegment& hv = SegmentAt(f.hvFCollisions, 0);
    EXPECT_FLOAT_EQ(hv.OriginX(), 29);  // both mirrors keep the ends in order
    EXPECT_FLOAT_EQ(hv.OriginY(), 1);
    EXPECT_FLOAT_EQ(hv.EndX(), 1);
    EXPECT_FLOAT_EQ(hv.EndY(), 1);

    EXPECT_FLOAT_EQ(f.hFCenterX, 15);
    EXPECT_FLOAT_EQ(f.hFCenterY, 16);
    EXPECT_FLOAT_EQ(f.vFCenterX, 16);
    EXPECT_FLOAT_EQ(f.vFCenterY, 15);
    EXPECT_FLOAT_EQ(f.hvFCenterX, 15);
    EXPECT_FLOAT_EQ(f.MoveX, 1);
    EXPECT_FLOAT_EQ(f.MoveY, 1);
}

TEST(ActorDefinition, ArrayAllocationAndTableEmptying) {
    ASSERT_EQ(sizeof(SpriteList) / sizeof(SpriteList[0]), 1001u);
    for (int slot : {0, 1000}) {
        SpriteElem& s = SpriteList[slot];
        s.AnimationCount = 2;
        s.Animations = new AnimationElem[2];
        ASSERT_NE(s.Animations, nullptr);
        for (int a = 0; a < 2; ++a) {
            s.Animations[a].FrameCount = 3;
            s.Animations[a].Frames = new FrameElem[3];
            ASSERT_NE(s.Animations[a].Frames, nullptr);
            for (int f = 0; f < 3; ++f) {
                s.Animations[a].Frames[f].FileName = "none.bmp";
                s.Animations[a].Frames[f].AddCollisionData(CollisionSegment(0, 0, 4, 4, 1, 0, 0));
            }
        }
    }
    // A slot whose animation has no frame array is skipped, not read.
    SpriteList[5].AnimationCount = 1;
    SpriteList[5].Animations = new AnimationElem[1];
    SpriteList[5].Animations[0].FrameCount = 4;

    ClearActorFrames();
    EXPECT_EQ(SpriteList[0].AnimationCount, 2);
    EXPECT_EQ(SpriteList[0].Animations[1].Frames[2].Collisions.Count(), 0);

    EmptyActorTable();
    for (int slot : {0, 5, 1000}) {
        EXPECT_EQ(SpriteList[slot].AnimationCount, 0);
        EXPECT_EQ(SpriteList[slot].Animations, nullptr);
    }
}

}  // namespace
