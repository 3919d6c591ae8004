#include "sound/Sound.h"

#include <algorithm>
#include <cstring>

#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "platform/AudioBuffer.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"

CREATE Sound::cr("Sound", Sound::CreateObject);

namespace {

constexpr int MsgSoundMissing = 24;
// A device that keeps losing the buffer gets this many restores per start.
constexpr int StartAttempts = 100;

}  // namespace

Sound::Sound(const char* name, const char* file, bool loop, int percentage)
    : SoundBase(name, file, loop, false), playPercentage(std::clamp(percentage, 0, 100)) {}

Sound::Sound() = default;

Sound::~Sound() = default;

const char* Sound::ClassName() const { return "Sound"; }

node* Sound::CreateObject() { return new Sound(); }

void Sound::SetPlayPercentage(int percentage) { playPercentage = std::clamp(percentage, 0, 100); }

void Sound::Start() {
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        if (buffer->Play(loop) != qel::AudioResult::BufferLost) return;
        Reset();
        RestoreBuffer();
        FillBuffer();
    }
}

void Sound::Play() {
    if (!buffer) return;
    if (!IsPlaying()) {
        MoveToSavedPlayPosition();
        Start();
        return;
    }
    // Computed wide: a long buffer times the percentage does not fit 32 bits.
    const std::uint64_t threshold = std::uint64_t(buffer->Size()) * std::uint64_t(playPercentage) / 100u;
    if (threshold > buffer->PlayCursor()) return;
    buffer->Stop();
    buffer->SetPlayCursor(0);
    Start();
}

void Sound::Stop() {
    if (!buffer) return;
    buffer->Stop();
    savedPlayPosition = 0;
    buffer->SetPlayCursor(0);
}

Sound* Sound::Search(const char* name) {
    if (gNode) {
        List& sounds = gNode->Sounds();
        for (node* p = sounds.Head(); p && !p->EOList(); p = p->Next()) {
            Sound* s = static_cast<Sound*>(p);
            if (name && std::strcmp(s->Name(), name) == 0) return s;
        }
    }
    UserError::Report("Sound* Sound::Search(char *)", MessageTable[MsgSoundMissing], name ? name : "");
    return nullptr;
}

void Sound::Save(File& f) {
    SoundBase::Save(f);
    f.Write(std::int32_t(playPercentage));
    f.Write(IsPlaying());
    f.Write(std::uint32_t(buffer ? buffer->PlayCursor() : 0));
}

void Sound::Load(File& f) {
    SoundBase::Load(f);
    std::int32_t percentage = 0;
    bool playing = false;
    std::uint32_t position = 0;
    f.Read(percentage);
    f.Read(playing);
    f.Read(position);
    playPercentage = std::clamp(percentage, 0, 100);
    if (buffer) buffer->SetPlayCursor(position);
    if (playing) Play();
}
