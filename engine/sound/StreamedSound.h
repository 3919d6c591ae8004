// Long music played from a WAVE source without holding it in memory: a
// two-second buffer that always loops, used as two halves; each frame the half
// that has just finished is refilled with the next second of the source.
#pragma once
#include <cstdint>
#include <vector>
#include "QelExport.h"
#include "sound/SoundBase.h"

class QEL_API StreamedSound : public SoundBase {
public:
    StreamedSound(const char* name, const char* file, bool loop);
    StreamedSound();
    ~StreamedSound() override;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;
    static node* CreateObject();
    static CREATE cr;

    void Play() override;
    // Stops and primes the buffer with the beginning of the data again.
    void Stop() override;
    // The per-frame refill; run by SoundCard::UpdateBuffers.
    void UpdateBuffer();
    // Puts the staging copy back into a buffer the device had lost.
    void FillFromLostBuffer();

    // The current level's streamed sound of that name; a misuse report and null when missing.
    static StreamedSound* Search(const char* name);

    std::uint32_t LastPlayCursor() const { return lastPlayCursor; }
    std::uint32_t HalfSize() const { return halfSize; }
    std::uint32_t EndPosition() const { return endPosition; }
    bool Ending() const { return ending; }
    const std::vector<std::uint8_t>& StagingCopy() const { return staging; }

private:
    // Rewinds the source and fills buffer and staging copy from its start.
    void RewindAndPrime();
    // Reads the source into the staging copy from its start.
    void PrimeStagingCopy();
    void RefillHalf(std::uint32_t cursor);
    // Writes staging bytes [offset, offset + n) into the buffer, restoring a lost one.
    bool WriteFromStaging(std::uint32_t offset, std::uint32_t n);
    // Bytes the cursor moves forward from `from` to `to`, across the wrap.
    std::uint32_t ForwardDistance(std::uint32_t from, std::uint32_t to) const;
    // Stops at the end of the data once the cursor has played up to it.
    bool StopIfEndPlayed(std::uint32_t cursor);
    void StopAtEnd();

    std::uint32_t lastPlayCursor = 0;
    std::uint32_t halfSize = 0;
    std::uint32_t endPosition = 0;
    bool ending = false;
    // While ending: bytes still to play from the last cursor to the end of the
    // data. The cursor moves far more than a byte between frames, so the end is
    // found by distance played, not by meeting the end position.
    std::uint32_t bytesToEnd = 0;
    std::vector<std::uint8_t> staging;
};
