#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

const unsigned char bytesA[] = {1, 2, 3};
const unsigned char bytesB[] = {9};
const qel::ResourceEntry entries[] = {
    {"RCDATA", "level1.dat", bytesA, 3},
    {"WAVE", "jump", bytesB, 1},
};
const qel::ResourceTable table = {entries, 2};

TEST(Resources, LookupMatchesTypeAndNameWithoutCase) {
    qel::SetProgramResources(&table);
    EXPECT_EQ(qel::FindProgramResource("rcdata", "LEVEL1.DAT"), &entries[0]);
    EXPECT_EQ(qel::FindProgramResource("Wave", "Jump"), &entries[1]);
    EXPECT_EQ(qel::FindProgramResource("RCDATA", "jump"), nullptr);
    EXPECT_EQ(qel::FindProgramResource("RCDATA", nullptr), nullptr);
    qel::SetProgramResources(nullptr);
    EXPECT_EQ(qel::FindProgramResource("RCDATA", "level1.dat"), nullptr);
}

TEST(Paths, WindowsPathsBecomeNative) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"\\Art Assets\\Maps\\", "/Art Assets/Maps/"},
        {"C:\\Games\\nolt\\\\Data\\", "C:/Games/nolt/Data/"},
        {"data/level.dat", "data/level.dat"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(qel::NativePath(c.in), c.out) << c.in;
    EXPECT_EQ(qel::NativePath(nullptr), "");
}

}  // namespace
