#include <gtest/gtest.h>

#include <string>

#include "InputTestSupport.h"
#include "input/DirectInput.h"

namespace {

using namespace inputtest;

class DirectInputTest : public InputTest {
protected:
    std::string Printed() const {
        std::string all;
        for (const std::string& p : session.printed) all += p;
        return all;
    }
};

TEST_F(DirectInputTest, ResultsAreReportedByNameAndDescription) {
    struct Case {
        std::int32_t hr;
        const char* nameAndDescription;
    };
    const Case cases[] = {
        {std::int32_t(0x8007000Cu),
         "Error Code Is DIERR_NOTACQUIRED.\nDescription : The operation cannot be performed unless the device is acquired."},
        {1,
         "Error Code Is DI_BUFFEROVERFLOW.\nDescription : The device buffer overflowed and some input was lost.This value "
         "is equal to the S_FALSE standard COM return value."},
        {0x0C, "Error Code Is DI_TRUNCATEDANDRESTARTED.\nDescription : Equal to DI_EFFECTRESTARTED | DI_TRUNCATED."},
        {std::int32_t(0x80070005u),
         "Error Code Is DIERR_OTHERAPPHASPRIO.\nDescription : The request failed because access was denied."},
        {std::int32_t(0x800704DFu),
         "Error Code Is DIERR_ALREADYINITIALIZED.\nDescription : This object is already initialized."},
        {std::int32_t(0x80070007u), "Error Code Is UNKNOWN.\n"},
        {-1, "Error Code Is UNKNOWN.\n"},
    };
    for (const Case& c : cases) {
        session.printed.clear();
        session.shows = 0;
        DirectInput::DIError("Keyboard.cpp", 42, c.hr);
        EXPECT_EQ(Printed(), std::string("Direct Input Error:\nDirectInput Error in File Keyboard.cpp Line :42.\n") +
                                 c.nameAndDescription + "\n")
            << std::hex << c.hr;
        EXPECT_EQ(session.shows, 1);
    }
}

TEST_F(DirectInputTest, ASuccessPrintsNothing) {
    DirectInput::DIError("Mouse.cpp", 7, 0);
    EXPECT_TRUE(session.printed.empty());
    EXPECT_EQ(session.shows, 0);
}

TEST_F(DirectInputTest, TheSystemRunsWhileAnyHolderLives) {
    const std::int32_t before = DirectInput::References;
    {
        DirectInput first(nullptr, nullptr);
        EXPECT_TRUE(DirectInput::Ready());
        {
            DirectInput second(nullptr, nullptr);
            EXPECT_EQ(DirectInput::References, before + 2);
        }
        EXPECT_EQ(DirectInput::References, before + 1);
        EXPECT_TRUE(DirectInput::Ready());
    }
    EXPECT_EQ(DirectInput::References, before);
    if (before == 0) {
        EXPECT_FALSE(DirectInput::Ready());
    }
}

}  // namespace
