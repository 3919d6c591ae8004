#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
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

// The user's own folder for such files, or null.
const char* RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' ? runtime : nullptr;
}

}  // namespace

std::string InstanceLock::DefaultDirectory() {
    if (const char* runtime = RuntimeFolder()) return runtime;
    std::error_code error;
    std::string temp = std::filesystem::temp_directory_path(error).string();
    return error ? std::string("/tmp") : temp;
}

std::string InstanceLock::DefaultPath(const std::string& name) {
    if (RuntimeFolder() != nullptr) return DefaultDirectory() + "/" + name + ".lock";
    return DefaultDirectory() + "/" + name + "-" + std::to_string(::getuid()) + ".lock";
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::string& name) { return AcquirePath(DefaultPath(name)); }

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
