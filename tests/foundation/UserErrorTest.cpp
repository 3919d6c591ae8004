#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "foundation/Console.h"
#include "foundation/FatalExit.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "WorkDirectory.h"

namespace {

// Runs each test in its own temporary working directory (the console writes
// "Qel.log" there), with a console of its own as pConsole.
class UserErrorTest : public testing::Test {
protected:
    void SetUp() override {
        Console::links.frameCounter = &frame;
        console = new Console();
        pConsole = console;
        console->Print("start\n");  // any frame header comes before the test's text
        _UE = UserError();
    }
    void TearDown() override {
        pConsole = nullptr;
        delete console;
        Console::links = ConsoleLinks();
        _UE = UserError();
    }

    // The console text printed since the last call.
    std::string NewText() {
        std::string all = static_cast<const char*>(*console);
        std::string fresh = all.substr(seen);
        seen = all.size();
        return fresh;
    }

    // A report from a place that no other test uses.
    static UserError ReportFrom(const std::string& type, const std::string& target) {
        UserError r;
        std::snprintf(r.ObjectType, sizeof r.ObjectType, "%s", type.c_str());
        std::snprintf(r.TargetFunction, sizeof r.TargetFunction, "%s", target.c_str());
        return r;
    }

    WorkDirectory work{"qel-ue-"};
    std::uint32_t frame = 0;
    Console* console = nullptr;
    std::size_t seen = std::strlen("start\n");
};

TEST_F(UserErrorTest, MessageTableHoldsTheEngineTexts) {
    EXPECT_EQ(MessageTableSize, 132);
    struct Case {
        int index;
        const char* text;
    } cases[] = {
        {0, "Alarm %s not found."},
        {34, "The map name \"%s\" that the Particle System \"%s\" should belong to, does not exist."},
        {36, "Variable %s not found."},
        {37, "Cannot load the text file: %s."},
        {92, "The smooth factor mustn\x92t be greater than 10."},
        {113, "Cannot create more than one \x91Qel\x92 instance."},
        {127, "The host has terminated the session.\nSorry, the game cannot continue."},
        {131, "Player 'Unidentified' has resigned.\nSorry, the game cannot continue."},
    };
    for (const Case& c : cases) EXPECT_STREQ(MessageTable[c.index], c.text) << c.index;
    for (int i = 0; i < MessageTableSize; ++i) EXPECT_GT(std::strlen(MessageTable[i]), 10u) << i;
}

TEST_F(UserErrorTest, EqualityComparesTheSevenNamesNotTheMessage) {
    UserError a = ReportFrom("Sprite", "void X::F()");
    UserError b = a;
    std::strcpy(b.ErrorMessage, "another message");
    EXPECT_TRUE(a == b);
    for (char* field :
         {b.ObjectName, b.ObjectType, b.StateMachineName, b.StateName, b.EdgeName, b.FunctionName, b.TargetFunction}) {
        UserError c = b;
        char* same = reinterpret_cast<char*>(&c) + (field - reinterpret_cast<char*>(&b));
        same[0] ^= 1;
        EXPECT_FALSE(a == c) << "field at offset " << (field - reinterpret_cast<char*>(&b));
    }
}

TEST_F(UserErrorTest, EachObjectTypeGoesToItsHistoryAndPrintsOnce) {
    struct Case {
        const char* type;
        Array<UserError>* history;
    } cases[] = {
        {"Sprite", &UserError::SpritesErrors},
        {"Variable", &UserError::VariablesErrors},
        {"Map", &UserError::MapsErrors},
        {"Alarm", &UserError::AlarmsErrors},
        {"Game", &UserError::GameErrors},
        {"GameNode", &UserError::Errors},
        {"", &UserError::Errors},
        {"sprite", &UserError::Errors},
    };
    for (const Case& c : cases) {
        unsigned int before = c.history->Size();
        std::string target = std::string("void Route::") + c.type + "()";
        UserError first = ReportFrom(c.type, target);
        std::strcpy(first.ErrorMessage, "first");
        first.Print();
        UserError again = first;
        std::strcpy(again.ErrorMessage, "second");
        again.Print();
        ASSERT_EQ(c.history->Size(), before + 1) << c.type;
        EXPECT_STREQ((*c.history)[before].ErrorMessage, "first");
        std::string printed = NewText();
        EXPECT_NE(printed.find("Error Message : first\n"), std::string::npos) << c.type;
        EXPECT_EQ(printed.find("second"), std::string::npos) << c.type;
    }
}

TEST_F(UserErrorTest, PrintsExactLinesAndShowsTheConsole) {
    static bool cursorShown;
    Console::links.showCursor = [](bool show) { cursorShown = show; };
    console->Show(false);

    UserError bare = ReportFrom("", "void Lines::Bare()");
    std::strcpy(bare.ErrorMessage, "bare message");
    bare.Print();
    EXPECT_EQ(NewText(), "User Error :\nTarget Function : void Lines::Bare()\nError Message : bare message\n\n");
    EXPECT_TRUE(console->Show());
    EXPECT_TRUE(cursorShown);

    UserError full = ReportFrom("Sprite", "void  Sprite::Speed(float)");
    std::strcpy(full.ObjectName, "Player");
    std::strcpy(full.StateMachineName, "Walk");
    std::strcpy(full.StateName, "Left");
    std::strcpy(full.EdgeName, "ToRight");
    std::strcpy(full.FunctionName, "Condition");
    std::strcpy(full.ErrorMessage, "The speed of a sprite must be positive.");
    full.Print();
    EXPECT_EQ(NewText(),
              "User Error :\n"
              "Object type : Sprite\n"
              "Object name : Player\n"
              "State machine name : Walk\n"
              "State name : Left\n"
              "Edge name : ToRight\n"
              "Function Name : Condition\n"
              "Target Function : void  Sprite::Speed(float)\n"
              "Error Message : The speed of a sprite must be positive.\n"
              "\n");
}

TEST_F(UserErrorTest, ReportFormatsBoundedAndPrintsOnce) {
    std::string longName(2000, 'n');
    std::string longTarget(600, 't');
    UserError::Report(longTarget.c_str(), MessageTable[36], (longName + "%s%d").c_str());
    EXPECT_EQ(std::strlen(_UE.ErrorMessage), 511u);
    EXPECT_EQ(std::string(_UE.ErrorMessage, 9), "Variable ");
    EXPECT_EQ(std::strlen(_UE.TargetFunction), 255u);

    UserError::Report("void Bounded::Twice()", MessageTable[36], "a");
    UserError::Report("void Bounded::Twice()", MessageTable[36], "b");
    std::string printed = NewText();
    EXPECT_NE(printed.find("Error Message : Variable a not found.\n"), std::string::npos);
    EXPECT_EQ(printed.find("Variable b"), std::string::npos);
}

TEST_F(UserErrorTest, OnePlaceReportsOnceWhateverALongerReportLeftInTheRecord) {
    // Reports write _UE's fields in place, so a shorter signature leaves the
    // tail of a longer one behind its terminator.
    UserError::Report("void Leftover::Short()", "%s", "first");
    UserError::Report("void Leftover::AMuchLongerSignature(int,int)", "%s", "other");
    UserError::Report("void Leftover::Short()", "%s", "again");
    std::string printed = NewText();
    EXPECT_NE(printed.find("Error Message : first\n"), std::string::npos);
    EXPECT_NE(printed.find("Error Message : other\n"), std::string::npos);
    EXPECT_EQ(printed.find("again"), std::string::npos);
}

TEST_F(UserErrorTest, BeforeTheConsoleExistsReportsGoToStandardError) {
    pConsole = nullptr;
    unsigned int before = UserError::MapsErrors.Size();
    testing::internal::CaptureStderr();
    UserError r = ReportFrom("Map", "void Early::Report()");
    std::strcpy(r.ErrorMessage, "too early");
    r.Print();
    std::string err = testing::internal::GetCapturedStderr();
    pConsole = console;
    EXPECT_EQ(err,
              "User Error :\nObject type : Map\nTarget Function : void Early::Report()\nError Message : too early\n\n");
    EXPECT_EQ(UserError::MapsErrors.Size(), before + 1);
    EXPECT_EQ(NewText(), "");
}

TEST_F(UserErrorTest, ReportsFromOtherThreadsArriveWhole) {
    constexpr int perThread = 40;
    auto reporter = [](int thread) {
        for (int i = 0; i < perThread; ++i) {
            std::string target = "void Thread" + std::to_string(thread) + "::Report" + std::to_string(i) + "()";
            UserError::Report(target.c_str(), "message %d", i);
        }
    };
    std::thread a(reporter, 1), b(reporter, 2);
    for (int i = 0; i < perThread; ++i) {
        console->Print("main %d\n", i);
        console->Display();
    }
    a.join();
    b.join();
    std::string text = static_cast<const char*>(*console);
    for (int t = 1; t <= 2; ++t)
        for (int i = 0; i < perThread; ++i) {
            std::string block = "User Error :\nTarget Function : void Thread" + std::to_string(t) + "::Report" +
                                std::to_string(i) + "()\nError Message : message " + std::to_string(i) + "\n\n";
            EXPECT_NE(text.find(block), std::string::npos) << block;
        }
    EXPECT_EQ(work.Read("Qel.log"), text);
}

// The fatal exit runs in a forked child process (gtest's death test), which
// shares the test's working directory.
class FatalExitTest : public UserErrorTest {};

void ShutdownMarker() { std::fputs("[engine shut down]\n", stderr); }

TEST_F(FatalExitTest, EndsWithFailureStatusAfterBoxLogAndShutdown) {
    fatalExitLinks.shutdownEngine = ShutdownMarker;
    EXPECT_EXIT(FatalExit("Could not open the file %s for reading.", "100%.dat"),
                testing::ExitedWithCode(FatalExitStatus),
                "Exit error.*Could not open the file 100%.dat for reading.*\\[engine shut down\\]");
    fatalExitLinks = FatalExitLinks();
    std::string log = work.Read("Qel.log");
    EXPECT_NE(log.find("start\nCould not open the file 100%.dat for reading."), std::string::npos) << log;
}

TEST_F(FatalExitTest, ExitMessageShowsTheReportLiterallyAndCut) {
    UserError r = ReportFrom("Map", "void Map::Set(%s)");
    std::memset(r.ObjectName, 'm', sizeof r.ObjectName);  // filled to the brim, no terminator
    std::strcpy(r.ErrorMessage, "100% %s %n done");
    EXPECT_EXIT(r.ExitMessage(), testing::ExitedWithCode(FatalExitStatus), "User Error :");
    std::string log = work.Read("Qel.log");
    std::string expected = "start\nUser Error :\nObject type : Map\nObject name : " + std::string(256, 'm') +
                           "\nTarget Function : void Map::Set(%s)\nError Message : 100% %s %n done";
    EXPECT_EQ(log, expected);

    std::memset(r.EdgeName, 'e', 255);
    r.EdgeName[255] = '\0';
    EXPECT_EXIT(r.ExitMessage(), testing::ExitedWithCode(FatalExitStatus), "User Error :");
    log = work.Read("Qel.log");
    EXPECT_EQ(log.size(), std::strlen("start\n") + 511);
}

}  // namespace
