#include <chrono>
#include <memory>

#include "SoundFixture.h"
#include "foundation/FatalExit.h"
#include "platform/MidiPlayer.h"
#include "platform/SynthLibrary.h"
#include "sound/MidiFile.h"

using namespace soundtest;

namespace {

class MidiFileTest : public SoundTest {
protected:
    MidiFile& Tune(bool loop, std::uint16_t ticks = 96) {
        Music("tune.mid", Midi(ticks));
        midi = std::make_unique<MidiFile>("tune", "tune.mid", loop);
        return *midi;
    }
    // The loudest sample in that many frames.
    static int Peak(std::size_t frames) {
        int peak = 0;
        for (std::int16_t v : Render(frames)) peak = std::max(peak, std::abs(int(v)));
        return peak;
    }

    std::unique_ptr<MidiFile> midi;
};

TEST(MidiData, StandardMidiFilesAreRecognised) {
    Bytes good = Midi();
    Bytes formatThree = good;
    formatThree[9] = 3;
    Bytes noDivision = good;
    noDivision[12] = noDivision[13] = 0;
    Bytes trackTooLong = good;
    trackTooLong[20] = 0x7F;
    Bytes noTrack(good.begin(), good.begin() + 14);
    Bytes headerTooLong = good;
    headerTooLong[7] = 0xF0;
    // The synthesizer trusts event lengths: the end-of-track event claiming
    // 127 bytes, and a first event with data but no status byte.
    Bytes metaTooLong = good;
    metaTooLong.back() = 0x7F;
    Bytes noStatus = good;
    noStatus[23] = 0x40;
    const struct {
        const char* what;
        Bytes bytes;
        bool valid;
    } cases[] = {
        {"one track", good, true},
        {"empty", {}, false},
        {"RIFF data", Riff({}), false},
        {"format 3", formatThree, false},
        {"division 0", noDivision, false},
        {"track longer than the file", trackTooLong, false},
        {"header without tracks", noTrack, false},
        {"header longer than the file", headerTooLong, false},
        {"cut in a chunk header", Bytes(good.begin(), good.begin() + 18), false},
        {"meta event longer than its track", metaTooLong, false},
        {"data without a status", noStatus, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qel::MidiPlayer::IsStandardMidiFile(c.bytes.data(), c.bytes.size()), c.valid) << c.what;
}

TEST_F(MidiFileTest, PlaysFromTheMusicFolderAndEndsUnlessLooping) {
    MidiFile& m = Tune(false, 24);
    ASSERT_TRUE(m.HasPerformance());
    EXPECT_FALSE(m.IsPlaying());
    m.Play();
    EXPECT_TRUE(m.IsPlaying());
    EXPECT_TRUE(m.Playing());
    EXPECT_GT(Peak(44100 / 2), 0) << "the note is heard";
    for (int i = 0; i < 20 && m.IsPlaying(); ++i) Render(44100);
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_TRUE(m.Playing());  // still wanted: a display switch plays it again
    m.Play();
    EXPECT_TRUE(m.IsPlaying());
}

// The synthesizer is mapped into the process.
bool SynthesizerLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libfluidsynth") != std::string::npos) return true;
    return false;
}

// Taken before main, when every library the program links is loaded.
const bool synthesizerLoadedAtStart = SynthesizerLoaded();

TEST_F(MidiFileTest, SynthesizerIsLoadedWithTheFirstPerformanceNotAtStart) {
    EXPECT_FALSE(synthesizerLoadedAtStart);
    MidiFile& m = Tune(false, 24);
    ASSERT_TRUE(m.HasPerformance());
    EXPECT_TRUE(SynthesizerLoaded());
    m.Play();
    EXPECT_GT(Peak(44100 / 2), 0);
}

TEST(SynthLibrary, AMissingLibraryOrFunctionIsToldAndLeavesNothingHalfOpen) {
    const struct {
        const char* file;
        const char* told;
    } cases[] = {
        {"libqel-no-such-synthesizer.so.1", "libqel-no-such-synthesizer.so.1"},
        {"libc.so.6", "no function new_fluid_settings"},
    };
    for (const auto& c : cases) {
        qel::SynthLibrary library;
        std::string error;
        EXPECT_FALSE(library.Open(c.file, error)) << c.file;
        EXPECT_NE(error.find(c.told), std::string::npos) << c.file << ": " << error;
        EXPECT_EQ(library.newSettings, nullptr) << c.file;
        EXPECT_EQ(library.setLogFunction, nullptr) << c.file;
    }
}

TEST_F(MidiFileTest, LoopingMusicKeepsPlaying) {
    MidiFile& m = Tune(true, 24);
    m.Play();
    Render(44100 * 8);
    EXPECT_TRUE(m.IsPlaying());
}

TEST_F(MidiFileTest, ProgramResourceIsLoadedFromMemory) {
    Resources({{"midi", "res.mid"}}, {Midi()});
    MidiFile m("res", "res.mid", false);  // no such file in the music folder
    ASSERT_TRUE(m.HasPerformance());
    m.Play();
    EXPECT_TRUE(m.IsPlaying());
}

TEST_F(MidiFileTest, PlayTwiceStartsOnceAndStopRewinds) {
    MidiFile& m = Tune(true);
    m.Play();
    Render(44100 / 4);
    const std::int32_t tick = m.Performance()->CurrentTick();
    EXPECT_GT(tick, 0);
    m.Play();  // already playing: goes on
    EXPECT_GE(m.Performance()->CurrentTick(), tick);
    m.Stop();
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_FALSE(m.Playing());
    EXPECT_EQ(m.ResumePoint(), 0);
    m.Play();
    Render(64);
    EXPECT_LT(m.Performance()->CurrentTick(), tick);
}

TEST_F(MidiFileTest, PauseResumesWhereItStopped) {
    MidiFile& m = Tune(false, 192);
    m.Play();
    Render(44100 / 2);
    m.Pause();
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_FALSE(m.Playing());
    const std::int32_t point = m.ResumePoint();
    EXPECT_GT(point, 0);
    m.Play();
    Render(64);
    EXPECT_GE(m.Performance()->CurrentTick(), point);
}

TEST_F(MidiFileTest, VolumeIsClampedAndNeedsAPerformance) {
    MidiFile& m = Tune(false);
    const struct { int given, kept; } cases[] = {{9000, 5000}, {-9000, -5000}, {-1200, -1200}};
    for (const auto& c : cases) {
        m.SetVolume(c.given);
        EXPECT_EQ(m.Volume(), c.kept) << c.given;
    }
    MidiFile empty;
    empty.SetVolume(300);
    EXPECT_EQ(empty.Volume(), 0);
}

TEST_F(MidiFileTest, LoopFlagChangesTheRepeatsWithoutStarting) {
    MidiFile& m = Tune(false);
    EXPECT_EQ(m.Performance()->Repeats(), 0);
    m.SetLoopFlag(true);
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_EQ(m.Performance()->Repeats(), MidiFile::LoopRepeats);
    m.Play();
    m.SetLoopFlag(false);
    EXPECT_TRUE(m.IsPlaying());
    EXPECT_EQ(m.Performance()->Repeats(), 0);
}

TEST_F(MidiFileTest, SilentObjectStillKeepsItsFlags) {
    MidiFile empty;
    empty.Play();
    EXPECT_TRUE(empty.Playing());
    EXPECT_FALSE(empty.IsPlaying());
    empty.SetLoopFlag(true);
    EXPECT_TRUE(empty.Loop());
    empty.Pause();
    empty.Stop();
    EXPECT_FALSE(empty.Playing());
}

TEST_F(MidiFileTest, SavedRecordFieldByField) {
    MidiFile& m = Tune(true, 192);
    m.Id(4);
    m.SetVolume(-300);
    m.Play();
    Render(44100 / 2);
    m.Pause();
    m.PausedByCard(true);
    const Bytes expected = Record()
                               .Text("tune")
                               .Text("tune.mid")
                               .Bool(true)
                               .Bool(true)
                               .I32(4)
                               .I32(-300)
                               .Bool(false)
                               .I32(m.ResumePoint())
                               .bytes;
    EXPECT_EQ(Saved(m), expected);
}

TEST_F(MidiFileTest, MusicPausedByTheCardPlaysAgainAfterLoad) {
    MidiFile& m = Tune(true, 192);
    m.SetVolume(-300);
    m.Play();
    Render(44100 / 2);
    m.Pause();
    m.PausedByCard(true);
    const Bytes record = Saved(m);

    MidiFile loaded;
    LoadInto(loaded, record);
    EXPECT_TRUE(loaded.IsPlaying());
    EXPECT_TRUE(loaded.Playing());
    EXPECT_FALSE(loaded.PausedByCard());
    EXPECT_EQ(loaded.Volume(), -300);
    EXPECT_TRUE(loaded.Loop());
    Render(64);
    EXPECT_GE(loaded.Performance()->CurrentTick(), m.ResumePoint());
}

TEST_F(MidiFileTest, LoadOfAMissingFileIsSilentNotFatal) {
    const Bytes record =
        Record().Text("gone").Text("gone.mid").Bool(false).Bool(false).I32(1).I32(0).Bool(true).I32(0).bytes;
    MidiFile loaded;
    LoadInto(loaded, record);
    EXPECT_FALSE(loaded.HasPerformance());
    EXPECT_FALSE(loaded.IsPlaying());
    EXPECT_TRUE(loaded.Playing());
}

TEST_F(MidiFileTest, ARecordNamingAFolderADeviceOrAPlaceOutsideTheMusicFolderNeverPlays) {
    Music("tune.mid", Midi());
    std::filesystem::create_directories(root / "Music" / "sub");
    const struct {
        const char* file;
        bool refused;  // the file is corrupt, else merely silent
    } cases[] = {
        {"", false},
        {"sub", false},
        {"../Music/tune.mid", true},
        {"../../../../../../../../dev/zero", true},
        {"/dev/zero", true},
        {"\\dev\\zero", true},
    };
    for (const auto& c : cases) {
        const std::string path = (root / "load.bin").string();
        WriteFile(path, Record().Text("m").Text(c.file).Bool(false).Bool(false).I32(1).I32(0).Bool(true).I32(0).bytes);
        File f(path.c_str(), File::Reading);
        MidiFile loaded;
        loaded.Load(f);
        EXPECT_EQ(f.HasError(), c.refused) << c.file;
        EXPECT_FALSE(loaded.HasPerformance()) << c.file;
        EXPECT_FALSE(loaded.IsPlaying()) << c.file;
    }
}

// The process's resident memory in megabytes.
long ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE) >> 20;
}

TEST_F(MidiFileTest, ThousandsOfRecordsLoadInBoundedMemoryTheOnesBeyondTheBoundSilent) {
    // A save naming a song thousands of times, every record wanting to play.
    // A performance's synthesizer holds megabytes of the soundfont's tables:
    // only so many are made, and the records beyond them load silent.
    Music("tune.mid", Midi());
    constexpr int Records = 3000;
    // The first records' synthesizers take some 13 MB each; thousands of
    // them would take tens of gigabytes.
    constexpr long MemoryBound = 768;
    const Bytes record =
        Record().Text("m").Text("tune.mid").Bool(false).Bool(false).I32(1).I32(0).Bool(true).I32(0).bytes;
    Bytes data;
    for (int id = 1; id <= Records; ++id) {
        Bytes reference(32, 0);
        std::memcpy(reference.data(), "MidiFile", 8);
        Put32(reference, std::uint32_t(id));
        data.insert(data.end(), reference.begin(), reference.end());
        data.insert(data.end(), record.begin(), record.end());
    }
    const std::string path = (root / "records.bin").string();
    WriteFile(path, data);
    const long before = ResidentMegabytes();
    const auto started = std::chrono::steady_clock::now();
    File f(path.c_str(), File::Reading);
    std::vector<std::unique_ptr<node>> loaded;
    int playing = 0;
    for (int i = 0; i < Records; ++i) {
        node* p = nullptr;
        f.Read(p);
        ASSERT_NE(p, nullptr);
        loaded.emplace_back(p);
        if (static_cast<MidiFile*>(p)->IsPlaying()) ++playing;
        // Guards that stop a run without a bound long before it takes the
        // machine's memory, or hangs.
        ASSERT_LT(ResidentMegabytes() - before, MemoryBound) << "after " << i + 1 << " records";
        ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::minutes(5)) << "after " << i + 1;
    }
    EXPECT_FALSE(f.HasError());
    EXPECT_GE(playing, 1);
    EXPECT_LT(playing, 100);
    for (const auto& p : loaded) EXPECT_TRUE(static_cast<MidiFile*>(p.get())->Playing());
    // The game goes on: the music that has a performance is heard.
    Render(44100 / 10);
}

TEST_F(MidiFileTest, PerformancesStopAtABoundAndComeBackAsOthersAreFreed) {
    constexpr std::size_t Tries = 40;
    std::vector<std::unique_ptr<qel::MidiPlayer>> made;
    while (made.size() < Tries) {
        std::unique_ptr<qel::MidiPlayer> player = qel::MidiPlayer::Create();
        if (!player) break;
        made.push_back(std::move(player));
    }
    EXPECT_GE(made.size(), 4u);
    EXPECT_LT(made.size(), Tries);
    EXPECT_FALSE(qel::MidiPlayer::HasRoom());
    made.pop_back();
    EXPECT_TRUE(qel::MidiPlayer::HasRoom());
    EXPECT_TRUE(qel::MidiPlayer::Create());
}

TEST_F(MidiFileTest, SearchReportsAMissingName) {
    Music("tune.mid", Midi());
    auto* m = new MidiFile("Theme", "tune.mid", false);
    level->MidiFiles().add(m);
    EXPECT_EQ(MidiFile::Search("Theme"), m);
    const unsigned reports = UserError::Errors.Size();
    EXPECT_EQ(MidiFile::Search("theme"), nullptr);
    ASSERT_EQ(UserError::Errors.Size(), reports + 1);
    EXPECT_STREQ(UserError::Errors[reports].ErrorMessage, "The MIDI file theme does not exist.");
    EXPECT_STREQ(UserError::Errors[reports].TargetFunction, "MidiFile* MidiFile::Search(char *)");
}

using MidiFileDeathTest = MidiFileTest;

TEST_F(MidiFileDeathTest, MissingOrUnreadableFileEndsTheProgram) {
    Music("bad.mid", Ramp(100));
    EXPECT_EXIT(MidiFile("m", "none.mid", false), testing::ExitedWithCode(FatalExitStatus),
                "The MIDI file none.mid does not exist or its format is not supported.");
    EXPECT_EXIT(MidiFile("m", "bad.mid", false), testing::ExitedWithCode(FatalExitStatus),
                "The MIDI file bad.mid does not exist or its format is not supported.");
}

}  // namespace
