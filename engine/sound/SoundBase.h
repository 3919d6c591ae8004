// One sound source of a level: a RIFF WAVE source (a "WAVE" resource of the
// game program or a file of the sound folders) and the device buffer that
// receives its samples. Sound and StreamedSound play it.
#pragma once
#include <cstdint>
#include <memory>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "sound/WaveSource.h"

namespace qel {
class AudioBuffer;
}

class QEL_API SoundBase : public node {
public:
    static constexpr std::int32_t VolumeMin = -10000;
    static constexpr std::int32_t VolumeMax = 0;
    static constexpr std::int32_t PanMin = -10000;
    static constexpr std::int32_t PanMax = 10000;

    // Opens the source and makes and fills its buffer; an unreadable source
    // leaves the sound without a buffer, silent.
    SoundBase(const char* name, const char* file, bool loop, bool streamed);
    // An empty source for loading.
    SoundBase();
    ~SoundBase() override;
    SoundBase(const SoundBase&) = delete;
    SoundBase& operator=(const SoundBase&) = delete;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    static node* CreateObject();
    static CREATE cr;

    virtual void Play() {}
    virtual void Stop() {}

    // The "WAVE" resource of that name, else the file in the music (streamed)
    // or sound-effect folder; then rewinds. 0 or the failing result.
    std::int32_t Open(const char* file);
    // Rewinds to the start of the data; the streamed byte count goes to 0.
    std::int32_t Reset();
    std::int32_t Read(unsigned int n, unsigned char* destination, unsigned int* read);
    std::int32_t Advance(unsigned int n);
    std::int32_t Close();

    bool IsPlaying() const;
    // Remembers where the buffer is and stops it.
    void Pause();
    void SetLoopFlag(bool loop);
    void SetVolume(int volume);
    void SetPan(int pan);
    // Silence, then as much of the data as the buffer holds.
    void FillBuffer();
    // True without a buffer.
    bool IsBufferLost() const;
    // Brings a lost buffer back (giving up after about a second); false
    // without a buffer or when the device keeps refusing.
    bool RestoreBuffer();

    int Id() const { return id; }
    void Id(int n) { id = n; }
    const char* Name() const { return name; }
    void Name(const char* text);
    const char* FileName() const { return file; }

    bool HasBuffer() const { return buffer != nullptr; }
    qel::AudioBuffer* Buffer() const { return buffer.get(); }
    const WaveFormat* Format() const { return source.Format(); }
    bool Loop() const { return loop; }
    bool Streamed() const { return streamed; }
    std::int32_t Volume() const { return volume; }
    std::int32_t Pan() const { return pan; }
    bool PausedByCard() const { return pausedByCard; }
    void PausedByCard(bool paused) { pausedByCard = paused; }
    std::uint32_t SavedPlayPosition() const { return savedPlayPosition; }
    std::uint32_t StreamedBytes() const { return streamedBytes; }
    std::uint8_t Silence() const;
    std::uint32_t BufferSize() const;

protected:
    // The buffer for the open source: the whole data, or two seconds when streamed.
    void CreateBuffer();
    // Sets the buffer's cursor to the saved play position, which is used up.
    void MoveToSavedPlayPosition();

    WaveSource source;
    bool streamed = false;
    bool pausedByCard = false;
    std::int32_t id = 0;
    String name;
    String file;
    std::unique_ptr<qel::AudioBuffer> buffer;
    std::uint32_t savedPlayPosition = 0;
    bool loop = false;
    std::int32_t volume = 0;
    std::int32_t pan = 0;
    std::uint32_t streamedBytes = 0;
};
