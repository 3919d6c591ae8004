#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>
#include "foundation/File.h"
#include "foundation/String.h"
#include "foundation/UString.h"
#include "platform/Resources.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(String, NullGivesAValidEmptyText) {
    String s(nullptr);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.length(), 0);
    ASSERT_NE(static_cast<const char*>(s), nullptr);
    EXPECT_STREQ(s, "");
}

TEST(String, EqualityWithNullIsAlwaysFalse) {
    String empty;
    String abc("abc");
    const char* none = nullptr;
    EXPECT_FALSE(empty == none);
    EXPECT_FALSE(none == empty);
    EXPECT_TRUE(empty != none);
    EXPECT_TRUE(none != empty);
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE("abc" == abc);
    EXPECT_TRUE(abc != "abC");
    EXPECT_TRUE(abc == String("abc"));
    EXPECT_TRUE(abc != String("ab"));
}

TEST(String, AssignTakesAtMostNCharacters) {
    struct Case {
        const char* before;
        const char* source;
        int n;
        const char* after;
    };
    const Case cases[] = {
        {"", "hello", 3, "hel"},   {"", "hi", 10, "hi"},     {"abc", nullptr, 2, ""},
        {"abcdef", "xy", 2, "xy"}, {"abcdef", "xyz", 0, ""}, {"abcdef", "xyz", -1, ""},
    };
    for (const Case& c : cases) {
        String s(c.before);
        s.assign(c.source, c.n);
        EXPECT_STREQ(s, c.after) << c.before << " <- " << (c.source ? c.source : "null") << "/" << c.n;
    }
}

TEST(String, AssignFromItsOwnTextIsSafe) {
    String s("abcdef");
    s.assign(static_cast<const char*>(s) + 2, 3);
    EXPECT_STREQ(s, "cde");
    String t("abc");
    t.assign(t, 10);
    EXPECT_STREQ(t, "abc");
}

TEST(String, ShorterAssignmentReusesTheBuffer) {
    String s("abcdef");
    const char* buffer = s;
    s = String("ab");
    EXPECT_STREQ(s, "ab");
    EXPECT_EQ(static_cast<const char*>(s), buffer);
    s = String("a longer text");
    EXPECT_STREQ(s, "a longer text");
    String& same = s;
    s = same;
    EXPECT_STREQ(s, "a longer text");
    s = "from text";
    EXPECT_STREQ(s, "from text");
}

TEST(String, AppendAndConcatenate) {
    String s("ab");
    const char* buffer = s;
    s += String();
    EXPECT_EQ(static_cast<const char*>(s), buffer);
    s += String("cd");
    EXPECT_STREQ(s, "abcd");
    s += s;
    EXPECT_STREQ(s, "abcdabcd");
    EXPECT_STREQ(String("x") + String("yz"), "xyz");
    String e("gone");
    e.erase();
    EXPECT_TRUE(e.empty());
}

class StringFileTest : public testing::Test {
protected:
    void TearDown() override { qel::SetProgramResources(nullptr); }

    Bytes Saved(const String& s) {
        std::string path = testing::TempDir() + "qel-string.bin";
        {
            File out(path.c_str(), File::Writing);
            s.Save(out);
        }
        std::FILE* in = std::fopen(path.c_str(), "rb");
        Bytes bytes;
        for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(in);
        std::remove(path.c_str());
        return bytes;
    }

    // Loads into a String holding before; answers the text and the file's error.
    std::pair<std::string, bool> Loaded(const Bytes& data, const char* before) {
        const qel::ResourceEntry entry{"RCDATA", "string.dat", data.data(), static_cast<std::uint32_t>(data.size())};
        const qel::ResourceTable table{&entry, 1};
        qel::SetProgramResources(&table);
        File in("string.dat", File::Reading);
        qel::SetProgramResources(nullptr);
        String s(before);
        s.Load(in);
        return {std::string(s), in.HasError()};
    }
};

TEST_F(StringFileTest, SavedAsLengthAndBytes) {
    EXPECT_EQ(Saved(String("")), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Saved(String("abc")), (Bytes{3, 0, 0, 0, 'a', 'b', 'c'}));
    EXPECT_EQ(Loaded(Saved(String("abc")), ""), std::make_pair(std::string("abc"), false));
    EXPECT_EQ(Loaded(Saved(String("abc")), "a longer name"), std::make_pair(std::string("abc"), false));
}

TEST_F(StringFileTest, StoredEmptyTextKeepsTheOldOne) {
    EXPECT_EQ(Loaded({0, 0, 0, 0}, "Player"), std::make_pair(std::string("Player"), false));
}

TEST_F(StringFileTest, LengthTheFileCannotHoldIsRefused) {
    struct Case {
        const char* what;
        Bytes data;
    };
    const Case cases[] = {
        {"negative", {0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
        {"most negative", {0, 0, 0, 0x80, 'a'}},
        {"huge", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}},
        {"one too long", {4, 0, 0, 0, 'a', 'b', 'c'}},
        {"length cut short", {3, 0}},
    };
    for (const Case& c : cases) {
        auto [text, failed] = Loaded(c.data, "kept");
        EXPECT_EQ(text, "kept") << c.what;
        EXPECT_TRUE(failed) << c.what;
    }
}

TEST(UString, WidensTheAnsiCodePage) {
    UString none(nullptr);
    ASSERT_NE(static_cast<const wchar_t*>(none), nullptr);
    EXPECT_EQ(std::wcslen(none), 0u);
    UString text("\\Art Assets\\caf\xE9 \x80\x99");
    EXPECT_STREQ(text, L"\\Art Assets\\caf\u00E9 \u20AC\u2122");
    UString copy(text);
    UString assigned(nullptr);
    assigned = copy;
    EXPECT_STREQ(assigned, text);
}

}  // namespace
