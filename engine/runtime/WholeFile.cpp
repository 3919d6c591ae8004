#include "runtime/WholeFileInternal.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/File.h"
#include "platform/FileSync.h"
#include "platform/Paths.h"
#include "platform/Resources.h"

namespace fs = std::filesystem;

PendingFile::PendingFile(const char* name) {
    if (name != nullptr && name[0] != '\0') {
        target = qel::NativePath(name);
        temporary = target + ".part";
    }
}

PendingFile::~PendingFile() {
    if (committed || temporary.empty()) return;
    std::error_code error;
    if (fs::is_regular_file(fs::symlink_status(temporary, error))) fs::remove(temporary, error);
}

// A fresh, empty temporary file of this process. What a killed run left under
// that name goes first: it may be a link to another file, which a plain
// open would write through.
bool PendingFile::StartTemporary() {
    ready = false;
    committed = false;
    std::error_code error;
    // A folder in the file's place would refuse the rename only after the
    // other files of a pair took their places.
    if (target.empty() || fs::is_directory(target, error)) return false;
    fs::remove(temporary, error);
    if (error) return false;
    std::FILE* f = std::fopen(temporary.c_str(), "wbx");
    if (f == nullptr) return false;
    return std::fclose(f) == 0;
}

// The written temporary is ready once its bytes are on the disk.
bool PendingFile::Finish(bool written) {
    ready = written && qel::SyncFileToDisk(temporary);
    if (!ready) {
        std::error_code error;
        fs::remove(temporary, error);
    }
    return ready;
}

bool PendingFile::Write(const std::function<void(File&)>& write) {
    // File ends the program on a file it cannot open: the temporary is made first.
    if (!StartTemporary()) return false;
    bool written = false;
    {
        File file(temporary.c_str(), File::Writing);
        write(file);
        written = file.Close();
    }
    return Finish(written);
}

bool PendingFile::CopyFrom(const char* from) {
    if (from == nullptr || !StartTemporary()) return false;
    const std::string source = qel::NativePath(from);
    std::error_code error;
    const bool copied = fs::is_regular_file(source, error) &&
                        fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error) && !error;
    return Finish(copied);
}

bool PendingFile::Commit() {
    if (!ready || committed) return false;
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        ready = false;
        return false;
    }
    committed = true;
    // The rename, too, outlasts a power cut.
    return qel::SyncFolderOf(target);
}

bool PendingFile::RemoveOld() {
    if (target.empty()) return false;
    std::error_code error;
    fs::remove(target, error);
    return !error && qel::SyncFolderOf(target);
}

bool CommitPair(PendingFile& first, PendingFile& second) {
    return second.RemoveOld() && first.Commit() && second.Commit();
}

bool CanOpenForReading(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    if (qel::FindProgramResource("RCDATA", name) != nullptr) return true;
    const std::string path = qel::NativePath(name);
    // A folder has no bytes, and opening a named pipe or a device waits for a
    // writer that may never come: the game would hang on a file it was handed.
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

bool WriteWholeFile(const char* name, const std::function<void(File&)>& write) {
    PendingFile file(name);
    return file.Write(write) && file.Commit();
}

bool CopyWholeFile(const char* from, const char* to) {
    PendingFile file(to);
    return file.CopyFrom(from) && file.Commit();
}

void RemoveFile(const char* name) {
    if (name == nullptr) return;
    std::error_code error;
    fs::remove(qel::NativePath(name), error);
}
