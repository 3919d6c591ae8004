#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace qel {

std::string InstanceLock::DefaultDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
    std::error_code error;
    std::string temp = std::filesystem::temp_directory_path(error).string();
    return error ? std::string("/tmp") : temp;
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::string& name, const std::string& directory) {
    if (fd_ >= 0) return Result::Acquired;
    std::string path = directory + "/" + name + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    // flock belongs to the open file: the system drops it when the process
    // ends, and a second open in this process conflicts as well.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::AlreadyHeld : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace qel
