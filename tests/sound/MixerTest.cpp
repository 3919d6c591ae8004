#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "SoundFixture.h"
#include "platform/AudioBuffer.h"
#include "testing/TestHooks.h"

using namespace soundtest;

namespace {

qel::PcmFormat Pcm(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate) {
    qel::PcmFormat f;
    f.formatTag = 1;
    f.channels = channels;
    f.bitsPerSample = bits;
    f.samplesPerSecond = rate;
    f.blockAlign = std::uint16_t(channels * bits / 8);
    f.avgBytesPerSecond = f.blockAlign * rate;
    return f;
}

std::unique_ptr<qel::AudioBuffer> BufferOf(const qel::PcmFormat& format, const Bytes& bytes) {
    auto b = qel::AudioBuffer::Create(format, std::uint32_t(bytes.size()));
    if (b) b->Write(0, bytes.data(), std::uint32_t(bytes.size()));
    return b;
}

TEST(Mixer, DeviceFormatSourcePassesThroughUnchanged) {
    auto b = BufferOf(Pcm(2, 16, 44100), Samples16({100, -200, 32767, -32768, 7, 8}));
    ASSERT_TRUE(b);
    b->Play(false);
    EXPECT_EQ(Render(4), (std::vector<std::int16_t>{100, -200, 32767, -32768, 7, 8, 0, 0}));
    EXPECT_FALSE(b->Status() & qel::AudioBuffer::StatusPlaying);
    EXPECT_EQ(b->PlayCursor(), 0u);  // a one-shot buffer rewinds at its end
}

TEST(Mixer, EightBitAndMonoSourcesAreWidened) {
    auto eight = BufferOf(Pcm(1, 8, 44100), Bytes{0x80, 0xFF, 0x00});
    eight->Play(false);
    EXPECT_EQ(Render(3), (std::vector<std::int16_t>{0, 0, 127 * 256, 127 * 256, -128 * 256, -128 * 256}));
}

TEST(Mixer, VolumeAndPanAttenuateInHundredthsOfADecibel) {
    const struct {
        std::int32_t volume, pan;
        double left, right;
    } cases[] = {
        {0, 0, 1.0, 1.0},      {-600, 0, 0.501, 0.501},  // -6 dB halves
        {-2000, 0, 0.1, 0.1},                            // -20 dB
        {-10000, 0, 0.0, 0.0},                           // the minimum is silence
        {0, -600, 1.0, 0.501},                           // pan left lowers the right side
        {0, 600, 0.501, 1.0},  {0, -10000, 1.0, 0.0},   {-600, 2000, 0.0501, 0.501},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        auto b = BufferOf(Pcm(1, 16, 44100), Samples16({10000}));
        b->SetVolume(c.volume);
        b->SetPan(c.pan);
        b->Play(false);
        const auto out = Render(1);
        EXPECT_NEAR(out[0], 10000 * c.left, 2);
        EXPECT_NEAR(out[1], 10000 * c.right, 2);
    }
}

TEST(Mixer, BuffersAddUpAndClip) {
    auto a = BufferOf(Pcm(1, 16, 44100), Samples16({20000, 100}));
    auto b = BufferOf(Pcm(1, 16, 44100), Samples16({20000, -300}));
    a->Play(false);
    b->Play(false);
    EXPECT_EQ(Render(2), (std::vector<std::int16_t>{32767, 32767, -200, -200}));
}

TEST(Mixer, SlowerSourcesAdvanceTheirCursorAtTheirOwnRate) {
    Bytes ramp;
    for (int i = 0; i < 100; ++i) Put16(ramp, std::uint16_t(i * 100));
    auto b = BufferOf(Pcm(1, 16, 22050), ramp);
    b->Play(false);
    const auto out = Render(8);
    EXPECT_EQ(b->PlayCursor(), 4u * 2);
    // Halfway frames lie between their neighbours.
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 50);
    EXPECT_EQ(out[4], 100);
}

TEST(Mixer, LoopingWrapsAndStopKeepsTheCursor) {
    auto b = BufferOf(Pcm(1, 16, 44100), Samples16({1, 2, 3}));
    b->Play(true);
    EXPECT_TRUE(b->Status() & qel::AudioBuffer::StatusLooping);
    const auto out = Render(7);
    EXPECT_EQ(out, (std::vector<std::int16_t>{1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3, 1, 1}));
    EXPECT_EQ(b->PlayCursor(), 2u);
    b->Stop();
    Render(3);
    EXPECT_EQ(b->PlayCursor(), 2u);
    b->SetPlayCursor(5);  // rounded down to a frame
    EXPECT_EQ(b->PlayCursor(), 4u);
    b->SetPlayCursor(600);  // beyond the end
    EXPECT_EQ(b->PlayCursor(), 0u);
}

TEST(Mixer, LostBufferRefusesUntilRestored) {
    auto b = BufferOf(Pcm(1, 8, 44100), Bytes{1, 2, 3, 4});
    b->Play(true);
    b->Lose();
    EXPECT_EQ(b->Status(), qel::AudioBuffer::StatusLost);
    EXPECT_EQ(b->Play(true), qel::AudioResult::BufferLost);
    const Bytes two{7, 7};
    EXPECT_EQ(b->Write(0, two.data(), 2), qel::AudioResult::BufferLost);
    EXPECT_EQ(b->Restore(), qel::AudioResult::Ok);
    EXPECT_EQ(b->Status(), 0u);
    EXPECT_EQ(b->Write(3, two.data(), 2), qel::AudioResult::Ok);  // cut at the end
    Bytes content(4);
    b->Read(0, content.data(), 4);
    EXPECT_EQ(content[3], 7);
}

TEST(Mixer, UnplayableFormatsGetNoBuffer) {
    EXPECT_FALSE(qel::AudioBuffer::Create(Pcm(2, 16, 44100), 0));
    qel::PcmFormat adpcm = Pcm(1, 16, 8000);
    adpcm.formatTag = 2;
    EXPECT_FALSE(qel::AudioBuffer::Create(adpcm, 100));
    EXPECT_FALSE(qel::AudioBuffer::Create(Pcm(1, 24, 8000), 100));
    EXPECT_FALSE(qel::AudioBuffer::Create(Pcm(1, 16, 400000), 100));
}

TEST(Mixer, BuffersStopAtAMemoryBoundAndComeBackAsOthersAreFreed) {
    // A save or level naming a long sound thousands of times asks for this;
    // the sounds beyond the bound stay silent instead of taking all memory.
    constexpr std::uint32_t OneMegabyte = 1u << 20;
    std::vector<std::unique_ptr<qel::AudioBuffer>> made;
    for (int i = 0; i < 300; ++i) {
        auto buffer = qel::AudioBuffer::Create(Pcm(2, 16, 44100), OneMegabyte);
        if (!buffer) break;
        made.push_back(std::move(buffer));
    }
    EXPECT_GE(made.size(), 64u);
    EXPECT_LE(made.size(), 128u);
    made.pop_back();
    EXPECT_TRUE(qel::AudioBuffer::Create(Pcm(2, 16, 44100), OneMegabyte));
}

}  // namespace

namespace {

// The device's own thread mixes too: a short one-shot buffer runs to its end.
TEST(Mixer, DeviceThreadPlaysBuffers) {
    auto b = BufferOf(Pcm(2, 16, 44100), Bytes(4 * 2205, 0));  // 50 ms
    ASSERT_TRUE(b);
    qel::UseManualMixing(false);
    b->Play(false);
    for (int i = 0; i < 500 && (b->Status() & qel::AudioBuffer::StatusPlaying); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    qel::UseManualMixing(true);
    EXPECT_FALSE(b->Status() & qel::AudioBuffer::StatusPlaying);
}

}  // namespace
