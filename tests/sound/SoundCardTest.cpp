#include "SoundFixture.h"
#include "foundation/Console.h"
#include "platform/AudioBuffer.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"
#include "../foundation/WorkDirectory.h"

using namespace soundtest;

namespace {

class SoundCardTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        Sfx("fx.wav", Wave(1, 8, 44100, Ramp(4000)));
        Music("song.wav", Wave(1, 8, 44100, Ramp(200000)));
        Music("tune.mid", Midi());
    }
    Sound* AddSound(const char* name) {
        auto* s = new Sound(name, "fx.wav", false, 0);
        level->Sounds().add(s);
        return s;
    }
};

TEST_F(SoundCardTest, OneCardOneDevice) {
    SoundCard& a = SoundCard::Instance();
    SoundCard& b = SoundCard::Instance();
    EXPECT_EQ(&a, &b);
    EXPECT_TRUE(SoundCard::m_Created);
    EXPECT_TRUE(a.DirectSound());
    EXPECT_EQ(a.SamplesPerSecond(), 44100);
    EXPECT_EQ(a.BitsPerSample(), 16);
    EXPECT_EQ(a.Channels(), 2);
    SoundCard later(22050, 8, 1, nullptr);  // keeps its numbers, opens nothing
    EXPECT_FALSE(later.DirectSound());
    EXPECT_EQ(qel::AudioDeviceRate(), 44100);
}

TEST_F(SoundCardTest, SuspendAndResumeAffectOnlyWhatWasPlaying) {
    Sound* playing = AddSound("playing");
    Sound* silent = AddSound("silent");
    Sound* stoppedMeanwhile = AddSound("stopped");
    auto* music = new StreamedSound("music", "song.wav", true);
    level->StreamedSounds().add(music);
    auto* midi = new MidiFile("midi", "tune.mid", true);
    level->MidiFiles().add(midi);
    playing->Play();
    stoppedMeanwhile->Play();
    music->Play();
    midi->Play();
    Render(100);

    SoundCard::ManageBuffers(false);
    for (SoundBase* s : std::initializer_list<SoundBase*>{playing, stoppedMeanwhile, music}) {
        EXPECT_FALSE(s->IsPlaying());
        EXPECT_TRUE(s->PausedByCard());
        EXPECT_EQ(s->SavedPlayPosition(), 100u);
    }
    EXPECT_FALSE(silent->PausedByCard());
    EXPECT_FALSE(midi->IsPlaying());
    EXPECT_TRUE(midi->PausedByCard());

    stoppedMeanwhile->Stop();
    SoundCard::ManageBuffers(true);
    EXPECT_TRUE(playing->IsPlaying());
    EXPECT_EQ(playing->Buffer()->PlayCursor(), 100u);
    EXPECT_TRUE(music->IsPlaying());
    EXPECT_TRUE(midi->IsPlaying());
    EXPECT_FALSE(silent->IsPlaying());
    // Stopping does not clear the card's mark: the card resumes what it paused.
    EXPECT_TRUE(stoppedMeanwhile->IsPlaying());
    for (SoundBase* s : std::initializer_list<SoundBase*>{playing, silent, stoppedMeanwhile, music})
        EXPECT_FALSE(s->PausedByCard());
    EXPECT_FALSE(midi->PausedByCard());
}

TEST_F(SoundCardTest, ResumeWithoutSuspendRestoresLostBuffersAndStartsNothing) {
    Sound* fx = AddSound("fx");
    auto* music = new StreamedSound("music", "song.wav", false);
    level->StreamedSounds().add(music);
    fx->Buffer()->Lose();
    music->Buffer()->Lose();
    SoundCard::ManageBuffers(true);
    EXPECT_FALSE(fx->IsBufferLost());
    EXPECT_FALSE(music->IsBufferLost());
    EXPECT_FALSE(fx->IsPlaying());
    EXPECT_FALSE(music->IsPlaying());
    Bytes content(4000);
    fx->Buffer()->Read(0, content.data(), 4000);
    EXPECT_EQ(content, Ramp(4000));
    Bytes streamed(music->BufferSize());
    music->Buffer()->Read(0, streamed.data(), music->BufferSize());
    EXPECT_EQ(streamed, music->StagingCopy());
}

TEST_F(SoundCardTest, UpdateBuffersFeedsEveryStreamedSoundOfTheLevel) {
    SoundCard::UpdateBuffers();  // a level without streamed sounds: nothing to do
    auto* a = new StreamedSound("a", "song.wav", true);
    auto* b = new StreamedSound("b", "song.wav", true);
    level->StreamedSounds().add(a);
    level->StreamedSounds().add(b);
    a->Play();
    b->Play();
    a->Buffer()->SetPlayCursor(a->HalfSize() + 1);
    b->Buffer()->SetPlayCursor(b->HalfSize() + 1);
    SoundCard::UpdateBuffers();
    EXPECT_EQ(a->StreamedBytes(), a->HalfSize());
    EXPECT_EQ(b->StreamedBytes(), b->HalfSize());
    gNode = nullptr;
    SoundCard::UpdateBuffers();
    SoundCard::ManageBuffers(false);
    gNode = level;
}

TEST(SoundCardReport, DeviceResultsAreReportedOnTheConsole) {
    WorkDirectory work("qel-sound-report-");
    Console console;
    Console* saved = pConsole;
    pConsole = &console;
    console.Show(false);
    auto text = [&] { return std::string(static_cast<const char*>(console)); };

    SoundCard::DSError("mixer", 12, 0);
    EXPECT_EQ(text(), "");
    EXPECT_FALSE(console.Show());

    SoundCard::DSError("mixer", 12, long(0x88780096));
    EXPECT_TRUE(console.Show());
    std::string expected =
        "DirectSound Error in File mixer Line :12.\nError Code Is DSERR_BUFFERLOST.\nDescription : The buffer memory "
        "has been lost and must be restored.\n";
    EXPECT_EQ(text(), expected);

    SoundCard::DSError("card.cpp", 7, -2147024882);  // 0x8007000E as a negative result
    expected +=
        "DirectSound Error in File card.cpp Line :7.\nError Code Is DSERR_OUTOFMEMORY.\nDescription : The "
        "DirectSound subsystem could not allocate sufficient memory to complete the caller's request.\n";
    EXPECT_EQ(text(), expected);

    SoundCard::DSError("x", 1, 0x12345);
    expected += "DirectSound Error in File x Line :1.\nError Code Is UNKNOWN.\n\n";
    EXPECT_EQ(text(), expected);
    pConsole = saved;
}

}  // namespace
