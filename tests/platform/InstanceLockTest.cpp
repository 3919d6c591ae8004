#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
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

// Sets environment variables for one scope and puts them back after it.
class ScopedEnvironment {
public:
    void Set(const char* name, const char* value) {
        if (kept.count(name) == 0) {
            const char* old = std::getenv(name);
            kept[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (auto& [name, value] : kept)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> kept;
};

TEST_F(InstanceLockFixture, TheDefaultLockIsTheUsersOwn) {
    struct Case {
        const char* name;
        const char* runtime;  // XDG_RUNTIME_DIR below dir, or none
        const char* cache;    // XDG_CACHE_HOME below dir, or none (then HOME is dir)
        std::string file;
    };
    const Case cases[] = {
        {"in the user's runtime folder", "", nullptr, "QEL.lock"},
        {"in the user's cache folder", nullptr, "cache", "cache/qel/QEL.lock"},
        {"in the cache folder of the user's home", nullptr, nullptr, ".cache/qel/QEL.lock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment environment;
        environment.Set("XDG_RUNTIME_DIR", c.runtime ? (dir + c.runtime).c_str() : nullptr);
        environment.Set("XDG_CACHE_HOME", c.cache ? (dir + "/" + c.cache).c_str() : nullptr);
        environment.Set("HOME", dir.c_str());
        // The shared temporary folder is never used, whoever made files there.
        environment.Set("TMPDIR", (dir + "/shared").c_str());
        EXPECT_EQ(InstanceLock::DefaultPath("QEL"), dir + "/" + c.file);
        {
            InstanceLock lock;
            EXPECT_EQ(lock.Acquire("QEL"), InstanceLock::Result::Acquired);
            EXPECT_TRUE(fs::exists(fs::path(dir) / c.file));
        }
        if (!c.runtime) {
            const fs::perms made = fs::status(fs::path(dir + "/" + c.file).parent_path()).permissions();
            EXPECT_EQ(made & fs::perms::all, fs::perms::owner_all) << "made for the user alone";
        }
        fs::remove(fs::path(dir) / c.file);
    }
}

TEST_F(InstanceLockFixture, ACacheFolderOthersMayWriteIsRefused) {
    ScopedEnvironment environment;
    environment.Set("XDG_RUNTIME_DIR", nullptr);
    environment.Set("XDG_CACHE_HOME", dir.c_str());
    const fs::path folder = fs::path(dir) / "qel";
    struct Case {
        const char* name;
        std::function<bool()> prepare;  // false: cannot be set up here
        InstanceLock::Result expected;
    };
    const Case cases[] = {
        {"the user's own", [&] { return fs::create_directory(folder); }, InstanceLock::Result::Acquired},
        {"writable by everybody",
         [&] {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms::all);
             return true;
         },
         InstanceLock::Result::Failed},
        {"another user's",
         [&] { return fs::create_directory(folder) && geteuid() == 0 && chown(folder.c_str(), 65534, 65534) == 0; },
         InstanceLock::Result::Failed},
        {"a link to a folder elsewhere",
         [&] {
             fs::create_directory(fs::path(dir) / "elsewhere");
             fs::create_directory_symlink(fs::path(dir) / "elsewhere", folder);
             return true;
         },
         InstanceLock::Result::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        if (!c.prepare()) continue;
        InstanceLock lock;
        EXPECT_EQ(lock.Acquire("QEL"), c.expected);
    }
}

TEST_F(InstanceLockFixture, UnusableFolderFails) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("QEL", dir + "/missing"), InstanceLock::Result::Failed);
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_FALSE(InstanceLock::DefaultDirectory().empty());
}

}  // namespace
