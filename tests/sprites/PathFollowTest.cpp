#include <cmath>
#include <string>

#include "CollisionFixture.h"

namespace {

// A 32 x 32 box actor with hot point 0 at the middle of its bottom edge
// (down rays) and hot point 1 at the middle of its right edge (side rays).
class PathFollowTest : public WindowedCollisionTest {
protected:
    static constexpr int Path = 7, Other = 9;

    void SetUp() override {
        WindowedCollisionTest::SetUp();
        FrameElem& f = Frame(BoxActor);
        f.HotSpots[0] = QelPoint{16, 31};
        f.HotSpots[1] = QelPoint{31, 16};
        walker = Add("walker", BoxActor, map, 84, 100);  // hot point 0 at (100, 131)
    }

    void Segment(float x1, float y1, float x2, float y2, int id = Path) {
        map->AddCollisionData(CollisionSegment(x1, y1, x2, y2, id, 0, 0));
    }
    void Direction(float& x, float& y) const {
        x = walker->DirectionX();
        y = walker->DirectionY();
    }

    Sprite* walker = nullptr;
};

TEST_F(PathFollowTest, ASlopeIsFollowedPointingTheFollowersWayWhicheverWayItWasDrawn) {
    const struct {
        bool drawnRightward;
        bool right;
        float x, y;
    } cases[] = {
        {true, true, 0.894427f, -0.447214f},
        {false, true, 0.894427f, -0.447214f},
        {true, false, -0.894427f, 0.447214f},
        {false, false, -0.894427f, 0.447214f},
    };
    for (const auto& c : cases) {
        map->RemoveCollisionData(Path, 0);
        EXPECT_EQ(walker->followedSegment, nullptr) << "the followed shape was just removed";
        // Rising to the right, under the walker's feet.
        if (c.drawnRightward)
            Segment(0, 300, 400, 100);
        else
            Segment(400, 100, 0, 300);
        if (c.right)
            walker->FollowPathRight(Path, sprites::DOWN, 0, false, 0);
        else
            walker->FollowPathLeft(Path, sprites::DOWN, 0, false, 0);
        EXPECT_NEAR(walker->DirectionX(), c.x, 1e-5) << c.drawnRightward << c.right;
        EXPECT_NEAR(walker->DirectionY(), c.y, 1e-5) << c.drawnRightward << c.right;
        EXPECT_EQ(walker->followDirection, c.right ? 1 : 2);
    }
}

TEST_F(PathFollowTest, WrongRaysAndHotPointsAreRefusedWithoutTouchingTheSprite) {
    Segment(0, 300, 400, 300);
    const struct {
        void (Sprite::*follow)(unsigned int, unsigned int, unsigned int, bool, COLORREF);
        unsigned int ray, hot;
        const char* message;
        const char* target;
    } cases[] = {
        {&Sprite::FollowPathRight, sprites::LEFT, 0, "The ray direction can only be set to UP or DOWN.",
         "void Sprite::FollowPathRight(unsigned int,unsigned int,unsigned int,bool,COLORREF)"},
        {&Sprite::FollowPathLeft, sprites::RIGHT, 0, "The ray direction can only be set to UP or DOWN.",
         "void Sprite::FollowPathLeft(unsigned int,unsigned int,unsigned int,bool,COLORREF)"},
        {&Sprite::FollowPathUp, sprites::DOWN, 0, "The ray direction can only be set to RIGHT or LEFT.",
         "void Sprite::FollowPathUp(unsigned int,unsigned int,unsigned int,bool,COLORREF)"},
        {&Sprite::FollowPathDown, sprites::UP, 0, "The ray direction can only be set to RIGHT or LEFT.",
         "void Sprite::FollowPathDown(unsigned int,unsigned int,unsigned int,bool,COLORREF)"},
        {&Sprite::FollowPathRight, sprites::DOWN, 5,
         "The hot point 5 of the current sprite, is greater than the maximum of hot points allowed.",
         "void Sprite::FollowPathRight(unsigned int,unsigned int,unsigned int,bool,COLORREF)"},
        {&Sprite::FollowPathRight, 5, 0, "", ""},  // an unknown ray code: silently nothing
    };
    for (const auto& c : cases) {
        ClearUserErrors();
        Sprite* w = walker;
        (w->*c.follow)(Path, c.ray, c.hot, false, 0);
        EXPECT_EQ(std::string(_UE.ErrorMessage), c.message);
        EXPECT_EQ(std::string(_UE.TargetFunction), c.target);
        EXPECT_EQ(walker->followDirection, -1);
        EXPECT_EQ(walker->DirectionX(), 0.0f);
        EXPECT_EQ(walker->followedSegment, nullptr);
    }
}

TEST_F(PathFollowTest, TheFollowedSegmentWinsAtAJunctionUntilAnotherFollowerRuns) {
    Segment(0, 300, 200, 310);                                  // A: slightly falling
    Segment(150, 280, 400, 280);                                // B: level, above A where they overlap
    walker->FollowPathRight(Path, sprites::DOWN, 0, false, 0);  // only A under x = 100
    ASSERT_NE(walker->followedSegment, nullptr);
    node* a = walker->followedSegment;
    EXPECT_GT(walker->DirectionY(), 0.0f);

    walker->MapPosition(154, 100, false);  // x = 170: B is nearer, A still under the feet
    walker->FollowPathRight(Path, sprites::DOWN, 0, false, 0);
    EXPECT_EQ(walker->followedSegment, a);
    EXPECT_GT(walker->DirectionY(), 0.0f);

    walker->FollowPathLeft(Path, sprites::DOWN, 0, false, 0);  // clears, then takes the nearest
    EXPECT_NE(walker->followedSegment, a);
    EXPECT_EQ(walker->DirectionX(), -1.0f);
    EXPECT_EQ(walker->DirectionY(), 0.0f);

    walker->MapPosition(284, 100, false);  // x = 300: off A; B, the followed one, alone
    walker->FollowPathLeft(Path, sprites::DOWN, 0, false, 0);
    EXPECT_EQ(walker->DirectionX(), -1.0f);
}

TEST_F(PathFollowTest, ANearerSegmentOfAnotherIdHidesThePath) {
    Segment(0, 300, 400, 300);
    Segment(0, 200, 400, 180, Other);
    walker->directionX = 0.5f;
    walker->FollowPathRight(Path, sprites::DOWN, 0, false, 0);
    EXPECT_EQ(walker->DirectionX(), 0.5f);
    EXPECT_EQ(walker->followedSegment, nullptr);
    // Following the other id, the nearer segment is the one taken.
    walker->FollowPathRight(Other, sprites::DOWN, 0, false, 0);
    EXPECT_GT(walker->DirectionX(), 0.99f);
}

TEST_F(PathFollowTest, UpAndDownFollowersTreatALevelSegmentOppositely) {
    Segment(200, 116, 300, 116);  // level with hot point 1, ahead of it
    walker->FollowPathDown(Path, sprites::RIGHT, 1, false, 0);
    EXPECT_EQ(walker->DirectionX(), -1.0f);
    EXPECT_EQ(walker->followDirection, 4);
    walker->FollowPathUp(Path, sprites::RIGHT, 1, false, 0);
    EXPECT_EQ(walker->DirectionX(), 1.0f);
    EXPECT_EQ(walker->followDirection, 3);
    // A wall beside the walker: up points up it, down points down it.
    map->RemoveCollisionData(Path, 0);
    EXPECT_EQ(walker->followedSegment, nullptr);
    Segment(300, 0, 300, 400);
    walker->FollowPathUp(Path, sprites::RIGHT, 1, false, 0);
    EXPECT_EQ(walker->DirectionY(), -1.0f);
    walker->FollowPathDown(Path, sprites::RIGHT, 1, false, 0);
    EXPECT_EQ(walker->DirectionY(), 1.0f);
}

TEST_F(PathFollowTest, AFollowedShapeFromADamagedRecordThatIsACircleIsIgnored) {
    Segment(0, 300, 400, 300);
    CollisionCircle circle(100, 300, 5, Path, 0);
    walker->followedSegment = &circle;
    walker->followDirection = 1;
    walker->FollowPathRight(Path, sprites::DOWN, 0, false, 0);
    EXPECT_EQ(walker->DirectionX(), 1.0f);
    walker->followedSegment = nullptr;
}

}  // namespace
