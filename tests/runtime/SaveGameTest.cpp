// Save games through the running engine: what a save holds, that loading it
// gives the same game back, and that a bad file is refused with a message and
// leaves the running game exactly as it was.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../sound/SoundFixture.h"
#include "LoaderWriter.h"
#include "SavedGame.h"
#include "display/DisplayInternal.h"
#include "display/RandomDissolve.h"
#include "input/QelCursor.h"
#include "platform/Window.h"
#include "runtime/GameFileLoaders.h"
#include "sound/Sound.h"

using namespace savedgame;

namespace {

std::string Magic(const Bytes& file) { return std::string(file.data(), std::min<std::size_t>(file.size(), 7)); }
Bytes AfterMagic(const Bytes& file) {
    return Bytes(file.begin() + std::min<std::ptrdiff_t>(7, file.size()), file.end());
}

// Answers every file dialog with `name` (empty: cancelled) and notes the filters asked.
void AnswerDialogs(const std::string& name, std::vector<std::string>* asked = nullptr) {
    SetFileDialogAnswerForTests([name, asked](const FileDialogRequest& request, std::string& chosen) {
        if (asked) asked->push_back(request.filters.empty() ? "" : request.filters[0].description);
        chosen = name;
        return !name.empty();
    });
}

}  // namespace

TEST_F(SavedGameTest, SavesLoadAndSaveAgainByteForByteWithEitherMagic) {
    std::vector<std::string> asked;
    Bytes named, dialog, reloaded, dialogReloaded, dialogFileByName;
    EngineRun::script = [&](int pass) {
        if (pass == 4) PushKey(SDL_SCANCODE_RIGHT, true);
        if (pass == 7) PushMotion(0, 12);
        if (pass != 10) return;
        SmallGame::programValue = 5;
        named = SaveNow("named.sav");
        AnswerDialogs(Path("dialog.sav"), &asked);
        myGame->SaveGame();
        myGame->RealSaveGame();
        dialog = ReadBytes(Path("dialog.sav"));

        LoadNow("named.sav");
        reloaded = SaveNow("reloaded.sav");
        AnswerDialogs(Path("dialog.sav"), &asked);
        myGame->LoadGame();
        myGame->RealLoadGame();
        dialogReloaded = SaveNow("dialog-reloaded.sav");
        LoadNow("dialog.sav");
        dialogFileByName = SaveNow("dialog-by-name.sav");
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_GT(named.size(), 100u);
    EXPECT_EQ(Magic(named), "QEL_SAR");
    EXPECT_EQ(Magic(dialog), "QEL_SAV");
    EXPECT_EQ(AfterMagic(dialog), AfterMagic(named));
    EXPECT_EQ(reloaded, named);
    EXPECT_EQ(dialogReloaded, named);
    EXPECT_EQ(dialogFileByName, named);
    EXPECT_EQ(asked, (std::vector<std::string>{"Saved Files (*.sav)", "Load Files (*.sav)"}));
    // The program's own data sit between the magic and the level number.
    std::int32_t value = 0, level = -1;
    std::memcpy(&value, named.data() + 7, 4);
    std::memcpy(&level, named.data() + 11, 4);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SavedGameTest, LoadedGameRunsOnFromTheSavedState) {
    // The crate drifts half a pixel a frame: after the load it carries on
    // from where it was saved, and the hero from where the keys left it.
    float savedCrate = 0, crateAfter = 0, heroSaved = 0, heroAfter = 0;
    EngineRun::script = [&](int pass) {
        if (pass == 3) PushKey(SDL_SCANCODE_RIGHT, true);
        if (pass == 6) PushKey(SDL_SCANCODE_RIGHT, false);
        if (pass == 8) {
            SaveNow("at8.sav");
            savedCrate = Sprite::Search("crate")->LeftPosition();
            heroSaved = Sprite::Search("hero")->LeftPosition();
        }
        if (pass == 20) LoadNow("at8.sav");
        if (pass == 22) {
            crateAfter = Sprite::Search("crate")->LeftPosition();
            heroAfter = Sprite::Search("hero")->LeftPosition();
            myGame->EndGame();
        }
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(heroSaved, 23.0f);
    EXPECT_EQ(heroAfter, heroSaved);
    EXPECT_EQ(crateAfter, savedCrate + 2 * 0.5f);
}

TEST_F(SavedGameTest, BadSaveFilesAreRefusedAndTheRunningGameStaysAsItWas) {
    struct Case {
        const char* name;
        std::function<Bytes(Bytes)> spoil;
        bool throughDialog;
        const char* message;
    };
    auto cut = [](double fraction) {
        return [fraction](Bytes b) {
            b.resize(std::size_t(double(b.size()) * fraction));
            return b;
        };
    };
    auto cutTo = [](std::size_t n) {
        return [n](Bytes b) {
            b.resize(n);
            return b;
        };
    };
    auto putInt = [](std::size_t at, std::int32_t v) {
        return [at, v](Bytes b) {
            std::memcpy(b.data() + at, &v, 4);
            return b;
        };
    };
    // A game load by name is no replay: it reports as the dialog's load does.
    const char* named = "Error loading file.";
    const char* dialog = "Error loading file.";
    const std::vector<Case> cases = {
        {"empty", cutTo(0), false, named},
        {"only the magic", cutTo(7), false, named},
        {"cut in the program's data", cutTo(9), false, named},
        {"cut after the level number", cutTo(15), false, named},
        {"cut at a quarter", cut(0.25), false, named},
        {"cut at a half", cut(0.5), false, named},
        {"cut at three quarters", cut(0.75), false, named},
        {"one byte short",
         [](Bytes b) {
             b.pop_back();
             return b;
         },
         false, named},
        {"one byte too many",
         [](Bytes b) {
             b.push_back(0);
             return b;
         },
         false, named},
        {"replay magic",
         [](Bytes b) {
             std::memcpy(b.data(), "QEL_REP", 7);
             return b;
         },
         false, named},
        {"unknown level", putInt(11, 99), false, named},
        {"another level's number", putInt(11, 1), false, named},
        {"huge first list count", putInt(15 + 8, 0x7FFFFFFF), false, named},
        {"cut at a half, through the dialog", cut(0.5), true, dialog},
        {"wrong magic, through the dialog",
         [](Bytes b) {
             b[3] = 'X';
             return b;
         },
         true, dialog},
    };
    EngineRun::script = [&](int pass) {
        if (pass == 4) PushKey(SDL_SCANCODE_RIGHT, true);
        if (pass != 10) return;
        SmallGame::programValue = 5;
        const Bytes good = SaveNow("good.sav");
        SmallGame::programValue = 9;
        const Bytes before = SaveNow("before.sav");
        GameNode* level = gNode;
        Sprite* hero = Sprite::Search("hero");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            WriteBytes(Path("bad.sav"), c.spoil(good));
            boxes.clear();
            if (c.throughDialog) {
                AnswerDialogs(Path("bad.sav"));
                myGame->LoadGame();
                myGame->RealLoadGame();
            } else {
                LoadNow("bad.sav");
            }
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, c.message);
            EXPECT_EQ(boxes[0].caption, "Error");
            EXPECT_FALSE(myGame->loadRequested);
            EXPECT_EQ(SmallGame::programValue, 9);
            EXPECT_EQ(gNode, level);
            EXPECT_EQ(Sprite::Search("hero"), hero);
            EXPECT_EQ(SaveNow("after.sav"), before);
        }
        // A file that is not there at all, and a dialog name of another kind.
        boxes.clear();
        LoadNow("missing.sav");
        AnswerDialogs(Path("good.SAV"));
        myGame->LoadGame();
        myGame->RealLoadGame();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, named);
        EXPECT_EQ(boxes[1].text, dialog);
        EXPECT_EQ(SaveNow("after.sav"), before);
        // The good file still loads.
        LoadNow("good.sav");
        EXPECT_EQ(SmallGame::programValue, 5);
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
}

TEST_F(SavedGameTest, ABadSaveGivesTheProgramItsDataBackWithoutAUsableTemporaryFolder) {
    const char* kept = std::getenv("TMPDIR");
    const std::string keptValue = kept != nullptr ? kept : "";
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        SmallGame::programValue = 5;
        Bytes spoilt = SaveNow("good.sav");
        spoilt.resize(spoilt.size() / 2);
        WriteBytes(Path("bad.sav"), spoilt);
        SmallGame::programValue = 9;
        // Full, read-only or missing: the temporary folder takes no file.
        setenv("TMPDIR", Path("no such folder").c_str(), 1);
        boxes.clear();
        LoadNow("bad.sav");
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(SmallGame::programValue, 9);
        LoadNow("good.sav");
        EXPECT_EQ(SmallGame::programValue, 5);
        myGame->EndGame();
    };
    const int result = EngineRun::Run();
    if (kept != nullptr)
        setenv("TMPDIR", keptValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    ASSERT_EQ(result, 0);
}

TEST_F(SavedGameTest, SavesThatCannotBeWrittenAreReportedAndWriteNothing) {
    struct Case {
        const char* name;
        std::function<void()> request;
        const char* file;  // that must not exist afterwards
        std::size_t boxes;
    };
    const std::vector<Case> cases = {
        {"a folder that does not exist", [this] { myGame->SaveGame(Path("no/such/folder.sav").c_str()); },
         "no/such/folder.sav", 1},
        {"dialog name in capitals",
         [this] {
             AnswerDialogs(Path("upper.SAV"));
             myGame->SaveGame();
         },
         "upper.SAV", 1},
        {"dialog cancelled",
         [] {
             AnswerDialogs("");
             myGame->SaveGame();
         },
         "", 0},
        {"network level",
         [this] {
             gNode->NetworkLevel = true;
             myGame->SaveGame(Path("network.sav").c_str());
             gNode->NetworkLevel = false;
         },
         "network.sav", 0},
    };
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            boxes.clear();
            c.request();
            if (myGame->saveRequested) myGame->RealSaveGame();
            EXPECT_FALSE(myGame->saveRequested);
            EXPECT_EQ(boxes.size(), c.boxes);
            if (c.boxes > 0) {
                EXPECT_EQ(boxes[0].text, "Error saving file.");
                EXPECT_EQ(boxes[0].caption, "Error");
            }
            if (c.file[0] != '\0') {
                EXPECT_FALSE(std::filesystem::exists(Path(c.file)));
            }
        }
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    // No temporary file is left behind either.
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(SavedGameTest, AChainOfVariablesTooDeepToLoadIsNotSavedAndTheOldSaveStays) {
    // The level's variables each point at the next one. A chain the save
    // could never load back fails to save: the old save stays as it was.
    const struct {
        int length;
        bool throughDialog;
        bool saved;
    } cases[] = {{200, false, true}, {300, false, false}, {300, true, false}, {2000, false, false}};
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.length) + (c.throughDialog ? " through the dialog" : ""));
            const Bytes old = SaveNow("game.sav");
            std::vector<Variable*> chain;
            for (int i = 0; i < c.length; ++i) {
                chain.push_back(new Variable(0));
                chain.back()->Name(("link" + std::to_string(i)).c_str());
                if (i > 0) *chain[std::size_t(i) - 1] = static_cast<void*>(chain.back());
            }
            // The head is stored first, so the whole chain is written inside it.
            for (Variable* v : chain) gNode->Add(v);
            boxes.clear();
            if (c.throughDialog) {
                AnswerDialogs(Path("game.sav"));
                myGame->SaveGame();
            } else {
                myGame->SaveGame(Path("game.sav").c_str());
            }
            myGame->RealSaveGame();
            if (!c.saved) {
                ASSERT_EQ(boxes.size(), 1u);
                EXPECT_EQ(boxes[0].text, "Error saving file.");
                EXPECT_EQ(ReadBytes(Path("game.sav")), old);
            } else {
                EXPECT_TRUE(boxes.empty());
                LoadNow("game.sav");
                EXPECT_TRUE(boxes.empty());
                int length = 0;
                for (Variable* v = Variable::Search("link0"); v != nullptr; v = static_cast<Variable*>(*v))
                    EXPECT_EQ(std::string(v->Name()), "link" + std::to_string(length++));
                EXPECT_EQ(length, c.length);
            }
            for (int i = 0; i < c.length; ++i) {
                node* v = Variable::Search(("link" + std::to_string(i)).c_str());
                if (v != nullptr) gNode->Variables().del(v);
            }
        }
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(SavedGameTest, LoadingASaveOfAnotherLevelSwitchesToItAndEntersItInTheHistory) {
    int levelAfter = 0;
    std::vector<std::int32_t> history;
    std::int32_t index = -1;
    EngineRun::script = [&](int pass) {
        if (pass == 2) myGame->LevelNumber(1);
        if (pass == 5) SaveNow("second.sav");
        if (pass == 6) myGame->LevelNumber(0);
        if (pass == 9) LoadNow("second.sav");
        if (pass == 11) {
            levelAfter = gNode->Id();
            for (unsigned int i = 0; i < myGame->History().Size(); ++i) history.push_back(myGame->History()[i]);
            index = myGame->HistoryIndex();
            EXPECT_EQ(myGame->LevelNumber(), 1);
            EXPECT_FALSE(myGame->ChangePending());
            EXPECT_NE(Sprite::Search("hero"), nullptr);
            myGame->EndGame();
        }
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(levelAfter, 2);
    EXPECT_EQ(history, (std::vector<std::int32_t>{0, 1, 0, 1}));
    EXPECT_EQ(index, 3);
    // Loading rebuilds the level from the file: its level builder is not run again.
    EXPECT_EQ(EngineRun::Count("build:2"), 1);
}

TEST_F(SavedGameTest, ASaveMadeWhileALevelChangeWaitsForATransitionLoadsBack) {
    // The game's level number already names the next level then, not the saved one.
    Bytes saved, reloaded;
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        Effect_RandomDissolve->OneColor(0x0000FF, 20, 2);
        myGame->LevelNumber(1);
        saved = SaveNow("pending.sav");
        LoadNow("pending.sav");
        EXPECT_EQ(gNode->Id(), 1);
        EXPECT_EQ(myGame->LevelNumber(), 1);
        EXPECT_TRUE(myGame->ChangePending());
        reloaded = SaveNow("reloaded.sav");
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty());
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(reloaded, saved);
}

TEST_F(SavedGameTest, ARecordOfOneLevelFiledUnderAnotherLoadsAsThatLevelAndTheGameRunsOnIt) {
    // The second level shows pictures of its own. A save made while a change
    // to it waits names it as the game's level; filing that record under the
    // second level's number too passes every number check. Nothing tells it
    // from a genuine save of a level whose builder picks its pictures anew:
    // it loads, the second level runs on the first one's contents, and the
    // second level's own save loads after it.
    const std::filesystem::path maps = std::filesystem::path(folder) / "Art Assets" / "Maps";
    WriteBmp(maps / "second.bmp", WorldW, ScreenH, 0x604020);
    WriteBmp(maps / "second-deck.bmp", 8, 6, 0xA06020);
    EngineRun::buildLevel = [](GameNode* level) {
        if (level->Id() == 2)
            SmallGame::BuildLevelShowing(level, "second.bmp", "second-deck.bmp");
        else
            SmallGame::BuildLevel(level);
    };
    int levelAfterForged = 0, levelAfterOwnSave = 0;
    std::string pictureAfterForged, pictureAfterOwnSave;
    EngineRun::script = [&](int pass) {
        if (pass == 2) myGame->LevelNumber(1);
        if (pass == 5) SaveNow("second.sav");
        if (pass == 6) myGame->LevelNumber(0);
        if (pass == 9) {
            Effect_RandomDissolve->OneColor(0x0000FF, 20, 2);
            myGame->LevelNumber(1);
            Bytes forged = SaveNow("pending.sav");
            const std::int32_t second = 1;
            std::memcpy(forged.data() + 11, &second, 4);
            WriteBytes(Path("forged.sav"), forged);
            LoadNow("forged.sav");
            levelAfterForged = gNode->Id();
            pictureAfterForged = Map::Search("master")->FileName();
        }
        if (pass == 14) {
            LoadNow("second.sav");
            levelAfterOwnSave = gNode->Id();
            pictureAfterOwnSave = Map::Search("master")->FileName();
            myGame->EndGame();
        }
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    EXPECT_EQ(levelAfterForged, 2);
    EXPECT_EQ(pictureAfterForged, "master.bmp");
    EXPECT_EQ(levelAfterOwnSave, 2);
    EXPECT_EQ(pictureAfterOwnSave, "second.bmp");
}

TEST_F(SavedGameTest, ASaveLoadsInALaterRunWhoseLevelWasEnteredWithOtherPictures) {
    // The level's builder picks its maps' pictures anew on every entry (by
    // chance or by the game's state, here by turns). A save made on one entry
    // loads in a later run that entered the level with the other pictures.
    const std::filesystem::path maps = std::filesystem::path(folder) / "Art Assets" / "Maps";
    WriteBmp(maps / "dusk.bmp", WorldW, ScreenH, 0x604020);
    WriteBmp(maps / "dusk-deck.bmp", 8, 6, 0xA06020);
    int entries = 0;
    EngineRun::buildLevel = [&entries](GameNode* level) {
        if (entries++ % 2 == 0)
            SmallGame::BuildLevel(level);
        else
            SmallGame::BuildLevelShowing(level, "dusk.bmp", "dusk-deck.bmp");
    };
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        SaveNow("dawn.sav");
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    std::string before, after;
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        before = Map::Search("master")->FileName();
        LoadNow("dawn.sav");
        after = Map::Search("master")->FileName();
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_EQ(entries, 2);
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    EXPECT_EQ(before, "dusk.bmp");
    EXPECT_EQ(after, "master.bmp");
}

TEST_F(SavedGameTest, LoadingRestoresTheWindowModeAndTitleOfTheSave) {
    bool windowedAfterLoad = false, fullScreenWindow = true;
    std::string title;
    EngineRun::script = [&](int pass) {
        if (pass == 3) {
            myGame->Title("Saved in a window");
            SaveNow("windowed.sav");
            ToggleFullScreen();
            myGame->Title("Now full screen");
            ASSERT_FALSE(_IsWindowed);
            LoadNow("windowed.sav");
            windowedAfterLoad = _IsWindowed;
            fullScreenWindow = _Ghwnd->IsFullScreen();
            title = _Ghwnd->Title();
            myGame->EndGame();
        }
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(windowedAfterLoad);
    EXPECT_FALSE(fullScreenWindow);
    EXPECT_EQ(title, "Saved in a window");
}

TEST_F(SavedGameTest, ALevelWithACursorLoadsWithTheSavedCursor) {
    EngineRun::buildLevel = [](GameNode* level) {
        SmallGame::BuildLevel(level);
        NewQelCursor()->AddSpriteCursor(QelCursor::BuiltInActorSelector, 0, 0, false);
    };
    QelCursor* before = nullptr;
    QelCursor* after = nullptr;
    bool shownAfter = false;
    unsigned int actorAfter = 0;
    EngineRun::script = [&](int pass) {
        if (pass == 2) myGame->ShowCursor(true);
        if (pass != 6) return;
        before = pQelCursor;
        SaveNow("cursor.sav");
        myGame->ShowCursor(false);
        LoadNow("cursor.sav");
        after = pQelCursor;
        shownAfter = myGame->ShowCursor();
        actorAfter = after != nullptr ? after->ActorIndex() : 0;
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty());
    ASSERT_NE(before, nullptr);
    // The running cursor gave way to the one in the file.
    EXPECT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_TRUE(shownAfter);
    EXPECT_EQ(actorAfter, QelCursor::BuiltInActorSelector);
}

TEST_F(SavedGameTest, ALevelWithACursorSavesLoadsAndSavesAgainWithOneCursorSprite) {
    EngineRun::buildLevel = [](GameNode* level) {
        SmallGame::BuildLevel(level);
        NewQelCursor()->AddSpriteCursor(QelCursor::BuiltInActorSelector, 0, 0, false);
    };
    auto cursorSprites = [] {
        int n = 0;
        for (int list = 0; list < GameNode::DisplayListCount; ++list)
            for (node* s = gNode->DisplayList(list).Head(); !s->EOList(); s = s->Next())
                n += static_cast<Sprite*>(s)->ZOrder() == Sprite::CursorZOrder;
        return n;
    };
    Bytes first, second, third;
    int before = 0, afterLoad = 0, afterSecondLoad = 0;
    bool cursorSpriteKept = false;
    EngineRun::script = [&](int pass) {
        if (pass == 2) myGame->ShowCursor(true);
        if (pass != 6) return;
        before = cursorSprites();
        first = SaveNow("cursor.sav");
        LoadNow("cursor.sav");
        afterLoad = cursorSprites();
        cursorSpriteKept = pQelCursor != nullptr && pQelCursor->CursorSprite() == Sprite::Search("QEL_CURSOR_ROSRUC_");
        second = SaveNow("cursor-again.sav");
        LoadNow("cursor-again.sav");
        afterSecondLoad = cursorSprites();
        third = SaveNow("cursor-third.sav");
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(before, 1);
    EXPECT_EQ(afterLoad, 1);
    EXPECT_EQ(afterSecondLoad, 1);
    EXPECT_TRUE(cursorSpriteKept);
    EXPECT_EQ(second, first);
    EXPECT_EQ(third, first);
}

TEST_F(SavedGameTest, ADataDrivenLevelKeepsItsAnimationSoundsThroughALoad) {
    // Level 0 also reads an actor from its level file: one frame of "walk.bmp"
    // whose animation plays "step".
    constexpr int Stepper = 2;
    const std::filesystem::path art = std::filesystem::path(folder) / "Art Assets";
    soundtest::WriteFile(art / "Sounds" / "SFX" / "step.wav", soundtest::Wave(1, 8, 44100, soundtest::Ramp(400)));
    LoaderWriter actors;
    actors.I32(1).I32(Stepper).I32(1);
    actors.I32(1).I32(0).B(true).Str("step").Str("step.wav").B(false).I32(100).U8(0).B(true);
    actors.Str("walk.bmp").F32(0).F32(0).U32(1).I32(4).I32(3).U32(0).B(false).B(false).I32(0);
    for (int i = 0; i < 10; ++i) actors.I32(0);
    actors.Rect(0, 0, 3, 2).F32(0).F32(0).B(false).B(false).I32(0);
    static std::string levelFile;
    levelFile = Path("level0.lvl");
    WriteBytes(levelFile, Bytes(actors.bytes.begin(), actors.bytes.end()));
    const auto levels = EngineRun::levels;
    EngineRun::levels = [levels] {
        levels();
        GameNode* first = ::Game::Search(0);
        first->LevelFileName = levelFile.c_str();
        first->BuildActorsP = [](GameNode* level) {
            SmallGame::BuildActors(level);
            GenerateActors(level);
        };
    };
    bool soundBefore = false, soundInLevelAfter = false;
    std::string reportAfterLoad;
    EngineRun::script = [&](int pass) {
        if (pass != 4) return;
        soundBefore = SpriteList[Stepper].Animations[0].SFX != nullptr;
        SaveNow("sound.sav");
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        LoadNow("sound.sav");
        reportAfterLoad = _UE.ErrorMessage;
        const SoundBase* sfx = SpriteList[Stepper].Animations[0].SFX;
        for (node* n = gNode->Sounds().Head(); !n->EOList(); n = n->Next()) soundInLevelAfter |= n == sfx;
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(soundBefore);
    EXPECT_TRUE(soundInLevelAfter) << "the animation's sound is one of the loaded level's";
    EXPECT_EQ(reportAfterLoad, "");
}

TEST_F(SavedGameTest, ASaveReferringBackToTheReplacedFrameRateTextIsRefused) {
    // The level's frame-rate text comes back from a save under another name
    // and gives way to the fresh one; a forged record that names it again
    // afterwards (here as the level's local data, the record's last field)
    // must be refused, not handed an object that is gone.
    bool refusedSafely = false;
    EngineRun::script = [&](int pass) {
        if (pass != 3) return;
        Bytes bytes = SaveNow("good.sav");
        const std::string text(bytes.begin(), bytes.end());
        const std::size_t fps = text.find(std::string("\x03\0\0\0FPS", 7));
        ASSERT_NE(fps, std::string::npos);
        const std::size_t header = text.rfind(std::string("Variable\0\0\0\0", 12), fps);
        ASSERT_NE(header, std::string::npos);
        Bytes reference(bytes.begin() + std::ptrdiff_t(header), bytes.begin() + std::ptrdiff_t(header) + 36);
        ASSERT_EQ(std::string(bytes.end() - 4, bytes.end()), std::string(4, '\0')) << "no local data";
        bytes.resize(bytes.size() - 4);
        bytes.insert(bytes.end(), reference.begin(), reference.end());
        WriteBytes(Path("forged.sav"), bytes);
        LoadNow("forged.sav");
        refusedSafely = Sprite::Search("hero") != nullptr;
        myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    EXPECT_TRUE(refusedSafely);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error loading file.");
}
