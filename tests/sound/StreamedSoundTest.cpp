#include "SoundFixture.h"
#include "platform/AudioBuffer.h"
#include "sound/StreamedSound.h"

using namespace soundtest;

namespace {

// Mono 8-bit music at 8000 Hz: a 16000-byte buffer of two 8000-byte halves.
constexpr std::uint32_t Buffer = 16000;
constexpr std::uint32_t Half = 8000;

class StreamedSoundTest : public SoundTest {
protected:
    StreamedSound& Song(std::uint32_t dataBytes, bool loop) {
        Music("song.wav", Wave(1, 8, 8000, Ramp(dataBytes)));
        song = std::make_unique<StreamedSound>("song", "song.wav", loop);
        return *song;
    }
    // Puts the cursor at offset and runs the frame's update.
    static void UpdateAt(StreamedSound& s, std::uint32_t offset) {
        s.Buffer()->SetPlayCursor(offset);
        s.UpdateBuffer();
    }
    static Bytes Content(StreamedSound& s, std::uint32_t offset, std::uint32_t n) {
        Bytes b(n);
        s.Buffer()->Read(offset, b.data(), n);
        return b;
    }
    static void ExpectStagingMatchesBuffer(StreamedSound& s) { EXPECT_EQ(Content(s, 0, Buffer), s.StagingCopy()); }
    // Ramp bytes [from, from + n) of the data, then silence up to `size`.
    static Bytes Data(std::uint32_t from, std::uint32_t n, std::uint32_t size = 0) {
        Bytes b = Ramp(n, from);
        if (size > n) b.resize(size, 0x80);
        return b;
    }

    std::unique_ptr<StreamedSound> song;
};

TEST_F(StreamedSoundTest, ConstructionPrimesBufferAndStagingCopyWithTheStart) {
    StreamedSound& s = Song(40000, false);
    EXPECT_EQ(s.HalfSize(), Half);
    EXPECT_EQ(Content(s, 0, Buffer), Data(0, Buffer));
    ExpectStagingMatchesBuffer(s);
}

TEST_F(StreamedSoundTest, EachHalfCrossingRefillsTheHalfThatFinished) {
    StreamedSound& s = Song(40000, false);
    s.Play();
    UpdateAt(s, 100);
    UpdateAt(s, 7000);  // still the first half: nothing
    EXPECT_EQ(Content(s, 0, Half), Data(0, Half));
    EXPECT_EQ(s.StreamedBytes(), 0u);

    UpdateAt(s, Half + 10);  // into the second half: the first gets the next second
    EXPECT_EQ(Content(s, 0, Half), Data(Buffer, Half));
    EXPECT_EQ(s.StreamedBytes(), Half);
    UpdateAt(s, Half + 500);
    EXPECT_EQ(s.StreamedBytes(), Half);

    UpdateAt(s, 20);  // wrapped: the second half gets the one after
    EXPECT_EQ(Content(s, Half, Half), Data(Buffer + Half, Half));
    EXPECT_EQ(s.StreamedBytes(), 2 * Half);
    ExpectStagingMatchesBuffer(s);
    EXPECT_EQ(s.LastPlayCursor(), 20u);
}

TEST_F(StreamedSoundTest, DataEndingInTheFirstHalfStopsOnlyAfterTheCursorWraps) {
    StreamedSound& s = Song(20000, false);
    s.Play();
    UpdateAt(s, Half + 10);
    EXPECT_TRUE(s.Ending());
    EXPECT_EQ(s.EndPosition(), 4000u);
    EXPECT_EQ(Content(s, 0, Half), Data(Buffer, 4000, Half));
    ExpectStagingMatchesBuffer(s);

    UpdateAt(s, Buffer - 4);  // the rest of the second half still plays
    EXPECT_TRUE(s.IsPlaying());
    UpdateAt(s, 100);  // wrapped, the last bytes play
    EXPECT_TRUE(s.IsPlaying());
    UpdateAt(s, 4000);
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_FALSE(s.Ending());
    EXPECT_EQ(s.Buffer()->PlayCursor(), 0u);
    EXPECT_EQ(Content(s, 0, Buffer), Data(0, Buffer));  // primed for the next start
    ExpectStagingMatchesBuffer(s);
}

TEST_F(StreamedSoundTest, DataEndingInTheSecondHalfStopsWhereItEnds) {
    StreamedSound& s = Song(27000, false);
    s.Play();
    UpdateAt(s, Half + 10);
    UpdateAt(s, 10);
    EXPECT_TRUE(s.Ending());
    EXPECT_EQ(s.EndPosition(), Half + 3000);
    UpdateAt(s, Half + 2999);
    EXPECT_TRUE(s.IsPlaying());
    UpdateAt(s, Half + 3000);
    EXPECT_FALSE(s.IsPlaying());
}

TEST_F(StreamedSoundTest, ShortSourceWithoutLoopPlaysItsSilenceAndStops) {
    StreamedSound& s = Song(5000, false);
    EXPECT_EQ(Content(s, 0, Buffer), Data(0, 5000, Buffer));
    s.Play();
    UpdateAt(s, Half);
    EXPECT_TRUE(s.Ending());
    EXPECT_EQ(s.EndPosition(), 0u);
    UpdateAt(s, Buffer - 2);
    EXPECT_TRUE(s.IsPlaying());
    UpdateAt(s, 0);
    EXPECT_FALSE(s.IsPlaying());
}

TEST_F(StreamedSoundTest, LoopingSourceContinuesWithItsStartInTheSameHalf) {
    StreamedSound& s = Song(20000, true);
    s.Play();
    UpdateAt(s, Half + 10);
    EXPECT_FALSE(s.Ending());
    Bytes expected = Data(Buffer, 4000);
    const Bytes start = Data(0, 4000);
    expected.insert(expected.end(), start.begin(), start.end());
    EXPECT_EQ(Content(s, 0, Half), expected);
    EXPECT_EQ(s.StreamedBytes(), 4000u);
    UpdateAt(s, 10);
    EXPECT_EQ(Content(s, Half, Half), Data(4000, Half));
    ExpectStagingMatchesBuffer(s);
}

TEST_F(StreamedSoundTest, StopThenPlayStartsFromTheBeginning) {
    StreamedSound& s = Song(40000, true);
    s.Play();
    UpdateAt(s, Half + 10);
    UpdateAt(s, 10);
    s.Stop();
    EXPECT_FALSE(s.IsPlaying());
    EXPECT_EQ(s.LastPlayCursor(), 0u);
    EXPECT_EQ(s.StreamedBytes(), 0u);
    EXPECT_EQ(Content(s, 0, Buffer), Data(0, Buffer));
    ExpectStagingMatchesBuffer(s);
    s.Play();
    EXPECT_EQ(s.Buffer()->PlayCursor(), 0u);
}

TEST_F(StreamedSoundTest, LostBufferIsRefilledFromTheStagingCopy) {
    StreamedSound& s = Song(40000, false);
    s.Play();
    UpdateAt(s, Half + 10);
    s.Buffer()->Lose();
    s.Play();
    EXPECT_TRUE(s.IsPlaying());
    ExpectStagingMatchesBuffer(s);
}

// Played through the mixer frame by frame, the music comes out exactly as its
// data: every refill lands in time and in order.
TEST_F(StreamedSoundTest, RenderedOutputIsTheSourceInOrder) {
    constexpr std::uint32_t Frames = 44100 * 3 + 12345;  // 3.3 seconds
    Bytes data;
    for (std::uint32_t i = 0; i < Frames; ++i) Put16(data, std::uint16_t(i % 32000));
    for (bool loop : {true, false}) {
        SCOPED_TRACE(loop ? "looping" : "once");
        Render(441);  // the fade-out of the sound of the turn before
        Music("long.wav", Wave(1, 16, 44100, data));
        StreamedSound s("long", "long.wav", loop);
        s.Play();
        std::vector<std::int16_t> heard;
        for (int frame = 0; frame < 60 * 8; ++frame) {  // eight seconds at 60 frames a second
            const auto out = Render(735);
            for (std::size_t i = 0; i < out.size(); i += 2) heard.push_back(out[i]);
            s.UpdateBuffer();
        }
        for (std::size_t i = 0; i < heard.size(); ++i) {
            const std::int16_t expected = loop || i < Frames ? std::int16_t((i % Frames) % 32000) : 0;
            ASSERT_EQ(heard[i], expected) << "frame " << i;
        }
        EXPECT_EQ(s.IsPlaying(), loop);
    }
}

// Played through the mixer at a steady frame rate, music that does not loop
// stops between the end of its data and one buffer later, whatever its length
// and however far the cursor moves between two frames (the end may lie just
// before the wrap and be stepped over).
TEST_F(StreamedSoundTest, EveryLengthEndsWithinOneBufferAtEveryFrameRate) {
    struct Case {
        std::uint16_t channels, bits;
        std::uint32_t rate;
    };
    const Case formats[] = {{1, 8, 8000}, {2, 16, 22050}, {2, 16, 44100}};
    // Data lengths in thousandths of a buffer: shorter than a half, ending in
    // either half, just before the wrap, exactly on half and buffer borders.
    const std::uint32_t lengths[] = {10, 300, 500, 999, 1000, 1001, 1250, 1499, 1500, 1750, 1997, 1999, 2000, 3333};
    const int frameRates[] = {1, 7, 15, 30, 60, 75, 144};
    constexpr std::uint32_t DeviceRate = 44100;
    for (const Case& format : formats) {
        const std::uint32_t block = format.channels * format.bits / 8u;
        const std::uint32_t bufferBytes = 2 * format.rate * block;
        for (std::uint32_t thousandths : lengths) {
            const std::uint32_t frames = std::uint32_t(std::uint64_t(bufferBytes) * thousandths / 1000 / block);
            Music("end.wav", Wave(format.channels, format.bits, format.rate, Bytes(std::size_t(frames) * block, 0x80)));
            const double seconds = double(frames) / format.rate;
            for (int fps : frameRates) {
                SCOPED_TRACE(testing::Message() << format.rate << " Hz, " << format.bits << " bits, " << frames
                                                << " frames of data, " << fps << " frames a second");
                StreamedSound s("end", "end.wav", false);
                ASSERT_EQ(s.Buffer()->Size(), bufferBytes);
                s.Play();
                std::uint64_t rendered = 0;
                const std::uint64_t limit = std::uint64_t((seconds + 4.0) * DeviceRate);
                while (s.IsPlaying() && rendered < limit) {
                    const std::uint32_t step = DeviceRate / std::uint32_t(fps);
                    Render(step);
                    rendered += step;
                    s.UpdateBuffer();
                }
                const double stoppedAt = double(rendered) / DeviceRate;
                EXPECT_FALSE(s.IsPlaying());
                EXPECT_GE(stoppedAt + 1e-9, seconds);
                EXPECT_LE(stoppedAt, seconds + 2.0 + 1.0 / fps + 1e-3);
            }
        }
    }
}

TEST_F(StreamedSoundTest, SavedRecordFieldByField) {
    StreamedSound& s = Song(40000, true);
    s.Id(2);
    s.Play();
    UpdateAt(s, Half + 8);
    const Bytes expected = Record()
                               .Text("song")
                               .Text("song.wav")
                               .I32(0)
                               .I32(0)
                               .I32(Half)
                               .I32(2)
                               .U32(Half + 8)
                               .Bool(true)
                               .Bool(false)
                               .Bool(true)
                               .U32(Half + 8)
                               .U32(Half)
                               .U32(0)
                               .Bool(false)
                               .Bool(true)
                               .U32(Half + 8)
                               .bytes;
    EXPECT_EQ(Saved(s), expected);
}

TEST_F(StreamedSoundTest, LoadResumesWithBufferAndStagingCopyInAgreement) {
    StreamedSound& s = Song(40000, true);
    s.Play();
    UpdateAt(s, Half + 8);
    const Bytes record = Saved(s);
    s.Stop();

    StreamedSound loaded;
    LoadInto(loaded, record);
    ASSERT_TRUE(loaded.HasBuffer());
    EXPECT_TRUE(loaded.IsPlaying());
    EXPECT_EQ(loaded.Buffer()->PlayCursor(), Half + 8);
    EXPECT_EQ(loaded.StreamedBytes(), Half);
    EXPECT_EQ(loaded.HalfSize(), Half);
    EXPECT_EQ(Content(loaded, 0, Buffer), Data(Half, Buffer));
    EXPECT_EQ(Content(loaded, 0, Buffer), loaded.StagingCopy());
    UpdateAt(loaded, 16);  // the next refill follows on from the buffer
    EXPECT_EQ(Content(loaded, Half, Half), Data(Half + Buffer, Half));
}

TEST_F(StreamedSoundTest, CorruptRecordCannotReachBeyondTheBuffer) {
    StreamedSound& s = Song(40000, true);
    Bytes record = Saved(s);
    // half size, end position and last cursor far beyond the buffer
    const std::size_t tail = record.size() - (4 + 4 + 4 + 1 + 1 + 4);
    for (std::size_t i = 0; i < 12; ++i) record[tail + i] = 0xF0;
    StreamedSound loaded;
    LoadInto(loaded, record);
    EXPECT_EQ(loaded.HalfSize(), Half);
    loaded.Play();
    UpdateAt(loaded, Half + 2);
    UpdateAt(loaded, 2);
    ExpectStagingMatchesBuffer(loaded);
}

TEST_F(StreamedSoundTest, SearchReportsAMissingName) {
    StreamedSound& s = Song(100, false);
    level->StreamedSounds().add(song.release());
    EXPECT_EQ(StreamedSound::Search("song"), &s);
    const unsigned reports = UserError::Errors.Size();
    EXPECT_EQ(StreamedSound::Search("Song"), nullptr);
    ASSERT_EQ(UserError::Errors.Size(), reports + 1);
    EXPECT_STREQ(UserError::Errors[reports].ErrorMessage, "The streamed sound file Song does not exist.");
    EXPECT_STREQ(UserError::Errors[reports].TargetFunction, "StreamedSound* StreamedSound::Search(char *)");
}

}  // namespace
