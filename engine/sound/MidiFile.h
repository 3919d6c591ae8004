// A standard MIDI file played as level music: its own performance (a General
// MIDI synthesizer) and the file, from a "midi" resource of the game program or
// the music folder. Looping music repeats the whole file 100000 times.
#pragma once
#include <cstdint>
#include <memory>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/String.h"

namespace qel {
class MidiPlayer;
}

class QEL_API MidiFile : public node {
public:
    static constexpr std::int32_t VolumeMin = -5000;
    static constexpr std::int32_t VolumeMax = 5000;
    static constexpr std::int32_t LoopRepeats = 100000;

    // A file that is missing or not a standard MIDI file ends the program.
    MidiFile(const char* name, const char* file, bool loop);
    // An empty, silent object for loading.
    MidiFile();
    ~MidiFile() override;
    MidiFile(const MidiFile&) = delete;
    MidiFile& operator=(const MidiFile&) = delete;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    static node* CreateObject();
    static CREATE cr;

    // Marks the music wanted and starts it unless it plays.
    void Play();
    // Stops and rewinds.
    void Stop();
    // Stops where it is; the next Play resumes there.
    void Pause();
    bool IsPlaying() const;
    void SetVolume(int volume);
    void SetLoopFlag(bool loop);

    // The current level's MIDI file of that name; a misuse report and null when missing.
    static MidiFile* Search(const char* name);

    int Id() const { return id; }
    void Id(int n) { id = n; }
    const char* Name() const { return name; }
    void Name(const char* text);
    const char* FileName() const { return file; }
    bool Loop() const { return loop; }
    bool Playing() const { return playing; }
    bool PausedByCard() const { return pausedByCard; }
    void PausedByCard(bool paused) { pausedByCard = paused; }
    std::int32_t Volume() const { return volume; }
    std::int32_t ResumePoint() const { return resumePoint; }
    bool HasPerformance() const;
    qel::MidiPlayer* Performance() const { return performance.get(); }

private:
    // Makes the performance and loads the file; false when the file is
    // missing or not a standard MIDI file.
    bool Build();
    void SetRepeats();

    std::unique_ptr<qel::MidiPlayer> performance;
    bool loop = false;
    bool pausedByCard = false;
    bool playing = false;
    std::int32_t id = 0;
    std::int32_t volume = 0;
    std::int32_t resumePoint = 0;
    String name;
    String file;
};
