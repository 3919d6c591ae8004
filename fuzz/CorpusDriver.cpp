// Runs every file of a corpus folder through the harness it is linked with, in
// name order, without libFuzzer: the corpus check of the test suite. A file
// that takes longer than the limit fails the run; a crash, a sanitizer report
// or an uncaught exception ends it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzSupport.h"

namespace {

constexpr auto Limit = std::chrono::seconds(5);

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    // Absolute before the harness moves into its scratch folder.
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no corpus in %s\n", folder.c_str());
        return 1;
    }
    LLVMFuzzerInitialize(&argc, &argv);
    int slow = 0;
    for (const auto& path : files) {
        const std::vector<std::uint8_t> bytes = ReadAll(path);
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        const auto took = std::chrono::steady_clock::now() - start;
        if (took > Limit) {
            std::fprintf(stderr, "%s took %lld ms\n", path.filename().c_str(),
                         static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
            ++slow;
        }
    }
    std::printf("%zu inputs, %d too slow\n", files.size(), slow);
    return slow == 0 ? 0 : 1;
}
