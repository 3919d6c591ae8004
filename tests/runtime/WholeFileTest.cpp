// Saves and replays are written whole or not at all: what a killed run left
// beside the file, a folder in the way or a disk that cannot keep the bytes
// never leaves a cut or foreign file in the file's place.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "foundation/File.h"
#include "platform/FileSync.h"
#include "runtime/WholeFileInternal.h"
#include "testing/TestHooks.h"

namespace {

namespace fs = std::filesystem;

std::string Content(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class WholeFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qel-wholefile-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        qel::FailFileSyncsForTests(0);
        qel::FailFolderSyncForTests(0);
        fs::remove_all(dir);
    }

    static bool WriteNew(const fs::path& path) {
        return WriteWholeFile(path.string().c_str(), [](File& file) { file.Write("new", 3); });
    }

    fs::path dir;
};

TEST_F(WholeFileTest, OnlyRegularFilesOpenForReading) {
    Put(dir / "save.sav", "QEL_SAR");
    fs::create_directories(dir / "folder.sav");
    fs::create_symlink(dir / "save.sav", dir / "link.sav");
    ASSERT_EQ(::mkfifo((dir / "pipe.sav").c_str(), 0600), 0);
    // With a writer at its other end a pipe opens at once, and a read from it
    // would wait for bytes that never come.
    const int writer = ::open((dir / "pipe.sav").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const struct {
        const char* name;
        bool opens;
    } cases[] = {
        {"save.sav", true}, {"link.sav", true}, {"folder.sav", false}, {"pipe.sav", false}, {"missing.sav", false}};
    for (const auto& c : cases) EXPECT_EQ(CanOpenForReading((dir / c.name).string().c_str()), c.opens) << c.name;
    ::close(writer);
}

TEST_F(WholeFileTest, AFileIsReplacedWholeOrKeptAsItWas) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& file)> before;  // the old file is "old"
        bool written;
    };
    const Case cases[] = {
        {"nothing in the way", [](const fs::path&) {}, true},
        {"a leftover temporary", [](const fs::path& f) { Put(f.string() + ".part", "a longer leftover"); }, true},
        {"a leftover link to another file",
         [](const fs::path& f) { fs::create_symlink(f.parent_path() / "other", f.string() + ".part"); }, true},
        {"an empty leftover folder", [](const fs::path& f) { fs::create_directory(f.string() + ".part"); }, true},
        {"a folder with files in the temporary's place",
         [](const fs::path& f) { fs::create_directories(fs::path(f.string() + ".part") / "inside"); }, false},
        {"a disk that cannot keep the bytes", [](const fs::path&) { qel::FailFileSyncsForTests(1); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / "save.sav";
        Put(file, "old");
        Put(dir / "other", "another file");
        c.before(file);
        EXPECT_EQ(WriteNew(file), c.written);
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_EQ(Content(file), c.written ? "new" : "old");
        EXPECT_EQ(Content(dir / "other"), "another file");
        if (c.written) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(file.string() + ".part")));
        }
        qel::FailFileSyncsForTests(0);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
}

TEST_F(WholeFileTest, AFileThatCannotTakeItsPlaceIsNotWrittenAtAll) {
    struct Case {
        const char* name;
        fs::path file;
    };
    const Case cases[] = {
        {"a folder in the file's place", dir / "taken"},
        {"a folder that does not exist", dir / "missing" / "save.sav"},
    };
    fs::create_directories(dir / "taken" / "inside");
    Put(dir / "source", "source");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(WriteNew(c.file));
        EXPECT_FALSE(CopyWholeFile((dir / "source").string().c_str(), c.file.string().c_str()));
        EXPECT_FALSE(fs::exists(c.file.string() + ".part"));
    }
    EXPECT_TRUE(fs::is_directory(dir / "taken" / "inside"));
}

TEST_F(WholeFileTest, APairIsWrittenBeforeEitherTakesItsPlace) {
    Put(dir / "run.sar", "old state");
    Put(dir / "run.rep", "old input");
    Put(dir / "state", "new state");
    {
        PendingFile state((dir / "run.sar").string().c_str()), input((dir / "run.rep").string().c_str());
        ASSERT_TRUE(state.CopyFrom((dir / "state").string().c_str()));
        ASSERT_TRUE(input.Write([](File& file) { file.Write("new input", 9); }));
        EXPECT_EQ(Content(dir / "run.sar"), "old state");
        EXPECT_EQ(Content(dir / "run.rep"), "old input");
        EXPECT_TRUE(state.Commit());
        EXPECT_EQ(Content(dir / "run.sar"), "new state");
        // Never committed: the temporary goes, the old file stays.
    }
    EXPECT_EQ(Content(dir / "run.rep"), "old input");
    EXPECT_FALSE(fs::exists(dir / "run.rep.part"));
}

TEST_F(WholeFileTest, AFolderThatCannotKeepTheRenameIsReported) {
    const fs::path file = dir / "save.sav";
    Put(file, "old");
    qel::FailFolderSyncForTests(1);
    EXPECT_FALSE(WriteNew(file)) << "the save may not outlast a power cut";
    EXPECT_FALSE(fs::exists(file.string() + ".part"));
    EXPECT_TRUE(WriteNew(file));
    EXPECT_EQ(Content(file), "new");
}

TEST_F(WholeFileTest, APairStoppedAtAnyStepNeverLeavesTheNewFirstFileWithTheOldSecond) {
    // The folder syncs mark the steps: stopping at each of them stands for a
    // run killed there.
    for (int step = 0; step <= 4; ++step) {
        SCOPED_TRACE(step);
        Put(dir / "run.sar", "old state");
        Put(dir / "run.rep", "old input");
        Put(dir / "state", "new state");
        bool committed = false;
        {
            PendingFile state((dir / "run.sar").string().c_str()), input((dir / "run.rep").string().c_str());
            ASSERT_TRUE(state.CopyFrom((dir / "state").string().c_str()));
            ASSERT_TRUE(input.Write([](File& file) { file.Write("new input", 9); }));
            qel::FailFolderSyncForTests(step);
            committed = CommitPair(state, input);
        }
        qel::FailFolderSyncForTests(0);
        const std::string state = Content(dir / "run.sar");
        const bool hasInput = fs::exists(dir / "run.rep");
        EXPECT_EQ(committed, step == 0 || step > 3);
        if (committed) {
            EXPECT_EQ(state, "new state");
            EXPECT_EQ(Content(dir / "run.rep"), "new input");
        }
        if (state == "new state" && hasInput) {
            EXPECT_EQ(Content(dir / "run.rep"), "new input");
        }
        EXPECT_FALSE(fs::exists(dir / "run.sar.part"));
        EXPECT_FALSE(fs::exists(dir / "run.rep.part"));
    }
}

TEST_F(WholeFileTest, AWriteBeyondTheFileSizeLimitFailsAndTheProgramGoesOn) {
    const fs::path file = dir / "save.sav";
    Put(file, "old");
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        qel::WritesPastFileSizeLimitFail();
        const bool written =
            WriteWholeFile(file.string().c_str(), [](File& f) { f.Write(std::string(64, 'x').c_str(), 64); });
        _exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report its failure";
    EXPECT_EQ(Content(file), "old");
    EXPECT_FALSE(fs::exists(file.string() + ".part"));
}

}  // namespace
