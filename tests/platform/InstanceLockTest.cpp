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

TEST_F(InstanceLockFixture, AForkedChildDoesNotKeepTheLockOnceItsParentIsGone) {
    // The holder forks a helper (as a message box does) and dies while the
    // helper lives on: the lock must go with the holder.
    int helperRuns[2], helperStarted[2];
    ASSERT_EQ(pipe(helperRuns), 0);
    ASSERT_EQ(pipe(helperStarted), 0);
    EXPECT_EQ(InChild([&] {
                  InstanceLock* held = new InstanceLock;  // never released: the holder just ends
                  if (held->Acquire("QEL", dir) != InstanceLock::Result::Acquired) return 1;
                  if (fork() == 0) {
                      // The helper: says it runs, then lives until the test
                      // closes its end of the pipe.
                      close(helperRuns[1]);
                      char c = 1;
                      if (write(helperStarted[1], &c, 1) != 1) _exit(1);
                      while (read(helperRuns[0], &c, 1) > 0) {
                      }
                      _exit(0);
                  }
                  char c;
                  return read(helperStarted[0], &c, 1) == 1 ? 0 : 2;
              }),
              0);
    close(helperStarted[0]);
    close(helperStarted[1]);
    close(helperRuns[0]);
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("QEL", dir), InstanceLock::Result::Acquired);
    close(helperRuns[1]);
}

TEST_F(InstanceLockFixture, TheDefaultLockIsTheUsersOwn) {
    struct Case {
        const char* name;
        bool runtimeFolder;  // XDG_RUNTIME_DIR set
        std::string file;
    };
    const std::string uid = std::to_string(getuid());
    const Case cases[] = {
        {"in the user's runtime folder", true, "QEL.lock"},
        {"in the shared temporary folder", false, "QEL-" + uid + ".lock"},
    };
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtimeBefore = runtime ? runtime : "";
    const char* temp = std::getenv("TMPDIR");
    const std::string tempBefore = temp ? temp : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.runtimeFolder) {
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
            setenv("TMPDIR", dir.c_str(), 1);
        }
        EXPECT_EQ(InstanceLock::DefaultPath("QEL"), dir + "/" + c.file);
        {
            InstanceLock lock;
            EXPECT_EQ(lock.Acquire("QEL"), InstanceLock::Result::Acquired);
            EXPECT_TRUE(fs::exists(fs::path(dir) / c.file));
        }
        fs::remove(fs::path(dir) / c.file);
        if (runtime) setenv("XDG_RUNTIME_DIR", runtimeBefore.c_str(), 1);
        if (temp)
            setenv("TMPDIR", tempBefore.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
}

TEST_F(InstanceLockFixture, UnusableFolderFails) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("QEL", dir + "/missing"), InstanceLock::Result::Failed);
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_FALSE(InstanceLock::DefaultDirectory().empty());
}

}  // namespace
