#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/DialogFields.h"
#include "platform/FileDialogModel.h"

namespace {

namespace fs = std::filesystem;
using qel::FileDialogModel;
using qel::FileDialogOptions;

class FileDialogModelFixture : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("qel-dialog-model-" + std::to_string(::getpid()));
        fs::remove_all(root);
        for (const char* folder : {"Zoo", "maps", ".git"}) fs::create_directories(root / folder);
        for (const char* file :
             {"beta.sav", "Alpha.sav", "gamma.SAV", "notes.txt", ".hidden.sav", "run.rep", "maps/level.sav"})
            std::ofstream(root / file) << "x";
    }
    void TearDown() override { fs::remove_all(root); }

    FileDialogOptions Options(bool save, std::vector<qel::FileDialogFilter> filters, std::string extension) {
        return {save, std::move(filters), std::move(extension), root.string()};
    }
    FileDialogOptions SaveGame() { return Options(true, {{"Saved Files (*.sav)", "*.sav"}}, "sav"); }
    FileDialogOptions LoadGame() { return Options(false, {{"Load Files (*.sav)", "*.sav"}}, "sav"); }

    static std::vector<std::string> Names(const FileDialogModel& model) {
        std::vector<std::string> names;
        for (const auto& e : model.Entries()) names.push_back(e.folder ? "[" + e.name + "]" : e.name);
        return names;
    }

    fs::path root;
};

TEST(DialogFilePattern, MatchesNamesAsTheFilterDialogsDo) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"a.sav", "*.sav", true},  {"A.SAV", "*.sav", true},  // case does not matter
        {".sav", "*.sav", true},   {"sav", "*.sav", false},  {"a.sav.bak", "*.sav", false},
        {"x.rep", "*.sav", false}, {"ab", "?b", true},       {"b", "?b", false},
        {"abcbc", "a*bc", true},   {"abcbd", "a*bc", false},  // the star gives back what the tail needs
        {"", "*", true},           {"a.sav", "*.*", true},   {"a", "*.*", false},
        {"a.jpg", "*.jpg", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.pattern);
        EXPECT_EQ(qel::MatchesFilePattern(c.name, c.pattern), c.matches);
    }
}

TEST_F(FileDialogModelFixture, ListsTheParentFoldersThenMatchingFilesSortedWithoutHiddenOnes) {
    FileDialogModel model(LoadGame());
    EXPECT_EQ(model.Folder(), root.string());
    EXPECT_EQ(Names(model),
              (std::vector<std::string>{"[..]", "[maps]", "[Zoo]", "Alpha.sav", "beta.sav", "gamma.SAV"}));

    FileDialogModel replays(Options(false, {{"Load Replays (*.rep)", "*.rep"}}, "rep"));
    EXPECT_EQ(Names(replays), (std::vector<std::string>{"[..]", "[maps]", "[Zoo]", "run.rep"}));

    FileDialogModel shots(Options(true, {{"Bitmap (*.bmp)", "*.bmp"}, {"Text (*.txt)", "*.txt"}}, "bmp"));
    EXPECT_EQ(Names(shots).size(), 3u);
    shots.SelectFilter(1);
    EXPECT_EQ(Names(shots).back(), "notes.txt");
    shots.SelectFilter(7);  // no such filter: nothing changes
    EXPECT_EQ(shots.FilterIndex(), 1u);
}

TEST_F(FileDialogModelFixture, NavigatesIntoFoldersAndBackUp) {
    FileDialogModel model(LoadGame());
    ASSERT_TRUE(model.EnterFolder("maps"));
    EXPECT_EQ(model.Folder(), (root / "maps").string());
    EXPECT_EQ(Names(model), (std::vector<std::string>{"[..]", "level.sav"}));
    EXPECT_FALSE(model.EnterFolder("nowhere"));
    EXPECT_FALSE(model.EnterFolder("level.sav"));
    EXPECT_EQ(model.Folder(), (root / "maps").string());
    ASSERT_TRUE(model.EnterFolder(".."));
    EXPECT_EQ(model.Folder(), root.string());

    ASSERT_TRUE(model.EnterFolder("/"));
    EXPECT_EQ(model.Folder(), "/");
    ASSERT_FALSE(model.Entries().empty());
    EXPECT_NE(model.Entries().front().name, "..");  // the root has no parent

    // A start folder that is gone gives the current directory.
    FileDialogModel missingStart({false, {}, "", (root / "gone").string()});
    EXPECT_EQ(missingStart.Folder(), fs::current_path().string());
}

TEST_F(FileDialogModelFixture, OkResolvesTheTypedNameOrRefusesIt) {
    const auto in = [this](const char* name) { return (root / name).string(); };
    struct Case {
        const char* what;
        FileDialogOptions options;
        std::string name;
        bool accepted;
        std::string chosen;   // when accepted
        std::string message;  // when refused
    };
    const std::vector<Case> cases = {
        {"save adds the extension", SaveGame(), "game", true, in("game.sav"), ""},
        {"save keeps a typed extension", SaveGame(), "game.SAV", true, in("game.SAV"), ""},
        {"save into a sub-folder", SaveGame(), "maps/x", true, in("maps/x.sav"), ""},
        {"save over an existing file", SaveGame(), "beta.sav", true, in("beta.sav"), ""},
        {"save into a missing folder", SaveGame(), "nowhere/x", false, "", "The folder does not exist."},
        {"screenshot as bitmap", Options(true, {{"Bitmap (*.bmp)", "*.bmp"}, {"JPEG (*.jpg)", "*.jpg"}}, "bmp"), "shot",
         true, in("shot.bmp"), ""},
        {"open finds the file with the extension", LoadGame(), "beta", true, in("beta.sav"), ""},
        {"open takes an existing name as typed", LoadGame(), "notes.txt", true, in("notes.txt"), ""},
        {"open a full path", LoadGame(), in("maps/level.sav"), true, in("maps/level.sav"), ""},
        {"open a missing file", LoadGame(), "missing", false, "", "File not found."},
        {"an empty name", LoadGame(), "", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileDialogModel model(c.options);
        model.name = c.name;
        std::string chosen;
        EXPECT_EQ(model.Accept(chosen), c.accepted);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(model.Message(), c.message);
    }
}

TEST_F(FileDialogModelFixture, OkOnAFolderNameShowsThatFolder) {
    FileDialogModel model(SaveGame());
    model.name = "maps";
    std::string chosen;
    EXPECT_FALSE(model.Accept(chosen));
    EXPECT_EQ(model.Folder(), (root / "maps").string());
    EXPECT_TRUE(model.name.empty());
    EXPECT_TRUE(model.Message().empty());

    model.name = "..";
    EXPECT_FALSE(model.Accept(chosen));
    EXPECT_EQ(model.Folder(), root.string());

    // The other filter of a screenshot dialog gives its own extension.
    FileDialogModel shots({true, {{"Bitmap (*.bmp)", "*.bmp"}, {"JPEG (*.jpg)", "*.jpg"}}, "bmp", root.string()});
    shots.SelectFilter(1);
    shots.name = "shot";
    ASSERT_TRUE(shots.Accept(chosen));
    EXPECT_EQ(chosen, (root / "shot.jpg").string());
}

TEST(DialogFields, PortFieldsReadDigitsOnly) {
    struct Case {
        const char* text;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"1111", 1111},    {"  42 ", 42},
        {"", 0},           {"   ", 0},
        {"12ab", 0},       {"-5", 0},
        {"+5", 0},         {"4294967295", 4294967295u},
        {"4294967296", 0}, {"99999999999999999999", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qel::FieldUnsigned(c.text), c.value);
    }
}

TEST(DialogFields, TypedTextBecomesCodePage1252) {
    struct Case {
        std::string utf8;
        std::string cp1252;
    };
    const Case cases[] = {
        {"Ann 2", "Ann 2"},
        {"Ren\xC3\xA9", "Ren\xE9"},  // e acute
        {"\xE2\x82\xAC"
         "5",
         "\x80"
         "5"},                    // the euro sign has its own byte
        {"\xE6\x97\xA5!", "?!"},  // not in the code page
        {"a\xC3", "a?"},          // cut sequence
        {"\xA9x", "?x"},          // stray continuation byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(qel::FieldTextCp1252(c.utf8), c.cp1252);
    }
}

}  // namespace
