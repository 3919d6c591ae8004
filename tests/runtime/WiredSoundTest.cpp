// Sound through the running engine: the window's focus pauses what plays and
// resumes only that.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "EngineRun.h"
#include "platform/MessageQueue.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"

namespace {

// A second of 16-bit stereo silence at 44100 Hz.
void WriteWave(const std::filesystem::path& path) {
    const std::uint32_t dataBytes = 44100 * 4;
    std::vector<unsigned char> b;
    auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto text = [&b](const char* s) { b.insert(b.end(), s, s + 4); };
    text("RIFF");
    put(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    text("data");
    put(dataBytes, 4);
    b.resize(b.size() + dataBytes, 0);
    std::filesystem::create_directories(path.parent_path());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

}  // namespace

TEST_F(EngineRunTest, FocusLossPausesWhatPlaysAndFocusGainResumesOnlyThat) {
    const std::filesystem::path sounds = std::filesystem::path(folder) / "Art Assets" / "Sounds";
    WriteWave(sounds / "SFX" / "loop.wav");
    WriteWave(sounds / "Music" / "song.wav");
    EngineRun::setDataPath = [this] { ArtAssetsPath = folder.c_str(); };
    EngineRun::levels = [] { EngineRun::AddLevels({1}); };
    EngineRun::buildLevel = [](GameNode* level) {
        ASSERT_TRUE(level->AddSFX("loop", "loop.wav", true, 100));
        ASSERT_TRUE(level->AddSFX("quiet", "loop.wav", true, 100));
        ASSERT_TRUE(level->AddMusic("song", "song.wav", true));
        level->PlaySFX("loop");
        level->PlayMusic("song");
    };
    struct Seen {
        bool loop, quiet, song;
    };
    std::vector<Seen> seen;
    EngineRun::script = [&](int pass) {
        auto look = [&] {
            seen.push_back({Sound::Search("loop")->IsPlaying(), Sound::Search("quiet")->IsPlaying(),
                            StreamedSound::Search("song")->IsPlaying()});
        };
        if (pass == 3 || pass == 8 || pass == 13) look();
        if (pass == 4) qel::SimulateWindowEvent(_Ghwnd, qel::SimulatedEvent::FocusLost);
        if (pass == 9) qel::SimulateWindowEvent(_Ghwnd, qel::SimulatedEvent::FocusGained);
        if (pass == 13) myGame->EndGame();
    };
    ASSERT_EQ(EngineRun::Run(), 0);
    ASSERT_EQ(seen.size(), 3u);
    const bool expected[3][3] = {{true, false, true}, {false, false, false}, {true, false, true}};
    const char* moments[] = {"playing", "focus lost", "focus back"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(seen[std::size_t(i)].loop, expected[i][0]) << moments[i];
        EXPECT_EQ(seen[std::size_t(i)].quiet, expected[i][1]) << moments[i];
        EXPECT_EQ(seen[std::size_t(i)].song, expected[i][2]) << moments[i];
    }
}
