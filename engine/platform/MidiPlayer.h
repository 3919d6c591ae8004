// One MIDI performance: a General MIDI synthesizer and a sequencer for one
// standard MIDI file, played by the audio device's mixer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include "QelExport.h"

namespace qel {

class QEL_API MidiPlayer {
public:
    // The soundfont that instruments come from.
    static const char* SoundFontPath();
    // A well-formed standard MIDI file: header chunk, a known format, a
    // non-zero division, chunks that all lie within the data and track events
    // that all lie within their track.
    static bool IsStandardMidiFile(const void* data, std::size_t size);

    // Null when the audio device is not open, the synthesizer cannot start,
    // or as many performances as may live at once already do.
    static std::unique_ptr<MidiPlayer> Create();
    // Fewer performances live than may: one more can be made.
    static bool HasRoom();
    ~MidiPlayer();
    MidiPlayer(const MidiPlayer&) = delete;
    MidiPlayer& operator=(const MidiPlayer&) = delete;

    // Takes a copy of the file; false (nothing loaded) when it is not a
    // standard MIDI file.
    bool Load(const void* data, std::size_t size);
    bool IsLoaded() const;
    // How many more times the whole file plays after its first pass.
    void SetRepeats(std::int32_t repeats);
    std::int32_t Repeats() const;
    // Starts from the start point, which then goes back to 0.
    void Play();
    // Stops and silences every note; the start point stays.
    void Stop();
    // Playing, including the release of its last notes.
    bool IsPlaying() const;
    // The sequencer's position in ticks; the start point while stopped.
    std::int32_t CurrentTick() const;
    void SetStartPoint(std::int32_t tick);
    std::int32_t StartPoint() const;
    // Master volume in hundredths of a decibel.
    void SetVolume(std::int32_t hundredthsOfDecibel);

private:
    MidiPlayer();
    struct Performance;
    std::unique_ptr<Performance> performance;
};

}  // namespace qel
