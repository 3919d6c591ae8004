// The player's choice of a file name for saving or loading (save games,
// replays, screenshots), asked in a dialog over the game's window. A run
// without a real display shows none: every question answers "cancelled"
// unless a test supplies the answer.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct FileFilter {
    const char* description;  // "Saved Files (*.sav)"
    const char* pattern;      // "*.sav"
};

struct FileDialogRequest {
    bool save = false;  // a save dialog; otherwise an open dialog (the file must exist)
    std::vector<FileFilter> filters;
    const char* defaultExtension = "";  // added to a name typed without one
};

// True with the chosen name; false when the player cancelled.
bool ChooseFileName(const FileDialogRequest& request, std::string& name);

// Test hook: answers every dialog instead of the player; an empty function
// removes it.
using FileDialogAnswer = std::function<bool(const FileDialogRequest& request, std::string& name)>;
void SetFileDialogAnswerForTests(FileDialogAnswer answer);
