#include "foundation/AssetName.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>

bool IsConfinedAssetName(const char* name) {
    if (name == nullptr) return true;
    const std::string_view text(name);
    if (!text.empty() && (text[0] == '/' || text[0] == '\\')) return false;
    if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') return false;
    // Either separator: the engine's names use "\", the platform's "/".
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = text.size();
        if (text.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::vector<unsigned char>& bytes) {
    bytes.clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > maxBytes) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    // A file that shrank meanwhile gives what it held.
    bytes.resize(got);
    return true;
}
