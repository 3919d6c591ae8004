#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>

#include "InputTestSupport.h"
#include "foundation/UserError.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"

namespace {

using namespace inputtest;

class MouseTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        keyboard = std::make_unique<Keyboard>(nullptr, nullptr);
        mouse = std::make_unique<Mouse>(nullptr, nullptr);
        session.keyboard = keyboard.get();
        session.mouse = mouse.get();
        QelRect screen{0, 0, 640, 480};
        mouse->SetMotionRect(&screen);
    }
    void TearDown() override {
        mouse.reset();
        keyboard.reset();
        InputTest::TearDown();
    }

    // One frame: the pump, then the mouse's update.
    std::uint32_t Frame() {
        Pump();
        std::memset(static_cast<void*>(events), 0x5A, sizeof events);
        MouseEvent* out = events;
        const std::uint32_t n = mouse->Update(out);
        EXPECT_EQ(out, events);
        return n;
    }
    void Click(bool down) { Button(SDL_BUTTON_LEFT, down); }

    std::unique_ptr<Keyboard> keyboard;
    std::unique_ptr<Mouse> mouse;
    MouseEvent events[256];
};

TEST_F(MouseTest, MotionIsScaledTruncatedAndReportedWithItsWorldPosition) {
    struct Case {
        int level;
        int delta;
        int rel;
    };
    const Case cases[] = {{1, -3, -1}, {1, 1, 0}, {0, 5, 5}, {2, 3, 6}, {2, -4, -8}, {1, 7, 3}};
    session.viewportX = 1000.5f;
    session.viewportY = 20.0f;
    mouse->Locate(300, 200);
    for (const Case& c : cases) {
        mouse->SetSensitivity(c.level);
        mouse->SetSensitivity(9);  // not a level: no change
        const int x0 = mouse->ViewportX(), y0 = mouse->ViewportY();
        Motion(c.delta, c.delta);
        ASSERT_EQ(Frame(), 2u) << c.delta;
        EXPECT_TRUE(mouse->IsMoving());
        EXPECT_EQ(mouse->RelX(), c.rel);
        EXPECT_EQ(mouse->RelY(), c.rel);
        EXPECT_EQ(mouse->ViewportX(), x0 + c.rel);
        EXPECT_EQ(mouse->ViewportY(), y0 + c.rel);
        EXPECT_EQ(mouse->WorldX(), int(1000.5f + float(x0 + c.rel)));
        EXPECT_EQ(mouse->X(), mouse->WorldX());
        EXPECT_EQ(mouse->Y(), 20 + y0 + c.rel);
        EXPECT_EQ(events[0].kind, MouseEvent::MoveX);
        EXPECT_EQ(events[0].value, c.rel);
        EXPECT_EQ(events[0].unused[0] | events[0].unused[1], 0);
        EXPECT_EQ(events[0].world, mouse->WorldX());
        EXPECT_EQ(events[1].kind, MouseEvent::MoveY);
        EXPECT_EQ(events[1].world, mouse->WorldY());
    }
    EXPECT_EQ(Frame(), 0u);
    EXPECT_FALSE(mouse->IsMoving());
    EXPECT_EQ(mouse->RelX(), 0);
    EXPECT_EQ(mouse->RelY(), 0);
}

TEST_F(MouseTest, TheCursorStaysInsideTheMotionRectangleAndLargeMovesTravelAsSeveralEvents) {
    QelRect r{10, 20, 110, 220};
    mouse->SetMotionRect(&r);
    EXPECT_EQ(mouse->ViewportX(), 10);
    EXPECT_EQ(mouse->ViewportY(), 20);
    struct Case {
        int dx, dy, x, y;
    };
    const Case cases[] = {
        {1000000, 1000000, 109, 219}, {-2000000000, -5, 10, 214}, {50, -2000000000, 60, 20}, {300, 0, 109, 20}};
    for (const Case& c : cases) {
        Motion(c.dx, c.dy);
        const std::uint32_t n = Frame();
        EXPECT_EQ(mouse->ViewportX(), c.x);
        EXPECT_EQ(mouse->ViewportY(), c.y);
        long long sumX = 0, sumY = 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (events[i].kind == MouseEvent::MoveX) sumX += events[i].value;
            if (events[i].kind == MouseEvent::MoveY) sumY += events[i].value;
        }
        // Every value is a signed byte; a delta that fits the events is whole.
        if (c.dx == 300) {
            EXPECT_EQ(n, 3u);
            EXPECT_EQ(sumX, 300);
        }
        EXPECT_LE(n, 256u);
    }
}

TEST_F(MouseTest, ButtonsAreReportedAndFollowThePerFrameRule) {
    Button(SDL_BUTTON_RIGHT, true);
    Button(SDL_BUTTON_MIDDLE, true);
    ASSERT_EQ(Frame(), 2u);
    EXPECT_EQ(events[0].kind, MouseEvent::Button1);
    EXPECT_EQ(events[0].value, 1);
    EXPECT_EQ(events[1].kind, MouseEvent::Button2);
    EXPECT_TRUE(mouse->IsTriggered(1));
    EXPECT_TRUE(mouse->IsPressed(2));
    EXPECT_FALSE(mouse->IsPressed(0));
    EXPECT_TRUE(mouse->Any());
    unsigned char b = 9;
    EXPECT_TRUE(mouse->GetKey(b));
    EXPECT_EQ(b, 1);
    Button(SDL_BUTTON_RIGHT, false);
    ASSERT_EQ(Frame(), 1u);
    EXPECT_EQ(events[0].kind, MouseEvent::Button1);
    EXPECT_EQ(events[0].value, 0);
    EXPECT_FALSE(mouse->IsPressed(1));
    EXPECT_FALSE(mouse->IsTriggered(2));
    EXPECT_EQ(mouse->HoldCounter(2), 2u);
    EXPECT_EQ(mouse->TapCounter(1), 1u);
    EXPECT_FALSE(mouse->GetKey(b));
    // Button numbers beyond the three are never pressed and never read past the end.
    for (unsigned char outside : {3, 4, 200, 255}) {
        EXPECT_FALSE(mouse->IsPressed(outside));
        EXPECT_TRUE(mouse->IsNotPressed(outside));
        EXPECT_FALSE(mouse->IsTriggered(outside));
        EXPECT_EQ(mouse->TapCounter(outside), 0u);
        EXPECT_EQ(mouse->HoldCounter(outside), 0u);
    }
}

TEST_F(MouseTest, DoubleClicksNeedASecondPressWithinTheWindow) {
    struct Case {
        unsigned gap;
        bool doubleClick;
    };
    const Case cases[] = {{5, true}, {25, true}, {4, false}, {26, false}, {15, true}};
    for (const Case& c : cases) {
        mouse->ResetKeys();
        Frame();
        Frame();
        Click(true);
        Frame();
        EXPECT_FALSE(mouse->IsDoubleClicked(0));
        Click(false);
        for (unsigned f = 1; f < c.gap; ++f) Frame();
        Click(true);
        Frame();
        EXPECT_EQ(mouse->IsDoubleClicked(0), c.doubleClick) << "gap " << c.gap;
        Click(false);
        Frame();
        EXPECT_FALSE(mouse->IsDoubleClicked(0));  // for one frame only
        if (c.gap == 4 || c.gap == 26) {
            // A press that came too soon or too late starts no pair: the next
            // press is a first press again, and the one after it completes.
            for (int f = 1; f < 5; ++f) Frame();
            Click(true);
            Frame();
            EXPECT_FALSE(mouse->IsDoubleClicked(0)) << "gap " << c.gap;
            Click(false);
            for (int f = 0; f < 5; ++f) Frame();
            Click(true);
            Frame();
            EXPECT_TRUE(mouse->IsDoubleClicked(0)) << "gap " << c.gap;
            Click(false);
            Frame();
        }
        for (int f = 0; f < 30; ++f) Frame();
    }
}

TEST_F(MouseTest, DoubleClickSpeedCentresTheWindowOnTheSpeed) {
    EXPECT_EQ(mouse->DoubleClickAccuracy(), 10u);
    EXPECT_EQ(mouse->DoubleClickSpeed(), 15u);
    struct Case {
        unsigned accuracy, speed, minimum, maximum, getter;
    };
    const Case cases[] = {{10, 3, 0, 20, 10}, {10, 30, 20, 40, 30}, {4, 4, 0, 8, 4}, {0, 7, 7, 7, 7}};
    for (const Case& c : cases) {
        mouse->DoubleClickAccuracy(c.accuracy);
        mouse->DoubleClickSpeed(c.speed);
        EXPECT_EQ(mouse->DoubleClickMinimum(), c.minimum);
        EXPECT_EQ(mouse->DoubleClickMaximum(), c.maximum);
        EXPECT_EQ(mouse->DoubleClickSpeed(), c.getter);
    }
}

TEST_F(MouseTest, IsDoubleClickedReadsButtonTwoForAnyOtherNumber) {
    mouse->DoubleClickSpeed(10);
    Button(SDL_BUTTON_MIDDLE, true);
    Frame();
    Button(SDL_BUTTON_MIDDLE, false);
    for (int f = 1; f < 10; ++f) Frame();
    Button(SDL_BUTTON_MIDDLE, true);
    Frame();
    for (unsigned char b : {2, 3, 7, 255}) EXPECT_TRUE(mouse->IsDoubleClicked(b)) << int(b);
    EXPECT_FALSE(mouse->IsDoubleClicked(0));
    EXPECT_FALSE(mouse->IsDoubleClicked(1));
}

TEST_F(MouseTest, TheWheelAnswersItsDirection) {
    Wheel(1);
    Frame();
    EXPECT_EQ(mouse->Wheel(), 1);
    EXPECT_EQ(events[0].kind, MouseEvent::Wheel);
    EXPECT_EQ(events[0].value, 120);
    Wheel(1, true);
    Frame();
    EXPECT_EQ(mouse->Wheel(), -1);
    Frame();
    EXPECT_EQ(mouse->Wheel(), 0);
    EXPECT_TRUE(mouse->HaveWheel());
}

TEST_F(MouseTest, LocateAndSetMotionRectRefuseWhatDoesNotFit) {
    QelRect r{10, 20, 110, 220};
    mouse->SetMotionRect(&r);
    mouse->Locate(50, 60);
    EXPECT_EQ(mouse->ViewportX(), 50);
    EXPECT_EQ(mouse->ViewportY(), 60);
    mouse->Locate(110, 60);  // right edge is outside
    EXPECT_STREQ(_UE.ErrorMessage,
                 "The new location (110, 60) of the mouse is outside its motion rect, so it is not set.");
    EXPECT_STREQ(_UE.TargetFunction, "void Mouse::Locate(unsigned int,unsigned int)");
    mouse->Locate(4000000000u, 60);
    EXPECT_EQ(mouse->ViewportX(), 50);
    EXPECT_EQ(mouse->ViewportY(), 60);
    QelRect empties[] = {{10, 10, 10, 20}, {10, 10, 20, 5}};
    for (QelRect& e : empties) {
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        mouse->SetMotionRect(&e);
        EXPECT_STREQ(_UE.ErrorMessage,
                     "The new motion rectangle is empty or not provided, so the motion rectangle is not set.");
    }
    mouse->SetMotionRect(nullptr);
    EXPECT_STREQ(_UE.TargetFunction, "void Mouse::SetMotionRect(QelRect *)");
    EXPECT_EQ(mouse->MotionRect().right, 110);
    EXPECT_EQ(mouse->ViewportX(), 50);
    QelRect inside{50, 60, 51, 61}, outside{0, 0, 50, 60};
    EXPECT_TRUE(mouse->InRect(&inside));
    EXPECT_FALSE(mouse->InRect(&outside));
    EXPECT_FALSE(mouse->InRect(nullptr));
}

TEST_F(MouseTest, FocusLossReleasesTheButtonsUntilInputStartsAgain) {
    Click(true);
    Frame();
    ASSERT_TRUE(mouse->IsPressed(0));
    Focus(false);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_TRUE(mouse->Nothing());
    Motion(5, 5);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_NE(mouse->StartReceivingData(), 0);
    Focus(true);
    Pump();
    EXPECT_EQ(mouse->StartReceivingData(), 0);
    Motion(5, 0);
    EXPECT_EQ(Frame(), 1u);
    mouse->StopReceivingData();
    Motion(5, 0);
    EXPECT_EQ(Frame(), 0u);
}

TEST_F(MouseTest, AFailedReadHoldsTheButtonsWithoutTriggeringAgainAndStillRecords) {
    session.recording = true;
    Click(true);
    Motion(3, 0);
    Frame();
    ASSERT_TRUE(mouse->IsTriggered(0));
    qel::FailNextInputRead(qel::InputDeviceKind::Mouse, std::int32_t(0x80004005u));
    EXPECT_EQ(Frame(), 0u);
    EXPECT_TRUE(mouse->IsPressed(0));
    EXPECT_FALSE(mouse->IsTriggered(0));
    EXPECT_EQ(mouse->HoldCounter(0), 2u);
    EXPECT_FALSE(mouse->IsMoving());
    ASSERT_EQ(session.mouseFlags.Size(), 2u);
    ASSERT_EQ(session.mouseMoves.Size(), 2u);
    EXPECT_EQ(session.mouseFlags[0], MouseFlagButton0 | MouseFlagMovedX);
    EXPECT_EQ(session.mouseMoves[0].x, 3);
    EXPECT_EQ(session.mouseFlags[1], MouseFlagButton0);
    EXPECT_EQ(session.mouseMoves[1].x, 0);
}

TEST_F(MouseTest, APlayedWheelMotionOfZeroReadsAsDown) {
    session.mouseFlags.Add(MouseFlagWheel);
    session.mouseMoves.Add({0, 0, 0});
    session.replaying = true;
    Frame();
    EXPECT_EQ(mouse->Wheel(), -1);
}

TEST_F(MouseTest, TheSavedRecordComesBackAndABadOneIsBroughtInside) {
    mouse->SetSensitivity(1);
    mouse->Locate(100, 100);
    mouse->DoubleClickSpeed(20);
    MouseRecord saved = mouse->Record();
    EXPECT_EQ(saved.sensitivity, 0.5f);
    EXPECT_EQ(saved.x, 100);
    EXPECT_EQ(saved.motionRect.right, 640);
    EXPECT_EQ(saved.minimum, 10u);

    Mouse other(nullptr, nullptr);
    other.Restore(saved);
    const MouseRecord back = other.Record();
    EXPECT_EQ(back.sensitivity, saved.sensitivity);
    EXPECT_EQ(back.x, saved.x);
    EXPECT_EQ(back.y, saved.y);
    EXPECT_EQ(back.motionRect.right, saved.motionRect.right);
    EXPECT_EQ(back.motionRect.bottom, saved.motionRect.bottom);
    EXPECT_EQ(back.minimum, saved.minimum);
    EXPECT_EQ(back.maximum, saved.maximum);
    EXPECT_EQ(back.accuracy, saved.accuracy);

    MouseRecord bad = saved;
    bad.motionRect = {5, 5, 5, 5};
    bad.x = 9999;
    bad.y = -9999;
    bad.sensitivity = std::numeric_limits<float>::quiet_NaN();
    other.Restore(bad);
    EXPECT_EQ(other.MotionRect().right, 640);
    EXPECT_EQ(other.ViewportX(), 639);
    EXPECT_EQ(other.ViewportY(), 0);
    EXPECT_EQ(other.Record().sensitivity, 0.5f);
}

}  // namespace
