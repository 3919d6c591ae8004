#include "sound/SoundBase.h"

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/AssetName.h"
#include "foundation/File.h"
#include "platform/AudioBuffer.h"
#include "platform/Clock.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sound/SoundCard.h"

CREATE SoundBase::cr("SoundBase", SoundBase::CreateObject);

namespace {

constexpr int RestoreAttempts = 100;
constexpr std::uint32_t RestorePauseMs = 10;

qel::PcmFormat PcmOf(const WaveFormat& f) {
    qel::PcmFormat pcm;
    pcm.formatTag = f.formatTag;
    pcm.channels = f.channels;
    pcm.samplesPerSecond = f.samplesPerSecond;
    pcm.avgBytesPerSecond = f.avgBytesPerSecond;
    pcm.blockAlign = f.blockAlign;
    pcm.bitsPerSample = f.bitsPerSample;
    return pcm;
}

}  // namespace

SoundBase::SoundBase() = default;

SoundBase::SoundBase(const char* name, const char* file, bool loop, bool streamed)
    : streamed(streamed), name(name), file(file), loop(loop) {
    Open(file);
    Reset();
    CreateBuffer();
    Reset();
    RestoreBuffer();
    FillBuffer();
}

SoundBase::~SoundBase() {
    if (buffer) buffer->Stop();
    buffer.reset();
    Close();
}

const char* SoundBase::ClassName() const { return "SoundBase"; }

node* SoundBase::CreateObject() { return new SoundBase(); }

std::int32_t SoundBase::Open(const char* fileName) {
    std::string path = fileName ? fileName : "";
    if (!qel::FindProgramResource("WAVE", path.c_str()))
        path = std::string(streamed ? (const char*)musicFolder : (const char*)sfxFolder) + path;
    const std::int32_t result = source.Open(path);
    if (result != WaveSource::Ok) return result;
    return Reset();
}

std::int32_t SoundBase::Reset() {
    streamedBytes = 0;
    return source.SeekData();
}

std::int32_t SoundBase::Read(unsigned int n, unsigned char* destination, unsigned int* read) {
    std::uint32_t count = 0;
    const std::int32_t result = source.Read(n, destination, &count);
    if (read) *read = count;
    return result;
}

std::int32_t SoundBase::Advance(unsigned int n) { return source.Skip(n); }

std::int32_t SoundBase::Close() {
    source.Close();
    return 0;
}

void SoundBase::CreateBuffer() {
    buffer.reset();
    const WaveFormat* format = source.Format();
    if (!format) return;
    const std::uint32_t bytes = streamed ? 2 * format->avgBytesPerSecond : source.DataLength();
    SoundCard::Instance();
    buffer = qel::AudioBuffer::Create(PcmOf(*format), bytes);
}

std::uint8_t SoundBase::Silence() const {
    const WaveFormat* format = source.Format();
    return format ? format->Silence() : 0;
}

std::uint32_t SoundBase::BufferSize() const { return buffer ? buffer->Size() : 0; }

bool SoundBase::IsPlaying() const { return buffer && (buffer->Status() & qel::AudioBuffer::StatusPlaying) != 0; }

void SoundBase::Pause() {
    if (!IsPlaying()) return;
    savedPlayPosition = buffer->PlayCursor();
    buffer->Stop();
}

void SoundBase::MoveToSavedPlayPosition() {
    buffer->SetPlayCursor(savedPlayPosition);
    // A resume happens once: the next start from rest begins at the top.
    savedPlayPosition = 0;
}

void SoundBase::SetLoopFlag(bool on) { loop = on; }

void SoundBase::SetVolume(int value) {
    if (!buffer) return;
    volume = std::clamp(value, VolumeMin, VolumeMax);
    buffer->SetVolume(volume);
}

void SoundBase::SetPan(int value) {
    if (!buffer) return;
    pan = std::clamp(value, PanMin, PanMax);
    buffer->SetPan(pan);
}

void SoundBase::FillBuffer() {
    if (!buffer) return;
    std::vector<std::uint8_t> bytes(buffer->Size(), Silence());
    std::uint32_t read = 0;
    source.Read(std::uint32_t(bytes.size()), bytes.data(), &read);
    buffer->Write(0, bytes.data(), std::uint32_t(bytes.size()));
}

bool SoundBase::IsBufferLost() const { return !buffer || (buffer->Status() & qel::AudioBuffer::StatusLost) != 0; }

bool SoundBase::RestoreBuffer() {
    if (!buffer) return false;
    if (!(buffer->Status() & qel::AudioBuffer::StatusLost)) return true;
    for (int attempt = 0; attempt < RestoreAttempts; ++attempt) {
        if (buffer->Restore() == qel::AudioResult::Ok) return true;
        qel::Sleep(RestorePauseMs);
    }
    return false;
}

void SoundBase::Name(const char* text) {
    if (text) name = text;
}

void SoundBase::Save(File& f) {
    name.Save(f);
    file.Save(f);
    f.Write(std::int32_t(volume));
    f.Write(std::int32_t(pan));
    f.Write(std::int32_t(streamedBytes));
    f.Write(std::int32_t(id));
    // A sound that is playing is saved with where it is; the live sound's
    // own resume point stays as it was.
    std::uint32_t position = savedPlayPosition;
    if (position == 0 && buffer) position = buffer->PlayCursor();
    f.Write(std::uint32_t(position));
    f.Write(loop);
    f.Write(pausedByCard);
    f.Write(streamed);
}

void SoundBase::Load(File& f) {
    name.Load(f);
    file.Load(f);
    std::int32_t storedVolume = 0, storedPan = 0, storedBytes = 0, storedId = 0;
    std::uint32_t position = 0;
    f.Read(storedVolume);
    f.Read(storedPan);
    f.Read(storedBytes);
    f.Read(storedId);
    f.Read(position);
    f.Read(loop);
    f.Read(pausedByCard);
    f.Read(streamed);
    id = storedId;
    savedPlayPosition = position;
    // A name outside the sounds folder is corrupt data, never opened.
    if (!IsConfinedAssetName(file)) {
        f.SetError();
        file = "";
    }
    Open(file);
    Reset();
    CreateBuffer();
    Reset();
    if (storedBytes != 0) Advance(std::uint32_t(storedBytes));
    // The source now stands behind the skipped bytes, as when it was saved.
    streamedBytes = std::uint32_t(storedBytes);
    RestoreBuffer();
    FillBuffer();
    // Kept even without a buffer, so that a silent sound saves what it loaded.
    volume = storedVolume;
    pan = storedPan;
    SetVolume(storedVolume);
    SetPan(storedPan);
}
