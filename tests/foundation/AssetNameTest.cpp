#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "foundation/AssetName.h"

namespace {

TEST(AssetName, NamesStayInsideTheirFolder) {
    const struct {
        const char* name;
        bool confined;
    } cases[] = {
        {"", true},
        {"walk.bmp", true},
        {"Actors\\walk.bmp", true},
        {"sub/dir/x.wav", true},
        {"a..b.mid", true},
        {"..", false},
        {"../x.mid", false},
        {"..\\x.mid", false},
        {"sub/../../x.mid", false},
        {"sub\\..", false},
        {"/dev/zero", false},
        {"\\dev\\zero", false},
        {"C:\\x.bmp", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsConfinedAssetName(c.name), c.confined) << c.name;
}

TEST(AssetName, OnlyRegularFilesUpToTheirLimitAreRead) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qel-asset-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "folder");
    std::ofstream(dir / "small.txt", std::ios::binary) << "12345";
    const struct {
        std::string path;
        std::size_t limit;
        bool read;
        std::size_t size;
    } cases[] = {
        {(dir / "small.txt").string(), 5, true, 5},
        {(dir / "small.txt").string(), 4, false, 0},
        {(dir / "folder").string(), 1000, false, 0},
        {(dir / "missing").string(), 1000, false, 0},
        {"/dev/zero", 1000, false, 0},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bytes{1};
        EXPECT_EQ(ReadRegularFile(c.path, c.limit, bytes), c.read) << c.path;
        EXPECT_EQ(bytes.size(), c.size) << c.path;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
