#include "sound/MidiFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/AssetName.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "platform/MidiPlayer.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sound/SoundCard.h"

CREATE MidiFile::cr("MidiFile", MidiFile::CreateObject);

namespace {

constexpr int MsgMidiMissing = 26;
constexpr int MsgMidiUnreadable = 111;
// Far more than any song needs; a larger file is not read.
constexpr std::size_t MaxMidiBytes = std::size_t(16) << 20;

// The file's bytes: the program's "midi" resource of that name, else the
// regular file in the music folder; empty when there is neither.
std::vector<unsigned char> MidiBytes(const char* file) {
    if (const qel::ResourceEntry* resource = qel::FindProgramResource("midi", file))
        return std::vector<unsigned char>(resource->data, resource->data + resource->size);
    std::vector<unsigned char> bytes;
    if (!IsConfinedAssetName(file) ||
        !ReadRegularFile(qel::NativePath(String(musicFolder) + String(file)), MaxMidiBytes, bytes))
        return {};
    return bytes;
}

}  // namespace

MidiFile::MidiFile() = default;

MidiFile::MidiFile(const char* name, const char* file, bool loop) : loop(loop), name(name), file(file) {
    if (!Build()) FatalExit(MessageTable[MsgMidiUnreadable], static_cast<const char*>(this->file));
    SetRepeats();
}

MidiFile::~MidiFile() {
    if (IsPlaying()) Stop();
}

const char* MidiFile::ClassName() const { return "MidiFile"; }

node* MidiFile::CreateObject() { return new MidiFile(); }

bool MidiFile::Build() {
    performance.reset();
    const std::vector<unsigned char> bytes = MidiBytes(file);
    if (!qel::MidiPlayer::IsStandardMidiFile(bytes.data(), bytes.size())) return false;
    SoundCard::Instance();
    performance = qel::MidiPlayer::Create();
    if (performance && !performance->Load(bytes.data(), bytes.size())) performance.reset();
    return true;
}

bool MidiFile::HasPerformance() const { return performance != nullptr; }

void MidiFile::SetRepeats() {
    if (performance) performance->SetRepeats(loop ? LoopRepeats : 0);
}

void MidiFile::Play() {
    playing = true;
    if (!performance || performance->IsPlaying()) return;
    performance->Play();
    // The resume point is used up by this start.
    resumePoint = 0;
}

void MidiFile::Stop() {
    playing = false;
    if (!performance) return;
    performance->Stop();
    performance->SetStartPoint(0);
    resumePoint = 0;
}

void MidiFile::Pause() {
    playing = false;
    if (!performance) return;
    const std::int32_t tick = performance->CurrentTick();
    performance->Stop();
    resumePoint = tick;
    performance->SetStartPoint(tick);
}

bool MidiFile::IsPlaying() const { return performance && performance->IsPlaying(); }

void MidiFile::SetVolume(int value) {
    value = std::clamp(value, VolumeMin, VolumeMax);
    if (!performance) return;
    performance->SetVolume(value);
    volume = value;
}

void MidiFile::SetLoopFlag(bool on) {
    loop = on;
    if (IsPlaying()) {
        Pause();
        SetRepeats();
        Play();
    } else {
        SetRepeats();
    }
}

void MidiFile::Name(const char* text) {
    if (text) name = text;
}

MidiFile* MidiFile::Search(const char* name) {
    if (gNode) {
        List& files = gNode->MidiFiles();
        for (node* p = files.Head(); p && !p->EOList(); p = p->Next()) {
            MidiFile* m = static_cast<MidiFile*>(p);
            if (name && std::strcmp(m->Name(), name) == 0) return m;
        }
    }
    UserError::Report("MidiFile* MidiFile::Search(char *)", MessageTable[MsgMidiMissing], name ? name : "");
    return nullptr;
}

void MidiFile::Save(File& f) {
    name.Save(f);
    file.Save(f);
    f.Write(loop);
    f.Write(pausedByCard);
    f.Write(std::int32_t(id));
    f.Write(std::int32_t(volume));
    f.Write(playing);
    // Playing music is saved with where it is; the live object's own resume
    // point stays as it was.
    std::int32_t point = resumePoint;
    if (point == 0 && performance) point = performance->CurrentTick();
    f.Write(std::int32_t(point));
}

void MidiFile::Load(File& f) {
    name.Load(f);
    file.Load(f);
    std::int32_t storedId = 0, storedVolume = 0, point = 0;
    f.Read(loop);
    f.Read(pausedByCard);
    f.Read(storedId);
    f.Read(storedVolume);
    f.Read(playing);
    f.Read(point);
    id = storedId;
    resumePoint = point < 0 ? 0 : point;
    // A name outside the music folder is corrupt data, never opened.
    if (!IsConfinedAssetName(file)) {
        f.SetError();
        return;
    }
    // A missing file leaves the loaded music silent, and so does one beyond
    // the performances that may live: its file is not even read then.
    if (qel::MidiPlayer::HasRoom()) Build();
    SetRepeats();
    if (performance && resumePoint != 0) performance->SetStartPoint(resumePoint);
    if (storedVolume != 0) SetVolume(storedVolume);
    volume = std::clamp(storedVolume, VolumeMin, VolumeMax);
    if (pausedByCard || playing) {
        Play();
        pausedByCard = false;
    }
}
