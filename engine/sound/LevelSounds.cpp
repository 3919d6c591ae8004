#include "sound/LevelSounds.h"

#include <cstdio>
#include <string>

#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "platform/AudioDevice.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"

namespace sound {

namespace {

constexpr int MsgSoundMissing = 24;
constexpr int MsgStreamedSoundMissing = 25;
constexpr int MsgMidiMissing = 26;

bool Readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// The program's resource of that type and name exists, or the file in the
// folder does; otherwise reports the path.
bool SourceExists(const char* type, const String& folder, const char* file, const char* target, int message) {
    const char* fileName = file ? file : "";
    if (qel::FindProgramResource(type, fileName)) return true;
    const std::string path = qel::NativePath(folder + String(fileName));
    if (Readable(path)) return true;
    UserError::Report(target, MessageTable[message], path.c_str());
    return false;
}

const char* Text(const char* name) { return name ? name : ""; }

}  // namespace

bool Add(GameNode& level, Sound* sound) {
    if (!sound) return false;
    sound->Id(level.IdCounter(GameNode::SoundIds) + 1);
    level.IdCounter(GameNode::SoundIds, sound->Id());
    level.Sounds().add(sound);
    return true;
}

bool Add(GameNode& level, StreamedSound* sound) {
    if (!sound) return false;
    sound->Id(level.IdCounter(GameNode::StreamedSoundIds) + 1);
    level.IdCounter(GameNode::StreamedSoundIds, sound->Id());
    level.StreamedSounds().add(sound);
    return true;
}

bool Add(GameNode& level, MidiFile* midi) {
    if (!midi) return false;
    midi->Id(level.IdCounter(GameNode::MidiFileIds) + 1);
    level.IdCounter(GameNode::MidiFileIds, midi->Id());
    level.MidiFiles().add(midi);
    return true;
}

bool AddSFX(GameNode& level, const char* name, const char* file, bool loop, int playPercentage) {
    if (!SourceExists("WAVE", sfxFolder, file, "bool GameNode::AddSFX(char *,char *,bool,int)", MsgSoundMissing))
        return false;
    return Add(level, new Sound(name, file, loop, playPercentage));
}

bool AddMusic(GameNode& level, const char* name, const char* file, bool loop) {
    if (!SourceExists("WAVE", musicFolder, file, "bool GameNode::AddMusic(char *,char *,bool)",
                      MsgStreamedSoundMissing))
        return false;
    return Add(level, new StreamedSound(name, file, loop));
}

bool AddMidiFile(GameNode& level, const char* name, const char* file, bool loop) {
    if (!SourceExists("midi", musicFolder, file, "bool GameNode::AddMidiFile(char *,char *,bool)", MsgMidiMissing))
        return false;
    return Add(level, new MidiFile(name, file, loop));
}

void PlaySFX(const char* name) {
    if (Sound* s = Sound::Search(name))
        s->Play();
    else
        UserError::Report("void GameNode::PlaySFX(const char *)", MessageTable[MsgSoundMissing], Text(name));
}

void PlayMusic(const char* name) {
    if (StreamedSound* s = StreamedSound::Search(name))
        s->Play();
    else
        UserError::Report("void GameNode::PlayMusic(const char *)", MessageTable[MsgStreamedSoundMissing], Text(name));
}

void StopMusic(const char* name) {
    if (StreamedSound* s = StreamedSound::Search(name))
        s->Stop();
    else
        UserError::Report("void GameNode::StopMusic(const char *)", MessageTable[MsgStreamedSoundMissing], Text(name));
}

void PlayMidiFile(const char* name) {
    if (MidiFile* m = MidiFile::Search(name))
        m->Play();
    else
        UserError::Report("void GameNode::PlayMidiFile(const char *)", MessageTable[MsgMidiMissing], Text(name));
}

void StopMidiFile(const char* name) {
    if (MidiFile* m = MidiFile::Search(name))
        m->Stop();
    else
        UserError::Report("void GameNode::StopMidiFile(const char *)", MessageTable[MsgMidiMissing], Text(name));
}

bool ProbeSoundDevice() { return qel::ProbeAudioDevice(); }

void RestartWantedMidiFiles(GameNode& level) {
    List& files = level.MidiFiles();
    for (node* p = files.Head(); p && !p->EOList(); p = p->Next()) {
        MidiFile* m = static_cast<MidiFile*>(p);
        if (m->Playing() && !m->IsPlaying()) m->Play();
    }
}

}  // namespace sound
