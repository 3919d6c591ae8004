#include "platform/FileSync.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

namespace qel {

namespace {

std::atomic<int> failingSyncs{0};

bool TakeFailingSync() {
    int left = failingSyncs.load();
    while (left > 0)
        if (failingSyncs.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

// fsync on a descriptor of its own: it flushes the file's data whichever
// descriptor wrote them.
bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace

bool SyncFileToDisk(const std::string& path) {
    if (TakeFailingSync()) return false;
    return SyncPath(path, O_RDONLY);
}

void SyncFolderOf(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    SyncPath(folder.string(), O_RDONLY | O_DIRECTORY);
}

void FailFileSyncsForTests(int count) { failingSyncs = count; }

}  // namespace qel
