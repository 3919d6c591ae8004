// What a level and the main loop do with sound: adding a level's sound
// effects, music and MIDI files, playing and stopping them by name, probing
// the device at start-up and restarting wanted MIDI music after a display
// switch. GameNode's and QelMain's sound operations forward here.
#pragma once
#include "QelExport.h"

class GameNode;
class Sound;
class StreamedSound;
class MidiFile;

namespace sound {

// The next id of its kind, then to the front of the level's list; null: false.
QEL_API bool Add(GameNode& level, Sound* sound);
QEL_API bool Add(GameNode& level, StreamedSound* sound);
QEL_API bool Add(GameNode& level, MidiFile* midi);

// From the program's "WAVE" ("midi") resource of that file name, else from the
// sound-effect (music) folder; a missing file is reported with its path and
// adds nothing (false).
QEL_API bool AddSFX(GameNode& level, const char* name, const char* file, bool loop, int playPercentage);
QEL_API bool AddMusic(GameNode& level, const char* name, const char* file, bool loop);
QEL_API bool AddMidiFile(GameNode& level, const char* name, const char* file, bool loop);

// By name in the current level; a missing name is reported.
QEL_API void PlaySFX(const char* name);
QEL_API void PlayMusic(const char* name);
QEL_API void StopMusic(const char* name);
QEL_API void PlayMidiFile(const char* name);
QEL_API void StopMidiFile(const char* name);

// Start-up's check that a sound device exists.
QEL_API bool ProbeSoundDevice();
// After a display switch: every MIDI file of the level that is wanted but
// not playing starts again.
QEL_API void RestartWantedMidiFiles(GameNode& level);

}  // namespace sound
