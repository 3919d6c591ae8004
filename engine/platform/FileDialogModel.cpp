#include "platform/FileDialogModel.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace qel {

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

// File listings are sorted as the player reads them: case aside first.
bool ByName(const FileDialogModel::Entry& a, const FileDialogModel::Entry& b) {
    const auto lowerLess = [](char x, char y) { return Lower(x) < Lower(y); };
    if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), lowerLess))
        return true;
    if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(), lowerLess))
        return false;
    return a.name < b.name;
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// The extension that a filter such as "*.sav" gives its files; empty for
// patterns like "*.*" or "*".
std::string PatternExtension(std::string_view pattern) {
    if (pattern.size() < 3 || pattern.substr(0, 2) != "*.") return {};
    const std::string_view extension = pattern.substr(2);
    if (extension.find_first_of("*?") != std::string_view::npos) return {};
    return std::string(extension);
}

}  // namespace

bool MatchesFilePattern(std::string_view name, std::string_view pattern) {
    // Greedy match with one back-tracking point for the last '*'.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

FileDialogModel::FileDialogModel(FileDialogOptions options) : options_(std::move(options)) {
    std::error_code error;
    const std::string current = fs::current_path(error).string();
    if (options_.folder.empty() || !EnterFolder(options_.folder))
        if (current.empty() || !EnterFolder(current)) EnterFolder("/");
}

void FileDialogModel::SelectFilter(std::size_t index) {
    if (index >= options_.filters.size()) return;
    filterIndex_ = index;
    Refresh();
}

bool FileDialogModel::EnterFolder(const std::string& folder) {
    std::error_code error;
    fs::path target = fs::path(folder);
    if (target.is_relative()) target = (folder_.empty() ? fs::current_path(error) : fs::path(folder_)) / target;
    target = target.lexically_normal();
    if (target.has_relative_path() && !target.has_filename()) target = target.parent_path();
    fs::directory_iterator probe(target, error);
    if (error || !IsFolder(target)) return false;
    folder_ = target.string();
    Refresh();
    return true;
}

void FileDialogModel::Refresh() {
    std::vector<Entry> folders, files;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const std::string entryName = it->path().filename().string();
        if (entryName.empty() || entryName[0] == '.') continue;
        std::error_code statusError;
        if (it->is_directory(statusError)) {
            folders.push_back({entryName, true});
        } else if (it->is_regular_file(statusError)) {
            const bool shown =
                options_.filters.empty() || MatchesFilePattern(entryName, options_.filters[filterIndex_].pattern);
            if (shown) files.push_back({entryName, false});
        }
    }
    std::sort(folders.begin(), folders.end(), ByName);
    std::sort(files.begin(), files.end(), ByName);
    entries_.clear();
    if (fs::path(folder_).has_relative_path()) entries_.push_back({"..", true});
    entries_.insert(entries_.end(), folders.begin(), folders.end());
    entries_.insert(entries_.end(), files.begin(), files.end());
}

std::string FileDialogModel::WithExtension(const std::string& typed) const {
    if (fs::path(typed).has_extension()) return typed;
    std::string extension;
    if (!options_.filters.empty()) extension = PatternExtension(options_.filters[filterIndex_].pattern);
    if (extension.empty()) extension = options_.defaultExtension;
    return extension.empty() ? typed : typed + "." + extension;
}

bool FileDialogModel::Accept(std::string& chosen) {
    message_.clear();
    if (name.empty()) return false;
    const fs::path typed = fs::path(folder_) / fs::path(name);  // an absolute name stays as it is
    if (IsFolder(typed)) {
        if (EnterFolder(typed.string())) name.clear();
        return false;
    }
    fs::path full = typed.lexically_normal();
    std::error_code error;
    if (options_.save) {
        full = WithExtension(full.string());
        if (!IsFolder(full.parent_path())) {
            message_ = "The folder does not exist.";
            return false;
        }
        if (IsFolder(full)) {
            message_ = "The name is a folder's.";
            return false;
        }
    } else {
        // An open dialog takes the name as typed when such a file exists.
        if (!fs::is_regular_file(full, error)) full = WithExtension(full.string());
        if (!fs::is_regular_file(full, error)) {
            message_ = "File not found.";
            return false;
        }
    }
    chosen = full.string();
    return true;
}

}  // namespace qel
