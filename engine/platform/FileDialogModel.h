// What the file dialog shows and decides, apart from drawing: the folder, its
// sub-folders and the files that match the chosen filter, and the check of the
// name that the player typed or picked.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

struct FileDialogFilter {
    std::string description;  // "Saved Files (*.sav)"
    std::string pattern;      // "*.sav"
};

struct FileDialogOptions {
    bool save = false;  // a save dialog; otherwise an open dialog (the file must exist)
    std::vector<FileDialogFilter> filters;
    std::string defaultExtension;  // "sav": added to a name typed without one
    std::string folder;            // the folder shown first; empty: the current directory
};

// True when the file name matches the pattern: '*' any run of characters,
// '?' one character, letters compared without regard to case.
bool MatchesFilePattern(std::string_view name, std::string_view pattern);

class FileDialogModel {
public:
    struct Entry {
        std::string name;
        bool folder = false;
    };

    explicit FileDialogModel(FileDialogOptions options);

    const FileDialogOptions& Options() const { return options_; }
    const std::string& Folder() const { return folder_; }
    // The parent folder ("..", unless at the root), the sub-folders, then the
    // files that match the selected filter; each group sorted by name. Hidden
    // entries (names starting with '.') are left out.
    const std::vector<Entry>& Entries() const { return entries_; }

    std::size_t FilterIndex() const { return filterIndex_; }
    void SelectFilter(std::size_t index);

    // The file name field.
    std::string name;

    // Shows another folder: a sub-folder's name, "..", or a full path.
    // False (nothing changes) when it is not a folder that can be read.
    bool EnterFolder(const std::string& folder);
    // Reads the folder again.
    void Refresh();

    // OK: true with the chosen file's full path. False when the dialog stays
    // open: the name named a folder (now shown), or it was refused (Message()).
    bool Accept(std::string& chosen);
    // Why the last OK was refused; empty when it was not.
    const std::string& Message() const { return message_; }

private:
    std::string WithExtension(const std::string& typed) const;

    FileDialogOptions options_;
    std::string folder_;
    std::vector<Entry> entries_;
    std::size_t filterIndex_ = 0;
    std::string message_;
};

}  // namespace qel
