// FluidSynth, opened the first time a MIDI performance is made: a program
// that never plays MIDI never loads the synthesizer, nor the libraries it
// pulls in (GLib, JACK, libinstpatch, ...), and starts that much faster.
#pragma once
#include <fluidsynth.h>

#include <string>

namespace qel {

// The functions of the synthesizer that the MIDI player calls.
struct SynthLibrary {
    decltype(&::new_fluid_settings) newSettings = nullptr;
    decltype(&::delete_fluid_settings) deleteSettings = nullptr;
    decltype(&::fluid_settings_setnum) settingsSetNum = nullptr;
    decltype(&::fluid_settings_setint) settingsSetInt = nullptr;
    decltype(&::new_fluid_synth) newSynth = nullptr;
    decltype(&::delete_fluid_synth) deleteSynth = nullptr;
    decltype(&::fluid_synth_sfload) synthSoundFontLoad = nullptr;
    decltype(&::fluid_synth_all_sounds_off) synthAllSoundsOff = nullptr;
    decltype(&::fluid_synth_write_float) synthWriteFloat = nullptr;
    decltype(&::new_fluid_player) newPlayer = nullptr;
    decltype(&::delete_fluid_player) deletePlayer = nullptr;
    decltype(&::fluid_player_add_mem) playerAddMem = nullptr;
    decltype(&::fluid_player_seek) playerSeek = nullptr;
    decltype(&::fluid_player_play) playerPlay = nullptr;
    decltype(&::fluid_player_stop) playerStop = nullptr;
    decltype(&::fluid_player_get_status) playerGetStatus = nullptr;
    decltype(&::fluid_player_get_current_tick) playerGetCurrentTick = nullptr;
    decltype(&::fluid_set_log_function) setLogFunction = nullptr;

    // The synthesizer, opened on the first call and kept for the process's
    // life; null when it cannot be opened, which is told once on standard
    // error (the music stays silent, the game goes on).
    static const SynthLibrary* Get();
    // Opens the library file and finds every function; false, with the
    // reason in `error`, when the file or one of its functions is missing.
    bool Open(const char* file, std::string& error);
};

}  // namespace qel
