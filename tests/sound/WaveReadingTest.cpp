#include "SoundFixture.h"
#include "platform/AudioBuffer.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"
#include "sound/WaveSource.h"

using namespace soundtest;

namespace {

class WaveReadingTest : public SoundTest {
protected:
    // Opens the bytes as an SFX file; the source's result.
    std::int32_t OpenBytes(WaveSource& source, const Bytes& bytes) {
        Sfx("w.wav", bytes);
        return source.Open((root / "SFX" / "w.wav").string());
    }
};

TEST_F(WaveReadingTest, PcmFormatsReadAsStored) {
    struct Case {
        std::uint16_t channels, bits;
        std::uint32_t rate;
    };
    for (Case c : {Case{1, 8, 11025}, Case{2, 8, 22050}, Case{1, 16, 44100}, Case{2, 16, 44100}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch, " << c.bits << " bits");
        WaveSource source;
        ASSERT_EQ(OpenBytes(source, Wave(c.channels, c.bits, c.rate, Ramp(40))), WaveSource::Ok);
        const WaveFormat* f = source.Format();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->formatTag, 1);
        EXPECT_EQ(f->channels, c.channels);
        EXPECT_EQ(f->bitsPerSample, c.bits);
        EXPECT_EQ(f->samplesPerSecond, c.rate);
        EXPECT_EQ(f->blockAlign, c.channels * c.bits / 8);
        EXPECT_EQ(f->extraSize, 0);
        EXPECT_EQ(f->StoredSize(), 18u);
        ASSERT_EQ(source.SeekData(), WaveSource::Ok);
        EXPECT_EQ(source.DataLength(), 40u);
        Bytes got(40);
        std::uint32_t n = 0;
        EXPECT_EQ(source.Read(100, got.data(), &n), WaveSource::Ok);
        EXPECT_EQ(n, 40u);
        EXPECT_EQ(got, Ramp(40));
    }
}

TEST_F(WaveReadingTest, ReadAndSkipCountDownTheDataAndRewind) {
    WaveSource source;
    ASSERT_EQ(OpenBytes(source, Wave(1, 8, 8000, Ramp(10))), WaveSource::Ok);
    source.SeekData();
    Bytes got(4);
    std::uint32_t n = 0;
    source.Read(4, got.data(), &n);
    EXPECT_EQ(got, Ramp(4));
    source.Skip(3);
    EXPECT_EQ(source.DataLeft(), 3u);
    source.Read(4, got.data(), &n);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), Ramp(3, 7));
    source.Read(4, got.data(), &n);
    EXPECT_EQ(n, 0u);
    source.SeekData();
    EXPECT_EQ(source.DataLeft(), 10u);
}

TEST_F(WaveReadingTest, ChunksAreFoundPastOthersAndOddPadding) {
    // An odd-sized chunk before "fmt " and another before "data", each padded.
    const Bytes bytes = Riff({Chunk("LIST", Bytes{1, 2, 3}), Chunk("fmt ", FmtBody(1, 8, 8000)),
                              Chunk("fact", Bytes{9}), Chunk("data", Ramp(5))});
    WaveSource source;
    ASSERT_EQ(OpenBytes(source, bytes), WaveSource::Ok);
    ASSERT_EQ(source.SeekData(), WaveSource::Ok);
    Bytes got(5);
    std::uint32_t n = 0;
    source.Read(5, got.data(), &n);
    EXPECT_EQ(got, Ramp(5));
}

TEST_F(WaveReadingTest, NonPcmFormatKeepsItsExtraBytes) {
    Bytes fmt = FmtBody(1, 4, 8000, 2);
    Put16(fmt, 2);
    fmt.insert(fmt.end(), {0xAB, 0xCD});
    WaveSource source;
    ASSERT_EQ(OpenBytes(source, Riff({Chunk("fmt ", fmt), Chunk("data", Ramp(8))})), WaveSource::Ok);
    EXPECT_EQ(source.Format()->formatTag, 2);
    EXPECT_EQ(source.Format()->extraSize, 2);
    EXPECT_EQ(source.Format()->StoredSize(), 20u);
    EXPECT_EQ(source.Format()->extra, (Bytes{0xAB, 0xCD}));
}

TEST_F(WaveReadingTest, MalformedSourcesAreRefused) {
    Bytes fmt14 = FmtBody(1, 8, 8000);
    fmt14.resize(14);
    Bytes extraBeyondChunk = FmtBody(1, 4, 8000, 2);
    Put16(extraBeyondChunk, 500);  // 500 extra bytes claimed, none present in the chunk
    Bytes notWave = Wave(1, 8, 8000, Ramp(4));
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes notRiff = Wave(1, 8, 8000, Ramp(4));
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes truncatedFmt = Wave(1, 8, 8000, Ramp(4));
    truncatedFmt.resize(12 + 8 + 10);
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"header only", Bytes(notRiff.begin(), notRiff.begin() + 8)},
        {"not RIFF", notRiff},
        {"not WAVE", notWave},
        {"fmt of 14 bytes", Riff({Chunk("fmt ", fmt14), Chunk("data", Ramp(4))})},
        {"no fmt", Riff({Chunk("data", Ramp(4))})},
        {"fmt cut by the end of the file", truncatedFmt},
        {"extra bytes beyond the fmt chunk", Riff({Chunk("fmt ", extraBeyondChunk), Chunk("data", Ramp(4))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WaveSource source;
        EXPECT_EQ(OpenBytes(source, c.bytes), WaveSource::Fail);
        EXPECT_EQ(source.Format(), nullptr);
    }
    WaveSource missing;
    EXPECT_EQ(missing.Open((root / "SFX" / "none.wav").string()), WaveSource::Fail);
}

TEST_F(WaveReadingTest, ChunkSizesBeyondTheFileAreCutToWhatIsThere) {
    // A hostile data size must not make the sound hold gigabytes.
    const Bytes bytes = Riff({Chunk("fmt ", FmtBody(1, 8, 8000)), Chunk("data", Ramp(6), 0xFFFFFFF0)}, 0x7FFFFFF0);
    WaveSource source;
    ASSERT_EQ(OpenBytes(source, bytes), WaveSource::Ok);
    ASSERT_EQ(source.SeekData(), WaveSource::Ok);
    EXPECT_EQ(source.DataLength(), 6u);
    Sound sound("s", "w.wav", false, 0);
    ASSERT_TRUE(sound.HasBuffer());
    EXPECT_EQ(sound.BufferSize(), 6u);

    // A truncated data chunk plays what it has.
    Bytes cut = Wave(1, 8, 8000, Ramp(100));
    cut.resize(cut.size() - 60);
    Sfx("cut.wav", cut);
    Sound truncated("t", "cut.wav", false, 0);
    ASSERT_TRUE(truncated.HasBuffer());
    EXPECT_EQ(truncated.BufferSize(), 40u);
}

TEST_F(WaveReadingTest, SourcesWithoutPlayableDataAreSilent) {
    Bytes badAlign = FmtBody(2, 16, 44100);
    badAlign[12] = 3;  // block alignment that does not match 2 x 16 bits
    Bytes hugeRate = FmtBody(2, 16, 44100);
    hugeRate[8] = hugeRate[9] = hugeRate[10] = hugeRate[11] = 0xFF;  // byte rate 4 GB/s
    // A playable format without data still gets a streaming buffer (of silence).
    const struct {
        const char* what;
        Bytes bytes;
        bool formatPlayable = false;
    } cases[] = {
        {"no data chunk", Riff({Chunk("fmt ", FmtBody(1, 8, 8000))}), true},
        {"empty data", Wave(1, 8, 8000, {}), true},
        {"12-bit samples", Riff({Chunk("fmt ", FmtBody(1, 12, 8000)), Chunk("data", Ramp(8))})},
        {"six channels", Riff({Chunk("fmt ", FmtBody(6, 16, 8000)), Chunk("data", Ramp(24))})},
        {"mismatched block alignment", Riff({Chunk("fmt ", badAlign), Chunk("data", Ramp(8))})},
        {"hostile byte rate", Riff({Chunk("fmt ", hugeRate), Chunk("data", Ramp(8))})},
        {"garbage", Ramp(64)},
        {"fmt size hiding the data", Riff({Chunk("fmt ", FmtBody(1, 8, 8000), 0xFFFFFFF0), Chunk("data", Ramp(8))}),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sfx("x.wav", c.bytes);
        Music("x.wav", c.bytes);
        Sound sound("s", "x.wav", true, 50);
        StreamedSound music("m", "x.wav", true);
        std::vector<SoundBase*> silent{&sound};
        if (!c.formatPlayable) silent.push_back(&music);
        for (SoundBase* s : silent) {
            EXPECT_FALSE(s->HasBuffer());
            s->Play();
            EXPECT_FALSE(s->IsPlaying());
            s->Pause();
            s->Stop();
            s->SetVolume(-100);
            EXPECT_EQ(s->Volume(), 0);
            EXPECT_TRUE(s->IsBufferLost());
            EXPECT_FALSE(s->RestoreBuffer());
        }
        music.UpdateBuffer();
    }
}

TEST_F(WaveReadingTest, ProgramResourceWinsOverAFileOfTheSameName) {
    Sfx("boom.wav", Wave(1, 8, 8000, Ramp(10)));
    Resources({{"WAVE", "boom.wav"}}, {Wave(1, 8, 8000, Ramp(4, 100))});
    Sound sound("boom", "boom.wav", false, 0);
    ASSERT_TRUE(sound.HasBuffer());
    Bytes got(4);
    sound.Buffer()->Read(0, got.data(), 4);
    EXPECT_EQ(sound.BufferSize(), 4u);
    EXPECT_EQ(got, Ramp(4, 100));
}

TEST_F(WaveReadingTest, BuffersArePaddedWithTheFormatsSilence) {
    // A streamed buffer is two seconds; a short source leaves silence behind its data.
    for (std::uint16_t bits : {8, 16}) {
        SCOPED_TRACE(bits);
        Music("short.wav", Wave(1, bits, 8000, Ramp(10, 1)));
        StreamedSound music("m", "short.wav", false);
        ASSERT_TRUE(music.HasBuffer());
        const std::uint32_t size = 2 * 8000 * (bits / 8);
        ASSERT_EQ(music.BufferSize(), size);
        Bytes content(size);
        music.Buffer()->Read(0, content.data(), size);
        Bytes expected = Ramp(10, 1);
        expected.resize(size, bits == 8 ? 0x80 : 0x00);
        EXPECT_EQ(content, expected);
        EXPECT_EQ(music.StagingCopy(), expected);
    }
}

TEST_F(WaveReadingTest, BufferSizes) {
    Sfx("fx.wav", Wave(2, 16, 44100, Ramp(1000)));
    Music("song.wav", Wave(2, 16, 44100, Ramp(4000)));
    Sound fx("fx", "fx.wav", false, 0);
    StreamedSound song("song", "song.wav", false);
    EXPECT_EQ(fx.BufferSize(), 1000u);
    EXPECT_EQ(song.BufferSize(), 352800u);
    EXPECT_EQ(song.HalfSize(), 176400u);
}

}  // namespace
