// Files that the player's saves and replays live in: a check that a file can
// be read before it is opened (opening a missing file ends the program), and
// writes and copies that either complete or leave the old file untouched.
#pragma once
#include <functional>
#include <string>

class File;

// The name is a program resource or a disk file that can be opened for reading.
bool CanOpenForReading(const char* name);

// A file's new content, written whole into a temporary file beside it and
// flushed to the disk; it replaces the file only when committed and goes away
// otherwise. Files that belong together are all written before any commits.
class PendingFile {
public:
    explicit PendingFile(const char* name);
    // Removes a temporary that was not committed.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The content is what `write` writes; false when it cannot be made or
    // written whole.
    bool Write(const std::function<void(File&)>& write);
    // The content is a copy of a disk file; false when that cannot be read or
    // the copy cannot be written whole.
    bool CopyFrom(const char* from);
    // Puts the content in place of the file; false, with the old file as it
    // was, when there is no content or it cannot take the file's place; false
    // too when the folder cannot keep the change (the new file is in place
    // but may not outlast a power cut).
    bool Commit();
    // Removes the file this content is to replace, for good (a missing one is
    // no error); false when it stays or the removal cannot be kept.
    bool RemoveOld();

private:
    bool StartTemporary();
    bool Finish(bool written);

    std::string target;
    std::string temporary;
    bool ready = false;
    bool committed = false;
};

// Commits a pair whose second file belongs to the first (a replay's input
// and the state it starts from). The old second file goes before the new
// first takes its place, so a run killed in between leaves a first file
// without a second, which is refused, never a new first with an old second.
bool CommitPair(PendingFile& first, PendingFile& second);

// One file written through a PendingFile: false, with the old file (if any)
// unchanged, when it cannot be made or written.
bool WriteWholeFile(const char* name, const std::function<void(File&)>& write);

// Copies a disk file over another, the same way; false when the source cannot
// be read or the copy cannot be written.
bool CopyWholeFile(const char* from, const char* to);

// Removes a disk file; a missing file is no error.
void RemoveFile(const char* name);
