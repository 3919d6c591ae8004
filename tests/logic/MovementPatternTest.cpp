#include <string>
#include <vector>

#include "LogicFixture.h"
#include "logic/MovementPattern.h"
#include "logic/PathTablesInternal.h"
#include "sprites/Sprite.h"

namespace logictest {
namespace {

class MovementPatternTest : public LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        MPArray = NewMovementPatterns(2);
        maxMPIndex = 1;
    }
    void TearDown() override {
        FreeMovementPatterns(MPArray);
        MPArray = nullptr;
        maxMPIndex = -1;
        LogicTest::TearDown();
    }

    // Pattern 0: legs of 5 (right) and 3 (down).
    MovementPattern& RightThenDown() {
        MovementPattern& p = MPArray[0];
        p.Name("zigzag");
        p.NumberOfVectors(2);
        p.CalculateVectorPattern(0, 5, 0);
        p.CalculateVectorPattern(1, 0, 3);
        return p;
    }

    Sprite sprite;
};

TEST_F(MovementPatternTest, LegsAreMadeFromDisplacementsAndBadNumbersAreReported) {
    MovementPattern p;
    p.NumberOfVectors(2);
    p.CalculateVectorPattern(0, 3, 4);
    p.CalculateVectorPattern(1, 0, 0);
    EXPECT_FLOAT_EQ(p.Vector(0)->length, 5.0f);
    EXPECT_FLOAT_EQ(p.Vector(0)->directionX, 0.6f);
    EXPECT_FLOAT_EQ(p.Vector(0)->directionY, 0.8f);
    EXPECT_EQ(p.Vector(1)->length, 0.0f);
    EXPECT_EQ(p.Vector(1)->directionX, 0.0f);
    EXPECT_EQ(p.Vector(2), nullptr);

    const struct {
        int leg;
        const char* message;
    } bad[] = {
        {2, "The pattern vector number must be less than the total number of vectors initialized."},
        {-1, "The pattern vector number must be greater or equal to zero."},
    };
    for (const auto& b : bad) {
        ClearReport();
        UserError::Errors.Clear();
        p.CalculateVectorPattern(b.leg, 9, 9);
        EXPECT_EQ(ReportedMessage(), b.message);
        EXPECT_EQ(ReportedTarget(), "void MovementPattern::CalculateVectorPattern(int,int,int)");
    }
    EXPECT_FLOAT_EQ(p.Vector(0)->length, 5.0f);

    p.NumberOfVectors(0);  // ignored
    EXPECT_EQ(p.NumberOfVectors(), 2u);
    EXPECT_FLOAT_EQ(p.Vector(0)->length, 5.0f);
}

TEST_F(MovementPatternTest, CopiesCarryTheLegsAndAPatternWithoutLegsEmptiesTheTarget) {
    MovementPattern& source = RightThenDown();
    MovementPattern copy(source);
    MovementPattern fromPointer(&source);
    node* cloned = source.Clone();
    const MovementPattern* copies[] = {&copy, &fromPointer, static_cast<const MovementPattern*>(cloned)};
    for (const MovementPattern* p : copies) {
        EXPECT_STREQ(p->Name(), "zigzag");
        ASSERT_EQ(p->NumberOfVectors(), 2u);
        EXPECT_FLOAT_EQ(p->Vector(1)->directionY, 1.0f);
        EXPECT_NE(p->Vector(1), source.Vector(1));
    }
    delete cloned;
    copy = MovementPattern();
    EXPECT_EQ(copy.NumberOfVectors(), 0u);
    EXPECT_EQ(copy.Vector(0), nullptr);
    copy.Name(nullptr);
    EXPECT_STREQ(copy.Name(), "");
}

struct FrameCase {
    int step;
    float distance;
    float directionX, directionY;
};

TEST_F(MovementPatternTest, LegsEndByTheDistanceTravelledAndTheOvershootIsDropped) {
    RightThenDown();
    sprite.ApplyMovementPattern(0);
    EXPECT_FALSE(sprite.ApplyingMovementPattern());
    sprite.Speed(2);
    sprite.StartMovementPattern(false, false);
    // Speed 2 on legs of 5 and 3.
    const FrameCase frames[] = {
        {0, 2, 1, 0},  {0, 4, 1, 0},  {1, 0, 1, 0},  // leg 0 ends at 6: direction kept
        {1, 2, 0, 1},  {-1, 0, 0, 1},                // leg 1 ends at 4: the pattern stops
        {-1, 0, 0, 1},                               // and stays stopped
    };
    int n = 0;
    for (const FrameCase& f : frames) {
        ++n;
        MPArray[0].UpdateMovementPattern(&sprite);
        EXPECT_EQ(sprite.patternStep, f.step) << "frame " << n;
        EXPECT_EQ(sprite.patternDistance, f.distance) << "frame " << n;
        EXPECT_EQ(sprite.DirectionX(), f.directionX) << "frame " << n;
        EXPECT_EQ(sprite.DirectionY(), f.directionY) << "frame " << n;
    }
    EXPECT_FALSE(sprite.ApplyingMovementPattern());
}

TEST_F(MovementPatternTest, ALoopReturnsToItsStartUnlessPegRegistered) {
    RightThenDown();
    for (bool peg : {false, true}) {
        Sprite s;
        s.PegRegistered(peg);
        s.mapX = 100;
        s.mapY = 50;
        s.ApplyMovementPattern(0);
        s.Speed(10);
        s.StartMovementPattern(true, true);
        s.mapX = 140;
        s.mapY = 90;
        MPArray[0].UpdateMovementPattern(&s);  // leg 0 over
        MPArray[0].UpdateMovementPattern(&s);  // leg 1 over: back to leg 0
        EXPECT_EQ(s.patternStep, 0);
        EXPECT_TRUE(s.MovementPatternLoop());
        EXPECT_EQ(s.mapX, peg ? 140.0f : 100.0f) << peg;
        EXPECT_EQ(s.mapY, peg ? 90.0f : 50.0f) << peg;
    }
}

TEST_F(MovementPatternTest, AZeroLegEndsAtOnceEvenWithoutSpeed) {
    MovementPattern& p = MPArray[1];
    p.NumberOfVectors(2);
    p.CalculateVectorPattern(0, 0, 0);
    p.CalculateVectorPattern(1, -4, 0);
    sprite.ApplyMovementPattern(1);
    sprite.StartMovementPattern(false);
    p.UpdateMovementPattern(&sprite);
    EXPECT_EQ(sprite.patternStep, 1);
    EXPECT_EQ(sprite.DirectionX(), 0.0f);
    p.UpdateMovementPattern(&sprite);
    EXPECT_EQ(sprite.DirectionX(), -1.0f);
}

TEST_F(MovementPatternTest, TheSpriteSideBindsStartsStopsAndAnswers) {
    RightThenDown();
    for (int bad : {-1, 2}) {
        ClearReport();
        UserError::Errors.Clear();
        sprite.ApplyMovementPattern(bad);
        EXPECT_EQ(ReportedMessage(), "The movement pattern " + std::to_string(bad) + " cannot be found.");
        EXPECT_EQ(ReportedTarget(), "void Sprite::ApplyMovementPattern(int)");
    }
    EXPECT_EQ(sprite.MovementPatternName(), nullptr);
    EXPECT_FALSE(sprite.EndOfMovementPattern());
    sprite.ApplyMovementPattern(0);
    EXPECT_STREQ(sprite.MovementPatternName(), "zigzag");
    sprite.Speed(2);
    sprite.StartMovementPattern(true);
    EXPECT_TRUE(sprite.ApplyingMovementPattern());
    // The end is near once the last leg is within one frame's travel.
    const struct {
        int step;
        float distance;
        bool end;
    } ends[] = {{0, 4.5f, false}, {1, 0.5f, false}, {1, 1.0f, true}, {1, 2.5f, true}};
    for (const auto& e : ends) {
        sprite.patternStep = e.step;
        sprite.patternDistance = e.distance;
        EXPECT_EQ(sprite.EndOfMovementPattern(), e.end) << e.step << " " << e.distance;
    }
    sprite.StopMovementPattern();
    EXPECT_FALSE(sprite.ApplyingMovementPattern());
    EXPECT_FALSE(sprite.MovementPatternLoop());
    EXPECT_EQ(sprite.patternDistance, 0.0f);
    // A leg number from a damaged record stops the pattern instead of reading past it.
    sprite.patternStep = 7;
    sprite.UpdateMovementPattern();
    EXPECT_EQ(sprite.patternStep, -1);
}

TEST_F(MovementPatternTest, TheDrawingOriginFollowsTheStartOrTheSprite) {
    RightThenDown();
    sprite.mapX = 10;
    sprite.mapY = 20;
    sprite.ApplyMovementPattern(0);
    sprite.StartMovementPattern(false, true);
    sprite.mapX = 70;
    sprite.DisplayPattern(true, 0);
    EXPECT_EQ(sprite.patternValues[0], 10.0f);  // back at its start: the start point
    EXPECT_EQ(sprite.patternValues[3], 20.0f);
    sprite.StartMovementPattern(false, false);
    sprite.mapX = 90;
    sprite.DisplayPattern(true, 0);
    EXPECT_EQ(sprite.patternValues[0], 90.0f);  // the sprite where it stands
    EXPECT_EQ(sprite.patternValues[2], 90.0f);
    sprite.patternDistance = 1;
    sprite.mapX = 200;
    sprite.DisplayPattern(true, 0);
    EXPECT_EQ(sprite.patternValues[0], 90.0f);  // under way: the stored origin
}

}  // namespace
}  // namespace logictest
