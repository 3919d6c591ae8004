#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace {

using qel::Message;
using qel::Msg;
using qel::SimulatedEvent;

// A visible window whose procedure records every message it is given.
class WindowFixture : public testing::Test {
protected:
    void SetUp() override {
        window = qel::Window::Create({}, [this](const Message& m) {
            seen.push_back(m.message);
            if (m.message == Msg::Destroy) qel::PostQuitMessage(0);
            return qel::DefWindowProc(m);
        });
        ASSERT_NE(window, nullptr);
        Message m;
        while (qel::PeekMessage(m)) {
        }  // whatever the system said on creation
        seen.clear();
    }
    void TearDown() override {
        qel::DestroyWindow(window);
        qel::ClearMessageQueue();
        qel::SetFrameHook({});
    }
    // Messages removed one per pass, as the main loop does, until the queue is empty.
    std::vector<Msg> Drain() {
        std::vector<Msg> out;
        Message m;
        while (qel::PeekMessage(m)) {
            out.push_back(m.message);
            if (m.message != Msg::Quit) qel::DispatchMessage(m);
        }
        return out;
    }

    HWND window = nullptr;
    std::vector<Msg> seen;
};

TEST_F(WindowFixture, WindowEventsBecomeMessagesInOrderOnePerPass) {
    qel::SimulateWindowEvent(window, SimulatedEvent::FocusLost);
    qel::SimulateWindowEvent(window, SimulatedEvent::FocusGained);
    qel::SimulateWindowEvent(window, SimulatedEvent::Exposed);
    Message m;
    ASSERT_TRUE(qel::PeekMessage(m));
    EXPECT_EQ(m.message, Msg::KillFocus);
    EXPECT_EQ(m.window, window);
    ASSERT_TRUE(qel::PeekMessage(m));
    EXPECT_EQ(m.message, Msg::SetFocus);
    ASSERT_TRUE(qel::PeekMessage(m));
    EXPECT_EQ(m.message, Msg::Paint);
    EXPECT_FALSE(qel::PeekMessage(m));
}

TEST_F(WindowFixture, MinimiseArrivesBeforeTheFocusLossItCaused) {
    qel::SimulateWindowEvent(window, SimulatedEvent::FocusLost);
    qel::SimulateWindowEvent(window, SimulatedEvent::Minimized);
    std::vector<Message> got;
    Message m;
    while (qel::PeekMessage(m)) got.push_back(m);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, Msg::SysCommand);
    EXPECT_EQ(got[0].wParam, qel::SysCommandMinimize);
    EXPECT_EQ(got[1].message, Msg::KillFocus);
}

TEST_F(WindowFixture, MinimiseReportedOnALaterPassStillPrecedesTheQueuedFocusLoss) {
    struct Case {
        const char* what;
        std::vector<SimulatedEvent> first;
        std::vector<Msg> expected;
    };
    const Case cases[] = {
        {"loss still queued",
         {SimulatedEvent::Exposed, SimulatedEvent::FocusLost},
         {Msg::Paint, Msg::SysCommand, Msg::KillFocus}},
        {"focus came back in between: the minimise is new",
         {SimulatedEvent::Exposed, SimulatedEvent::FocusLost, SimulatedEvent::FocusGained},
         {Msg::Paint, Msg::KillFocus, Msg::SetFocus, Msg::SysCommand}},
    };
    for (const Case& c : cases) {
        for (SimulatedEvent e : c.first) qel::SimulateWindowEvent(window, e);
        Message m;
        ASSERT_TRUE(qel::PeekMessage(m)) << c.what;  // this pass reads every event, removes one
        std::vector<Msg> got{m.message};
        qel::SimulateWindowEvent(window, SimulatedEvent::Minimized);
        while (qel::PeekMessage(m)) got.push_back(m.message);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(WindowFixture, CloseDestroysTheWindowAndTheProcedureEndsTheLoop) {
    qel::SimulateWindowEvent(window, SimulatedEvent::CloseRequested);
    EXPECT_EQ(Drain(), (std::vector<Msg>{Msg::Close, Msg::Quit}));
    EXPECT_EQ(seen, (std::vector<Msg>{Msg::Close, Msg::Destroy}));
    EXPECT_FALSE(qel::IsWindow(window));
    EXPECT_FALSE(qel::DestroyWindow(window));
}

TEST_F(WindowFixture, DestroyWindowSendsDestroyAtOnceAndDropsQueuedMessages) {
    qel::PostMessage({window, Msg::Paint, 0, 0});
    ASSERT_TRUE(qel::IsWindow(window));
    EXPECT_TRUE(qel::DestroyWindow(window));
    EXPECT_EQ(seen, (std::vector<Msg>{Msg::Destroy}));
    Message m;
    ASSERT_TRUE(qel::PeekMessage(m));
    EXPECT_EQ(m.message, Msg::Quit);
    EXPECT_EQ(m.window, nullptr);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_FALSE(qel::PeekMessage(m));
    EXPECT_EQ(qel::DispatchMessage({window, Msg::Paint, 0, 0}), 0);  // a dead window is not called
}

TEST_F(WindowFixture, FrameHookRunsOncePerPassBeforeEventsArePumped) {
    int passes = 0;
    qel::SetFrameHook([&] {
        if (++passes == 2) qel::SimulateWindowEvent(window, SimulatedEvent::FocusGained);
    });
    Message m;
    EXPECT_FALSE(qel::PeekMessage(m));
    ASSERT_TRUE(qel::PeekMessage(m));
    EXPECT_EQ(m.message, Msg::SetFocus);
    EXPECT_EQ(passes, 2);
}

TEST_F(WindowFixture, TitleKeepsItsBytesAndStateIsTracked) {
    EXPECT_EQ(window->Title(), "Qel");
    const char title[] = "Caf\xE9 \x93Qel\x94";
    window->SetTitle(title);
    EXPECT_EQ(window->Title(), title);
    EXPECT_EQ(window->ClientWidth(), 640);
    EXPECT_EQ(window->ClientHeight(), 480);
    EXPECT_FALSE(window->IsFullScreen());
    window->SetFullScreen(true);
    EXPECT_TRUE(window->IsFullScreen());
    window->SetFullScreen(false);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->ClientWidth(), 640);
}

TEST(Window, CentredOnTheDesktopOrAtTheOriginWhenLarger) {
    const int dw = qel::DesktopWidth(), dh = qel::DesktopHeight();
    ASSERT_GT(dw, 200);
    HWND small = qel::Window::Create({"small", 200, 100, false, false});
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->X(), (dw - 200) / 2);
    EXPECT_EQ(small->Y(), (dh - 100) / 2);
    HWND large = qel::Window::Create({"large", dw + 10, 100, false, false});
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->X(), 0);
    EXPECT_EQ(large->Y(), 0);
    qel::DestroyWindow(small);
    qel::DestroyWindow(large);
    qel::ClearMessageQueue();
}

TEST(Window, DesktopDepthIsInjectableForTests) {
    EXPECT_EQ(qel::DesktopDepth() % 8, 0);
    qel::SetDesktopDepthForTests(16);
    EXPECT_EQ(qel::DesktopDepth(), 16);
    qel::SetDesktopDepthForTests(0);
    EXPECT_NE(qel::DesktopDepth(), 0);
}

TEST(Window, CursorDisplayCounter) {
    HWND w = qel::Window::Create({"cursor", 64, 64, false, false});
    ASSERT_NE(w, nullptr);
    const int start = qel::ShowCursor(true) - 1;
    EXPECT_EQ(qel::ShowCursor(false), start);
    EXPECT_EQ(qel::ShowCursor(false), start - 1);
    EXPECT_EQ(qel::ShowCursor(true), start);
    int fromOtherThread = 0;
    std::thread([&] { fromOtherThread = qel::ShowCursor(false); }).join();
    EXPECT_EQ(fromOtherThread, start);  // ignored off the window's thread
    EXPECT_EQ(qel::ShowCursor(true), start + 1);
    qel::ShowCursor(false);
    qel::DestroyWindow(w);
    qel::ClearMessageQueue();
}

}  // namespace
