// assetgen <folder>: writes every bitmap and sound the game names into
// <folder>/Art Assets/{Actors,Maps,Sounds/SFX,Sounds/Music}. Level maps are
// drawn from each level's own collision segments; beside them, in
// <folder>/Map Masks, each map's mask of what it draws as solid (for the
// tests, not part of the game's data).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include "Music.h"
#include "Painters.h"
#include "Wave.h"
#include "actors/ActorBitmaps.h"
#include "levels/LevelData.h"

namespace fs = std::filesystem;

namespace {

// The standard jump and shot effects that every playing level registers.
constexpr const char* StandardEffects[] = {"Jump1.wav",  "Jump2.wav",  "Jump3.wav",  "Jump4.wav",
                                           "Shoot1.wav", "Shoot2.wav", "Shoot3.wav", "Shoot4.wav"};

bool failed = false;

void Check(bool ok, const fs::path& path) {
    if (ok) return;
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.string().c_str());
    failed = true;
}

std::vector<std::int16_t> Effect(const std::string& file) {
    // Jumps rise, shots fall; the numbered variants differ a little in pitch.
    // Played over the music, neither takes the mix past full scale.
    const bool jump = file.rfind("Jump", 0) == 0;
    const char digit = file.size() > 4 ? file[jump ? 4 : 5] : '.';
    const double shift = (digit >= '1' && digit <= '4') ? 1.0 + 0.08 * (digit - '0') : 1.0;
    return jump ? wave::Sweep(320 * shift, 760 * shift, 0.16, 0.38)
                : wave::Sweep(1400 * shift, 380 * shift, 0.12, 0.34);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assetgen <output folder>\n");
        return 2;
    }
    const fs::path root = fs::path(argv[1]) / "Art Assets";
    const fs::path actors = root / "Actors", maps = root / "Maps";
    const fs::path sfx = root / "Sounds" / "SFX", music = root / "Sounds" / "Music";
    std::error_code error;
    const fs::path masks = fs::path(argv[1]) / "Map Masks";
    for (const fs::path& folder : {actors, maps, sfx, music, masks}) fs::create_directories(folder, error);

    std::set<std::string> effects(std::begin(StandardEffects), std::end(StandardEffects));
    std::set<std::string> tunes;
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const nolt::LevelRecord& level = nolt::LevelRecordOf(k);
        const fs::path path = maps / level.mapBitmap;
        const MapPicture map = PaintMap(level);
        Check(map.picture.WriteBmp(path.string()), path);
        const fs::path maskPath = masks / (level.mapBitmap + ".mask");
        Check(map.mask.Write(maskPath.string()), maskPath);
        for (const nolt::SoundEntry& s : level.sounds)
            (s.kind == nolt::SoundEntry::Music ? tunes : effects).insert(s.file);
    }
    for (const ActorBitmap& a : ActorBitmaps) {
        const fs::path path = actors / a.fileName;
        Check(PaintActor(a).WriteBmp(path.string()), path);
    }
    for (const std::string& file : effects) Check(wave::Write((sfx / file).string(), Effect(file)), sfx / file);
    music::Renderer renderer(wave::SampleRate);
    if (!renderer.Ready()) {
        std::fprintf(stderr, "assetgen: no General MIDI soundfont to play the music with\n");
        return 1;
    }
    for (const std::string& file : tunes)
        Check(wave::Write((music / file).string(), renderer.Render(music::ComposeSong(file))), music / file);

    const fs::path stamp = root / "assetgen.stamp";
    std::ofstream(stamp) << "generated\n";
    return failed ? 1 : 0;
}
