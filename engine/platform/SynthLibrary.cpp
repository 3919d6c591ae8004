#include "platform/SynthLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace qel {

namespace {

void Quiet(int, const char*, void*) {}

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& error) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function) error = std::string("no function ") + name;
    return function != nullptr;
}

}  // namespace

bool SynthLibrary::Open(const char* file, std::string& error) {
    // Kept open for good: the mixing thread may be inside it at any time.
    void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : file;
        return false;
    }
    const bool found = Find(library, "new_fluid_settings", newSettings, error) &&
                       Find(library, "delete_fluid_settings", deleteSettings, error) &&
                       Find(library, "fluid_settings_setnum", settingsSetNum, error) &&
                       Find(library, "fluid_settings_setint", settingsSetInt, error) &&
                       Find(library, "new_fluid_synth", newSynth, error) &&
                       Find(library, "delete_fluid_synth", deleteSynth, error) &&
                       Find(library, "fluid_synth_sfload", synthSoundFontLoad, error) &&
                       Find(library, "fluid_synth_all_sounds_off", synthAllSoundsOff, error) &&
                       Find(library, "fluid_synth_write_float", synthWriteFloat, error) &&
                       Find(library, "new_fluid_player", newPlayer, error) &&
                       Find(library, "delete_fluid_player", deletePlayer, error) &&
                       Find(library, "fluid_player_add_mem", playerAddMem, error) &&
                       Find(library, "fluid_player_seek", playerSeek, error) &&
                       Find(library, "fluid_player_play", playerPlay, error) &&
                       Find(library, "fluid_player_stop", playerStop, error) &&
                       Find(library, "fluid_player_get_status", playerGetStatus, error) &&
                       Find(library, "fluid_player_get_current_tick", playerGetCurrentTick, error) &&
                       Find(library, "fluid_set_log_function", setLogFunction, error);
    if (!found) {
        dlclose(library);
        *this = SynthLibrary{};
        error = std::string(file) + ": " + error;
    }
    return found;
}

const SynthLibrary* SynthLibrary::Get() {
    static const SynthLibrary* const library = [] {
        static SynthLibrary opened;
        std::string error;
        if (!opened.Open(QEL_SYNTH_LIBRARY, error)) {
            std::fprintf(stderr, "MIDI music is silent: the synthesizer cannot be loaded (%s)\n", error.c_str());
            std::fflush(stderr);
            return static_cast<const SynthLibrary*>(nullptr);
        }
        // Its warnings and notes are no concern of the player's.
        opened.setLogFunction(FLUID_WARN, Quiet, nullptr);
        opened.setLogFunction(FLUID_INFO, Quiet, nullptr);
        opened.setLogFunction(FLUID_DBG, Quiet, nullptr);
        return static_cast<const SynthLibrary*>(&opened);
    }();
    return library;
}

}  // namespace qel
