// The engine's own keys in a running game: each key's effect, the order in
// which they are tried (only the first pressed one counts, allowed or not),
// and the frame-rate text that F11 shows.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SavedGame.h"
#include "display/DisplayInternal.h"
#include "foundation/Console.h"
#include "platform/Surface.h"

using namespace savedgame;

namespace {

class SystemKeysTest : public SavedGameTest {
protected:
    // The first filter of every file dialog asked for, in order.
    std::vector<std::string> asked;

    // Every dialog is answered with `name` (empty: cancelled).
    void AnswerDialogs(const std::string& name) {
        SetFileDialogAnswerForTests([this, name](const FileDialogRequest& request, std::string& chosen) {
            asked.push_back(request.filters.empty() ? "" : request.filters[0].description);
            chosen = name;
            return !name.empty();
        });
    }
};

Variable* FpsText() {
    for (node* n = gNode->Variables().Head(); !n->EOList(); n = n->Next())
        if (std::string(static_cast<Variable*>(n)->Name()) == "FPS") return static_cast<Variable*>(n);
    return nullptr;
}

int PixelsOf(const qel::Surface& s, COLORREF colour) {
    const std::uint32_t raw = s.MapColor(colour);
    int count = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) count += s.GetRawPixel(x, y) == raw;
    return count;
}

}  // namespace

TEST_F(SystemKeysTest, EachKeyDoesItsOwnThingWhenItsConditionHolds) {
    using Keys = std::vector<SDL_Scancode>;
    struct Case {
        const char* name;
        std::function<void()> before;  // at pass 2
        Keys keys;                     // down at pass 3, up at pass 4
        std::function<void()> check;   // at pass 6
        std::vector<std::string> dialogs;
        bool quits = false;
    };
    const auto nothing = [] {};
    const auto recording = [] { myGame->recording = true; };
    const auto networkLevel = [] { gNode->NetworkLevel = true; };
    // A replay whose second frame holds F5 (the keys pressed are the recorded ones).
    const auto playF5 = [] {
        for (int frame = 0; frame < 8; ++frame) {
            const unsigned char f5 = 0x3F;
            gNode->Recorded().keys->Add(KeyboardInputKeys(&f5, frame == 1 ? 1 : 0));
        }
        myGame->replayMode = true;
    };
    bool consoleBefore = false;
    const std::vector<Case> cases = {
        {"F10 pauses", nothing, {SDL_SCANCODE_F10}, [] { EXPECT_TRUE(_IsSuspended); }, {}},
        {"F10 while recording", recording, {SDL_SCANCODE_F10}, [] { EXPECT_FALSE(_IsSuspended); }, {}},
        {"F9 shows or hides the console",
         nothing,
         {SDL_SCANCODE_F9},
         [&consoleBefore] { EXPECT_NE(pConsole->Show(), consoleBefore); },
         {}},
        {"F12 switches to full screen", nothing, {SDL_SCANCODE_F12}, [] { EXPECT_FALSE(_IsWindowed); }, {}},
        {"Esc where the level allows it", [] { gNode->QuitOnEscape(true); }, {SDL_SCANCODE_ESCAPE}, nothing, {}, true},
        {"Esc elsewhere", nothing, {SDL_SCANCODE_ESCAPE}, nothing, {}},
        {"SysRq asks for a screenshot", nothing, {SDL_SCANCODE_PRINTSCREEN}, nothing, {"Bitmap (*.bmp)"}},
        {"SysRq before F5 in one frame",
         nothing,
         {SDL_SCANCODE_F5, SDL_SCANCODE_PRINTSCREEN},
         nothing,
         {"Bitmap (*.bmp)"}},
        {"SysRq while recording blocks F5 too", recording, {SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_F5}, nothing, {}},
        {"SysRq on a network level", networkLevel, {SDL_SCANCODE_PRINTSCREEN}, nothing, {}},
        {"F5 saves", nothing, {SDL_SCANCODE_F5}, nothing, {"Saved Files (*.sav)"}},
        {"F6 loads", nothing, {SDL_SCANCODE_F6}, nothing, {"Load Files (*.sav)"}},
        {"F7 saves a replay",
         [] { gNode->Recorded().keys->Add(KeyboardInputKeys()); },
         {SDL_SCANCODE_F7},
         nothing,
         {"Saved Replays (*.rep)"}},
        {"F8 loads a replay", nothing, {SDL_SCANCODE_F8}, nothing, {"Load Replays (*.rep)"}},
        {"F5 played back during a replay", playF5, {}, [] { EXPECT_TRUE(myGame->ReplayMode()); }, {}},
        {"F5 on a network level", networkLevel, {SDL_SCANCODE_F5}, nothing, {}},
        {"F1 records", nothing, {SDL_SCANCODE_F1}, [] { EXPECT_TRUE(myGame->recording); }, {}},
        {"F1 on a network level", networkLevel, {SDL_SCANCODE_F1}, [] { EXPECT_FALSE(myGame->recording); }, {}},
        {"F2 stops recording", recording, {SDL_SCANCODE_F2}, [] { EXPECT_FALSE(myGame->recording); }, {}},
        {"F3 replays the recording",
         [] { myGame->StartRecording(); },
         {SDL_SCANCODE_F3},
         [] { EXPECT_TRUE(myGame->ReplayMode()); },
         {}},
        {"F12 before F9",
         nothing,
         {SDL_SCANCODE_F9, SDL_SCANCODE_F12},
         [&consoleBefore] {
             EXPECT_FALSE(_IsWindowed);
             EXPECT_EQ(pConsole->Show(), consoleBefore);
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        boxes.clear();
        AnswerDialogs("");
        bool checked = false;
        EngineRun::script = [&](int pass) {
            if (pass == 2) {
                consoleBefore = pConsole->Show();
                c.before();
            }
            for (SDL_Scancode key : c.keys)
                if (pass == 3 || pass == 4) PushKey(key, pass == 3);
            if (pass == 6) {
                c.check();
                checked = true;
                myGame->EndGame();
            }
        };
        ASSERT_EQ(EngineRun::Run(), 0);
        EXPECT_EQ(checked, !c.quits);
        EXPECT_EQ(asked, c.dialogs);
        EXPECT_TRUE(boxes.empty());
        _IsSuspended = false;
        _IsWindowed = true;
    }
}

TEST_F(SystemKeysTest, F10PausesAndResumesButNotWhileRecording) {
    std::vector<bool> suspended;
    EngineRun::script = [&](int pass) {
        // Pressed at 3 (pauses), 6 (resumes), then at 9 while recording, and
        // at 13 after the recording stopped (pauses).
        for (int down : {3, 6, 9, 13}) {
            if (pass == down) PushKey(SDL_SCANCODE_F10, true);
            if (pass == down + 1) PushKey(SDL_SCANCODE_F10, false);
        }
        if (pass == 8) myGame->recording = true;
        if (pass == 11) myGame->recording = false;
        if (pass == 5 || pass == 8 || pass == 11 || pass == 15) suspended.push_back(_IsSuspended);
        if (pass == 16) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(suspended, (std::vector<bool>{true, false, false, true}));
    _IsSuspended = false;
}

TEST_F(SystemKeysTest, SysRqWritesTheChosenPicture) {
    struct Case {
        const char* chosen;
        const char* written;  // empty: nothing
    };
    for (const Case c : {Case{"shot.bmp", "shot.bmp"}, Case{"shot.jpg", "shot.jpg"}, Case{"shot.png", ""}}) {
        SCOPED_TRACE(c.chosen);
        AnswerDialogs(Path(c.chosen));
        EngineRun::script = [&](int pass) {
            if (pass == 3 || pass == 4) PushKey(SDL_SCANCODE_PRINTSCREEN, pass == 3);
            if (pass == 6) myGame->EndGame();
        };
        ASSERT_EQ(EngineRun::Run(), 0);
        if (c.written[0] != '\0') {
            EXPECT_TRUE(std::filesystem::exists(Path(c.written)));
        }
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files += entry.path().filename().string().rfind("shot", 0) == 0;
        EXPECT_EQ(files, c.written[0] != '\0' ? 1 : 0);
        for (const char* stale : {"shot.bmp", "shot.jpg"}) std::filesystem::remove(Path(stale));
    }
}

TEST_F(SystemKeysTest, F11ShowsTheFrameRateRefreshedAtMostTenTimesASecond) {
    std::vector<bool> visible;
    std::vector<std::string> texts;
    int textPixels = 0;
    EngineRun::script = [&](int pass) {
        // The frame drawn after the press shows the text in its green.
        if (pass == 10) textPixels = PixelsOf(*pBackBuffer, 0x00F500);
        // Shown by the press at pass 3, hidden again by the one at pass 16.
        if (pass == 3 || pass == 4) PushKey(SDL_SCANCODE_F11, pass == 3);
        if (pass == 16 || pass == 17) PushKey(SDL_SCANCODE_F11, pass == 16);
        if (pass >= 2 && pass <= 20) {
            Variable* fps = FpsText();
            ASSERT_NE(fps, nullptr);
            visible.push_back(fps->Visible());
            texts.push_back(fps->AsciiValue());
        }
        if (pass == 20) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_EQ(visible.size(), 19u);
    // Passes 2 to 20 see the state after frames 1 to 19: shown after frames 3 to 15.
    for (std::size_t i = 0; i < visible.size(); ++i) EXPECT_EQ(visible[i], i >= 2 && i <= 14) << i;
    EXPECT_EQ(texts[0], "FPS = ");
    EXPECT_GT(textPixels, 100);
    // Frames of 16 ms: the rate shown changes at most once in six frames, and
    // an on-time level at 60 frames a second reads 1000 / 16.
    int changes = 0;
    for (std::size_t i = 3; i <= 14; ++i) changes += texts[i] != texts[i - 1];
    EXPECT_LE(changes, 2);
    EXPECT_EQ(texts[14], "FPS = 62.50");
    // Hidden, the text is left as it was.
    for (std::size_t i = 15; i < texts.size(); ++i) EXPECT_EQ(texts[i], texts[14]);
}

TEST_F(SystemKeysTest, AScreenSaverEndsOnTheFirstInputExceptInItsPreview) {
    struct Case {
        const char* name;
        bool preview;
        std::function<void()> input;
        bool ends;
    };
    const std::vector<Case> cases = {
        {"key", false, [] { PushKey(SDL_SCANCODE_A, true); }, true},
        {"mouse move", false, [] { PushMotion(2, 0); }, true},
        {"no input", false, [] {}, false},
        {"key in the preview", true, [] { PushKey(SDL_SCANCODE_F10, true); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool reachedEnd = false;
        bool suspended = true;
        EngineRun::script = [&](int pass) {
            if (pass == 2) {
                _IsScreenSaver = true;
                _IsWindowed = c.preview;
            }
            if (pass == 3) c.input();
            if (pass == 6) {
                reachedEnd = true;
                suspended = _IsSuspended;
                myGame->EndGame();
            }
        };
        ASSERT_EQ(EngineRun::Run(), 0);
        EXPECT_EQ(reachedEnd, !c.ends);
        // Keys do nothing else in a screen saver, not even in its preview.
        if (reachedEnd) {
            EXPECT_FALSE(suspended);
        }
        _IsScreenSaver = false;
        _IsWindowed = true;
    }
}
