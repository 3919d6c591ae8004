// A MIDI file checked, loaded into a performance and played for half a second
// of audio, mixed as the sound card's mixer mixes it. One performance serves
// every input: making one reads the soundfont.
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "platform/AudioDevice.h"
#include "platform/MidiPlayer.h"
#include "testing/TestHooks.h"

namespace {
constexpr int Rate = 22050;
std::unique_ptr<qel::MidiPlayer> player;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    qel::OpenAudioDevice(Rate, 16, 2);
    qel::UseManualMixing(true);
    player = qel::MidiPlayer::Create();
    // Before the mixer's statics go.
    std::atexit([] { player.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!player || !player->Load(data, size)) return 0;
    // Looping music repeats the whole file, as the level's music does.
    player->SetRepeats(100000);
    player->Play();
    std::vector<std::int16_t> out(std::size_t(Rate / 10) * 2);
    for (int slice = 0; slice < 5; ++slice) qel::RenderAudio(out.data(), out.size() / 2);
    player->Stop();
    return 0;
}
