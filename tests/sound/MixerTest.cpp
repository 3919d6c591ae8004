#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "SoundFixture.h"
#include "platform/AudioBuffer.h"
#include "platform/AudioDevice.h"
#include "platform/DialogModalInternal.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
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

// A looping mono buffer of 2000 frames: 20000 in its first half, -20000 in
// its second, so that a jump from one half to the other is a step of 40000.
std::unique_ptr<qel::AudioBuffer> TwoLevels() {
    Bytes data;
    for (int i = 0; i < 2000; ++i) Put16(data, std::uint16_t(std::int16_t(i < 1000 ? 20000 : -20000)));
    return BufferOf(Pcm(1, 16, 44100), data);
}

// The largest step between two neighbouring frames of the left channel.
int LargestStep(const std::vector<std::int16_t>& before, const std::vector<std::int16_t>& after) {
    std::vector<int> left;
    for (const auto* part : {&before, &after})
        for (std::size_t i = 0; i < part->size(); i += 2) left.push_back((*part)[i]);
    int largest = 0;
    for (std::size_t i = 1; i < left.size(); ++i) largest = std::max(largest, std::abs(left[i] - left[i - 1]));
    return largest;
}

// A playing sound that stops, pauses, goes away, jumps, falls silent or
// resumes mid-sound is not cut: the step it makes is spread over a few
// milliseconds, so the player hears no click (at a level switch, a pause, a
// mute), and a stopped sound is silent soon after.
TEST(Mixer, SoundsStoppedOrChangedMidSoundFadeInsteadOfClicking) {
    const struct Case {
        const char* what;
        std::function<void(std::unique_ptr<qel::AudioBuffer>&)> change;
        bool silentAfter;
    } cases[] = {
        {"stopped", [](auto& b) { b->Stop(); }, true},
        {"destroyed", [](auto& b) { b.reset(); }, true},
        {"lost", [](auto& b) { b->Lose(); }, true},
        {"muted", [](auto& b) { b->SetVolume(qel::AudioBuffer::VolumeMin); }, true},
        {"panned away", [](auto& b) { b->SetPan(qel::AudioBuffer::PanRight); }, true},
        {"moved to the other half", [](auto& b) { b->SetPlayCursor(1100 * 2); }, false},
        {"paused and resumed", [](auto& b) { b->Stop(), b->Play(true); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = TwoLevels();
        b->Play(true);
        const auto before = Render(100);
        ASSERT_EQ(before[2 * 99], 20000);
        c.change(b);
        const auto after = Render(600);
        EXPECT_LE(LargestStep(before, after), 40000 / 256 * 2 + 2);
        if (c.silentAfter) {
            EXPECT_EQ(after[2 * 300], 0);
        }
        b.reset();
        Render(441);
    }
}

// Changes made before a sound is first mixed are heard from its first frame:
// music started and muted in the same game frame makes no sound at all.
TEST(Mixer, ChangesBeforeTheFirstMixAreHeardAtOnce) {
    auto muted = TwoLevels();
    muted->Play(true);
    muted->SetVolume(qel::AudioBuffer::VolumeMin);
    auto stopped = TwoLevels();
    stopped->Play(true);
    stopped->Stop();
    auto moved = TwoLevels();
    moved->Play(true);
    moved->SetPlayCursor(1100 * 2);
    moved->SetVolume(-600);
    const auto out = Render(200);
    EXPECT_NEAR(out[0], -20000 * 0.5012, 5);
    EXPECT_NEAR(out[2 * 199], -20000 * 0.5012, 5);
}

// A modal dialog holds the sound: the device plays silence after a short
// fade, no buffer moves on (the game refills no streamed music meanwhile),
// and the sound goes on where it was when the last hold ends.
TEST(Mixer, AHoldSilencesTheDeviceAndKeepsEveryCursor) {
    auto b = TwoLevels();
    b->Play(true);
    Render(100);
    qel::HoldAudio();
    qel::HoldAudio();
    const auto held = Render(1000);
    EXPECT_EQ(b->PlayCursor(), 100u * 2);
    EXPECT_EQ(held[2 * 300], 0);
    EXPECT_EQ(held.back(), 0);
    qel::ReleaseAudio();
    Render(100);
    EXPECT_EQ(b->PlayCursor(), 100u * 2) << "still held once";
    qel::ReleaseAudio();
    const auto resumed = Render(300);
    EXPECT_LT(std::abs(resumed[0]), 200) << "it fades in";
    EXPECT_EQ(resumed[2 * 299], 20000);
    EXPECT_EQ(b->PlayCursor(), 400u * 2);
}

// The boxes and file dialogs of the game hold its sound while they are open.
TEST(Mixer, AMessageBoxHoldsTheSoundWhileItIsOpen) {
    HWND window = qel::Window::Create({"box", 320, 240, false, true});
    ASSERT_NE(window, nullptr);
    auto display = qel::Display::Create(window, 320, 240, 32);
    ASSERT_NE(display, nullptr);
    qel::ShowDialogsWithoutRealDisplayForTests(true);
    auto b = TwoLevels();
    b->Play(true);
    Render(100);
    std::vector<std::uint32_t> cursors;
    std::int16_t lastHeard = -1;
    qel::SetDialogFrameHookForTests([&](int frame) {
        lastHeard = Render(735).back();
        cursors.push_back(b->PlayCursor());
        return frame < 3;
    });
    qel::ShowMessageBox(window, "Error loading file.", "Error", qel::MessageBoxIcon::Error);
    qel::SetDialogFrameHookForTests({});
    qel::ShowDialogsWithoutRealDisplayForTests(false);
    display.reset();
    qel::DestroyWindow(window);
    qel::ClearMessageQueue();
    EXPECT_EQ(cursors, std::vector<std::uint32_t>(4, 100u * 2));
    EXPECT_EQ(lastHeard, 0);
    Render(300);
    EXPECT_EQ(b->PlayCursor(), 400u * 2) << "the box closed, the sound goes on";
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
