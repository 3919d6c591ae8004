#include "sound/StreamedSound.h"

#include <algorithm>
#include <cstring>

#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "platform/AudioBuffer.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"

CREATE StreamedSound::cr("StreamedSound", StreamedSound::CreateObject);

namespace {

constexpr int MsgStreamedSoundMissing = 25;
// A device that keeps losing the buffer gets this many restores per start or refill.
constexpr int LostAttempts = 100;

}  // namespace

StreamedSound::StreamedSound(const char* name, const char* file, bool loop) : SoundBase(name, file, loop, true) {
    if (!buffer) return;
    halfSize = buffer->Size() / 2;
    PrimeStagingCopy();
}

StreamedSound::StreamedSound() = default;

StreamedSound::~StreamedSound() = default;

const char* StreamedSound::ClassName() const { return "StreamedSound"; }

node* StreamedSound::CreateObject() { return new StreamedSound(); }

void StreamedSound::PrimeStagingCopy() {
    staging.assign(buffer->Size(), Silence());
    Reset();
    std::uint32_t read = 0;
    source.Read(std::uint32_t(staging.size()), staging.data(), &read);
}

void StreamedSound::RewindAndPrime() {
    Reset();
    RestoreBuffer();
    FillBuffer();
    PrimeStagingCopy();
}

void StreamedSound::FillFromLostBuffer() {
    if (!buffer || staging.empty()) return;
    buffer->Write(0, staging.data(), std::uint32_t(staging.size()));
}

bool StreamedSound::WriteFromStaging(std::uint32_t offset, std::uint32_t n) {
    for (int attempt = 0; attempt < LostAttempts; ++attempt) {
        const qel::AudioResult result = buffer->Write(offset, staging.data() + offset, n);
        if (result != qel::AudioResult::BufferLost) return result == qel::AudioResult::Ok;
        RestoreBuffer();
        FillFromLostBuffer();
    }
    return false;
}

void StreamedSound::Play() {
    if (!buffer || IsPlaying()) return;
    MoveToSavedPlayPosition();
    for (int attempt = 0; attempt < LostAttempts; ++attempt) {
        if (buffer->Play(true) != qel::AudioResult::BufferLost) return;
        RestoreBuffer();
        FillFromLostBuffer();
    }
}

void StreamedSound::Stop() {
    if (!buffer) return;
    buffer->Stop();
    savedPlayPosition = endPosition = lastPlayCursor = 0;
    ending = false;
    bytesToEnd = 0;
    buffer->SetPlayCursor(0);
    RewindAndPrime();
}

void StreamedSound::RefillHalf(std::uint32_t cursor) {
    const std::uint32_t offset = cursor < halfSize ? halfSize : 0;
    const std::uint32_t length = halfSize;
    std::uint32_t got = 0;
    source.Read(length, staging.data() + offset, &got);
    streamedBytes += got;
    if (got < length) {
        if (!loop) {
            std::fill(staging.begin() + offset + got, staging.begin() + offset + length, Silence());
            endPosition = offset + got;
            ending = true;
            // Refilling the first half means the cursor is still in the second:
            // what is left there and the last bytes play before the stop.
            bytesToEnd = ForwardDistance(cursor, endPosition);
        } else {
            Reset();
            std::uint32_t more = 0;
            source.Read(length - got, staging.data() + offset + got, &more);
            streamedBytes += more;
            if (got + more < length)  // data shorter than the gap: the rest stays silent
                std::fill(staging.begin() + offset + got + more, staging.begin() + offset + length, Silence());
        }
    }
    WriteFromStaging(offset, length);
}

std::uint32_t StreamedSound::ForwardDistance(std::uint32_t from, std::uint32_t to) const {
    const std::uint32_t size = buffer->Size();
    return to >= from ? to - from : size - from + to;
}

void StreamedSound::StopAtEnd() {
    buffer->Stop();
    endPosition = lastPlayCursor = bytesToEnd = 0;
    ending = false;
    buffer->SetPlayCursor(0);
    RewindAndPrime();
}

bool StreamedSound::StopIfEndPlayed(std::uint32_t cursor) {
    const std::uint32_t played = ForwardDistance(lastPlayCursor, cursor);
    if (played < bytesToEnd) {
        bytesToEnd -= played;
        return false;
    }
    StopAtEnd();
    return true;
}

void StreamedSound::UpdateBuffer() {
    if (!buffer || !IsPlaying()) return;
    const std::uint32_t cursor = buffer->PlayCursor();
    if (ending) {
        if (StopIfEndPlayed(cursor)) return;
    } else if ((cursor >= halfSize && lastPlayCursor < halfSize) || cursor < lastPlayCursor) {
        RefillHalf(cursor);
    }
    lastPlayCursor = cursor;
}

StreamedSound* StreamedSound::Search(const char* name) {
    if (gNode) {
        List& sounds = gNode->StreamedSounds();
        for (node* p = sounds.Head(); p && !p->EOList(); p = p->Next()) {
            StreamedSound* s = static_cast<StreamedSound*>(p);
            if (name && std::strcmp(s->Name(), name) == 0) return s;
        }
    }
    UserError::Report("StreamedSound* StreamedSound::Search(char *)", MessageTable[MsgStreamedSoundMissing],
                      name ? name : "");
    return nullptr;
}

void StreamedSound::Save(File& f) {
    SoundBase::Save(f);
    f.Write(std::uint32_t(lastPlayCursor));
    f.Write(std::uint32_t(halfSize));
    f.Write(std::uint32_t(endPosition));
    f.Write(ending);
    f.Write(IsPlaying());
    f.Write(std::uint32_t(buffer ? buffer->PlayCursor() : 0));
}

void StreamedSound::Load(File& f) {
    SoundBase::Load(f);
    std::uint32_t storedHalf = 0, position = 0;
    bool playing = false;
    f.Read(lastPlayCursor);
    f.Read(storedHalf);
    f.Read(endPosition);
    f.Read(ending);
    f.Read(playing);
    f.Read(position);
    if (!buffer) return;
    // The half size follows the rebuilt buffer, whatever the record says.
    halfSize = buffer->Size() / 2;
    lastPlayCursor = std::min(lastPlayCursor, buffer->Size());
    endPosition = std::min(endPosition, buffer->Size());
    // The staging copy takes the same bytes as the buffer: those behind the
    // saved streamed count.
    const std::uint32_t skipped = streamedBytes;
    staging.assign(buffer->Size(), Silence());
    Reset();
    Advance(skipped);
    std::uint32_t read = 0;
    source.Read(std::uint32_t(staging.size()), staging.data(), &read);
    streamedBytes = skipped;
    FillFromLostBuffer();
    buffer->SetPlayCursor(position);
    bytesToEnd = ending ? ForwardDistance(lastPlayCursor, endPosition) : 0;
    if (playing) Play();
}
