// The whole game played by a bot through the program's own entry, hooks,
// resources and generated assets: headless, on the virtual clock, with sound
// mixed by hand one frame's worth at a time, and with keyboard events pushed
// through the platform layer as a player's keys would be.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "GameRunFolder.h"
#include "SanitizedBuild.h"
#include "LevelMasks.h"
#include "Picture.h"
#include "PlayerBot.h"
#include "display/ScreenShot.h"
#include "logic/GameDeclarations.h"
#include "platform/AudioBuffer.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "runtime/Game.h"
#include "runtime/QelMain.h"
#include "runtime/SystemKeysInternal.h"
#include "sound/StreamedSound.h"
#include "testing/TestHooks.h"

extern const qel::ResourceTable noltResources;

namespace {

using gametest::PushKey;

constexpr unsigned char KeyEnter = 0x1C, KeyDown = 0xD0, KeyUp = 0xC8, KeyRight = 0xCD;
constexpr int FramesPerSecond = 60;
// A level the bot has not finished in this many frames is one it cannot
// finish (Level_31 is crossed six times, about 20 seconds each).
constexpr int LevelFrameLimit = 150 * FramesPerSecond;

constexpr std::uint32_t SanitizedReplayFrames = 1000;

// One run of the program with a script called once per main-loop pass (one
// frame each).
class GameRun {
public:
    std::function<void(int frame)> script;
    std::vector<std::string> boxes;

    int Run() {
        InstallGameHooks();
        SetDataPathP = gametest::AssetsInTheRunFolder;
        frame = 0;
        qel::SetFrameHook([this] {
            ++frame;
            gametest::MixOneFrame(FramesPerSecond);
            if (myGame != nullptr && gNode != nullptr && script) script(frame);
        });
        qel::SetMessageBoxObserver(
            [this](const char* text, const char*, qel::MessageBoxIcon) { boxes.push_back(text); });
        std::string line;
        const int result = QelMain(&noltResources, nullptr, line.data(), 1);
        qel::SetFrameHook({});
        qel::SetMessageBoxObserver({});
        return result;
    }

private:
    int frame = 0;
};

// Keys as a player presses them: only changes are pushed.
class Keys {
public:
    void Set(unsigned char key, bool down) {
        if (held[key] == down) return;
        PushKey(key, down);
        held[key] = down;
    }
    // Pressed in this frame, released in the next one.
    void Tap(unsigned char key) { Set(key, true), tapped.push_back(key); }
    void NextFrame() {
        for (unsigned char key : released) Set(key, false);
        released = tapped;
        tapped.clear();
    }
    void ReleaseAll() {
        for (int k = 0; k < 256; ++k) Set(static_cast<unsigned char>(k), false);
        tapped.clear();
        released.clear();
    }

private:
    bool held[256] = {};
    std::vector<unsigned char> tapped, released;
};

// The player's place, compared exactly between a run and its replay.
struct Place {
    float x = 0, y = 0;
    bool operator==(const Place&) const = default;
};

Place PlayerPlace() {
    Sprite* p = LevelSprite("protag");
    return p != nullptr ? Place{p->WorldPositionX(), p->WorldPositionY()} : Place{-1e9f, -1e9f};
}

// The input of one stretch of a level, recorded by the engine (F1) and saved
// as a .rep/.sar pair: a level is recorded in stretches, since the game's own
// saves (at a level's start and at every walk off a ledge) end a recording.
struct Stretch {
    std::string level, replay;
    std::uint32_t frames = 0;
    Place end;
};

// Records every stretch of play in the playing levels and saves it when the
// recording ends, by a save of the game or by leaving the level.
class Recorder {
public:
    std::vector<Stretch> stretches;

    void Attach() {
        current = this;
        for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
            static_cast<GameNode*>(n)->OnLevelExitP = LevelLeft;
    }
    void Detach() { current = nullptr; }

    // Each frame of a playing level: saves an ended stretch and starts the next.
    template <class Keys>
    void Frame(Keys& keys) {
        if (myGame->recording) {
            unsaved = true;
            stoppedAt.reset();
            return;
        }
        // The save that ends a recording is carried out in the next frame, after
        // which the player moves on: its place is taken before.
        if (unsaved && !stoppedAt) stoppedAt = PlayerPlace();
        if (myGame->saveRequested || myGame->loadRequested || myGame->ReplayMode()) return;
        SaveStretch();
        // A tap is a press in one frame and its release in the next: a press
        // pushed in the frame of the last one's release would be no new press.
        if (++framesSinceTap < 2) return;
        framesSinceTap = 0;
        keys.Tap(systemkey::F1);
    }

private:
    static void LevelLeft(GameNode*) {
        if (current == nullptr || !myGame->recording) return;
        current->unsaved = true;
        current->stoppedAt = PlayerPlace();
        current->SaveStretch();
    }

    // Each recording once, however many frames pass before the next starts.
    void SaveStretch() {
        const std::uint32_t frames = gNode->Recorded().keys->Size();
        if (!unsaved || frames == 0) return;
        unsaved = false;
        Stretch s{gNode->Name(), "stretch" + std::to_string(stretches.size()) + ".rep", frames,
                  stoppedAt.value_or(PlayerPlace())};
        myGame->SaveReplay(s.replay.c_str());
        stretches.push_back(s);
    }

    static inline Recorder* current = nullptr;
    int framesSinceTap = 2;
    bool unsaved = false;            // a recording ran that is not saved yet
    std::optional<Place> stoppedAt;  // where the player stood when it stopped
};

// Each frame, the player's collision box against what its level's map draws
// as solid: a player is never seen inside a body.
class ArtCheck {
public:
    void Frame(const std::string& level, int frame) {
        const nolt::LevelRecord* record = gametest::LevelNamed(level);
        Sprite* player = LevelSprite("protag");
        if (record == nullptr || player == nullptr) return;
        const SolidMask& mask = gametest::MaskOf(*record);
        const Place at = PlayerPlace();
        const int x = int(std::floor(at.x)), y = int(std::floor(at.y));
        const int solid = gametest::SolidUnderPlayer(mask, x, y);
        if (solid == 0) return;
        if (faults.size() < 10)
            faults.push_back(level + " frame " + std::to_string(frame) + ": player at (" + std::to_string(x) + ", " +
                             std::to_string(y) + ") over " + std::to_string(solid) + " solid pixels");
        ++frames;
    }

    int frames = 0;
    std::vector<std::string> faults;
};

class PlayThrough : public gametest::GameRunFolder {
protected:
    // Plays from the Menu, or from `firstLevel` when given, until the credits
    // of Level_40 show, `last` is finished, or the bot gets stuck. Answers the
    // level the bot got stuck on, or "" when it got through.
    std::string Play(const std::string& firstLevel, const std::string& last, Recorder* recorder = nullptr) {
        ArtCheck art;
        GameRun run;
        Keys keys;
        PlayerBot bot;
        std::string level, stuck;
        int levelStart = 0, creditsShownAt = 0;
        bool started = false, done = false;
        run.script = [&](int frame) {
            keys.NextFrame();
            if (done) return;
            if (recorder != nullptr && frame == 1) recorder->Attach();
            const std::string now = gNode->Name();
            if (now != level) {
                if (!level.empty() && !(level == "Menu" && !firstLevel.empty())) Finished(level, frame - levelStart);
                if (level == last && !last.empty()) {
                    done = true;
                    myGame->EndGame();
                    return;
                }
                level = now;
                levelStart = frame;
                bot = PlayerBot();
            }
            if (level == "Menu") {
                if (!firstLevel.empty() && !started) {
                    started = true;
                    myGame->LevelName(firstLevel.c_str());
                } else if (MenuCursorShown() && !started) {
                    started = true;
                    keys.Tap(KeyEnter);  // the cursor starts on NEW GAME
                }
                return;
            }
            if (level == "Level_40") {
                // The credits' frame is kept once it has been drawn.
                Sprite* credits = LevelSprite("credits");
                if (credits != nullptr && credits->Visible() && creditsShownAt == 0) creditsShownAt = frame;
                if (creditsShownAt != 0 && frame == creditsShownAt + 2) {
                    ScreenShotBMP((folder / "credits").string().c_str());
                    Screenshot(level, "credits");
                    done = true;
                    Finished(level, frame - levelStart);
                    myGame->EndGame();
                }
                return;
            }
            if (frame - levelStart == ScreenshotFrame) Screenshot(level, level);
            if (frame - levelStart > LevelFrameLimit) {
                done = true;
                stuck = level;
                // What was recorded of a level given up on is not kept.
                if (recorder != nullptr) recorder->Detach();
                myGame->EndGame();
                return;
            }
            art.Frame(level, frame - levelStart);
            bot.Step(keys);
            if (recorder != nullptr && LevelSprite("goal") != nullptr) recorder->Frame(keys);
        };
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(art.frames, 0) << "frames with the player inside a drawn body, the first:\n"
                                 << ::testing::PrintToString(art.faults);
        if (recorder != nullptr) recorder->Detach();
        return stuck;
    }

    // Plays every stretch back in a fresh run, one after the other, and
    // answers where each one left the player.
    static std::vector<Place> PlayBack(const std::vector<Stretch>& stretches) {
        GameRun run;
        std::vector<Place> ends;
        std::size_t next = 0;
        int endsAt = 0;
        bool waiting = false;
        run.script = [&](int frame) {
            if (waiting) {
                // The replay's last frame was stepped before this pass, unless
                // it left the level (then the exit hook saw it).
                if (frame == endsAt && ends.size() == next) ends.push_back(PlayerPlace());
                if (frame < endsAt || myGame->ReplayMode() || myGame->loadRequested || myGame->saveRequested) return;
                waiting = false;
                ++next;
            }
            if (next == stretches.size()) {
                myGame->EndGame();
                return;
            }
            if (frame == 1) PlayBackExit::ends = &ends, PlayBackExit::Attach();
            myGame->LoadReplay(stretches[next].replay.c_str(), false);
            endsAt = frame + int(stretches[next].frames);
            waiting = true;
        };
        EXPECT_EQ(run.Run(), 0);
        PlayBackExit::ends = nullptr;
        return ends;
    }

    // During a replay, a level left by the replay's last frame is where it ended.
    struct PlayBackExit {
        static inline std::vector<Place>* ends = nullptr;
        static void Attach() {
            for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
                static_cast<GameNode*>(n)->OnLevelExitP = Left;
        }
        static void Left(GameNode*) {
            if (ends != nullptr && myGame->ReplayMode()) ends->push_back(PlayerPlace());
        }
    };

    void Finished(const std::string& level, int frames) {
        std::printf("%-26s %6d frames\n", level.c_str(), frames);
        std::fflush(stdout);
        framesByLevel[level] = frames;
    }

    // With NOLT_SCREENSHOTS naming a folder, the frame is kept there too (the
    // README's pictures), as <name>.bmp.
    static void Screenshot(const std::string& level, const std::string& name) {
        const char* shots = std::getenv("NOLT_SCREENSHOTS");
        if (shots == nullptr || *shots == '\0' || level.rfind("Level_", 0) != 0) return;
        ScreenShotBMP((std::filesystem::path(shots) / name).string().c_str());
    }
    static constexpr int ScreenshotFrame = 150;

    static bool MenuCursorShown() {
        Sprite* decider = LevelSprite("decider");
        return decider != nullptr && decider->Visible();
    }

    // A playing level on its own, from its start to its goal.
    void PlayLevel(const std::string& name) {
        const std::string stuck = Play(name, name);
        EXPECT_EQ(stuck, "");
        EXPECT_EQ(framesByLevel.count(name), 1u);
    }

    // The credits' text against what surrounds it on the screen, once shown:
    // the text is every pixel of the credits picture that is neither see-through
    // nor its backdrop (its most common colour, when it has one), the
    // surroundings every other pixel within two of the text.
    static void ExpectCreditsReadClearly(const gametest::Picture& frame) {
        using gametest::Luminance;
        const gametest::Picture credits =
            gametest::Picture::Read(std::string(QEL_BINARY_DIR) + "/game/Art Assets/Actors/credits.bmp");
        ASSERT_EQ(frame.width, 640) << "no screenshot of the credits";
        ASSERT_EQ(credits.width, 640);
        ASSERT_EQ(credits.height, frame.height);
        constexpr std::uint32_t Key = 0xFF00DC;
        std::map<std::uint32_t, int> counts;
        for (std::uint32_t p : credits.pixels)
            if (p != Key) ++counts[p];
        ASSERT_FALSE(counts.empty());
        std::uint32_t backdrop = Key;
        if (counts.size() > 1)
            backdrop = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                           return a.second < b.second;
                       })->first;
        auto isText = [&](int x, int y) {
            const std::uint32_t p = credits.At(x, y);
            return p != Key && p != backdrop;
        };
        double text = 0, around = 0;
        int textCount = 0, aroundCount = 0;
        for (int y = 0; y < credits.height; ++y)
            for (int x = 0; x < credits.width; ++x) {
                if (isText(x, y)) {
                    text += Luminance(frame.At(x, y)), ++textCount;
                    continue;
                }
                bool near = false;
                for (int dy = -2; dy <= 2 && !near; ++dy)
                    for (int dx = -2; dx <= 2 && !near; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        near = nx >= 0 && ny >= 0 && nx < credits.width && ny < credits.height && isText(nx, ny);
                    }
                if (near) around += Luminance(frame.At(x, y)), ++aroundCount;
            }
        ASSERT_GT(textCount, 0);
        ASSERT_GT(aroundCount, 0);
        EXPECT_GE(gametest::ContrastRatio(text / textCount, around / aroundCount), 4.5);
    }

    std::map<std::string, int> framesByLevel;
};

// The whole game in the game's own order, recorded as it is played; the
// recording played back in a fresh run leaves the player exactly where the
// play-through did at the end of every stretch.
TEST_F(PlayThrough, WholeGame) {
    Recorder recorder;
    const std::string stuck = Play("", "", &recorder);

    ASSERT_FALSE(recorder.stretches.empty());
    // Each stretch starts from its own saved state, so any of them can be
    // replayed alone. The sanitizer build, several times slower, leaves the
    // long ones (Level_31 to Level_34, two thirds of the frames) to the release
    // build, to keep this test well inside the suite's time limit.
    std::vector<Stretch> replayed;
    for (const Stretch& s : recorder.stretches)
        if (!SanitizedBuild || s.frames <= SanitizedReplayFrames) replayed.push_back(s);
    const std::vector<Place> ends = PlayBack(replayed);
    std::printf("%zu of %zu recorded stretches replayed\n", ends.size(), recorder.stretches.size());
    ASSERT_EQ(ends.size(), replayed.size());
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const Stretch& s = replayed[i];
        EXPECT_EQ(ends[i], s.end) << s.level << ", " << s.replay << " (" << s.frames << " frames): replayed to ("
                                  << ends[i].x << ", " << ends[i].y << "), played to (" << s.end.x << ", " << s.end.y
                                  << ")";
    }

    EXPECT_EQ(stuck, "");
    EXPECT_EQ(framesByLevel.count("Level_40"), 1u);
    ExpectCreditsReadClearly(gametest::Picture::Read((folder / "credits.bmp").string()));
    // Every playing level finished was recorded, so every one is replayed.
    std::set<std::string> recorded;
    for (const Stretch& s : recorder.stretches) recorded.insert(s.level);
    for (const auto& [level, frames] : framesByLevel)
        if (level.rfind("Level_", 0) == 0 && level != "Level_40") {
            EXPECT_EQ(recorded.count(level), 1u) << level;
        }
}

// Each playing level on its own, from its start to its goal. The sanitizer
// build, several times slower, does not register these: WholeGame plays every
// level there, and the per-level runs would add as much time again for nothing
// WholeGame does not check.
#if !defined(__SANITIZE_ADDRESS__) && !defined(QEL_TEST_SANITIZED)
class PlayThroughLevel : public PlayThrough, public ::testing::WithParamInterface<int> {};

TEST_P(PlayThroughLevel, ReachesItsGoal) { PlayLevel("Level_" + std::to_string(GetParam())); }

INSTANTIATE_TEST_SUITE_P(PlayThrough, PlayThroughLevel, ::testing::Range(1, 35),
                         [](const ::testing::TestParamInfo<int>& level) {
                             return "Level_" + std::to_string(level.param);
                         });
#endif

// The Menu keeps its cursor hidden while its music plays and shows it once the
// music has ended; LOAD without a saved game says the game could not be loaded.
TEST_F(PlayThrough, MenuShowsItsCursorAfterItsMusicAndLoadWithoutASaveSaysSo) {
    GameRun run;
    Keys keys;
    int shownAt = 0, musicEndedAt = 0;
    run.script = [&](int frame) {
        keys.NextFrame();
        StreamedSound* music = nullptr;
        for (node* n = gNode->StreamedSounds().Head(); !n->EOList(); n = n->Next())
            if (std::string(static_cast<StreamedSound*>(n)->Name()) == "enter") music = static_cast<StreamedSound*>(n);
        ASSERT_NE(music, nullptr);
        if (musicEndedAt == 0 && !music->IsPlaying()) musicEndedAt = frame;
        if (shownAt == 0 && MenuCursorShown()) {
            shownAt = frame;
            keys.Tap(KeyDown);  // to LOAD
        }
        if (shownAt != 0 && frame == shownAt + 3) keys.Tap(KeyEnter);
        if ((shownAt != 0 && frame == shownAt + 10) || frame > 60 * FramesPerSecond) myGame->EndGame();
    };
    ASSERT_EQ(run.Run(), 0);
    ASSERT_NE(shownAt, 0) << "the Menu never showed its cursor";
    EXPECT_GT(musicEndedAt, 1);
    EXPECT_LE(shownAt, musicEndedAt + 1);
    EXPECT_EQ(run.boxes, std::vector<std::string>{"Error loading file."});
}

// Right held into the goal and still held after the switch: a fresh press of
// another key in the next level is seen at once, and once the player stands,
// a fresh Up makes it jump in that frame.
TEST_F(PlayThrough, FreshKeysAfterALevelSwitchWithAKeyHeldAreSeen) {
    GameRun run;
    Keys keys;
    PlayerBot bot;
    int switchedAt = 0, upSeenAt = 0, standingAt = 0, jumpedAt = 0;
    run.script = [&](int frame) {
        keys.NextFrame();
        const std::string level = gNode->Name();
        if (level == "Menu") {
            myGame->LevelName("Level_1");
            return;
        }
        if (level == "Level_1") {
            bot.Step(keys);
            keys.Set(KeyRight, true);
            if (frame > LevelFrameLimit) myGame->EndGame();
            return;
        }
        if (switchedAt == 0) {
            switchedAt = frame;
            keys.Set(KeyRight, true);
        }
        if (frame == switchedAt + 5) keys.Set(KeyUp, true);
        if (upSeenAt == 0 && pKeyboard->IsPressed(KeyUp)) upSeenAt = frame;
        if (frame == switchedAt + 8) keys.Set(KeyUp, false);
        Sprite* player = LevelSprite("protag");
        const int state = player != nullptr ? player->behavior.GetCurrentState(StateMachineNo::PlyrOnWhatSM) : -1;
        if (standingAt == 0 && frame > switchedAt + 8 && state == 1) {
            standingAt = frame;
            keys.Set(KeyUp, true);
        }
        if (standingAt != 0 && jumpedAt == 0 && state == 3) jumpedAt = frame;
        if (frame == switchedAt + 300) myGame->EndGame();
    };
    ASSERT_EQ(run.Run(), 0);
    ASSERT_NE(switchedAt, 0) << "Level_1 was not finished";
    // Pushed before frame switchedAt + 5 is stepped, seen by the next pass.
    EXPECT_NE(upSeenAt, 0);
    EXPECT_LE(upSeenAt, switchedAt + 6);
    ASSERT_NE(standingAt, 0) << "the player never stood in Level_2";
    EXPECT_EQ(jumpedAt, standingAt + 1);
}

// A replay file that is no replay (F8) says so once, whether or not the state
// file beside it loads, and the game goes on in its level, out of replay mode.
TEST_F(PlayThrough, ABadReplayFileSaysSoOnceAndTheGameGoesOn) {
    for (const bool withState : {false, true}) {
        SCOPED_TRACE(withState ? "its .sar loads" : "no .sar beside it");
        std::filesystem::remove("bad.sar");
        std::ofstream("bad.rep", std::ios::binary) << "not a replay at all";
        GameRun run;
        std::string levelAtEnd;
        bool replayingAtEnd = true;
        int start = 0;
        run.script = [&](int frame) {
            if (std::string(gNode->Name()) == "Menu") {
                myGame->LevelName("Level_1");
                return;
            }
            if (start == 0) start = frame;
            if (frame == start + 20 && withState) myGame->SaveGame("bad.sar");
            if (frame == start + 30) myGame->LoadReplay("bad.rep", false);
            if (frame == start + 90) {
                levelAtEnd = gNode->Name();
                replayingAtEnd = myGame->ReplayMode();
                myGame->EndGame();
            }
        };
        ASSERT_EQ(run.Run(), 0);
        EXPECT_EQ(run.boxes, std::vector<std::string>{"Error loading replay file."});
        EXPECT_EQ(levelAtEnd, "Level_1");
        EXPECT_FALSE(replayingAtEnd);
    }
}

}  // namespace
