#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/DialogModalInternal.h"
#include "platform/DialogNetwork.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/FileDialogBox.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/Window.h"

namespace {

namespace fs = std::filesystem;

// What the player does, by frame: typed text, a key pressed, a key released.
struct Input {
    enum Kind { Text, KeyDown, KeyUp, CloseWindow } kind;
    std::string text;
    SDL_Keycode key = SDLK_UNKNOWN;
};
Input Type(std::string text) { return {Input::Text, std::move(text)}; }
Input Press(SDL_Keycode key) { return {Input::KeyDown, "", key}; }
Input Release(SDL_Keycode key) { return {Input::KeyUp, "", key}; }
Input Close() { return {Input::CloseWindow, ""}; }

// Dialogs run over a window with a display as they do in the game, with the
// dummy video driver; a dialog still open after MaxFrames is cancelled.
class ModalDialogFixture : public testing::Test {
protected:
    static constexpr int MaxFrames = 40;

    void SetUp() override {
        window = qel::Window::Create({"dialogs", 320, 240, false, true});
        ASSERT_NE(window, nullptr);
        display = qel::Display::Create(window, 320, 240, 32);
        ASSERT_NE(display, nullptr);
        qel::ShowDialogsWithoutRealDisplayForTests(true);
        folder = fs::temp_directory_path() / ("qel-dialog-modal-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::ofstream(folder / "beta.sav") << "x";
    }
    void TearDown() override {
        qel::ForgetQuitSignalForTests();
        qel::SetDialogFrameHookForTests({});
        qel::ShowDialogsWithoutRealDisplayForTests(false);
        display.reset();
        qel::DestroyWindow(window);
        qel::ClearMessageQueue();
        fs::remove_all(folder);
    }

    // The player's inputs, pushed as system events at the start of their frames.
    void Play(std::multimap<int, Input> script) {
        frames = 0;
        qel::SetDialogFrameHookForTests([this, script](int frame) {
            frames = frame + 1;
            auto [from, to] = script.equal_range(frame);
            for (auto it = from; it != to; ++it) Push(it->second);
            return frame < MaxFrames;
        });
    }

    void Push(const Input& input) {
        SDL_Event e{};
        switch (input.kind) {
            case Input::Text:
                e.type = SDL_TEXTINPUT;
                SDL_strlcpy(e.text.text, input.text.c_str(), sizeof e.text.text);
                break;
            case Input::KeyDown:
            case Input::KeyUp:
                e.type = input.kind == Input::KeyDown ? SDL_KEYDOWN : SDL_KEYUP;
                e.key.state = input.kind == Input::KeyDown ? SDL_PRESSED : SDL_RELEASED;
                e.key.keysym.sym = input.key;
                e.key.keysym.scancode = SDL_GetScancodeFromKey(input.key);
                break;
            case Input::CloseWindow: qel::SimulateWindowEvent(window, qel::SimulatedEvent::CloseRequested); return;
        }
        SDL_PushEvent(&e);
    }

    qel::FileDialogOptions SaveGame() const {
        return {true, {{"Saved Files (*.sav)", "*.sav"}}, "sav", folder.string()};
    }
    qel::FileDialogOptions LoadGame() const {
        return {false, {{"Load Files (*.sav)", "*.sav"}}, "sav", folder.string()};
    }

    HWND window = nullptr;
    std::unique_ptr<qel::Display> display;
    fs::path folder;
    int frames = 0;
};

TEST_F(ModalDialogFixture, FileDialogAnswersTheKeyboard) {
    struct Case {
        const char* what;
        bool save;
        std::multimap<int, Input> script;
        bool chosen;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"typed name and Enter", true, {{2, Type("run")}, {4, Press(SDLK_RETURN)}}, true, "run.sav"},
        {"keypad Enter", false, {{2, Type("beta")}, {3, Press(SDLK_KP_ENTER)}}, true, "beta.sav"},
        {"text typed in the frame of Enter",
         true,
         {{2, Type("a")}, {2, Type("b")}, {2, Press(SDLK_RETURN)}},
         true,
         "ab.sav"},
        {"Escape", true, {{2, Type("run")}, {3, Press(SDLK_ESCAPE)}}, false, ""},
        // The listing is [..], then beta.sav: Down walks it, Up goes back.
        {"the listed file reached with Down",
         false,
         {{2, Press(SDLK_DOWN)},
          {3, Release(SDLK_DOWN)},
          {4, Press(SDLK_DOWN)},
          {5, Release(SDLK_DOWN)},
          {6, Press(SDLK_DOWN)},
          {7, Release(SDLK_DOWN)},
          {8, Press(SDLK_RETURN)}},
         true,
         "beta.sav"},
        {"Down past the file and Up again",
         false,
         {{2, Type("x")},
          {3, Press(SDLK_DOWN)},
          {4, Release(SDLK_DOWN)},
          {5, Press(SDLK_DOWN)},
          {6, Release(SDLK_DOWN)},
          {7, Press(SDLK_UP)},
          {8, Release(SDLK_UP)},
          {9, Press(SDLK_DOWN)},
          {10, Release(SDLK_DOWN)},
          {11, Press(SDLK_RETURN)}},
         true,
         "beta.sav"},
        {"the window closing", false, {{2, Close()}}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Play(c.script);
        std::string name = "old";
        EXPECT_EQ(qel::ShowFileDialog(window, c.save ? SaveGame() : LoadGame(), name), c.chosen);
        EXPECT_EQ(name, c.chosen ? (folder / c.name).string() : "");
        EXPECT_LT(frames, ModalDialogFixture::MaxFrames);
        qel::ClearMessageQueue();
    }
}

TEST_F(ModalDialogFixture, FileDialogStaysOpenAfterARefusedName) {
    // "missing" is refused; the player then types the rest of a real name.
    Play({{2, Type("missing")}, {3, Press(SDLK_RETURN)}, {6, Press(SDLK_ESCAPE)}});
    std::string name;
    EXPECT_FALSE(qel::ShowFileDialog(window, LoadGame(), name));
    EXPECT_EQ(frames, 7);  // closed by the Escape, not by the Enter
}

// The box is drawn inside the game's window, where the keyboard is, whoever
// owns it, and closed with Enter or Escape.
TEST_F(ModalDialogFixture, MessageBoxIsShownOverTheWindowAndClosedByAKey) {
    for (HWND owner : {window, static_cast<HWND>(nullptr)}) {
        for (SDL_Keycode key : {SDLK_RETURN, SDLK_ESCAPE}) {
            SCOPED_TRACE(testing::Message() << "owner " << owner << ", key " << key);
            Play({{2, Press(key)}});
            testing::internal::CaptureStderr();
            qel::ShowMessageBox(owner, "Error loading file.", "Error", qel::MessageBoxIcon::Error);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
            EXPECT_EQ(frames, 3);
            qel::ClearMessageQueue();
        }
    }
}

// Nobody sees a box drawn in a hidden window: the message goes where the
// system shows it (here, without a display, standard error).
TEST_F(ModalDialogFixture, MessageBoxIsNotDrawnInAHiddenWindow) {
    window->Hide();
    Play({});
    testing::internal::CaptureStderr();
    qel::ShowMessageBox(window, "Error loading file.", "Error", qel::MessageBoxIcon::Error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Error loading file.\n");
    EXPECT_EQ(frames, 0);
}

// SIGTERM and SIGINT ask the game to end as closing its window does: the open
// dialog closes, the window is asked to close once the game reads its
// messages again, and neither a later box nor a pause holds the end up.
TEST_F(ModalDialogFixture, ASignalClosesTheDialogAndAsksTheWindowToClose) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        struct sigaction installed {};
        ASSERT_EQ(sigaction(signal, nullptr, &installed), 0);
        ASSERT_NE(installed.sa_handler, SIG_DFL) << "the engine's handler comes with the video services";
        qel::SetDialogFrameHookForTests([this, signal](int frame) {
            frames = frame + 1;
            if (frame == 2) raise(signal);
            return frame < MaxFrames;
        });
        std::string name;
        EXPECT_FALSE(qel::ShowFileDialog(window, SaveGame(), name));
        EXPECT_EQ(frames, 3);

        testing::internal::CaptureStderr();
        qel::ShowMessageBox(window, "Error saving file.", "Error", qel::MessageBoxIcon::Error);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Error saving file.\n");
        EXPECT_EQ(frames, 3) << "no frame of a box";
        const auto pauseStart = std::chrono::steady_clock::now();
        qel::Sleep(20000);
        EXPECT_LT(std::chrono::steady_clock::now() - pauseStart, std::chrono::seconds(10));

        int closes = 0;
        qel::Message message;
        while (qel::PeekMessage(message)) closes += message.window == window && message.message == qel::Msg::Close;
        EXPECT_EQ(closes, 1);
        qel::ForgetQuitSignalForTests();
    }
}

TEST_F(ModalDialogFixture, TheWindowsEventsReachTheGameAfterTheDialog) {
    Play({{1, Close()}});
    std::string name;
    EXPECT_FALSE(qel::ShowFileDialog(window, SaveGame(), name));
    qel::Message message;
    bool closeSeen = false;
    while (qel::PeekMessage(message)) {
        closeSeen |= message.window == window && message.message == qel::Msg::Close;
    }
    EXPECT_TRUE(closeSeen);
}

TEST_F(ModalDialogFixture, TheCursorIsShownDuringTheDialogAndPutBackAfter) {
    SDL_ShowCursor(SDL_DISABLE);
    int shownDuring = -1;
    qel::SetDialogFrameHookForTests([&](int frame) {
        shownDuring = SDL_ShowCursor(SDL_QUERY);
        return frame < 2;
    });
    std::string name;
    EXPECT_FALSE(qel::ShowFileDialog(window, SaveGame(), name));
    EXPECT_EQ(shownDuring, SDL_ENABLE);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    SDL_ShowCursor(SDL_ENABLE);
}

TEST_F(ModalDialogFixture, SessionDialogFillsItsFieldsFromTheKeyboard) {
    Play({{2, Type("myhost")},
          {3, Press(SDLK_TAB)},
          {4, Release(SDLK_TAB)},
          {6, Type("Ren\xC3\xA9")},
          {8, Press(SDLK_RETURN)}});
    qel::SessionFields fields;
    fields.port = 1111;
    EXPECT_EQ(qel::SessionDialog(window, true, fields), qel::ButtonOk);
    EXPECT_EQ(fields.first, "myhost");
    EXPECT_EQ(fields.second, "Ren\xE9");
    EXPECT_EQ(fields.port, 1111u);  // the preset port, untouched

    Play({{2, Type("lost")}, {3, Press(SDLK_ESCAPE)}});
    qel::SessionFields cancelled;
    EXPECT_EQ(qel::SessionDialog(window, false, cancelled), qel::ButtonCancel);
    EXPECT_EQ(cancelled.first, "");
}

TEST_F(ModalDialogFixture, NetworkDialogsAnswerEnterAndEscape) {
    const std::vector<std::string> names = {"Player1", "Player2"};
    int selected = -1;
    Play({{2, Press(SDLK_RETURN)}});
    EXPECT_EQ(qel::SelectPlayerDialog(window, names, selected), qel::ButtonOk);
    EXPECT_EQ(selected, 0);
    Play({{2, Press(SDLK_ESCAPE)}});
    EXPECT_EQ(qel::SelectPlayerDialog(window, names, selected), qel::ButtonCancel);

    Play({{2, Press(SDLK_ESCAPE)}});
    EXPECT_EQ(qel::NetworkOptionDialog(window), qel::ButtonCancel);
    Play({{2, Press(SDLK_RETURN)}});  // no default choice: Enter does nothing
    EXPECT_EQ(qel::NetworkOptionDialog(window), qel::ButtonCancel);
    EXPECT_EQ(frames, ModalDialogFixture::MaxFrames + 1);

    // The wait ends by itself once the players are there, or by resigning.
    int asked = 0;
    Play({});
    EXPECT_EQ(qel::WaitDialog(
                  window, [&] { return ++asked == 3; }, 0),
              qel::ButtonOk);
    EXPECT_EQ(asked, 3);
    Play({{2, Press(SDLK_ESCAPE)}});
    EXPECT_EQ(qel::WaitDialog(
                  window, [] { return false; }, 0),
              qel::ButtonCancel);
}

TEST_F(ModalDialogFixture, HeadlessRunsAndTestAnswersShowNoDialog) {
    qel::ShowDialogsWithoutRealDisplayForTests(false);  // the dummy driver is no display to show dialogs on
    Play({});
    std::string name = "old";
    EXPECT_FALSE(qel::ShowFileDialog(window, SaveGame(), name));
    EXPECT_EQ(name, "");
    EXPECT_EQ(qel::NetworkOptionDialog(window), qel::ButtonCancel);
    qel::SessionFields fields;
    EXPECT_EQ(qel::SessionDialog(window, false, fields), qel::ButtonCancel);
    int selected = 5;
    EXPECT_EQ(qel::SelectPlayerDialog(window, {"A"}, selected), qel::ButtonCancel);
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(qel::WaitDialog(
                  window, [] { return true; }, 250),
              qel::ButtonCancel);
    EXPECT_EQ(frames, 0);

    // A window without a display has nothing to draw a dialog with.
    qel::ShowDialogsWithoutRealDisplayForTests(true);
    display.reset();
    EXPECT_FALSE(qel::CanShowDialogs(window));
    EXPECT_FALSE(qel::CanShowDialogs(nullptr));

    // Answers given by a test take the place of the player, with any display.
    display = qel::Display::Create(window, 320, 240, 32);
    qel::DialogResponder answers;
    answers.option = [] { return int(qel::ButtonJoin); };
    qel::SetDialogResponderForTests(answers);
    EXPECT_EQ(qel::NetworkOptionDialog(window), qel::ButtonJoin);
    EXPECT_EQ(qel::SessionDialog(window, true, fields), qel::ButtonCancel);  // unanswered parts cancel
    qel::SetDialogResponderForTests({});
    EXPECT_EQ(frames, 0);
}

}  // namespace
