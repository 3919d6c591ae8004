// The program nolt as a Linux process, run as a launcher runs it: a signal
// ends it, even under a message box; a refused second copy says so and ends
// with a status a script can tell; and its message box works on an X server
// without a window manager, where the keyboard stays on the game's window.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "../support/ChildProcess.h"
#include "../support/VirtualDisplay.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto PromptEnd = 1000ms;  // what a launcher allows after its signal
constexpr auto Patience = 20s;      // for start-up and level loading on a busy machine

struct Rectangle {
    int left, top, right, bottom;  // inclusive
};

bool BoxGrey(std::uint32_t p) {
    const std::uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r == g && g == b && r >= 200 && r <= 250;
}

// The box the game draws inside its window: light grey rows (its title bar,
// the margins of its body) far wider than anything grey in the game's pictures.
std::optional<Rectangle> BoxInWindow(const VirtualDisplay::Picture& picture) {
    constexpr int WideRun = 60, TallBox = 20;
    Rectangle box{picture.width, picture.height, -1, -1};
    int rows = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width;) {
            int end = x;
            while (end < picture.width && BoxGrey(picture.At(end, y))) ++end;
            if (end - x >= WideRun) {
                if (box.bottom != y) ++rows;
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, end - 1), y};
            }
            x = end + 1;
        }
    }
    if (rows < TallBox) return std::nullopt;
    return box;
}

// A fresh home and data folder for each run. The save on entering a level
// cannot be written there: the folder is read-only, and a folder stands where
// the save would go, which stops a privileged user as well.
class ProgramProcess : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nolt-process-XXXXXX";
        root = mkdtemp(pattern);
        for (const char* sub : {"run", "home", "runtime"}) fs::create_directory(root / sub);
        fs::permissions(root / "runtime", fs::perms::owner_all);
        fs::create_directory_symlink(fs::path(QEL_NOLT_PROGRAM).parent_path() / "Art Assets", Run() / "Art Assets");
        fs::create_directory(Run() / "nolt.sav");
        fs::permissions(Run(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(Run(), fs::perms::owner_all, ignored);
        fs::remove_all(root, ignored);
    }

    fs::path Run() const { return root / "run"; }

    // A display name runs the game under that X server; empty: headless.
    std::unique_ptr<ChildProcess> StartGame(const std::string& display, const std::string& errorName) {
        std::map<std::string, std::string> variables = {
            {"SDL_AUDIODRIVER", "dummy"},
            {"HOME", (root / "home").string()},
            {"XDG_RUNTIME_DIR", (root / "runtime").string()},
            {"LSAN_OPTIONS", "suppressions=" QEL_LSAN_SUPPRESSIONS},
        };
        if (display.empty()) {
            variables["SDL_VIDEODRIVER"] = "dummy";
        } else {
            variables["SDL_VIDEODRIVER"] = "x11";
            variables["DISPLAY"] = display;
        }
        return std::make_unique<ChildProcess>(
            ChildProcess::Options{{QEL_NOLT_PROGRAM}, variables, Run().string(), (root / errorName).string(), false});
    }

    // True while some process holds the single-instance lock.
    bool LockHeld() const {
        const std::string path = (root / "runtime" / "QEL.lock").string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    // Starts the game from its menu with Return and waits for the box that
    // says its save failed; Return is pressed only while the menu shows, so
    // that no press reaches the box.
    std::optional<Rectangle> PlayUntilTheSaveFails(VirtualDisplay& x, Window window) {
        // The menu fades in: its colour is the one that stays.
        std::uint32_t menu = 0;
        const bool menuShown = VirtualDisplay::WaitUntil(Patience, [&] {
            const std::uint32_t before = x.Grab(window).At(20, 20);
            std::this_thread::sleep_for(300ms);
            return before != 0 && (menu = x.Grab(window).At(20, 20)) == before;
        });
        if (!menuShown) return std::nullopt;
        std::optional<Rectangle> box;
        auto lastPress = std::chrono::steady_clock::now() - 1h;
        VirtualDisplay::WaitUntil(Patience, [&] {
            const VirtualDisplay::Picture picture = x.Grab(window);
            if ((box = BoxInWindow(picture))) return true;
            if (picture.At(20, 20) == menu && std::chrono::steady_clock::now() - lastPress > 1s) {
                x.PressKey(XK_Return);
                lastPress = std::chrono::steady_clock::now();
            }
            return false;
        });
        return box;
    }

    fs::path root;
};

// The run folder holds what the test put there, and nothing half written.
std::vector<std::string> LeftInFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != "Art Assets" && name != "nolt.sav" && name != "Qel.log") names.push_back(name);
    }
    return names;
}

TEST_F(ProgramProcess, TheBoxInTheGamesWindowIsCentredAndAnswersReturnAndEscapePressedThere) {
    for (KeySym key : {XK_Return, XK_Escape}) {
        SCOPED_TRACE(XKeysymToString(key));
        VirtualDisplay x;
        REQUIRE_VIRTUAL_DISPLAY(x);
        auto game = StartGame(x.Name(), "game.err");
        const Window window = x.WaitForWindow("NOLT", Patience);
        ASSERT_NE(window, 0u) << game->ErrorText();
        const std::optional<Rectangle> box = PlayUntilTheSaveFails(x, window);
        ASSERT_TRUE(box) << "no message box in the game's window; " << game->ErrorText();

        int left = 0, top = 0, width = 0, height = 0;
        ASSERT_TRUE(x.Placement(window, left, top, width, height));
        EXPECT_NEAR(box->left + box->right, width - 1, 4) << "centred across the window";
        EXPECT_NEAR(box->top + box->bottom, height - 1, 4) << "centred down the window";

        x.PressKey(key);
        EXPECT_TRUE(VirtualDisplay::WaitUntil(2s, [&] { return !BoxInWindow(x.Grab(window)); }))
            << "the key did not close the box";
        EXPECT_TRUE(game->Running()) << "the game goes on after its box";
        game->Signal(SIGTERM);
        EXPECT_TRUE(game->WaitFor(PromptEnd));
    }
}

TEST_F(ProgramProcess, ASignalEndsTheGameWithinASecondUnderItsMessageBox) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        VirtualDisplay x;
        REQUIRE_VIRTUAL_DISPLAY(x);
        auto game = StartGame(x.Name(), "game.err");
        const Window window = x.WaitForWindow("NOLT", Patience);
        ASSERT_NE(window, 0u) << game->ErrorText();
        ASSERT_TRUE(PlayUntilTheSaveFails(x, window)) << game->ErrorText();

        game->Signal(signal);
        const std::optional<int> status = game->WaitFor(PromptEnd);
        ASSERT_TRUE(status) << "still running a second after the signal";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "the game's own end, status " << *status;
        EXPECT_EQ(x.FindWindow("NOLT"), 0u);
        EXPECT_EQ(LeftInFolder(Run()), std::vector<std::string>{});
    }
}

TEST_F(ProgramProcess, ASecondCopyEndsWithANonZeroStatusAndSaysWhy) {
    auto first = StartGame("", "first.err");
    ASSERT_TRUE(VirtualDisplay::WaitUntil(Patience, [&] { return LockHeld(); })) << first->ErrorText();

    auto second = StartGame("", "second.err");
    const std::optional<int> status = second->WaitFor(Patience);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), 0);
    EXPECT_NE(
        second->ErrorText().find("Exit error.: Cannot create more than one \xE2\x80\x98Qel\xE2\x80\x99 instance.\n"),
        std::string::npos)
        << second->ErrorText();
    EXPECT_TRUE(first->Running()) << "the first copy goes on";

    first->Signal(SIGTERM);
    EXPECT_EQ(first->WaitFor(PromptEnd), std::optional<int>(0)) << "a signal's end is the game's normal end";
}

// Without a game window the box is the system's own, whose loop is SDL's.
TEST_F(ProgramProcess, ASignalEndsASecondCopyUnderTheSystemsOwnBox) {
    VirtualDisplay x;
    REQUIRE_VIRTUAL_DISPLAY(x);
    auto first = StartGame(x.Name(), "first.err");
    ASSERT_NE(x.WaitForWindow("NOLT", Patience), 0u) << first->ErrorText();
    ASSERT_TRUE(VirtualDisplay::WaitUntil(Patience, [&] { return LockHeld(); }));

    auto second = StartGame(x.Name(), "second.err");
    ASSERT_NE(x.WaitForWindow("Exit error.", Patience), 0u) << second->ErrorText();
    second->Signal(SIGTERM);
    const std::optional<int> status = second->WaitFor(PromptEnd);
    ASSERT_TRUE(status) << "still running a second after the signal";
    EXPECT_FALSE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "a refused start is no success";
    EXPECT_TRUE(VirtualDisplay::WaitUntil(PromptEnd, [&] { return x.FindWindow("Exit error.") == 0; }))
        << "the box outlived its program";

    first->Signal(SIGTERM);
    EXPECT_TRUE(first->WaitFor(PromptEnd));
}

}  // namespace
