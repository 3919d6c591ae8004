#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace qel {

namespace {

// The descriptors of the locks this process holds. A forked child closes its
// copies at once: flock belongs to the open file, which a child's copy keeps
// alive (and locked) for as long as the child lives.
class HeldLocks {
public:
    static HeldLocks& Instance() {
        static HeldLocks* held = new HeldLocks();  // outlives every lock
        return *held;
    }
    // Runs `take` (which answers a locked descriptor or -1) with forks held
    // back, so no child is made between opening the file and listing it.
    template <class Take>
    int Listed(Take take) {
        std::call_once(registered, [] { pthread_atfork(&BeforeFork, &AfterForkInParent, &AfterForkInChild); });
        std::lock_guard<std::mutex> guard(lock);
        const int fd = take();
        if (fd >= 0) fds.push_back(fd);
        return fd;
    }
    void Close(int fd) {
        std::lock_guard<std::mutex> guard(lock);
        fds.erase(std::remove(fds.begin(), fds.end(), fd), fds.end());
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }

private:
    // The list is locked across the fork, so the child sees it whole.
    static void BeforeFork() { Instance().lock.lock(); }
    static void AfterForkInParent() { Instance().lock.unlock(); }
    // Only close: unlocking here would unlock the parent's lock too.
    static void AfterForkInChild() {
        HeldLocks& held = Instance();
        for (int fd : held.fds) ::close(fd);
        held.fds.clear();
        held.lock.unlock();
    }

    std::once_flag registered;
    std::mutex lock;
    std::vector<int> fds;
};

const char* EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The user's own folder for such files, or null.
const char* RuntimeFolder() { return EnvironmentValue("XDG_RUNTIME_DIR"); }

std::string HomeFolder() {
    if (const char* home = EnvironmentValue("HOME")) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return std::string();
}

// The folder exists (made for the user alone when missing), belongs to the
// user and nobody else may write into it.
bool IsPrivateFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
    return status.st_uid == ::getuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string InstanceLock::DefaultDirectory() {
    if (const char* runtime = RuntimeFolder()) return runtime;
    if (const char* cache = EnvironmentValue("XDG_CACHE_HOME")) return std::string(cache) + "/qel";
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.cache/qel";
}

std::string InstanceLock::DefaultPath(const std::string& name) { return DefaultDirectory() + "/" + name + ".lock"; }

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::string& name) {
    const std::string folder = DefaultDirectory();
    if (folder.empty()) return Result::Failed;
    // The runtime folder is the user's by definition; the cache folder is
    // checked, as anyone may have made it.
    if (RuntimeFolder() == nullptr && !IsPrivateFolder(folder)) return Result::Failed;
    return AcquirePath(DefaultPath(name));
}

InstanceLock::Result InstanceLock::Acquire(const std::string& name, const std::string& directory) {
    return AcquirePath(directory + "/" + name + ".lock");
}

InstanceLock::Result InstanceLock::AcquirePath(const std::string& path) {
    if (fd_ >= 0) return Result::Acquired;
    Result result = Result::Failed;
    fd_ = HeldLocks::Instance().Listed([&path, &result] {
        // No link is followed: in a shared folder it could point anywhere.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return -1;
        // flock belongs to the open file: the system drops it when the
        // process ends, and a second open in this process conflicts as well.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) result = Result::AlreadyHeld;
            ::close(fd);
            return -1;
        }
        result = Result::Acquired;
        return fd;
    });
    return result;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    HeldLocks::Instance().Close(fd_);
    fd_ = -1;
}

}  // namespace qel
