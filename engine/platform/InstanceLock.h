// The single-instance lock ("QEL"): an advisory lock on a file that the system
// releases when the holding process ends, however it ends.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

class QEL_API InstanceLock {
public:
    enum class Result { Acquired, AlreadyHeld, Failed };

    // The lock file is <directory>/<name>.lock; the default directory is
    // $XDG_RUNTIME_DIR, else the system's temporary folder.
    static std::string DefaultDirectory();

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock without waiting. AlreadyHeld: another holder (any process,
    // or another InstanceLock of this one) has it.
    Result Acquire(const std::string& name, const std::string& directory = DefaultDirectory());
    void Release();
    bool IsHeld() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace qel
