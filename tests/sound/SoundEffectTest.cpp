#include "SoundFixture.h"
#include "platform/AudioBuffer.h"
#include "sound/Sound.h"

using namespace soundtest;

namespace {

class SoundEffectTest : public SoundTest {
protected:
    // A stereo 16-bit effect at the device's rate: 4 bytes per rendered frame.
    Sound& Effect(std::uint32_t bytes, int percentage, bool loop = false) {
        Sfx("fx.wav", Wave(2, 16, 44100, Ramp(bytes)));
        sound = std::make_unique<Sound>("fx", "fx.wav", loop, percentage);
        return *sound;
    }
    static std::uint32_t Cursor(Sound& s) { return s.Buffer()->PlayCursor(); }

    std::unique_ptr<Sound> sound;
};

TEST_F(SoundEffectTest, PlayPercentageIsClamped) {
    const struct { int given, kept; } cases[] = {{150, 100}, {100, 100}, {50, 50}, {0, 0}, {-3, 0}};
    for (const auto& c : cases) {
        Sound& s = Effect(40, c.given);
        EXPECT_EQ(s.PlayPercentage(), c.kept) << c.given;
        s.SetPlayPercentage(c.given);
        EXPECT_EQ(s.PlayPercentage(), c.kept) << c.given;
    }
}

TEST_F(SoundEffectTest, PlayWhilePlayingRestartsOnlyPastThePercentage) {
    const struct {
        int percentage;
        std::uint32_t cursor;
        bool restarts;
    } cases[] = {
        {50, 4996, false},  // 4999 rounded down to the frame: below 5000
        {50, 5000, true},  {0, 0, true},
        {0, 4000, true},   {100, 9996, false},  // the cursor never reaches the buffer's length
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.percentage << "% at " << c.cursor);
        Sound& s = Effect(10000, c.percentage);
        s.Play();
        s.Buffer()->SetPlayCursor(c.cursor);
        s.Play();
        EXPECT_TRUE(s.IsPlaying());
        EXPECT_EQ(Cursor(s), c.restarts ? 0u : c.cursor);
    }
}

TEST_F(SoundEffectTest, PlaysToItsEndOnceOrLoops) {
    Sound& once = Effect(400, 100);
    once.Play();
    Render(99);
    EXPECT_TRUE(once.IsPlaying());
    Render(1);
    EXPECT_FALSE(once.IsPlaying());

    Sound& looping = Effect(400, 100, true);
    looping.Play();
    Render(250);
    EXPECT_TRUE(looping.IsPlaying());
    EXPECT_EQ(Cursor(looping), 200u);
}

TEST_F(SoundEffectTest, PauseResumesWhereItWasAndStopGoesBackToTheStart) {
    Sound& s = Effect(4000, 100);
    s.Play();
    Render(100);
    s.Pause();
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_EQ(s.SavedPlayPosition(), 400u);
    Render(50);
    s.Play();
    EXPECT_EQ(Cursor(s), 400u);

    s.Pause();
    s.Stop();
    s.Play();
    EXPECT_EQ(Cursor(s), 0u);
}

TEST_F(SoundEffectTest, AResumeHappensOnceThenTheEffectStartsFromTheTop) {
    // A pause (a lost focus) must not shorten every later play of the effect.
    Sound& s = Effect(400, 100);
    s.Play();
    Render(60);
    s.Pause();
    s.Play();
    Render(100);
    EXPECT_FALSE(s.IsPlaying());
    s.Play();
    EXPECT_EQ(Cursor(s), 0u);
}

TEST_F(SoundEffectTest, VolumeAndPanAreClampedAndApplied) {
    const struct {
        int volume, keptVolume, pan, keptPan;
    } cases[] = {{5, 0, 12000, 10000}, {-20000, -10000, -12000, -10000}, {-300, -300, 250, 250}};
    for (const auto& c : cases) {
        Sound& s = Effect(40, 0);
        s.SetVolume(c.volume);
        s.SetPan(c.pan);
        EXPECT_EQ(s.Volume(), c.keptVolume);
        EXPECT_EQ(s.Pan(), c.keptPan);
    }
    Sfx("one.wav", Wave(1, 16, 44100, Samples16({10000})));
    Sound quiet("q", "one.wav", false, 0);
    quiet.SetVolume(-10000);
    quiet.Play();
    EXPECT_EQ(Render(1), (std::vector<std::int16_t>{0, 0}));
}

TEST_F(SoundEffectTest, LostBufferIsRestoredAndRefilledWhenStarted) {
    Sound& s = Effect(40, 100);
    s.Buffer()->Lose();
    EXPECT_TRUE(s.IsBufferLost());
    s.Play();
    EXPECT_TRUE(s.IsPlaying());
    Bytes content(40);
    s.Buffer()->Read(0, content.data(), 40);
    EXPECT_EQ(content, Ramp(40));
}

TEST_F(SoundEffectTest, SearchFindsTheCurrentLevelsSoundByExactName) {
    Sfx("a.wav", Wave(1, 8, 8000, Ramp(4)));
    auto* a = new Sound("Boom", "a.wav", false, 0);
    auto* b = new Sound("Bang", "a.wav", false, 0);
    level->Sounds().add(a);
    level->Sounds().add(b);
    EXPECT_EQ(Sound::Search("Boom"), a);
    EXPECT_EQ(Sound::Search("Bang"), b);

    const unsigned reports = UserError::Errors.Size();
    EXPECT_EQ(Sound::Search("boom"), nullptr);
    EXPECT_EQ(Sound::Search("boom"), nullptr);  // the same report is not repeated
    ASSERT_EQ(UserError::Errors.Size(), reports + 1);
    const UserError& report = UserError::Errors[reports];
    EXPECT_STREQ(report.ErrorMessage, "The sound file boom does not exist.");
    EXPECT_STREQ(report.TargetFunction, "Sound* Sound::Search(char *)");
}

TEST_F(SoundEffectTest, SavedRecordFieldByField) {
    Sound& s = Effect(4000, 70, true);
    s.Id(3);
    s.SetVolume(-500);
    s.SetPan(1200);
    s.Play();
    Render(25);
    const Bytes expected = Record()
                               .Text("fx")
                               .Text("fx.wav")
                               .I32(-500)
                               .I32(1200)
                               .I32(0)
                               .I32(3)
                               .U32(100)  // the playing sound's position
                               .Bool(true)
                               .Bool(false)
                               .Bool(false)
                               .I32(70)
                               .Bool(true)
                               .U32(100)
                               .bytes;
    EXPECT_EQ(Saved(s), expected);
    EXPECT_EQ(s.SavedPlayPosition(), 0u);  // saving changes nothing in the live sound
}

TEST_F(SoundEffectTest, LoadRebuildsTheBufferAndResumesAPlayingSound) {
    Sound& s = Effect(4000, 70, true);
    s.SetVolume(-500);
    s.Play();
    Render(25);
    const Bytes record = Saved(s);
    s.Stop();

    Sound loaded;
    LoadInto(loaded, record);
    EXPECT_STREQ(loaded.Name(), "fx");
    EXPECT_STREQ(loaded.FileName(), "fx.wav");
    EXPECT_EQ(loaded.PlayPercentage(), 70);
    EXPECT_EQ(loaded.Volume(), -500);
    EXPECT_TRUE(loaded.Loop());
    ASSERT_TRUE(loaded.HasBuffer());
    EXPECT_TRUE(loaded.IsPlaying());
    EXPECT_EQ(loaded.Buffer()->PlayCursor(), 100u);
    EXPECT_EQ(Saved(loaded), record);
}

TEST_F(SoundEffectTest, ASilentSoundSavesAndLoadsItsRecordUnchanged) {
    Sound loaded;
    const Bytes record = Record()
                             .Text("ghost")
                             .Text("missing.wav")
                             .I32(-700)
                             .I32(300)
                             .I32(0)
                             .I32(9)
                             .U32(1234)
                             .Bool(false)
                             .Bool(true)
                             .Bool(false)
                             .I32(40)
                             .Bool(true)
                             .U32(0)
                             .bytes;
    LoadInto(loaded, record);
    EXPECT_FALSE(loaded.HasBuffer());
    EXPECT_FALSE(loaded.IsPlaying());
    Bytes again = record;
    again[again.size() - 5] = 0;  // not playing now
    EXPECT_EQ(Saved(loaded), again);
}

}  // namespace
