// Input recording and replay through the running engine: a recorded session
// plays back the same input and the same game frame by frame, and ends in the
// state the game had when the replay began; replays kept as file pairs.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "SavedGame.h"

using namespace savedgame;

namespace {

class ReplayTest : public SavedGameTest {
protected:
    // What the game logic saw at each pass from `first` to `last`.
    static std::vector<Seen> SeenBetween(int first, int last) {
        std::vector<Seen> seen;
        for (const auto& [pass, s] : SmallGame::log)
            if (pass >= first && pass <= last) seen.push_back(s);
        return seen;
    }

    // Pushes the key down at pass `down` and up at pass `down + held`.
    static void Press(int pass, int down, int held, SDL_Scancode key) {
        if (pass == down) PushKey(key, true);
        if (pass == down + held) PushKey(key, false);
    }
};

// Keys {30}, {}, {30, 57} and no mouse records, as a replay file stores them.
Bytes ThreeFrameReplay() {
    const unsigned char bytes[] = {'Q', 'E', 'L', '_', 'R', 'E', 'P', 3,  0,  0, 0, 1, 0, 0, 0, 30, 0,
                                   0,   0,   0,   2,   0,   0,   0,   30, 57, 0, 0, 0, 0, 0, 0, 0,  0};
    return Bytes(std::begin(bytes), std::end(bytes));
}

std::vector<std::vector<int>> KeysRecorded() {
    std::vector<std::vector<int>> frames;
    const RecordedKeys& keys = *gNode->Recorded().keys;
    for (unsigned int f = 0; f < keys.Size(); ++f) frames.emplace_back(keys[f].begin(), keys[f].end());
    return frames;
}

}  // namespace

TEST_F(ReplayTest, ARecordedSessionReplaysFrameByFrameAndEndsInTheStateItBeganFrom) {
    // F1 at pass 5 starts recording (passes 6 to 16 are recorded, F2 stops it
    // at 16); the game moves on; F3 at pass 24 replays passes 25 to 35; pass
    // 36 ends the replay and pass 37 is back where pass 24 left the game.
    Seen returnState;
    std::map<int, bool> replaying;
    unsigned int recordedFrames = 0;
    EngineRun::script = [&](int pass) {
        Press(pass, 5, 1, SDL_SCANCODE_F1);
        Press(pass, 7, 4, SDL_SCANCODE_RIGHT);
        if (pass == 8) PushMotion(3, 8);
        Press(pass, 9, 1, SDL_SCANCODE_SPACE);
        Press(pass, 12, 2, SDL_SCANCODE_LEFT);
        if (pass == 13) PushMotion(-2, -4);
        Press(pass, 16, 1, SDL_SCANCODE_F2);
        Press(pass, 19, 3, SDL_SCANCODE_RIGHT);
        Press(pass, 20, 1, SDL_SCANCODE_SPACE);
        Press(pass, 24, 1, SDL_SCANCODE_F3);
        if (pass == 18) recordedFrames = gNode->Recorded().keys->Size();
        if (pass == 25) returnState = SmallGame::Look();
        replaying[pass] = myGame->ReplayMode();
        if (pass == 40) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(recordedFrames, 11u);

    const std::vector<Seen> recorded = SeenBetween(6, 16), replayed = SeenBetween(25, 35);
    ASSERT_EQ(recorded.size(), 11u);
    EXPECT_EQ(replayed, recorded);
    // The session did something worth replaying.
    EXPECT_EQ(recorded.back().score, 1);
    EXPECT_NE(recorded.back().heroX, recorded.front().heroX);
    EXPECT_NE(recorded.back().mouseY, recorded.front().mouseY);

    EXPECT_FALSE(replaying[24]);
    EXPECT_TRUE(replaying[25]);
    EXPECT_TRUE(replaying[36]);
    EXPECT_FALSE(replaying[37]);
    // After the last replayed frame the state of pass 24's end is loaded back.
    const std::vector<Seen> back = SeenBetween(37, 37);
    ASSERT_EQ(back.size(), 1u);
    Seen expected = returnState;
    expected.right = expected.left = expected.space = false;
    EXPECT_EQ(back[0], expected);
    EXPECT_EQ(returnState.score, 2);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ReplayTest, ASlowReplayRunsAtAQuarterOfTheRateAndRestoresItAtTheEnd) {
    struct Case {
        unsigned int rate, slowed;
    };
    for (const Case c : {Case{60, 15}, Case{100, 25}, Case{40, 15}}) {
        SCOPED_TRACE(c.rate);
        std::map<int, unsigned int> rate;
        EngineRun::script = [&](int pass) {
            if (pass == 2) gNode->FPStoMS(c.rate);
            if (pass == 3) myGame->StartRecording();
            if (pass == 8) myGame->Replay(true);
            rate[pass] = gNode->FramesPerSecond();
            if (pass == 20) myGame->EndGame();
        };
        ASSERT_EQ(EngineRun::Run(), 0);
        // Frames 3 to 7 were recorded; 8 to 12 replay them; 13 ends the
        // replay (each seen at the start of the next pass).
        EXPECT_EQ(rate[8], c.rate);
        EXPECT_EQ(rate[9], c.slowed);
        EXPECT_EQ(rate[13], c.slowed);
        EXPECT_EQ(rate[14], c.rate);
    }
}

TEST_F(ReplayTest, RequestsThatCannotStartAReplayOrARecordingDoNothing) {
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        // Nothing recorded: no replay and no state file.
        myGame->Replay(false);
        EXPECT_FALSE(myGame->ReplayMode());
        EXPECT_FALSE(myGame->saveRequested);
        myGame->SaveReplay(Path("nothing.rep").c_str());
        EXPECT_FALSE(std::filesystem::exists(Path("nothing.rep")));
        // No recording starts during a replay, and a replay is not restarted.
        gNode->Recorded().keys->Add(KeyboardInputKeys());
        myGame->Replay(false);
        EXPECT_TRUE(myGame->ReplayMode());
        myGame->saveFileName = "";
        myGame->saveRequested = false;
        myGame->StartRecording();
        EXPECT_FALSE(myGame->recording);
        EXPECT_FALSE(myGame->saveRequested);
        myGame->Replay(false);
        EXPECT_FALSE(myGame->saveRequested);
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
}

TEST_F(ReplayTest, AReplayIsSavedAsAPairOfFilesAndLoadsBackFromThem) {
    Bytes startState, pairState, replayFile;
    std::vector<std::vector<int>> recorded, loaded;
    std::map<int, bool> aPressed;
    EngineRun::script = [&](int pass) {
        Press(pass, 3, 1, SDL_SCANCODE_F1);
        Press(pass, 5, 2, SDL_SCANCODE_A);
        Press(pass, 6, 1, SDL_SCANCODE_SPACE);
        if (pass == 9) {
            recorded = KeysRecorded();
            myGame->SaveReplay(Path("run.rep").c_str());
            startState = ReadBytes(Path("gamesavestartrecording.sat"));
            pairState = ReadBytes(Path("run.sar"));
            replayFile = ReadBytes(Path("run.rep"));
            // Another recording replaces this level's input...
            myGame->StartRecording();
        }
        // ... until the pair is loaded back (its state first, then its input).
        if (pass == 12) myGame->LoadReplay(Path("run.rep").c_str(), false);
        if (pass == 14) loaded = KeysRecorded();
        aPressed[pass] = pKeyboard->IsPressed(0x1E);
        if (pass == 24) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    // Frames 4 to 8: A held in 5 and 6, Space in 6.
    EXPECT_EQ(recorded, (std::vector<std::vector<int>>{{}, {0x1E}, {0x1E, 0x39}, {}, {}}));
    EXPECT_EQ(loaded, recorded);
    ASSERT_FALSE(startState.empty());
    EXPECT_EQ(pairState, startState);
    // The replay file: magic, frames, keys per frame, then both mouse arrays.
    ASSERT_GE(replayFile.size(), 11u);
    EXPECT_EQ(std::string(replayFile.data(), 7), "QEL_REP");
    std::uint32_t frames = 0;
    std::memcpy(&frames, replayFile.data() + 7, 4);
    EXPECT_EQ(frames, 5u);
    const std::size_t keyBytes = 5 * 4 + 3;
    const std::size_t mouseBytes = 4 + 5 + 4 + 5 * 12;
    EXPECT_EQ(replayFile.size(), 11 + keyBytes + mouseBytes);
    // The loaded replay plays A in its second and third frames (13 and 14,
    // seen at the start of the next pass).
    EXPECT_FALSE(aPressed[13]);
    EXPECT_TRUE(aPressed[14]);
    EXPECT_TRUE(aPressed[15]);
    EXPECT_FALSE(aPressed[16]);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ReplayTest, AHandWrittenReplayFileDrivesTheKeys) {
    std::vector<std::vector<int>> loaded;
    std::map<int, std::vector<bool>> pressed;  // keys 30 and 57 at the start of a pass
    EngineRun::script = [&](int pass) {
        if (pass == 3) {
            SaveNow("hand.sar");
            WriteBytes(Path("hand.rep"), ThreeFrameReplay());
            myGame->LoadReplay(Path("hand.rep").c_str(), false);
        }
        if (pass == 5) loaded = KeysRecorded();
        pressed[pass] = {pKeyboard->IsPressed(30), pKeyboard->IsPressed(57)};
        if (pass == 9) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(loaded, (std::vector<std::vector<int>>{{30}, {}, {30, 57}}));
    // Frames 3, 4 and 5 play the three records; 6 ends the replay.
    EXPECT_EQ(pressed[4], (std::vector<bool>{true, false}));
    EXPECT_EQ(pressed[5], (std::vector<bool>{false, false}));
    EXPECT_EQ(pressed[6], (std::vector<bool>{true, true}));
    EXPECT_EQ(pressed[7], (std::vector<bool>{false, false}));
}

TEST_F(ReplayTest, ABadReplayPairIsRefusedWithAMessageAndNoReplayStarts) {
    struct Case {
        const char* name;
        Bytes rep;
        bool withState;
    };
    const std::vector<Case> cases = {
        {"frame count beyond the file", Bytes{'Q', 'E', 'L', '_', 'R', 'E', 'P', 100, 0, 0, 0}, true},
        {"cut inside a frame",
         [] {
             Bytes b = ThreeFrameReplay();
             b.resize(17);
             return b;
         }(),
         true},
        {"no state file beside it", ThreeFrameReplay(), false},
    };
    EngineRun::script = [&](int pass) {
        if (pass != 4) return;
        const Bytes before = SaveNow("before.sav");
        int n = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::string stem = Path("bad" + std::to_string(++n));
            WriteBytes(stem + ".rep", c.rep);
            if (c.withState) WriteBytes(stem + ".sar", before);
            boxes.clear();
            myGame->LoadReplay((stem + ".rep").c_str(), false);
            myGame->RealSaveGame();
            myGame->RealLoadGame();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Error loading replay file.");
            EXPECT_FALSE(myGame->ReplayMode());
            EXPECT_FALSE(myGame->loadRequested);
            EXPECT_FALSE(myGame->inputDataRequested);
            EXPECT_EQ(gNode->Recorded().keys->Size(), 0u);
            EXPECT_EQ(SaveNow("after.sav"), before);
        }
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
}

TEST_F(ReplayTest, ABadReplayPairLeavesThePlayersOwnRecordingWithTheStateItStartedFrom) {
    struct Case {
        const char* name;
        bool goodInput;
        bool goodState;
    };
    // A pair whose state loads but whose input is damaged, and the reverse.
    const Case cases[] = {{"damaged input", false, true}, {"damaged state", true, false}};
    Bytes ownStart, laterState;
    std::vector<std::vector<int>> ownInput;
    EngineRun::script = [&](int pass) {
        if (pass == 3) myGame->StartRecording();
        Press(pass, 4, 2, SDL_SCANCODE_A);
        if (pass == 7) myGame->StopRecording();
        if (pass != 10) return;
        ownStart = ReadBytes(Path("gamesavestartrecording.sat"));
        ownInput = KeysRecorded();
        laterState = SaveNow("later.sav");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            WriteBytes(Path("bad.rep"), c.goodInput ? ThreeFrameReplay() : Bytes{'Q', 'E', 'L', '_', 'R', 'E', 'P', 9});
            Bytes state = laterState;
            if (!c.goodState) state.resize(state.size() / 2);
            WriteBytes(Path("bad.sar"), state);
            boxes.clear();
            myGame->LoadReplay(Path("bad.rep").c_str(), false);
            myGame->RealSaveGame();
            myGame->RealLoadGame();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(ReadBytes(Path("gamesavestartrecording.sat")), ownStart);
            EXPECT_EQ(KeysRecorded(), ownInput);
        }
        // A good pair becomes the start of the next replay.
        WriteBytes(Path("good.rep"), ThreeFrameReplay());
        WriteBytes(Path("good.sar"), laterState);
        myGame->LoadReplay(Path("good.rep").c_str(), false);
        myGame->RealSaveGame();
        myGame->RealLoadGame();
        EXPECT_EQ(ReadBytes(Path("gamesavestartrecording.sat")), laterState);
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_FALSE(ownStart.empty());
    EXPECT_NE(ownStart, laterState);
    EXPECT_FALSE(ownInput.empty());
}

TEST_F(ReplayTest, AReplayWhoseReturnStateCannotBeSavedDoesNotStart) {
    EngineRun::script = [&](int pass) {
        if (pass == 3) myGame->StartRecording();
        if (pass == 6) {
            myGame->StopRecording();
            // The state files can no longer be written.
            workingDirectory = Path("gone").c_str();
            myGame->Replay(false);
        }
        if (pass == 8) {
            EXPECT_FALSE(myGame->ReplayMode());
            EXPECT_FALSE(myGame->loadRequested);
            workingDirectory = folder.c_str();
            myGame->EndGame();
        }
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error saving file.");
    // Frames 6 and 7 ran on as usual, from the state of pass 6.
    const std::vector<Seen> seen = SeenBetween(6, 7);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].crateX, seen[0].crateX + 0.5f);
}

TEST_F(ReplayTest, AReplayThatCannotBeSavedWholeLeavesTheEarlierPairAsItWas) {
    struct Case {
        const char* name;
        const char* blocked;  // a folder with files takes this temporary's name
    };
    const Case cases[] = {{"the input cannot be written", "run.rep.part"},
                          {"the state cannot be copied", "run.sar.part"}};
    Bytes oldState, oldInput, newStart;
    EngineRun::script = [&](int pass) {
        if (pass == 3) myGame->StartRecording();
        Press(pass, 4, 2, SDL_SCANCODE_A);
        if (pass == 7) {
            myGame->SaveReplay(Path("run.rep").c_str());
            oldState = ReadBytes(Path("run.sar"));
            oldInput = ReadBytes(Path("run.rep"));
            myGame->StartRecording();
        }
        Press(pass, 9, 3, SDL_SCANCODE_SPACE);
        if (pass != 14) return;
        newStart = ReadBytes(Path("gamesavestartrecording.sat"));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            boxes.clear();
            const std::filesystem::path blocked = Path(c.blocked);
            std::filesystem::create_directories(blocked / "inside");
            myGame->SaveReplay(Path("run.rep").c_str());
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Error saving replay file.");
            EXPECT_EQ(ReadBytes(Path("run.sar")), oldState);
            EXPECT_EQ(ReadBytes(Path("run.rep")), oldInput);
            std::filesystem::remove_all(blocked);
        }
        for (const char* temporary : {"run.rep.part", "run.sar.part"})
            EXPECT_FALSE(std::filesystem::exists(Path(temporary))) << temporary;
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    // The two recordings differ, so a pair made of one half of each would show.
    ASSERT_FALSE(oldState.empty());
    EXPECT_NE(newStart, oldState);
}

TEST_F(ReplayTest, AReplayFileWithAWrongMagicLoadsItsStateWithoutInput) {
    struct Case {
        const char* name;
        Bytes rep;
    };
    const Case cases[] = {
        {"a save's magic", Bytes{'Q', 'E', 'L', '_', 'S', 'A', 'R', 0, 0, 0, 0}},
        {"shorter than a magic", Bytes{'Q', 'E', 'L'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<int, std::int32_t> programValue;
        std::map<int, bool> replaying;
        EngineRun::script = [&](int pass) {
            if (pass == 3) {
                SmallGame::programValue = 5;
                SaveNow("bad.sar");
                WriteBytes(Path("bad.rep"), c.rep);
                SmallGame::programValue = 9;
                // Input recorded earlier on this level is not what the replay plays.
                gNode->Recorded().keys->Add({0x1E});
                myGame->LoadReplay(Path("bad.rep").c_str(), false);
            }
            programValue[pass] = SmallGame::programValue;
            replaying[pass] = myGame->ReplayMode();
            if (pass == 4) {
                EXPECT_FALSE(pKeyboard->IsPressed(0x1E));
            }
            if (pass == 8) myGame->EndGame();
        };
        boxes.clear();
        ASSERT_EQ(EngineRun::Run(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Error loading replay file.");
        // Frame 4 drops the input, loads the state alone and, with nothing to
        // play, ends the replay; frame 5 is back where the replay began.
        EXPECT_TRUE(replaying[3]);
        EXPECT_EQ(programValue[4], 5);
        EXPECT_FALSE(replaying[4]);
        EXPECT_EQ(programValue[5], 9);
    }
}
