#include "platform/FileSync.h"
#include "testing/TestHooks.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>

namespace qel {

namespace {

std::atomic<int> failingSyncs{0};
std::atomic<int> folderSyncsToFailure{0};

bool TakeFailingSync() {
    int left = failingSyncs.load();
    while (left > 0)
        if (failingSyncs.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

// Counts down to the folder sync that is to fail.
bool TakeFailingFolderSync() {
    int left = folderSyncsToFailure.load();
    while (left > 0)
        if (folderSyncsToFailure.compare_exchange_weak(left, left - 1)) return left == 1;
    return false;
}

// fsync on a descriptor of its own: it flushes the file's data whichever
// descriptor wrote them. The error, if any, is left in errno.
bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

}  // namespace

bool SyncFileToDisk(const std::string& path) {
    if (TakeFailingSync()) return false;
    return SyncPath(path, O_RDONLY);
}

bool SyncFolderOf(const std::string& path) {
    if (TakeFailingFolderSync()) return false;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (SyncPath(folder.string(), O_RDONLY | O_DIRECTORY)) return true;
    // Some file systems do not sync a folder's entries at all, and a folder
    // one may write into without reading cannot be opened for it.
    return errno == EINVAL || errno == ENOTSUP || errno == EROFS || errno == EACCES;
}

void WritesPastFileSizeLimitFail() { std::signal(SIGXFSZ, SIG_IGN); }

void FailFileSyncsForTests(int count) { failingSyncs = count; }

void FailFolderSyncForTests(int which) { folderSyncsToFailure = which; }

}  // namespace qel
