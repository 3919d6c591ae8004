// Shared pieces of the sound tests: WAVE and MIDI files built in the test, a
// level that is current while a test runs, sound folders in a temporary
// directory, program resources, and the mixer driven by hand.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/File.h"
#include "foundation/UserError.h"
#include "platform/AudioDevice.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sound/SoundCard.h"
#include "testing/TestHooks.h"

namespace soundtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const char* s) { b.insert(b.end(), s, s + std::strlen(s)); }

// A chunk: id, stated size (the real size unless given) and body, padded to even.
inline Bytes Chunk(const char* id, const Bytes& body, std::int64_t statedSize = -1) {
    Bytes b;
    PutText(b, id);
    Put32(b, statedSize < 0 ? std::uint32_t(body.size()) : std::uint32_t(statedSize));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2) b.push_back(0);
    return b;
}

inline Bytes FmtBody(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate, std::uint16_t tag = 1) {
    Bytes b;
    const std::uint16_t align = std::uint16_t(channels * (bits / 8));
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, align * rate);
    Put16(b, align);
    Put16(b, bits);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, std::int64_t statedSize = -1) {
    Bytes body;
    PutText(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutText(b, "RIFF");
    Put32(b, statedSize < 0 ? std::uint32_t(body.size()) : std::uint32_t(statedSize));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A PCM WAVE file holding exactly these data bytes.
inline Bytes Wave(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate, const Bytes& data) {
    return Riff({Chunk("fmt ", FmtBody(channels, bits, rate)), Chunk("data", data)});
}

// Data bytes 0, 1, 2, ... (mod 251, so that no offset repeats a pattern of 256).
inline Bytes Ramp(std::size_t n, std::size_t start = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((start + i) % 251);
    return b;
}

// 16-bit samples as bytes.
inline Bytes Samples16(std::initializer_list<std::int16_t> samples) {
    Bytes b;
    for (std::int16_t s : samples) Put16(b, std::uint16_t(s));
    return b;
}

// A format 0 MIDI file: one note of `ticks` at division 96, then the track end.
inline Bytes Midi(std::uint16_t ticks = 96) {
    Bytes track = {0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100};
    if (ticks >= 0x80) track.push_back(std::uint8_t(0x80 | (ticks >> 7)));  // a variable-length delta
    track.push_back(std::uint8_t(ticks & 0x7F));
    track.insert(track.end(), {0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
    Bytes b;
    PutText(b, "MThd");
    b.insert(b.end(), {0, 0, 0, 6, 0, 0, 0, 1, 0, 96});
    PutText(b, "MTrk");
    b.insert(b.end(), {0, 0, 0, std::uint8_t(track.size())});
    b.insert(b.end(), track.begin(), track.end());
    return b;
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Expected saved records, field by field.
struct Record {
    Bytes bytes;
    Record& Text(const char* s) {
        Put32(bytes, std::uint32_t(std::strlen(s)));
        PutText(bytes, s);
        return *this;
    }
    Record& I32(std::int32_t v) {
        Put32(bytes, std::uint32_t(v));
        return *this;
    }
    Record& U32(std::uint32_t v) {
        Put32(bytes, v);
        return *this;
    }
    Record& Bool(bool v) {
        bytes.push_back(v ? 1 : 0);
        return *this;
    }
};

// Turns the device's own mixing off once: buffers move only when a test renders.
class AudioEnvironment : public testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        qel::UseManualMixing(true);
        SoundCard::Instance();
    }
};

// Mixes frames of the device (44100 Hz, stereo) and returns them.
inline std::vector<std::int16_t> Render(std::size_t frames) {
    std::vector<std::int16_t> out(frames * 2);
    qel::RenderAudio(out.data(), frames);
    return out;
}

// A temporary folder with the sound folders, a current level, and no program
// resources unless the test gives some.
class SoundTest : public testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() / ("qel-sound-" + std::to_string(::getpid()) + "-" +
                                                         testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root / "SFX");
        std::filesystem::create_directories(root / "Music");
        savedSfx = sfxFolder;
        savedMusic = musicFolder;
        sfxFolder = (root.string() + "/SFX/").c_str();
        musicFolder = (root.string() + "/Music/").c_str();
        savedLevel = gNode;
        level = new GameNode();
        gNode = level;
        std::snprintf(_UE.ObjectName, sizeof _UE.ObjectName, "%s",
                      testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        gNode = savedLevel;
        delete level;
        qel::SetProgramResources(nullptr);
        _UE = UserError();
        sfxFolder = savedSfx;
        musicFolder = savedMusic;
        std::filesystem::remove_all(root);
    }

    void Sfx(const char* name, const Bytes& bytes) { WriteFile(root / "SFX" / name, bytes); }
    void Music(const char* name, const Bytes& bytes) { WriteFile(root / "Music" / name, bytes); }

    // The program's resources for this test (kept alive by the fixture).
    void Resources(std::vector<std::pair<std::string, std::string>> typeAndName, std::vector<Bytes> contents) {
        resourceData = std::move(contents);
        resourceNames = std::move(typeAndName);
        entries.clear();
        for (std::size_t i = 0; i < resourceData.size(); ++i)
            entries.push_back({resourceNames[i].first.c_str(), resourceNames[i].second.c_str(), resourceData[i].data(),
                               std::uint32_t(resourceData[i].size())});
        table = {entries.data(), entries.size()};
        qel::SetProgramResources(&table);
    }

    // What obj.Save writes.
    template <class T>
    Bytes Saved(T& obj) {
        const std::string path = (root / "record.bin").string();
        {
            File f(path.c_str(), File::Writing);
            obj.Save(f);
            f.Close();
        }
        return ReadFile(path);
    }

    // Writes the bytes and lets obj.Load read them.
    template <class T>
    void LoadInto(T& obj, const Bytes& bytes) {
        const std::string path = (root / "load.bin").string();
        WriteFile(path, bytes);
        File f(path.c_str(), File::Reading);
        obj.Load(f);
    }

    std::filesystem::path root;
    GameNode* level = nullptr;

private:
    GameNode* savedLevel = nullptr;
    String savedSfx;
    String savedMusic;
    std::vector<Bytes> resourceData;
    std::vector<std::pair<std::string, std::string>> resourceNames;
    std::vector<qel::ResourceEntry> entries;
    qel::ResourceTable table{};
};

}  // namespace soundtest
