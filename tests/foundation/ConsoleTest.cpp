#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "foundation/Console.h"
#include "WorkDirectory.h"

namespace {

// Each test works in its own temporary directory, where the console keeps
// "Qel.log", and drives the frame counter itself.
class ConsoleTest : public testing::Test {
protected:
    void SetUp() override { Console::links.frameCounter = &frame; }
    void TearDown() override {
        Console::links = ConsoleLinks();
        Variable::links = VariableLinks();
    }

    std::string Log() const { return work.Read(Console::LogFileName); }
    static std::string TextOf(Console& c) { return static_cast<const char*>(c); }

    WorkDirectory work{"qel-console-"};
    std::uint32_t frame = 0;
};

TEST_F(ConsoleTest, StartsWithItsSettingsAndEmptiesAnOldLog) {
    std::ofstream(work.Path() / Console::LogFileName) << "an earlier run";
    Console console;
    EXPECT_EQ(Log(), "");
    EXPECT_STREQ(console.Name(), "DebugText");
    EXPECT_EQ(console.GetTag(), Variable::Text);
    EXPECT_EQ(TextOf(console), "");
    EXPECT_EQ(console.m_Frame.left, 5);
    EXPECT_EQ(console.m_Frame.top, 5);
    EXPECT_EQ(console.m_Frame.right, 400);
    EXPECT_EQ(console.m_Frame.bottom, 200);
    EXPECT_EQ(console.m_Color, 0u);
    EXPECT_EQ(console.m_Width, 3u);
    EXPECT_EQ(console.m_Height, 8.0f);
    EXPECT_EQ(console.m_Weight, 500u);
    EXPECT_EQ(console.m_DisplayType, Variable::VerticalScrolling);
    EXPECT_TRUE(console.Show());
    EXPECT_FALSE(console.m_VScrollTriggered);
}

TEST_F(ConsoleTest, OneHeaderPerFrameAfterFrameZero) {
    frame = 0;
    Console console;
    console.Print("settle\n");  // whatever frame printed last, frame 0 is now the last
    std::size_t start = TextOf(console).size();

    console.Print("a%d\n", 1);
    console.Print("b\n");
    frame = 5;
    console.Print("c\n");
    console.Print("d\n");
    console.Print("e\n");
    frame = 6;
    console.Print("f\n");
    EXPECT_EQ(TextOf(console).substr(start),
              "a1\nb\n"
              "Output after loop 5 :\n\nc\nd\ne\n"
              "Output after loop 6 :\n\nf\n");
}

TEST_F(ConsoleTest, EveryPrintIsAppendedToTheLog) {
    Console console;
    std::string longText(700, 'x');
    const char* prints[] = {"first line\n", "100% sure\n", "", longText.c_str(), "last\n"};
    for (const char* text : prints) {
        console.Print("%s", text);
        EXPECT_EQ(Log(), TextOf(console));
    }
    // A print is cut at 511 characters.
    EXPECT_NE(TextOf(console).find(std::string(511, 'x') + "last\n"), std::string::npos);
    EXPECT_EQ(TextOf(console).find(std::string(512, 'x')), std::string::npos);

    // What the log held is only added to, never written anew: a change made
    // to the file between prints stays.
    std::ofstream(work.Path() / Console::LogFileName, std::ios::app) << "[mark]";
    console.Print("after\n");
    EXPECT_EQ(Log(), TextOf(console).substr(0, TextOf(console).size() - 6) + "[mark]after\n");
}

TEST_F(ConsoleTest, ALogThatCannotBeWrittenIsReportedOnceAndTriedAgainAtTheNextMessage) {
    const std::string log = Console::LogFileName;
    const std::filesystem::path blocked = work.Path() / log;
    std::filesystem::create_directories(blocked / "inside");  // a folder takes the log's name
    testing::internal::CaptureStderr();
    {
        Console console;
        console.Print("one\n");
        console.Print("two\n");
        EXPECT_EQ(TextOf(console), "one\ntwo\n") << "the console keeps its text";
        // Once the way is clear again the next message writes what was held back.
        std::filesystem::remove_all(blocked);
        console.Print("three\n");
        EXPECT_EQ(Log(), "one\ntwo\nthree\n");
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(log), std::string::npos) << errors;
    EXPECT_EQ(errors.find(log), errors.rfind(log)) << "one message only: " << errors;
}

TEST_F(ConsoleTest, ShowHidesConsoleAndCursorTogether) {
    static int cursorCalls;
    static bool cursorShown;
    cursorCalls = 0;
    Console::links.showCursor = [](bool show) {
        ++cursorCalls;
        cursorShown = show;
    };
    Console console;
    console.Show(false);
    EXPECT_FALSE(console.Show());
    EXPECT_FALSE(cursorShown);
    console.Show(true);
    EXPECT_TRUE(console.Show());
    EXPECT_TRUE(cursorShown);
    EXPECT_EQ(cursorCalls, 2);
    console.Color(QelRGB(0x12, 0x34, 0x56));
    EXPECT_EQ(console.m_Color, 0x563412u);
}

TEST_F(ConsoleTest, PrintAndDisplayScrollToTheEndNeverAboveTheTop) {
    static int drawn;
    drawn = 0;
    Variable::links.displayText = [](Variable& v) {
        ++drawn;
        v.m_NumberOfLines = 30;  // the layout of the grown text
    };
    Console console;
    console.m_LinesPerFrame = 10;
    console.m_NumberOfLines = 3;
    console.Print("short\n");
    EXPECT_EQ(console.m_VScrollOffset, 0);

    console.Display();
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(console.m_VScrollOffset, 20);

    console.m_VScrollOffset = 4;  // scrolled back by the player: kept until the next print
    console.Display();
    EXPECT_EQ(console.m_VScrollOffset, 4);

    console.Show(false);
    console.Print("more\n");
    console.Display();
    EXPECT_EQ(drawn, 2);  // hidden: not drawn, but still scrolled
    EXPECT_EQ(console.m_VScrollOffset, 20);
}

}  // namespace
