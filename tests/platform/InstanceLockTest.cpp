#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/InstanceLock.h"

namespace {

namespace fs = std::filesystem;
using qel::InstanceLock;

class InstanceLockFixture : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qel-lock-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs `body` in a child process and returns its exit status.
    template <typename Body>
    int InChild(Body body) {
        pid_t pid = fork();
        if (pid == 0) _exit(body());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir;
};

int ChildTries(const std::string& dir) {
    InstanceLock lock;
    return int(lock.Acquire("QEL", dir));
}

TEST_F(InstanceLockFixture, HeldByOneProcessAndRefusedToASecond) {
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire("QEL", dir), InstanceLock::Result::Acquired);
    EXPECT_TRUE(lock.IsHeld());
    EXPECT_EQ(InChild([&] { return ChildTries(dir); }), int(InstanceLock::Result::AlreadyHeld));
    InstanceLock second;
    EXPECT_EQ(second.Acquire("QEL", dir), InstanceLock::Result::AlreadyHeld) << "also within one process";
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(InChild([&] {
                  InstanceLock other;
                  return int(other.Acquire("OTHER", dir));
              }),
              int(InstanceLock::Result::Acquired))
        << "another name is another lock";
    lock.Release();
    EXPECT_EQ(InChild([&] { return ChildTries(dir); }), int(InstanceLock::Result::Acquired));
}

TEST_F(InstanceLockFixture, ReleasedByTheSystemWhenTheHolderDies) {
    EXPECT_EQ(InChild([&] {
                  InstanceLock* leaked = new InstanceLock;  // never released: the process just ends
                  return int(leaked->Acquire("QEL", dir));
              }),
              int(InstanceLock::Result::Acquired));
    EXPECT_TRUE(fs::exists(fs::path(dir) / "QEL.lock")) << "the file stays; only the lock counts";
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("QEL", dir), InstanceLock::Result::Acquired);
}

TEST_F(InstanceLockFixture, UnusableFolderFails) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("QEL", dir + "/missing"), InstanceLock::Result::Failed);
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_FALSE(InstanceLock::DefaultDirectory().empty());
}

}  // namespace
