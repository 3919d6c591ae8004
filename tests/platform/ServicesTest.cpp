#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Sync.h"
#include "platform/Text1252.h"
#include "testing/TestHooks.h"

namespace {

TEST(Text1252, ConvertsEveryByteToItsCharacter) {
    struct Case {
        const char* in;
        const char* utf8;
    };
    const Case cases[] = {
        {"Qel", "Qel"},
        {"\x91Qel\x92", "\xE2\x80\x98Qel\xE2\x80\x99"},  // typographic quotes
        {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},
        {"Caf\xE9", "Caf\xC3\xA9"},
        {"\x81\x8D", "\xC2\x81\xC2\x8D"},  // unassigned bytes stay as C1 controls
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(qel::Cp1252ToUtf8(c.in), c.utf8) << c.in;
    EXPECT_EQ(qel::Cp1252ToUnicode(0x99), U'\u2122');
    EXPECT_EQ(qel::Cp1252ToUnicode(0xFF), U'\u00FF');
    EXPECT_EQ(qel::Cp1252ToUtf16("a\x80"), u"a\u20AC");
    EXPECT_EQ(qel::Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

class VirtualClock : public testing::Test {
protected:
    void TearDown() override { qel::UseRealClock(); }
};

TEST_F(VirtualClock, AdvancesByReadsSleepsAndWrapsAround) {
    qel::UseVirtualClock(0xFFFFFFFE, 1);
    EXPECT_TRUE(qel::IsVirtualClock());
    EXPECT_EQ(qel::TimeGetTime(), 0xFFFFFFFEu);
    EXPECT_EQ(qel::TimeGetTime(), 0xFFFFFFFFu);
    EXPECT_EQ(qel::TimeGetTime(), 0u);
    qel::Sleep(1000);
    EXPECT_EQ(qel::TimeGetTime(), 1001u);
    qel::AdvanceVirtualClock(9);
    EXPECT_EQ(qel::TimeGetTime(), 1011u);
    // A frame-pacing spin ends without real waiting.
    std::uint32_t t0 = qel::TimeGetTime();
    int reads = 0;
    while (qel::TimeGetTime() - t0 < 16) ++reads;
    EXPECT_LT(reads, 20);
}

TEST_F(VirtualClock, RealClockMovesInMilliseconds) {
    qel::UseRealClock();
    std::uint32_t t0 = qel::TimeGetTime();
    qel::Sleep(20);
    std::uint32_t elapsed = qel::TimeGetTime() - t0;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Sync, AutoResetEventWakesOneWaitPerSet) {
    qel::AutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(1)) << "created unsignalled";
    event.Set();
    event.Set();  // two sets before a wait count once
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_FALSE(event.WaitFor(1));
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        event.Wait();
        woke = true;
    });
    event.Set();
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(Sync, WorkerThreadReportsFinishingAndJoinsOnlyThen) {
    qel::AutoResetEvent go;
    qel::WorkerThread worker;
    EXPECT_TRUE(worker.IsFinished());
    ASSERT_TRUE(worker.Start([&] { go.Wait(); }));
    EXPECT_FALSE(worker.Start([] {})) << "one thread at a time";
    EXPECT_FALSE(worker.IsFinished());
    EXPECT_FALSE(worker.CloseIfFinished());
    go.Set();
    while (!worker.IsFinished()) std::this_thread::yield();
    EXPECT_TRUE(worker.CloseIfFinished());
    EXPECT_FALSE(worker.IsStarted());
    EXPECT_TRUE(worker.Start([] {}));
    // Destroying it joins.
}

TEST(MessageBox, WithoutADisplayGoesToStandardErrorInUtf8) {
    testing::internal::CaptureStderr();
    qel::ShowMessageBox(nullptr, "Cannot create more than one \x91Qel\x92 instance.", "Exit error.",
                        qel::MessageBoxIcon::Error);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Exit error."), std::string::npos);
    EXPECT_NE(err.find("one \xE2\x80\x98Qel\xE2\x80\x99 instance."), std::string::npos);
}

TEST(MessageBox, ObserverSeesTheOriginalBytes) {
    std::vector<std::string> seen;
    qel::SetMessageBoxObserver([&](const char* text, const char* caption, qel::MessageBoxIcon icon) {
        seen.push_back(std::string(caption) + "|" + text + "|" + std::to_string(int(icon)));
    });
    testing::internal::CaptureStderr();
    qel::ShowMessageBox(nullptr, "No settings available.", "Information", qel::MessageBoxIcon::Information);
    qel::ShowMessageBox(nullptr, nullptr, nullptr, qel::MessageBoxIcon::None);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    qel::SetMessageBoxObserver({});
    EXPECT_EQ(seen, (std::vector<std::string>{"Information|No settings available.|2", "||0"}));
}

// The X11 box's core fonts cannot draw typographic punctuation: it gets ASCII
// look-alikes; other boxes and letters keep their code points.
TEST(MessageBox, TextForBoxesThatCannotDrawTypographicSigns) {
    const struct {
        const char* in;
        bool plain;
        const char* out;
    } cases[] = {
        {"one \x91Qel\x92 instance.", true, "one 'Qel' instance."},
        {"one \x91Qel\x92 instance.", false, "one \xE2\x80\x98Qel\xE2\x80\x99 instance."},
        {"\x93quoted\x94 \x96 wait\x85", true, "\"quoted\" - wait..."},
        {"caf\xE9 \x80", true, "caf\xC3\xA9 \xE2\x82\xAC"},
        {"", true, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(qel::MessageBoxText(c.in, c.plain), c.out) << c.in;
}

TEST(Process, CurrentDirectoryIsKnownAndEndProcessEndsWithItsStatus) {
    EXPECT_FALSE(qel::CurrentDirectory().empty());
    pid_t pid = fork();
    if (pid == 0) {
        qel::EndProcess(3);
        _exit(0);  // not reached
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

}  // namespace
