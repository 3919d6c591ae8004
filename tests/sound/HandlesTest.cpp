#include "SoundFixture.h"
#include "sound/MidiFile.h"
#include "sound/MidiFilePTR.h"
#include "sound/Sound.h"
#include "sound/SoundPTR.h"
#include "sound/StreamedSound.h"
#include "sound/StreamedSoundPTR.h"

using namespace soundtest;

namespace {

class HandlesTest : public SoundTest {};

TEST_F(HandlesTest, UnknownNamesGiveTheSilentPlaceholderAndOneReport) {
    const unsigned reports = UserError::Errors.Size();
    SoundPTR sound("nothing");
    StreamedSoundPTR music("nothing");
    MidiFilePTR midi("nothing");
    EXPECT_EQ(UserError::Errors.Size(), reports + 3);
    EXPECT_EQ(static_cast<Sound*>(sound), SoundPTR::dummySoundPtr);
    EXPECT_EQ(static_cast<StreamedSound*>(music), StreamedSoundPTR::dummyStreamedSoundPtr);
    EXPECT_EQ(static_cast<MidiFile*>(midi), MidiFilePTR::dummyMidiFilePtr);
    sound->Play();
    music->Play();
    music->UpdateBuffer();
    midi->Play();
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_FALSE(music->IsPlaying());
    EXPECT_FALSE(midi->IsPlaying());
    sound->SetVolume(-100);
    sound->SetPan(100);
    EXPECT_EQ(sound->Volume(), 0);
    sound->Stop();
    music->Stop();
    midi->Stop();
    SoundPTR again("nothing");  // the same report is not printed twice
    EXPECT_EQ(UserError::Errors.Size(), reports + 3);
}

TEST_F(HandlesTest, NamesAndPointersOfTheLevel) {
    Sfx("a.wav", Wave(1, 8, 8000, Ramp(8)));
    Music("a.wav", Wave(1, 8, 8000, Ramp(8)));
    Music("a.mid", Midi());
    auto* s = new Sound("s", "a.wav", false, 0);
    auto* m = new StreamedSound("m", "a.wav", false);
    auto* f = new MidiFile("f", "a.mid", false);
    level->Sounds().add(s);
    level->StreamedSounds().add(m);
    level->MidiFiles().add(f);
    EXPECT_EQ(static_cast<Sound*>(SoundPTR("s")), s);
    EXPECT_EQ(static_cast<StreamedSound*>(StreamedSoundPTR("m")), m);
    EXPECT_EQ(static_cast<MidiFile*>(MidiFilePTR("f")), f);

    SoundPTR held(s);
    held = static_cast<Sound*>(nullptr);  // a null pointer keeps the sound
    EXPECT_EQ(static_cast<Sound*>(held), s);
    EXPECT_EQ(&*held, s);
    EXPECT_EQ(static_cast<Sound*>(SoundPTR(static_cast<Sound*>(nullptr))), SoundPTR::dummySoundPtr);
    EXPECT_EQ(static_cast<MidiFile*>(MidiFilePTR()), MidiFilePTR::dummyMidiFilePtr);
    MidiFilePTR tune;
    tune = f;
    EXPECT_EQ(tune.operator->(), f);
}

}  // namespace
