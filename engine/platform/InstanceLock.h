// The single-instance lock ("QEL"): an advisory lock on a file that the system
// releases when the holding process ends, however it ends.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

class QEL_API InstanceLock {
public:
    enum class Result { Acquired, AlreadyHeld, Failed };

    // $XDG_RUNTIME_DIR, else the folder "qel" in the user's cache folder
    // ($XDG_CACHE_HOME, else ~/.cache): folders only the user can write, so
    // that no other user's file can keep the game from starting. Empty when
    // there is no home folder.
    static std::string DefaultDirectory();
    // The lock file of `name`: <name>.lock in the default folder.
    static std::string DefaultPath(const std::string& name);

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock without waiting. AlreadyHeld: another holder (any process,
    // or another InstanceLock of this one) has it. Failed: the lock file could
    // not be opened or locked, so nobody can tell whether another holder runs.
    // Child processes never hold the lock: neither programs started from
    // this one nor forked copies of it (a message box may run in one, and
    // would otherwise keep the lock after this process died).
    // The default folder in the user's cache folder is made (for the user
    // alone) when missing; one another user owns or may write is Failed.
    Result Acquire(const std::string& name);
    // The lock file is <directory>/<name>.lock.
    Result Acquire(const std::string& name, const std::string& directory);
    void Release();
    bool IsHeld() const { return fd_ >= 0; }

private:
    Result AcquirePath(const std::string& path);

    int fd_ = -1;
};

}  // namespace qel
