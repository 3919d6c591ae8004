#include "SoundFixture.h"
#include "platform/MidiPlayer.h"
#include "sound/LevelSounds.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"

using namespace soundtest;

namespace {

class LevelSoundsTest : public SoundTest {};

TEST_F(LevelSoundsTest, AddedSoundsGetIdsAndGoToTheFront) {
    Sfx("a.wav", Wave(1, 8, 8000, Ramp(8)));
    Music("a.wav", Wave(1, 8, 8000, Ramp(8)));
    Music("a.mid", Midi());
    ASSERT_TRUE(sound::AddSFX(*level, "A", "a.wav", false, 50));
    ASSERT_TRUE(sound::AddSFX(*level, "B", "a.wav", true, 150));
    ASSERT_TRUE(sound::AddMusic(*level, "M", "a.wav", true));
    ASSERT_TRUE(sound::AddMidiFile(*level, "T", "a.mid", true));
    Sound* first = static_cast<Sound*>(level->Sounds().Head());
    Sound* second = static_cast<Sound*>(first->Next());
    EXPECT_STREQ(first->Name(), "B");
    EXPECT_EQ(first->Id(), 2);
    EXPECT_EQ(first->PlayPercentage(), 100);
    EXPECT_TRUE(first->Loop());
    EXPECT_STREQ(second->Name(), "A");
    EXPECT_EQ(second->Id(), 1);
    EXPECT_STREQ(first->FileName(), "a.wav");  // the file as passed, not the path
    EXPECT_EQ(static_cast<StreamedSound*>(level->StreamedSounds().Head())->Id(), 1);
    EXPECT_EQ(static_cast<MidiFile*>(level->MidiFiles().Head())->Id(), 1);
    EXPECT_EQ(level->IdCounter(GameNode::SoundIds), 2);
    EXPECT_FALSE(sound::Add(*level, static_cast<Sound*>(nullptr)));
}

TEST_F(LevelSoundsTest, MissingFilesAreReportedWithTheirPathAndAddNothing) {
    const struct {
        const char* what;
        bool (*add)(GameNode&);
        const char* message;
        const char* target;
        const char* folder;
    } cases[] = {
        {"sfx", [](GameNode& l) { return sound::AddSFX(l, "x", "none.wav", false, 0); },
         "The sound file %s does not exist.", "bool GameNode::AddSFX(char *,char *,bool,int)", "SFX"},
        {"music", [](GameNode& l) { return sound::AddMusic(l, "x", "none.wav", false); },
         "The streamed sound file %s does not exist.", "bool GameNode::AddMusic(char *,char *,bool)", "Music"},
        {"midi", [](GameNode& l) { return sound::AddMidiFile(l, "x", "none.mid", false); },
         "The MIDI file %s does not exist.", "bool GameNode::AddMidiFile(char *,char *,bool)", "Music"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const unsigned reports = UserError::Errors.Size();
        EXPECT_FALSE(c.add(*level));
        ASSERT_EQ(UserError::Errors.Size(), reports + 1);
        const std::string path =
            (root / c.folder).string() + "/" + (std::string(c.what) == "midi" ? "none.mid" : "none.wav");
        char message[600];
        std::snprintf(message, sizeof message, c.message, path.c_str());
        EXPECT_STREQ(UserError::Errors[reports].ErrorMessage, message);
        EXPECT_STREQ(UserError::Errors[reports].TargetFunction, c.target);
    }
    EXPECT_EQ(level->Sounds().Count() + level->StreamedSounds().Count() + level->MidiFiles().Count(), 0);
}

TEST_F(LevelSoundsTest, ProgramResourcesNeedNoFile) {
    Resources({{"WAVE", "boom.wav"}, {"midi", "theme.mid"}}, {Wave(1, 8, 8000, Ramp(8)), Midi()});
    EXPECT_TRUE(sound::AddSFX(*level, "boom", "boom.wav", false, 0));
    EXPECT_TRUE(sound::AddMusic(*level, "boom", "boom.wav", false));
    EXPECT_TRUE(sound::AddMidiFile(*level, "theme", "theme.mid", false));
    EXPECT_TRUE(static_cast<Sound*>(level->Sounds().Head())->HasBuffer());
}

TEST_F(LevelSoundsTest, PlayAndStopByName) {
    Sfx("a.wav", Wave(1, 8, 44100, Ramp(800)));
    Music("a.wav", Wave(1, 8, 44100, Ramp(800)));
    Music("a.mid", Midi());
    sound::AddSFX(*level, "fx", "a.wav", false, 0);
    sound::AddMusic(*level, "song", "a.wav", true);
    sound::AddMidiFile(*level, "tune", "a.mid", true);
    auto* fx = static_cast<Sound*>(level->Sounds().Head());
    auto* song = static_cast<StreamedSound*>(level->StreamedSounds().Head());
    auto* tune = static_cast<MidiFile*>(level->MidiFiles().Head());
    sound::PlaySFX("fx");
    sound::PlayMusic("song");
    sound::PlayMidiFile("tune");
    EXPECT_TRUE(fx->IsPlaying());
    EXPECT_TRUE(song->IsPlaying());
    EXPECT_TRUE(tune->IsPlaying());
    sound::StopMusic("song");
    sound::StopMidiFile("tune");
    EXPECT_FALSE(song->IsPlaying());
    EXPECT_FALSE(tune->IsPlaying());

    const unsigned reports = UserError::Errors.Size();
    sound::PlaySFX("nope");
    // The search reports, then the level's operation with its own target.
    ASSERT_EQ(UserError::Errors.Size(), reports + 2);
    EXPECT_STREQ(UserError::Errors[reports + 1].TargetFunction, "void GameNode::PlaySFX(const char *)");
    EXPECT_STREQ(UserError::Errors[reports + 1].ErrorMessage, "The sound file nope does not exist.");
}

TEST_F(LevelSoundsTest, WantedMidiMusicRestartsAfterADisplaySwitch) {
    Music("a.mid", Midi());
    sound::AddMidiFile(*level, "wanted", "a.mid", true);
    sound::AddMidiFile(*level, "unwanted", "a.mid", true);
    auto* unwanted = static_cast<MidiFile*>(level->MidiFiles().Head());
    auto* wanted = static_cast<MidiFile*>(unwanted->Next());
    wanted->Play();
    wanted->Performance()->Stop();  // the performance stopped under it
    sound::RestartWantedMidiFiles(*level);
    EXPECT_TRUE(wanted->IsPlaying());
    EXPECT_FALSE(unwanted->IsPlaying());
}

TEST(SoundDevice, ProbeFindsTheDevice) { EXPECT_TRUE(sound::ProbeSoundDevice()); }

}  // namespace
